#include "runtime/sequencer.h"

#include <algorithm>

#include "model/frontend.h"
#include "model/program_model.h"
#include "platform/tick.h"
#include "resources/error_codes.h"
#include "resources/format.h"
#include "resources/messages.h"
#include "runtime/link_group.h"

namespace ksw {

using platform::tick_count;
using platform::ticks_since;

namespace {

constexpr uint32_t kErrorTextMs = 1000;

// The last step of the range that `start` opens.
int range_end(int start) {
    switch (start) {
    case kClosingAfterOk: return kClosingAfterOk + 2;
    case kClosingAfterNg: return kClosingAfterNg + 2;
    case kClosingAlways: return kClosingAlways + 2;
    case 0: return 0;
    default: return kLastSequenceStep;
    }
}

bool time_limit_passed(const RunContext &context, const StepRunState &state) {
    return state.time_limit >= 0 && ticks_since(context.step_start_tick) > static_cast<uint32_t>(state.time_limit);
}

// Asks the main window to halt the run and stops at the gate until it is resumed.
bool request_halt(RunContext &context) {
    if (context.frontend) context.frontend->send(WindowMessage{kMsgCommand, kHaltCommand, 0, {}});
    return context.checkpoint();
}

// Shows `text` as the error string of the main window for a second.
void send_error_text(RunContext &context, const std::string &text) {
    if (context.frontend) context.frontend->send(WindowMessage{kMsgErrorString, 0, kErrorTextMs, text});
}

void show_result_text(RunContext &context, const std::string &text) {
    if (context.frontend) context.frontend->set_status_text(kPaneResult, text);
}

void beep(RunContext &context) {
    if (context.frontend) context.frontend->beep();
}

// The steps of the chain headed by `head`, head first, up to the first member number outside
// 0..4999.
std::vector<int> chain_of(const ProgramModel &program, int head) {
    std::vector<int> chain{head};
    const StepRecord *step = program.step(head);
    const int members = step ? step->link_count : 0;  // the head's count: members count 0 themselves
    for (int i = 0; step && i < members; ++i) {
        const MeasureBlock *block = step->measure.get();
        const int next = (block && block->link) ? block->link->next_step : -1;
        if (next < 0 || next > kLastSequenceStep) break;
        chain.push_back(next);
        step = program.step(next);
    }
    return chain;
}

// Judges a finished group: the first member that is not OK makes it NG. A jump target of the
// head's block is taken (-1), else 0.
int judge_group(RunContext &context, int head, const std::vector<int> &chain) {
    const StepRecord &head_step = *context.program->steps[static_cast<size_t>(head)];
    int target = -1;
    const MeasureBlock *block = head_step.measure.get();
    bool ng = false;
    for (const int n : chain) {
        const StepRunState *member = context.state(n);
        if (member && member->judgement != kJudgedOk) {
            ng = true;
            context.first_ng_step = n;
            break;
        }
    }
    context.steps[head].judgement = ng ? kJudgedNg : kJudgedOk;
    if (block) target = ng ? block->ng_jump : block->ok_jump;
    if (target >= 1) {
        context.jump_target = target;
        return kJump;
    }
    return kOk;
}

int execute_group(RunContext &context, int head, const StepRecord &head_step) {
    const std::vector<int> chain = chain_of(*context.program, head);
    LinkGroup group(context.gate);
    bool adjusting = false;
    for (const int n : chain) {
        const StepRecord *member = context.program->step(n);
        adjusting = adjusting || (member && member->mode == kModeAdjustItem);
    }
    group.set_chain(chain, adjusting);
    LinkGroup *outer = context.group;
    context.group = &group;
    int rc = kOk;
    for (const int n : chain) {
        const StepRecord *member = context.program->step(n);
        if (!member || member->commands.empty()) {
            rc = kErrStepNotExist;
        } else if (member->mode < kModeCheckItem) {
            rc = kErrMissingFirst;
        } else {
            context.current_step = n;
            rc = run_command_list(context, n, member->first_command());
        }
        if (rc > 0 || rc == kStepReselected) break;
    }
    if (rc == kStepReselected) {  // the group is left for the step the operator chose
        group.clear();
        context.group = outer;
        return rc;
    }
    if (rc <= 0) rc = run_member_cycles(context.gate, group, static_cast<uint32_t>(head_step.link_wait));
    // A member that did not answer in time, or was running when the run was aborted, may still
    // use the run context: it is stopped and joined before this thread looks at the context.
    group.clear();
    if (rc > 0 && context.first_ng_step < 0) context.first_ng_step = context.current_step;
    if (rc == kOk) rc = judge_group(context, head, chain);
    context.group = outer;
    context.current_step = head;
    return rc;
}

}  // namespace

void reset_step(StepRunState &state) {
    state.judgement = kNotJudged;
    state.ok_counter = 0;
    state.ng_counter = 0;
    state.scale = 1.0;
    state.offset = 0.0;
    state.last_value = 1.0;
    state.correction = 0.0;
    state.measure.clear_for_pass();
}

int run_command_list(RunContext &context, int step, const CommandRecord *first) {
    StepRunState &state = context.steps[step];
    context.item_flag = false;
    const CommandRecord *command = first;
    while (command) {
        context.status.command_index.store(command->index, std::memory_order_relaxed);
        context.status.command_row.store(command->row, std::memory_order_relaxed);
        context.status.commands_run.fetch_add(1, std::memory_order_relaxed);
        if (step <= kLastSequenceStep && context.run_mode == kRunLine) {
            if (!request_halt(context)) return kErrBreakedByUser;
        } else if (!context.checkpoint()) {
            return kErrBreakedByUser;
        }
        // The operator selected another step while the run was halted: nothing more of this
        // step runs under the new step's number.
        if (context.step_reselected) return kStepReselected;
        if (time_limit_passed(context, state)) {
            state.judgement = kJudgedNg;
            return kErrStepTimeout;
        }
        context.current_command = command;
        context.failure_detail.clear();
        const RunHandler handler = command->run;
        const int rc = handler ? handler(context, *command) : kErrUndefinedCommand;
        if (rc != kOk) return rc;
        if (!context.current_command) return kOk;
        command = context.current_command->next;
    }
    return kOk;
}

int execute_step(RunContext &context, int step, const CommandRecord *first) {
    const StepRecord &record = *context.program->steps[static_cast<size_t>(step)];
    if (record.link_count >= 1) return execute_group(context, step, record);
    return run_command_list(context, step, first);
}

int next_selectable_step(const ProgramModel &program, int from, int direction) {
    if (direction == 0 || from == 0) return from;
    const bool closing = from >= kFirstClosingStep && from <= kLastStep;
    const int low = closing ? kFirstClosingStep : 1;
    const int high = closing ? kLastStep : kLastSequenceStep;
    const int sense = direction > 0 ? 1 : -1;
    // The other outcome's block is passed over: after OK steps never run the NG ones.
    auto passed_over = [from](int n) {
        if (from >= kClosingAfterOk && from < kClosingAfterNg) return n >= kClosingAfterNg && n < kClosingAlways;
        if (from >= kClosingAfterNg && from < kClosingAlways) return n >= kClosingAfterOk && n < kClosingAfterNg;
        return false;
    };
    for (int n = std::clamp(from + direction, low, high); n >= low && n <= high; n += sense) {
        const StepRecord *s = program.step(n);
        if (!s || s->link_count == 0 || passed_over(n)) continue;
        return n;
    }
    return from;
}

int select_step(RunContext &context, int direction) {
    if (direction != 0 && context.current_step == 0) return 0;
    context.current_step = next_selectable_step(*context.program, context.current_step, direction);
    context.status.step.store(context.current_step, std::memory_order_relaxed);
    return 1;
}

std::string format_step_message(const RunContext &context, int step, int code) {
    if (code == kErrStepNg || code == kErrStepIsNg) {
        std::string text = "STEP" + std::to_string(step);
        const StepRunState *ng = context.steps.find(context.first_ng_step);
        if (ng && ng->judgement == kJudgedNgAbove) text += 'U';
        if (ng && ng->judgement == kJudgedNgBelow) text += 'L';
        text += ':';
        text += context.ng_detail.empty() ? std::string(message_text(code)) : context.ng_detail;
        return text;
    }
    std::string text = format_text("STEP%dS:%s", {step, message_text(code)});
    if (!context.failure_detail.empty()) text += ": " + context.failure_detail;
    return text;
}

int run_steps(RunContext &context, int start) {
    const ProgramModel &program = *context.program;
    const int end = range_end(start);
    context.current_step = start;
    int r = kOk;
    bool reselected = false;  // the operator chose this step while the run was halted
    while (context.current_step <= end) {
        const StepRecord *step = program.step(context.current_step);
        if (!step || step->link_count == 0) {
            ++context.current_step;
            continue;
        }
        select_step(context, 0);
        const bool halt_here = !reselected && context.current_step <= kLastSequenceStep &&
                               ((start != 0 && context.run_mode == kRunStep) || (r > 0 && context.run_mode != kRunLine));
        context.step_reselected = reselected = false;
        if (halt_here && !request_halt(context)) return kErrBreakedByUser;
        if (context.step_reselected) {
            r = kOk;
            reselected = true;
            continue;
        }
        StepRunState &state = context.steps[context.current_step];
        context.step_start_tick = tick_count();
        context.item_ticks.fill(context.step_start_tick);
        reset_step(state);
        if (start <= kLastSequenceStep) context.ng_detail.clear();
        context.failure_detail.clear();

        bool moved = false;
        for (int pass = 0; state.repetition_count < 0 || pass < state.repetition_count; ++pass) {
            if (!context.checkpoint()) return kErrBreakedByUser;
            if (context.step_reselected) r = kStepReselected;
            else if (time_limit_passed(context, state)) {
                r = kErrStepTimeout;
                state.judgement = kJudgedNg;
            } else {
                r = execute_step(context, context.current_step, step->first_command());
            }
            if (context.gate.aborted()) return kErrBreakedByUser;
            if (r == kStepReselected) {
                r = kOk;
                reselected = moved = true;
                break;
            }
            if (r == kOk && pass == state.repetition_count - 1 && step->mode != kModeNoOperation) {
                if (state.judgement >= kJudgedNg) r = kErrStepNg;
                else if (state.judgement == kNotJudged) r = kErrNoOkNg;
            }
            state.elapsed_ms = static_cast<int32_t>(ticks_since(context.step_start_tick));
            if (r > 0) {
                state.judgement = std::max(state.judgement, kJudgedNg);
                if (context.first_ng_step < 0) context.first_ng_step = context.current_step;
                if (context.run_mode == kRunNgStop) return r;
                if (context.current_step <= kLastSequenceStep) {
                    show_result_text(context, format_step_message(context, context.current_step, r));
                    context.error_text = format_step_message(context, context.first_ng_step, r);
                }
                send_error_text(context, context.error_text);
                beep(context);
                const int before = context.current_step;
                if (select_step(context, 1) == 0) continue;  // step 0: its next pass follows
                if (context.current_step == before) {
                    context.current_step = kPastLastStep;
                    return r;
                }
                moved = true;
                break;
            }
            if (r < 0) {
                r = kOk;
                if (context.jump_target > 0) {
                    context.current_step = context.jump_target;
                    context.jump_target = 0;
                    moved = true;
                    break;
                }
                if (context.jump_target == -1) {
                    if (context.call_depth > 0) --context.call_depth;
                    return kJump;
                }
                if (context.call_depth > 0) {
                    --context.call_depth;
                    return kOk;
                }
            }
        }
        if (!moved) ++context.current_step;
    }
    context.jump_target = -1;
    if (context.call_depth > 0) --context.call_depth;
    return kJump;
}

int call_subroutine(RunContext &context, int target) {
    if (context.call_depth >= kMaxCallDepth) return kErrNestTooDeep;
    const int depth = context.call_depth++;
    const int step = context.current_step;
    const CommandRecord *const caller = context.current_command;
    const uint32_t start_tick = context.step_start_tick;
    const auto item_ticks = context.item_ticks;
    const int r = run_steps(context, target);
    context.current_step = step;
    context.current_command = caller;
    context.step_start_tick = start_tick;
    context.item_ticks = item_ticks;
    context.call_depth = depth;
    select_step(context, 0);
    return r;
}

int run_thread(RunContext &context, int start) {
    show_result_text(context, "");
    if (context.adjust_mode == 2) context.run_mode = kRunAuto;
    context.current_step = 1;
    const int retries = context.program->global.retry_count;
    int r = kOk;
    for (int attempt = 0; attempt <= retries; ++attempt) {
        context.call_depth = 0;
        context.last_result = 0;
        for (int n = 1; n <= kLastStep; ++n)
            if (StepRunState *s = context.state(n)) reset_step(*s);
        r = std::max(run_steps(context, start), 0);
        if (context.gate.aborted()) {
            r = kErrBreakedByUser;
            break;
        }
        if (r > 0) {
            send_error_text(context, format_step_message(context, context.first_ng_step, r));
            show_result_text(context, format_step_message(context, context.current_step, r));
            beep(context);
        }
        if (r == kOk || r == kErrStepNg) break;
    }
    if (r == kOk && context.run_mode != kRunNgStop) {
        for (int n = 1; n <= kLastSequenceStep; ++n) {
            const StepRecord *s = context.program->step(n);
            const StepRunState *state = context.state(n);
            // An NG that an item recorded with its side ("U", "L") is an NG like any other.
            const bool ng = state && (state->judgement == kJudgedNg || state->judgement == kJudgedNgAbove ||
                                      state->judgement == kJudgedNgBelow);
            if (s && state && ((ng && s->mode != kModeNoOperation) || state->judgement == kJudgedNgCounted)) {
                context.first_ng_step = n;
                r = kErrStepIsNg;
                break;
            }
        }
    }
    // A run that went past its last step names its first NG step, not the end marker.
    const int shown_step = (context.current_step > kLastSequenceStep && start <= kLastSequenceStep && context.first_ng_step >= 0)
                               ? context.first_ng_step
                               : context.current_step;
    std::string final_text = "<OK>";
    if (r == kErrStepNg || r == kErrStepIsNg) final_text = format_text("STEP%d:%s", {shown_step, message_text(r)});
    else if (r > 0) final_text = format_text("STEP%dS:%s", {shown_step, message_text(r)});
    show_result_text(context, final_text);
    if (r > 0) context.last_result = r;
    if (context.frontend) context.frontend->post(WindowMessage{kMsgRunFinished, 0, r, {}});
    return r;
}

int step0_thread(RunContext &context) {
    context.last_result = 0;
    StepRunState *step0 = context.state(0);
    int r = kOk;
    if (step0) {
        reset_step(*step0);
        context.call_depth = 0;
        context.status.step.store(0, std::memory_order_relaxed);
        for (int pass = 0; step0->repetition_count < 0 || pass < step0->repetition_count; ++pass) {
            r = run_steps(context, 0);
            if (context.gate.aborted()) r = kErrBreakedByUser;
            if (r < 0) break;
            if (r > 0) {
                context.last_result = r;
                const std::string text = format_step_message(context, context.current_step, r);
                show_result_text(context, text);
                send_error_text(context, text);
                beep(context);
                break;
            }
        }
    }
    if (context.frontend) context.frontend->post(WindowMessage{kMsgStep0Finished, 0, -1, {}});
    return std::max(r, 0);
}

int closing_steps_thread(RunContext &context, int run_result) {
    context.call_depth = 0;
    int r = run_steps(context, run_result != 0 ? kClosingAfterNg : kClosingAfterOk);
    if (r <= 0 && !context.gate.aborted()) r = std::max(run_steps(context, kClosingAlways), 0);
    if (context.gate.aborted()) r = kErrBreakedByUser;
    if (r > 0 && context.frontend) {
        // A box waits for a person: the main thread shows it, this thread only sends.
        context.frontend->send(question_message(format_step_message(context, context.current_step, r), "ERROR",
                                                Buttons::Ok, BoxIcon::Stop));
    }
    if (context.frontend) context.frontend->post(WindowMessage{kMsgClosingFinished, 0, 0, {}});
    return std::max(r, 0);
}

}  // namespace ksw
