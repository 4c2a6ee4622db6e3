// The run-wide state of the sequencer that every run handler may read and change. One instance
// exists per run thread family; the main window reads it for display and changes it only while
// the sequencer is halted or ended.
#pragma once

#include <cstdint>
#include <string>

namespace ksw {

struct ProgramModel;
struct CommandRecord;
struct Registers;
class Frontend;

enum RunMode : int { kRunNgStop = 0, kRunStep = 1, kRunLine = 2, kRunAuto = 3 };

struct RunContext {
    ProgramModel *program = nullptr;
    Registers *registers = nullptr;
    Frontend *frontend = nullptr;

    int current_step = 0;                      // 5009 once a run went past its last step
    CommandRecord *current_command = nullptr;  // the record being run
    int first_ng_step = -1;
    int jump_target = 0;                       // 0 none, > 0 a step, -1 end of program
    int call_depth = 0;                        // 0..100
    uint32_t step_start_tick = 0;
    int last_limit_direction = 0;              // -1 below, +1 above
    int run_mode = kRunNgStop;
    std::string ng_detail;                     // cleared at the start of each step of a run
};

}  // namespace ksw
