// Run control: the main window's side of the sequencer. It starts, halts, resumes and aborts
// runs on the operator's keys and commands, keeps the run state, handles the messages that the
// sequencer threads post when they end, counts OK and NG runs and shows the result. Everything
// here runs on the main thread; the sequencer runs on a thread of its own, halted and aborted
// through the run gate, so run control never waits for it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "runtime/run_context.h"
#include "station/result_records.h"
#include "model/frontend.h"

namespace ksw {

enum RunState : int {
    kStateIdle = 0,
    kStateReady = 1,
    kStateRunning = 2,
    kStateHaltedByOperator = 3,
    kStateHaltedByProgram = 4,
    kStateClosing = 5,
    kStateClosingHalted = 6,
    kStateResultShown = 7,
};

// The three kinds of sequencer thread.
enum class SequencerThread { kRun, kStep0, kClosing };

struct RunControlOptions {
    bool inhibit_result_window = false;  // "InhibitOkNg"
    bool retry = false;                  // "Flags" bit 1: offer "Retry ?" after an NG run
    bool mode_change = true;             // run-mode changes allowed (Space, Tab)
    std::string ok_wave, ng_wave;        // sound files of the result
    std::function<void()> rest_jig;      // puts the jig's outputs at rest once an aborted run ended
    // The line server is told the station's state (WAIT, READY, RUN, PAUSE); results ignored.
    std::function<void(int kind)> tell_server;
    // Enter in the ready state: the product-ID step, before the run starts.
    std::function<void()> before_run;
    // Just before a new run's sequencer starts: waits until the last run's record is written,
    // so a station that dies loses at most the record of the run whose result it showed last.
    std::function<void()> before_launch;
    // The result of a run is shown: its record is written (the sequencer has ended; `start` is
    // when the run began, `retried_ok` an OK run started by "Retry ?").
    std::function<void(const RunContext &, const DailyTotals &, LocalStamp start, uint32_t duration_ms, bool retried_ok)>
        record_run;
};

class RunControl {
public:
    RunControl(RunContext &context, Frontend &frontend, RunControlOptions options = {});
    ~RunControl();
    RunControl(const RunControl &) = delete;
    RunControl &operator=(const RunControl &) = delete;

    // The main window's handler of the sequencer messages, command 1624 and operator keys.
    // Returns 1 when it handled `message`, else 0.
    intptr_t handle_message(const WindowMessage &message);

    // Starts a run (`argument` the start step, 0 for STEP0 through the run thread) or resumes a
    // halted one.
    void start_run(int argument, SequencerThread kind);
    // EXEC STEP0: runs STEP0 on its own thread.
    void start_step0();
    void halt_run(bool by_program);
    void abort_run(bool confirmed);
    void on_operator_key(int key, bool shift = false);
    // Run mode and file recording as the operator sets them; a running sequencer takes the
    // change at its next checkpoint.
    void set_run_mode(int mode);
    int run_mode() const;
    void toggle_file_recording();
    bool file_recording() const;

    RunState state() const { return state_; }
    int ok_count() const { return totals_.ok; }
    int ng_count() const { return totals_.ng; }
    // The day's totals (read from the settings at start-up when they are today's).
    const DailyTotals &totals() const { return totals_; }
    void set_totals(const DailyTotals &totals);
    // The menu command that clears the counts.
    void clear_counts();
    int retried_ok_count() const { return retried_ok_count_; }
    // Closing: a sequencer still running is aborted (its sends return at once) and joined; no
    // closing steps run. Afterwards the run context belongs to the main thread again.
    void shutdown();
    // Read only once the sequencer has ended (after its end message, or shutdown()).
    int last_result() const { return context_.last_result; }
    bool sequencer_running() const { return thread_.joinable(); }
    // Runs left of an automatic repetition (the -I switch, "NoOfMeasure").
    void set_repeat_count(int count) { repeat_count_ = count; }
    // Called when STEP0 failed and the operator chose not to ignore it: the program ends.
    std::function<void()> on_close_request;

private:
    // Starts a sequencer thread; false (after telling the operator) when it cannot be made.
    bool launch(int argument, SequencerThread kind);
    bool sequencer_active() const;
    void select_halted_step(int direction);
    void join_sequencer();
    void on_step0_finished();
    void on_run_finished(int result);
    void on_show_result();
    void on_acknowledge();
    void finish_acknowledge(bool ask_retry);
    void on_thread_end(const WindowMessage &message);
    void show_counts();
    void show_elapsed();  // "%.2fsec" of the run so far in status pane 1
    void show_operation(const char *text);

    RunContext &context_;
    Frontend &frontend_;
    RunControlOptions options_;
    RunState state_ = kStateIdle;
    std::thread thread_;
    DailyTotals totals_;
    LocalStamp run_start_stamp_;
    int repeat_count_ = 0;
    bool step0_pending_ = false;
    bool busy_ = false;
    bool retry_flag_ = false;
    bool abort_pending_ = false;    // the sequencer was told to unwind; its end counts as result 27
    int retried_ok_count_ = 0;
    uint32_t run_start_tick_ = 0;
};

}  // namespace ksw
