#include "station/run_control.h"

#include <iterator>
#include <system_error>

#include "model/program_model.h"
#include "platform/tick.h"
#include "resources/error_codes.h"
#include "resources/format.h"
#include "resources/messages.h"
#include "runtime/records/server_channel.h"
#include "runtime/sequencer.h"
#include "station/message_box.h"
#include "zelw.h"

namespace ksw {

using platform::tick_count;
using platform::ticks_since;

namespace {

// Menu commands that reach run control.
enum RunCommand : uint32_t {
    kCmdStart = 1000,
    kCmdAbort = 1001,
    kCmdHalt = 1002,
    kCmdStep0 = 1004,
    kCmdModeFirst = 1505,  // NGSTOP, STEP, LINE, AUTO in run-mode order
    kCmdModeLast = 1508,
};
constexpr int kKeyBufferPlaces = 16;
constexpr const char *kModeWords[] = {"NGSTOP", "STEP", "LINE", "AUTO"};
static_assert(std::size(kModeWords) == kRunAuto + 1 && kCmdModeLast - kCmdModeFirst == kRunAuto);

}  // namespace

RunControl::RunControl(RunContext &context, Frontend &frontend, RunControlOptions options)
    : context_(context), frontend_(frontend), options_(std::move(options)) {
    set_run_mode(context_.run_mode);
}

RunControl::~RunControl() { shutdown(); }

void RunControl::shutdown() {
    if (!thread_.joinable()) return;
    // The sequencer may wait in a send that nobody will handle now: it is told to stop and its
    // sends return at once.
    context_.gate.abort();
    frontend_.cancel_pending_sends();
    thread_.join();  // an aborted run leaves 27 as its result
    abort_pending_ = false;
}

void RunControl::show_operation(const char *text) { frontend_.set_status_text(kPaneOperation, text); }

void RunControl::show_counts() { frontend_.set_status_text(kPaneCounts, totals_.status_text()); }

void RunControl::set_totals(const DailyTotals &totals) {
    totals_ = totals;
    show_counts();
}

void RunControl::clear_counts() {
    totals_.ok = totals_.ng = 0;
    frontend_.set_status_text(kPaneCounts, "OK=0 NG=0");
}

void RunControl::show_elapsed() {
    frontend_.set_status_text(kPaneElapsed, format_text("%.2fsec", {ticks_since(run_start_tick_) * 0.001}));
}

bool RunControl::sequencer_active() const { return thread_.joinable(); }

// Run-state changes while a sequencer thread may run are requests it takes at its next
// checkpoint; without one they apply at once. The status board shows them at once either way.
void RunControl::set_run_mode(int mode) {
    mode = ((mode % 4) + 4) % 4;
    if (sequencer_active()) {
        context_.requests.run_mode.store(mode, std::memory_order_release);
        context_.status.run_mode.store(mode, std::memory_order_relaxed);
        context_.gate.post_request();
    } else {
        context_.set_run_mode(mode);
    }
    frontend_.set_status_text(kPaneRunMode, kModeWords[mode]);
}

int RunControl::run_mode() const { return context_.status.run_mode.load(std::memory_order_relaxed); }

bool RunControl::file_recording() const { return context_.status.file_recording.load(std::memory_order_relaxed); }

void RunControl::toggle_file_recording() {
    const bool on = !file_recording();
    if (sequencer_active()) {
        context_.requests.file_recording.store(on ? 1 : 0, std::memory_order_release);
        context_.status.file_recording.store(on, std::memory_order_relaxed);
        context_.gate.post_request();
    } else {
        context_.set_file_recording(on);
    }
}

// +/- while the program halted the run: the step to go on with, taken by the sequencer when it
// is resumed.
void RunControl::select_halted_step(int direction) {
    if (!context_.program) return;
    const int pending = context_.requests.selected_step.load(std::memory_order_acquire);
    const int from = pending != RunRequests::kNone ? pending : context_.status.step.load(std::memory_order_relaxed);
    if (from == 0) return;
    const int to = next_selectable_step(*context_.program, from, direction);
    context_.requests.selected_step.store(to, std::memory_order_release);
    context_.status.step.store(to, std::memory_order_relaxed);
    context_.gate.post_request();
}

void RunControl::join_sequencer() {
    if (thread_.joinable()) thread_.join();
}

bool RunControl::launch(int argument, SequencerThread kind) {
    join_sequencer();
    context_.take_requests();  // what the operator asked for meanwhile, before the thread exists
    context_.step_reselected = false;
    context_.gate.reset();
    RunContext &context = context_;
    try {
        switch (kind) {
        case SequencerThread::kRun: thread_ = std::thread([&context, argument] { run_thread(context, argument); }); break;
        case SequencerThread::kStep0: thread_ = std::thread([&context] { step0_thread(context); }); break;
        case SequencerThread::kClosing:
            thread_ = std::thread([&context, argument] { closing_steps_thread(context, argument); });
            break;
        }
    } catch (const std::system_error &) {
        busy_ = true;
        show_message(&frontend_, message_text(kMsgCantMakeMonitorThread), "ERROR", Buttons::Ok, BoxIcon::Stop);
        busy_ = false;
        return false;
    }
    return true;
}

void RunControl::start_run(int argument, SequencerThread kind) {
    if (argument != 0) frontend_.show_string_for_a_while("", 0);
    const RunState before = state_;
    // The server hears RUN before the run's own messages can reach it.
    if (options_.tell_server) options_.tell_server(kServerRun);
    if (before == kStateHaltedByOperator || before == kStateHaltedByProgram || before == kStateClosingHalted) {
        context_.gate.resume();
    } else if (before == kStateIdle || before == kStateReady || before == kStateResultShown) {
        join_sequencer();
        context_.first_ng_step = -1;
        context_.jump_target = 0;
        if (argument != 0) context_.ng_detail.clear();
        if (kind == SequencerThread::kRun) {
            if (options_.before_launch) options_.before_launch();
            context_.log.clear();  // a run starts with an empty log text
        }
        if (!launch(argument, kind)) return;  // told the operator; the state stays as it was
        run_start_tick_ = tick_count();
        run_start_stamp_ = local_stamp_now();
    }
    show_operation("Operating");
    state_ = before == kStateClosingHalted ? kStateClosing : kStateRunning;
    OpenKeyBuffer(kKeyBufferPlaces);
    ClearKeyBuffer();
}

void RunControl::start_step0() {
    step0_pending_ = true;
    start_run(0, SequencerThread::kStep0);
}

void RunControl::halt_run(bool by_program) {
    if (state_ != kStateRunning && state_ != kStateClosing) return;
    state_ = state_ == kStateClosing ? kStateClosingHalted : by_program ? kStateHaltedByProgram : kStateHaltedByOperator;
    context_.gate.halt();
    show_operation("Halting");
    frontend_.show_string_for_a_while("Halting", 3000);
    CloseKeyBuffer();
    if (options_.tell_server) options_.tell_server(kServerPause);
}

void RunControl::abort_run(bool confirmed) {
    if (state_ == kStateIdle || state_ == kStateReady || state_ == kStateResultShown) return;
    halt_run(false);
    if (!confirmed) {
        busy_ = true;
        const Answer answer = show_message(&frontend_, "Abort program ?", "ABORT", Buttons::OkCancel, BoxIcon::Question);
        busy_ = false;
        if (answer != Answer::Ok) {
            start_run(1, SequencerThread::kRun);
            return;
        }
    }
    // The sequencer unwinds on its own thread; the run state is touched only once it has ended
    // (on_thread_end), so nothing here races with it.
    abort_pending_ = true;
    context_.gate.abort();
    frontend_.cancel_pending_sends();
    repeat_count_ = 0;
    state_ = state_ == kStateClosingHalted ? kStateClosingHalted : kStateClosing;
    frontend_.beep();
}

void RunControl::on_operator_key(int key, bool shift) {
    if (busy_) return;
    switch (key) {
    case kVkEscape:
        if (state_ == kStateHaltedByOperator || state_ == kStateHaltedByProgram || state_ == kStateClosingHalted) {
            abort_run(false);
        } else {
            halt_run(false);
        }
        return;
    case kVkReturn:
        if (step0_pending_) {
            start_run(0, SequencerThread::kRun);
        } else if (state_ == kStateRunning || state_ == kStateClosing) {
            SaveKeyBuffer(key);
        } else {
            if (state_ == kStateReady && options_.before_run) options_.before_run();
            start_run(1, SequencerThread::kRun);
        }
        return;
    case kVkSpace:
        if (options_.mode_change) set_run_mode(run_mode() + (shift ? -1 : 1));
        return;
    case kVkTab:
        if (options_.mode_change) toggle_file_recording();
        return;
    case kVkSubtract:
        if (state_ == kStateHaltedByProgram) select_halted_step(shift ? -10 : -1);
        return;
    case kVkAdd:
        if (state_ == kStateHaltedByProgram) select_halted_step(shift ? 10 : 1);
        return;
    default:
        if (state_ != kStateReady) SaveKeyBuffer(key);
        return;
    }
}

void RunControl::on_step0_finished() {
    join_sequencer();
    show_elapsed();
    if (context_.last_result != 0) {
        busy_ = true;
        const Answer answer = show_message(&frontend_, "Step 0 NG\nIgnore ?", "EXIT(Alt+X)", Buttons::YesNo);
        busy_ = false;
        if (answer != Answer::Yes && on_close_request) on_close_request();
    }
    state_ = kStateResultShown;
    finish_acknowledge(false);
    step0_pending_ = false;
}

void RunControl::on_run_finished(int result) {
    join_sequencer();
    state_ = kStateClosing;
    show_elapsed();
    totals_.count(context_.last_result == 0, today_local());
    show_counts();
    if (repeat_count_ > 0 && --repeat_count_ > 0) {
        // An automatic repetition shows no result, but its run is recorded like any other.
        if (options_.record_run) options_.record_run(context_, totals_, run_start_stamp_, ticks_since(run_start_tick_), false);
        state_ = kStateIdle;
        start_run(1, SequencerThread::kRun);
        return;
    }
    if (!launch(result, SequencerThread::kClosing)) frontend_.post(WindowMessage{kMsgClosingFinished, 0, 0, {}});
}

void RunControl::on_show_result() {
    if (state_ != kStateClosing && state_ != kStateClosingHalted) return;
    join_sequencer();
    const bool ok = context_.last_result == 0;
    if (options_.record_run) options_.record_run(context_, totals_, run_start_stamp_, ticks_since(run_start_tick_), retry_flag_ && ok);
    if (!options_.inhibit_result_window) frontend_.show_result(ok);
    const std::string &wave = ok ? options_.ok_wave : options_.ng_wave;
    if (!wave.empty()) frontend_.play_sound(wave);
    state_ = kStateResultShown;
    frontend_.post(WindowMessage{kMsgResultAcknowledged, 0, 0, {}});
}

void RunControl::on_acknowledge() {
    if (state_ != kStateResultShown) return;
    finish_acknowledge(true);
}

// The state-7 part of the acknowledgement; `ask_retry` offers "Retry ?" after an NG run.
void RunControl::finish_acknowledge(bool ask_retry) {
    show_operation("Stopping");
    state_ = kStateReady;
    ClearKeyBuffer();
    frontend_.stop_beep();
    CloseKeyBuffer();
    if (options_.tell_server) options_.tell_server(kServerReady);
    const bool ng = context_.last_result != 0;
    if (ask_retry && options_.retry && ng) {
        busy_ = true;
        const bool again = frontend_.ask("Retry ?", "RETRY", Buttons::YesNo, BoxIcon::Question) == Answer::Yes;
        busy_ = false;
        if (again) {
            retry_flag_ = true;
            on_operator_key(kVkReturn);
            return;
        }
    }
    if (ask_retry && retry_flag_ && !ng) ++retried_ok_count_;
    retry_flag_ = false;
}

intptr_t RunControl::handle_message(const WindowMessage &message) {
    switch (message.id) {
    case kMsgKey: on_operator_key(static_cast<int>(message.wparam), message.lparam != 0); return 1;
    case kMsgStep0Finished: on_thread_end(message); return 1;
    case kMsgRunFinished: on_thread_end(message); return 1;
    case kMsgClosingFinished: on_thread_end(message); return 1;
    case kMsgResultAcknowledged: on_acknowledge(); return 1;
    case kMsgErrorString: frontend_.show_error_string(message.text); return 1;
    case kMsgQuestion:
        return static_cast<intptr_t>(show_message(&frontend_, message.text, message.caption,
                                                  static_cast<Buttons>(message.wparam), static_cast<BoxIcon>(message.lparam)));
    case kMsgValueQuestion: return message.question ? frontend_.ask_value(*message.question) : kValueUnanswered;
    case kMsgTransientText: frontend_.show_string_for_a_while(message.text, static_cast<uint32_t>(message.wparam)); return 1;
    case kMsgCommand:
    case kMsgPostedCommand:
        switch (message.wparam) {
        case kHaltCommand: halt_run(true); return 1;
        case kCmdStart: on_operator_key(kVkReturn); return 1;
        case kCmdAbort: abort_run(message.lparam != 0); return 1;
        case kCmdHalt: on_operator_key(kVkEscape); return 1;
        case kCmdStep0: start_step0(); return 1;
        default:
            if (message.wparam >= kCmdModeFirst && message.wparam <= kCmdModeLast) {
                set_run_mode(static_cast<int>(message.wparam - kCmdModeFirst));
                return 1;
            }
            return 0;
        }
    default: return 0;
    }
}

// A sequencer thread ended. After an abort its end counts as the end of the run (or of the
// closing steps) with result 27, whatever kind of thread it was.
void RunControl::on_thread_end(const WindowMessage &message) {
    if (abort_pending_) {
        abort_pending_ = false;
        join_sequencer();
        if (options_.rest_jig) options_.rest_jig();
        context_.first_ng_step = context_.current_step;
        context_.last_result = kErrBreakedByUser;
        const std::string text = format_text("STEP%dS:%s", {context_.current_step, message_text(kErrBreakedByUser)});
        frontend_.set_status_text(kPaneResult, text);
        if (context_.current_step >= 1 && context_.current_step <= kLastSequenceStep) frontend_.show_error_string(text);
        if (state_ == kStateClosingHalted || message.id == kMsgClosingFinished) {
            on_show_result();
        } else {
            step0_pending_ = false;
            on_run_finished(kErrBreakedByUser);
        }
        return;
    }
    if (message.id == kMsgStep0Finished) on_step0_finished();
    else if (message.id == kMsgRunFinished) on_run_finished(static_cast<int>(message.lparam));
    else on_show_result();
}

}  // namespace ksw
