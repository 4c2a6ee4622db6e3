// The run-wide state of the sequencer that every run handler may read and change. One instance
// exists per station; the main window reads it for display and changes it only while the
// sequencer is halted or ended.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "sequencer/run_gate.h"

namespace ksw {

struct ProgramModel;
struct CommandRecord;
struct Registers;
struct LinkGroup;
class Frontend;

enum RunMode : int { kRunNgStop = 0, kRunStep = 1, kRunLine = 2, kRunAuto = 3 };

constexpr int kPastLastStep = 5009;  // current step once a run went past its last step
constexpr int kMaxCallDepth = 100;

// What the sequencer is doing, published without locks for front-ends to show at their own
// pace: the current step and the command about to run (index in its step and table row).
struct StatusBoard {
    std::atomic<int> step{0};
    std::atomic<int> command_index{-1};
    std::atomic<int> command_row{-1};
    std::atomic<uint32_t> commands_run{0};
    std::atomic<int> run_mode{0};
};

struct RunContext {
    ProgramModel *program = nullptr;
    Registers *registers = nullptr;
    Frontend *frontend = nullptr;
    RunGate gate;
    StatusBoard status;
    LinkGroup *group = nullptr;                // the link group being run, if any

    int current_step = 0;                      // kPastLastStep once a run went past its last step
    CommandRecord *current_command = nullptr;  // the record being run
    int first_ng_step = -1;
    int jump_target = 0;                       // 0 none, > 0 a step, -1 end of program
    int call_depth = 0;                        // 0..100
    uint32_t step_start_tick = 0;
    std::array<uint32_t, 2> item_ticks{};      // the measurement loop's own timing values
    int last_limit_direction = 0;              // -1 below, +1 above
    double last_judged_value = 0;
    int run_mode = kRunNgStop;
    int adjust_mode = 0;                       // measure-ignore choice: 0 default, 1 calc, 2 auto_adjust
    int last_result = 0;                       // the last run's result (0 OK)
    std::string ng_detail;                     // cleared at the start of each step of a run
    std::string error_text;                    // the NG text last sent to the main window
    bool item_flag = false;                    // shared with the measurement items, cleared per command list
    bool file_recording = true;                // the operator option "File Recording"
    uint32_t stopwatch_start = 0;              // timer(
    uint32_t wait_mark_tick = 0;               // wait( set: when the mark was set ...
    uint32_t wait_mark_ms = 0;                 // ... and how long it lasts

    // Passes the run gate; the time spent halted does not count for the step's time limit.
    // False when the run is aborted.
    bool checkpoint() {
        uint32_t parked = 0;
        const bool go_on = gate.pass(&parked);
        if (parked) {
            step_start_tick += parked;
            for (uint32_t &tick : item_ticks) tick += parked;
        }
        return go_on;
    }
};

}  // namespace ksw
