#include "runtime/measure/measure_loop.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "model/frontend.h"
#include "platform/tick.h"
#include "resources/error_codes.h"
#include "resources/format.h"
#include "resources/messages.h"
#include "runtime/link_group.h"
#include "runtime/measure/measure_devices.h"
#include "runtime/measure/waveform.h"
#include "runtime/run_operands.h"
#include "runtime/sequencer.h"
#include "values/registers.h"
#include "zelw.h"

namespace ksw {

using platform::tick_count;
using platform::ticks_since;

namespace {

constexpr int kKeyBack = 45;                       // "-": back to the previous step
constexpr int kSwitchesClearedAtEnd[] = {68, 76, 176};  // input coupling relays of the board
constexpr double kSliceOfReference = 0.15;
constexpr int kMeasureField = 1;  // tool-bar field of the step's data line and its passes

double clamp_limit(double v) { return std::fmax(-DBL_MAX, std::fmin(DBL_MAX, v)); }

// The rd[] register that receives a step's result: its position in its link chain (0 alone).
int result_register_of(const StepRecord &record) {
    return (record.measure && record.measure->link) ? record.measure->link->position : 0;
}

RdFile &rd(RunContext &context) { return *context.registers->rd; }

int access_mode(const RunContext &context) {
    return context.jig ? context.jig->access_mode.load(std::memory_order_relaxed) : kAccessJig;
}

// How a jig wait inside a measure operation passes the run gate.
bool gate_sleep(void *loop_context, uint32_t ms) {
    auto &[context, start] = *static_cast<std::pair<RunContext *, uint32_t *> *>(loop_context);
    uint32_t parked = 0;
    const bool go_on = context->checkpoint(&parked);
    *start += parked;
    return go_on && context->gate.sleep(ms);
}

// The middle value of `v` (the mean of the two middle values for an even count); `v` is sorted.
double median(const std::vector<double> &v) {
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

std::string value_text(double v) { return format_text("%.9g", {v}); }

}  // namespace

MeasurementLoop::MeasurementLoop(RunContext &context, int step, const CommandRecord &item, const MeasureItem &kind,
                                 LinkGroup *group, int position, const MemberThread *member)
    : context_(context),
      step_(step),
      record_(*context.program->steps[static_cast<size_t>(step)]),
      state_(context.steps[step]),
      command_(item),
      kind_(kind),
      group_(group),
      position_(position),
      member_(member),
      item_{context, step, record_, state_, item, result_register_of(record_), {}, {}, {}, {}} {
    waiter_context_ = {&context_, &loop_start_};
    item_.waiter = JigWaiter{&gate_sleep, &waiter_context_};
}

int MeasurementLoop::compute_limits() {
    double nominal = 0, up = 0, low = 0;
    if (command_.mask & kMaskTargetIsStep) {
        const StepRunState *target = context_.state(static_cast<int>(command_.reals[0]));
        if (!target) return kErrStepNotExist;
        nominal = target->measure.average;
    } else if (const int rc = real_operand(context_, command_, 0, &nominal); rc != kOk) {
        return rc;
    }
    if (const int rc = real_operand(context_, command_, 1, &up); rc != kOk) return rc;
    if (command_.mask & kMaskToleranceFromRd) {
        low = -up;  // "+-rd[n]": both sides from the one register
    } else if (const int rc = real_operand(context_, command_, 2, &low); rc != kOk) {
        return rc;
    }
    // A percentage is a part of the nominal value's size, so that a window keeps its sides for a
    // negative nominal.
    if (command_.mask & kMaskUpperPercent) up = std::fabs(nominal) * up / 100.0;
    if (command_.mask & kMaskLowerPercent) low = std::fabs(nominal) * low / 100.0;
    nominal_ = nominal;
    upper_ = std::fmin(clamp_limit(nominal + up), record_.measure->upper_limit);
    lower_ = std::fmax(clamp_limit(nominal + low), record_.measure->lower_limit);
    state_.measure.upper = upper_;
    state_.measure.lower = lower_;
    return kOk;
}

int MeasurementLoop::begin() {
    if (!run_registers(context_)) return kErrNoMemory;
    if (!record_.measure) return kErrMissingFirst;
    if (!is_register_index(item_.result_register)) return kErrOutOfRange;
    if (const int rc = compute_limits(); rc != kOk) return rc;
    required_ok_ = std::max(1, record_.ok_threshold);
    if (kind_.waveform) {
        item_.analysis.slice = kSliceOfReference * context_.board.video_reference / waveform::kVoltsPerCount;
        item_.analysis.capture_length = context_.program->global.option == 1 ? MeasureBoard::kSingleCapture
                                                                              : MeasureBoard::kCaptureWords;
    }
    loop_start_ = tick_count();
    if (context_.frontend)
        context_.frontend->set_field_text(kMeasureField, format_text("STEP%d %s..%s", {step_, value_text(lower_), value_text(upper_)}));
    if (kind_.setup) {
        if (!context_.jig) return kErrDebugMode;
        if (const int rc = kind_.setup(item_); rc != kOk) return rc;
    }
    if (adjusting() && context_.adjuster) return context_.adjuster->begin(context_, step_, item_.result_register);
    return kOk;
}

bool MeasurementLoop::checkpoint() {
    uint32_t parked = 0;
    const bool go_on = context_.checkpoint(&parked);
    loop_start_ += parked;
    return go_on && !(member_ && member_->stopping());
}

// A reading may start once the step's setup time has passed since the step began and its sample
// tact since the last A/D read. The wait gives up the processor between looks but never sleeps.
bool MeasurementLoop::settled() {
    const uint32_t setup = static_cast<uint32_t>(std::max(0, record_.setup_time));
    const uint32_t tact = static_cast<uint32_t>(std::max(0, record_.sample_tact));
    for (;;) {
        if (!checkpoint()) return false;
        if (setup == 0 && tact == 0) return true;
        const bool set_up = ticks_since(context_.step_start_tick) >= setup;
        const bool tact_passed =
            !context_.jig || ticks_since(context_.jig->last_ad_read_tick.load(std::memory_order_relaxed)) >= tact;
        if (set_up && tact_passed) return true;
        platform::sleep_ms(0);
    }
}

bool MeasurementLoop::operator_left() {
    if (group_ && group_->left()) return left_by_operator_ = true;  // Enter ends the whole group
    if (context_.run_mode == kRunNgStop && !group_adjusts()) return false;
    if (SearchKeyBuffer(kVkReturn) == 1) {
        ClearKeyBuffer();
        if (group_) group_->leave();
        left_by_operator_ = true;
        return true;
    }
    if (SearchKeyBuffer(kKeyBack) != 1) return false;
    ClearKeyBuffer();
    const int from = group_ ? group_->chain().front() : step_;
    if (from < 2) return false;
    const int to = next_selectable_step(*context_.program, from, -1);
    if (to == from) return false;
    back_to_ = to;
    return true;
}

int MeasurementLoop::take_reading(double *value) {
    item_.raw = RawSamples{};
    if (access_mode(context_) == kAccessNoPortIo) {  // no port I/O: the value already there is judged
        *value = rd(context_)[static_cast<size_t>(item_.result_register)];
        return kOk;
    }
    if (!context_.jig) return kErrDebugMode;
    return kind_.measure(item_, value);
}

// abs, x scale, x rd[multiplier] and + rd[addend] (measurement mode 0 only), then the step
// operand with its operator.
int MeasurementLoop::correct(double *value) const {
    double v = *value;
    if (record_.measure->item_flags & 1) v = std::fabs(v);
    v *= state_.scale;
    if (context_.adjust_mode == 0) {
        if (is_register_index(record_.calc_register_a)) v *= rd(context_)[static_cast<size_t>(record_.calc_register_a)];
        if (is_register_index(record_.calc_register_b)) v += rd(context_)[static_cast<size_t>(record_.calc_register_b)];
    }
    if (record_.calc_step_source >= 0) {
        const StepRunState *source = context_.state(record_.calc_step_source);
        if (!source) return kErrStepNotExist;
        const double s = source->last_value;
        switch (record_.calc_step_operator) {
        case 0: v *= s; break;
        case 1: v += s; break;
        case 3: v -= s; break;
        default:
            if (counts_as_zero(s)) return kErrDividedByZero;
            v /= s;
            break;
        }
    }
    *value = v;
    return kOk;
}

// The pass's value from its readings (each with the offset added): the mean; with average('s
// second field 1 the median, and with 3..8 the mean once the (field - 2) largest and smallest
// readings are dropped (the median when too few readings remain).
double MeasurementLoop::combine_readings() {
    const int mode = state_.measure.average_mode;
    if (mode == 2 || readings_.size() == 1) {
        double sum = 0;
        for (const double v : readings_) sum += v;
        return sum / static_cast<double>(readings_.size());
    }
    std::sort(readings_.begin(), readings_.end());
    const size_t trim = mode >= 3 ? static_cast<size_t>(mode - 2) : 0;
    if (trim == 0 || readings_.size() <= 2 * trim) return median(readings_);
    double sum = 0;
    for (size_t i = trim; i < readings_.size() - trim; ++i) sum += readings_[i];
    return sum / static_cast<double>(readings_.size() - 2 * trim);
}

bool MeasurementLoop::pass(int *rc) {
    MeasureRunState &m = state_.measure;
    const int count = m.single_reading ? 1 : std::max(1, state_.adjustment.reading_count);
    readings_.clear();
    for (int i = 0; i < count; ++i) {
        if (operator_left()) {
            *rc = kOk;
            return false;
        }
        if (record_.measure->call_target >= 1) {
            const int r = call_subroutine(context_, record_.measure->call_target);
            if (r > 0 || (r == kJump && context_.jump_target == -1)) {
                *rc = r;
                return false;
            }
        }
        if (!settled()) {
            *rc = kErrBreakedByUser;
            return false;
        }
        double v = 0;
        if ((*rc = take_reading(&v)) != kOk) return false;
        if ((*rc = correct(&v)) != kOk) return false;
        state_.last_value = v;
        readings_.push_back(v + state_.offset);
        if (context_.jig) context_.jig->last_ad_read_tick.store(tick_count(), std::memory_order_relaxed);
        ++m.readings;
        if (i + 1 < count) trace_reading(i, count, v, nullptr);
    }
    const double average = combine_readings();
    if (!(average >= -DBL_MAX && average <= DBL_MAX)) {
        *rc = kErrTooBigSmall;
        return false;
    }
    rd(context_)[static_cast<size_t>(item_.result_register)] = average;
    m.average = average;
    context_.last_judged_value = average;
    bool ends = false;
    if (adjusting() && context_.adjuster) evr_prefix_ = context_.adjuster->value_prefix(step_);
    *rc = judge(average, &ends);
    show_pass(average);
    return *rc == kOk && !ends;
}

int MeasurementLoop::judge(double average, bool *ends) {
    MeasureRunState &m = state_.measure;
    const bool inside = lower_ <= average && average <= upper_;
    direction_ = average < lower_ ? -1 : average > upper_ ? 1 : 0;
    context_.last_limit_direction = direction_;
    const bool timed_out = state_.time_limit >= 0 && ticks_since(loop_start_) > static_cast<uint32_t>(state_.time_limit);
    *ends = false;
    if (inside) {
        m.single_reading = false;
        ++m.consecutive_ok;
        m.total += average;
        state_.ok_counter = m.consecutive_ok;
        if (m.consecutive_ok >= required_ok_) {
            verdict_ = Verdict::kOk;
            if (record_.mode == kModeCheckItem || context_.adjust_mode == 2)
                rd(context_)[static_cast<size_t>(item_.result_register)] = m.total / m.consecutive_ok;
        } else {
            verdict_ = timed_out ? Verdict::kNg : Verdict::kPending;
        }
    } else {
        const bool first_ng = !ng_seen_;
        ng_seen_ = true;
        m.consecutive_ok = 0;
        m.total = 0;
        state_.ok_counter = 0;
        ++state_.ng_counter;
        verdict_ = timed_out ? Verdict::kNg : Verdict::kPending;
        if (adjusting() && context_.adjuster) {
            const AdjustPass facts{step_, average, nominal_, lower_, upper_, first_ng, item_.result_register};
            AdjustOutcome outcome = AdjustOutcome::kMeasureAgain;
            if (const int rc = context_.adjuster->ng_pass(context_, facts, &outcome); rc != kOk) return rc;
            if (outcome != AdjustOutcome::kMeasureAgain) {
                at_limit_ = true;
                verdict_ = Verdict::kNg;
                direction_ = outcome == AdjustOutcome::kLimitHigh ? 1 : -1;
                *ends = true;
            }
        }
    }
    m.link_ok = verdict_ == Verdict::kOk;
    if (group_) group_->set_member_state(position_, m.link_ok ? MemberState::kInWindow : MemberState::kMeasuring);
    if (*ends) return kOk;
    if (verdict_ == Verdict::kOk) *ends = !keeps_measuring(timed_out);
    else if (verdict_ == Verdict::kNg) *ends = context_.run_mode == kRunNgStop && !group_adjusts();
    return kOk;
}

// After a complete OK count the loop goes on in the run modes in which the operator watches
// ("STEP", "LINE"), for a group with an adjust step (outside measurement mode 2), and for a
// linked step whose group is not complete, until the step's time-out.
bool MeasurementLoop::keeps_measuring(bool timed_out) const {
    if (timed_out) return false;
    if (context_.run_mode != kRunNgStop && context_.run_mode != kRunAuto) return true;
    if (group_adjusts() && context_.adjust_mode != 2) return true;
    return group_ && !group_->complete();
}

// An adjust step ("adjust,") in the step's group, or the step itself when it measures alone: the
// operator adjusts, so the loop measures on after its OK count and reads the keys in any mode.
bool MeasurementLoop::group_adjusts() const {
    return group_ ? group_->has_adjust_step() : record_.mode == kModeAdjustItem;
}

// A step that names an EVR to adjust (evr_adj() hands its NG passes to the EVR front-end.
bool MeasurementLoop::adjusting() const { return state_.adjustment.direction != -1; }

void MeasurementLoop::calibrate() {
    const double t = rd(context_)[static_cast<size_t>(item_.result_register)];
    if (record_.calc_register_b >= 0) {
        state_.correction = nominal_ - t;
    } else if (record_.calc_register_a >= 0) {
        if (std::fabs(t) > DBL_MIN) {
            state_.correction = nominal_ / t;
            return;
        }
        if (context_.frontend)
            context_.frontend->send(question_message(std::string(message_text(kMsgValueTooSmall)), "Godmode debug",
                                                     Buttons::Ok, BoxIcon::Exclamation));
        context_.set_run_mode(kRunStep);
        state_.correction = t >= 0 ? DBL_MAX : -DBL_MAX;
    }
}

int MeasurementLoop::finish(int rc) {
    if (context_.jig && access_mode(context_) != kAccessNoJig) {  // a jig not in use is left alone
        for (const int sw : kSwitchesClearedAtEnd) {
            const int cleared = SetSwitch(*context_.jig, sw, false);
            if (rc == kOk && cleared != kOk) rc = cleared;
        }
    }
    if (group_) group_->set_member_state(position_, MemberState::kFinished);
    if (rc < 0) return rc;  // the sub-routine ended the program
    const bool ok = rc == kOk && verdict_ == Verdict::kOk;
    if (adjusting() && context_.adjuster) context_.adjuster->end(context_, step_, ok, at_limit_);
    // The adjusted value (the working word beside the result) goes into the run's data-file line.
    if (adjusting() && context_.registers && context_.registers->allocated() && is_register_index(item_.result_register))
        state_.measure.adjusted_value = (*context_.registers->ad)[static_cast<size_t>(item_.result_register)];
    if (rc > 0) {  // an error counts as one NG
        state_.judgement = kJudgedNg;
        ++state_.ng_tally;
        return rc;
    }
    if (back_to_ > 0) {
        context_.jump_target = back_to_;
        return kJump;
    }
    if (ok) {
        state_.judgement = kJudgedOk;
        ++state_.ok_tally;
    } else {  // NG, or left by the operator before the OK count was complete
        state_.judgement = direction_ > 0 ? kJudgedNgAbove : direction_ < 0 ? kJudgedNgBelow : kJudgedNg;
        ++state_.ng_tally;
    }
    if (context_.adjust_mode == 2) calibrate();
    if (group_) return kOk;  // a group takes the jump targets of its head
    const int target = ok ? record_.measure->ok_jump : record_.measure->ng_jump;
    if (target >= 1) {
        context_.jump_target = target;
        return kJump;
    }
    return kOk;
}

int MeasurementLoop::run() {
    int rc = begin();
    while (rc == kOk && pass(&rc)) {
    }
    return finish(rc);
}

void MeasurementLoop::show_pass(double average) {
    const bool traced = context_.jig && context_.jig->trace;
    if (!context_.frontend && !traced) return;
    const MeasureRunState &m = state_.measure;
    const std::string ok_text = format_text("#OK=%d/%d", {m.consecutive_ok, required_ok_});
    if (context_.frontend) {  // the value, and "#OK=n/m" after an OK pass; written when it changes
        std::string shown = evr_prefix_ + value_text(average);
        if (m.consecutive_ok > 0) shown += " " + ok_text;
        if (shown != shown_) context_.frontend->set_field_text(kMeasureField, shown_ = std::move(shown));
    }
    if (traced) {
        const char *verdict = verdict_ == Verdict::kOk ? "OK" : verdict_ == Verdict::kNg ? "NG" : "pending";
        const std::string pass_text = "avg " + value_text(average) + " in [" + value_text(lower_) + ", " +
                                      value_text(upper_) + "] " + ok_text + " " + verdict;
        trace_reading(static_cast<int>(readings_.size()) - 1, static_cast<int>(readings_.size()), state_.last_value,
                      pass_text.c_str());
    }
}

// "reading STEP k/n raw 0x.. 0x.. -> value", and for the pass's last reading its average,
// limits, OK count and verdict.
void MeasurementLoop::trace_reading(int index, int count, double value, const char *pass_text) {
    if (!context_.jig || !context_.jig->trace) return;
    std::string text = format_text("reading %d %d/%d raw", {step_, index + 1, count});
    const RawSamples &raw = item_.raw;
    if (raw.count == 0) text += format_text(" rd[%d]", {item_.result_register});
    for (int i = 0; i < raw.count && i < RawSamples::kKept; ++i)
        text += format_text(" 0x%04X", {static_cast<unsigned>(raw.values[static_cast<size_t>(i)])});
    if (raw.count > RawSamples::kKept) text += format_text(" ... (%d)", {raw.count});
    text += " -> " + value_text(value);
    if (pass_text) text += std::string(" | ") + pass_text;
    trace_jig_event(*context_.jig, text);
}

namespace {

// A link member's thread: the loop, one pass each time the head lets the member run.
int measure_as_member(MemberThread &self, RunContext &context, int step, const CommandRecord &command,
                      const MeasureItem &kind, LinkGroup &group, int position) {
    context.current_step = step;
    MeasurementLoop loop(context, step, command, kind, &group, position, &self);
    int rc = loop.begin();
    while (rc == kOk && loop.pass(&rc)) {
        if (!self.yield()) {
            rc = kErrBreakedByUser;
            break;
        }
        context.current_step = step;
    }
    return loop.finish(rc);
}

}  // namespace

int run_measurement_item(RunContext &context, const CommandRecord &command) {
    const MeasureItem *kind = measure_item(command.row);
    if (!kind || !context.program) return kErrUndefinedCommand;
    const int step = context.current_step;
    const StepRecord *record = context.program->step(step);
    if (!record || !record->measure || !context.state(step)) return kErrMissingFirst;
    LinkGroup *group = context.group;
    const int position = group ? group->position_of(step) : -1;
    if (position < 0) return MeasurementLoop(context, step, command, *kind).run();
    group->start(static_cast<size_t>(position), [&context, step, &command, kind, group, position](MemberThread &self) {
        return measure_as_member(self, context, step, command, *kind, *group, position);
    });
    return kOk;
}

}  // namespace ksw
