// The run-wide state of the sequencer that every run handler may read and change. One instance
// exists per station. While a sequencer thread runs, only that thread (and the link members it
// lets run, one at a time) touches the plain fields; the main thread reads the status board and
// hands its changes over as requests, which the sequencer takes at its next checkpoint. Once the
// sequencer thread has been joined, the main thread owns every field again.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/log_buffer.h"
#include "runtime/measure/measure_board.h"
#include "runtime/run_gate.h"
#include "runtime/step_state.h"

namespace ksw {

struct ProgramModel;
struct CommandRecord;
struct Registers;
struct LinkGroup;
struct JigPorts;
class SerialLink;
struct GpibLink;
class Frontend;
class AdjustmentDevice;
struct EvrLayer;
class ServerChannel;

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
    std::atomic<bool> file_recording{false};
};

// Changes the main thread asks for while a sequencer may be running. Each is taken by the
// sequencer at its next checkpoint (RunContext::take_requests), or by run control itself before
// it starts the next sequencer thread.
struct RunRequests {
    static constexpr int kNone = -1;
    std::atomic<int> run_mode{kNone};       // a run mode 0..3 to switch to
    std::atomic<int> file_recording{kNone}; // 0 off, 1 on
    std::atomic<int> selected_step{kNone};  // the step the operator selected while halted
};

struct RunContext {
    const ProgramModel *program = nullptr;
    StepStateTable steps;                      // what runs change per step, beside the program
    Registers *registers = nullptr;
    Frontend *frontend = nullptr;
    RunGate gate;
    StatusBoard status;
    RunRequests requests;
    LinkGroup *group = nullptr;                // the link group being run, if any
    JigPorts *jig = nullptr;                   // the station's jig (ports, shadows, A/D)
    SerialLink *serial = nullptr;              // the station's serial port, shared with the EVR drivers
    AdjustmentDevice *adjuster = nullptr;      // the EVR front-end's adjustment and data words; null: none
    EvrLayer *evr = nullptr;                   // the EVR image and back-end the evr_ commands use; null: none
    MeasureBoard board;                        // the measuring board's capture buffer and video reference
    GpibLink *gpib = nullptr;                  // the station's GPIB board
    LogBuffer log;                             // the run's log text ("LogSize" bytes; log(, evr_prn(log)
    ServerChannel *server = nullptr;           // the line-server link (task(); null: no server
    std::string data_file_name;                // set by log(fil; empty: "data.txt"
    uint32_t evr_interval_ms = 0;              // "Interval": the wait before each EVR access

    int current_step = 0;                      // kPastLastStep once a run went past its last step
    const CommandRecord *current_command = nullptr;  // the record being run
    bool step_reselected = false;              // the operator selected another step meanwhile
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
    bool file_recording = false;               // the operator option "File Recording" (off at start-up)
    uint32_t stopwatch_start = 0;              // timer(
    uint32_t wait_mark_tick = 0;               // wait( set: when the mark was set ...
    uint32_t wait_mark_ms = 0;                 // ... and how long it lasts
    std::string failure_detail;                // what a failing command adds to its "STEP%dS:" text
                                               // (cleared before each command)
    std::array<bool, 2> input_termination{};   // term(: measuring inputs 1 and 2 terminated
    std::vector<int> started_programs;         // user(: programs not yet seen to end

    // Loads `loaded` as the program to run: its run states start from its compiled values.
    void use_program(const ProgramModel *loaded);

    // Run state of step n (null when the step does not exist).
    StepRunState *state(int n) { return steps.get(n); }

    // Sets the run mode and shows it on the status board (sequencer side, or the main thread
    // while no sequencer runs).
    void set_run_mode(int mode);
    void set_file_recording(bool on);

    // Takes the main thread's requests: a run mode, the file-recording switch, a selected step
    // (which sets step_reselected). Called at every checkpoint and before a sequencer starts.
    void take_requests();

    // Passes the run gate and takes the pending requests; the time spent halted does not count
    // for the step's time limit. `*parked_ms` (when given) receives that time, for timers of
    // the caller's own. False when the run is aborted.
    bool checkpoint(uint32_t *parked_ms = nullptr) {
        uint32_t parked = 0;
        const bool go_on = gate.pass(&parked);
        if (parked) {
            step_start_tick += parked;
            for (uint32_t &tick : item_ticks) tick += parked;
        }
        if (parked_ms) *parked_ms = parked;
        if (gate.requests_pending()) take_requests();
        return go_on;
    }
};

// The registers a run handler works on: the context's, when allocated; otherwise null.
Registers *run_registers(RunContext &context);

}  // namespace ksw
