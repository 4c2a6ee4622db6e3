// Run handlers that decide where a run goes and whether a step is OK or NG: jumps, calls and
// returns, the judgement commands, the step's time limit and repetition, waits and the
// stopwatch, and the in-program change of the run mode.
#include <cfloat>
#include <cmath>

#include "runtime/run_handlers.h"
#include "runtime/run_operands.h"
#include "model/jump_condition.h"
#include "model/program_model.h"
#include "platform/tick.h"
#include "resources/error_codes.h"
#include "runtime/sequencer.h"
#include "model/frontend.h"
#include "values/registers.h"
#include "zelw.h"

namespace ksw {

using platform::tick_count;
using platform::ticks_since;

namespace {

const StepRecord &current_record(const RunContext &context) {
    return *context.program->steps[static_cast<size_t>(context.current_step)];
}
StepRunState &current_state(RunContext &context) { return context.steps[context.current_step]; }

// A target as written: relative targets count from the current step, an offset of 32768 or
// more being negative; 0, beyond 5008, below -1 (absolute) or below 0 (relative) are error 4.
int resolve_target(const RunContext &context, int32_t t, bool relative, int *target) {
    if (relative) {
        if (t >= 32768) t -= 65536;
        t += context.current_step;
    }
    if (t == 0 || t > kLastStep || t < (relative ? 0 : -1)) return kErrOutOfRange;
    *target = t;
    return kOk;
}

// Tests the jump condition of `command`. Returns 0 with `*holds` and `*target`, or an error.
int test_jump_condition(RunContext &context, const CommandRecord &command, bool relative, bool *holds, int *target) {
    *holds = false;
    int32_t t = 0;
    if (const int rc = int_operand(context, command, 0, &t); rc != kOk) return rc;
    if (const int rc = resolve_target(context, t, relative, target); rc != kOk) return rc;
    const StepRunState &step = current_state(context);
    switch (command.sub_mode) {
    case kCondOk: {
        if (step.judgement == kJudgedOk) {
            *holds = true;
            return kOk;
        }
        const int slot = context.last_limit_direction == -1 ? 1 : context.last_limit_direction == 1 ? 2 : -1;
        if (slot < 0) return kOk;
        int32_t other = 0;
        if (const int rc = int_operand(context, command, slot, &other); rc != kOk) return rc;
        if (other < 1) return kOk;
        if (const int rc = resolve_target(context, other, true, target); rc != kOk) return rc;
        *holds = true;
        return kOk;
    }
    case kCondNg: *holds = step.judgement == kJudgedNg; return kOk;
    case kCondSmaller: *holds = context.last_limit_direction == -1; return kOk;
    case kCondLarger: *holds = context.last_limit_direction == 1; return kOk;
    case kCondKeyHeld:
    case kCondKeyWaiting: {
        int32_t key = 0;
        if (const int rc = int_operand(context, command, 1, &key); rc != kOk) return rc;
        if (command.sub_mode == kCondKeyHeld) {
            *holds = context.frontend && context.frontend->is_key_down(key);
        } else {
            *holds = SearchKeyBuffer(key) == 1;
            if (*holds) ClearKeyBuffer();
        }
        return kOk;
    }
    case kCondEqual: case kCondLessEqual: case kCondGreaterEqual: case kCondLess: case kCondGreater: {
        double x = 0, y = 0;
        if (const int rc = real_operand(context, command, 0, &x); rc != kOk) return rc;
        if (const int rc = real_operand(context, command, 1, &y); rc != kOk) return rc;
        switch (command.sub_mode) {
        case kCondEqual: *holds = x == y; break;
        case kCondLessEqual: *holds = x <= y; break;
        case kCondGreaterEqual: *holds = x >= y; break;
        case kCondLess: *holds = x < y; break;
        default: *holds = x > y; break;
        }
        return kOk;
    }
    default: *holds = true; return kOk;
    }
}

int jump(RunContext &context, const CommandRecord &command, bool relative) {
    bool holds = false;
    int target = 0;
    if (const int rc = test_jump_condition(context, command, relative, &holds, &target); rc != kOk) return rc;
    if (!holds) return kOk;
    context.jump_target = target;
    return kJump;
}

// Counts one good or bad value against the step's thresholds.
void count_result(const StepRecord &record, StepRunState &step, bool good, bool consecutive) {
    const bool check_mode = record.mode == kModeCheck;
    if (good) {
        if (step.ok_counter < record.ok_threshold && ++step.ok_counter >= record.ok_threshold) {
            step.judgement = kJudgedOk;
            if (check_mode) ++step.ok_tally;
        }
        return;
    }
    if (step.ng_counter < record.ng_threshold) ++step.ng_counter;
    if (step.ng_counter >= record.ng_threshold) {
        step.judgement = kJudgedNg;
        if (check_mode) ++step.ng_tally;
    }
    if (consecutive) step.ok_counter = 0;
}

double clamp_limit(double v) { return std::fmax(-DBL_MAX, std::fmin(DBL_MAX, v)); }

// The value of rd[n] as a check-mode step sees it, and the correction it implies.
int checked_real(RunContext &context, const StepRecord &record, StepRunState &step, double v, double *out) {
    if (record.mode != kModeCheck) {
        *out = v;
        return kOk;
    }
    const Registers *registers = run_registers(context);
    const bool registers_apply = context.adjust_mode == 0 && registers;
    v *= step.scale;
    if (registers_apply && record.calc_register_a >= 0 && record.calc_register_a < kRegisterCount)
        v *= (*registers->rd)[static_cast<size_t>(record.calc_register_a)];
    const double before_offset = v;
    v += step.offset;
    const bool offset_register =
        registers_apply && record.calc_register_b >= 0 && record.calc_register_b < kRegisterCount;
    if (offset_register) v += (*registers->rd)[static_cast<size_t>(record.calc_register_b)];
    if (!(v >= -DBL_MAX && v <= DBL_MAX)) return kErrTooBigSmall;
    if (offset_register) {
        step.correction = record.item_target - before_offset;
    } else if (registers_apply && record.calc_register_a >= 0) {
        step.correction = std::fabs(before_offset) < DBL_MIN ? std::copysign(DBL_MAX, before_offset)
                                                             : record.item_target / before_offset;
    }
    *out = v;
    return kOk;
}

}  // namespace

// jump( target [, condition ...]
int run_jump(RunContext &context, const CommandRecord &command) { return jump(context, command, false); }

// rjump( offset [, condition ...]
int run_rjump(RunContext &context, const CommandRecord &command) { return jump(context, command, true); }

// call( target [, condition ...]: runs the target as a sub-routine.
int run_call(RunContext &context, const CommandRecord &command) {
    bool holds = false;
    int target = 0;
    if (const int rc = test_jump_condition(context, command, false, &holds, &target); rc != kOk) return rc;
    if (!holds) return kOk;
    return call_subroutine(context, target);
}

// ret( [condition]: returns from a sub-routine when the condition holds.
int run_ret(RunContext &context, const CommandRecord &command) {
    if (context.call_depth == 0) return kOk;
    const StepRunState &step = current_state(context);
    bool holds = false;
    switch (command.sub_mode) {
    case 0: holds = true; break;
    case 1: holds = step.judgement == kJudgedOk; break;
    case 2: holds = step.judgement == kJudgedNg; break;
    case 3: holds = step.judgement == kJudgedNg && context.last_limit_direction == -1; break;
    case 4: holds = step.judgement == kJudgedNg && context.last_limit_direction == 1; break;
    default: break;
    }
    if (!holds) return kOk;
    context.jump_target = 0;
    return kJump;
}

// judge( rd|ad, a, b, c, d: d = b when rd[a] >= 0, else c.
int run_judge(RunContext &context, const CommandRecord &command) {
    Registers *registers = run_registers(context);
    if (!registers) return kErrNoMemory;
    int32_t r[4];
    for (int i = 0; i < 4; ++i) {
        if (const int rc = int_operand(context, command, i, &r[i]); rc != kOk) return rc;
        if (!is_register_index(r[i])) return kErrOutOfRange;
    }
    const bool take_b = (*registers->rd)[static_cast<size_t>(r[0])] >= 0.0;
    const size_t from = static_cast<size_t>(take_b ? r[1] : r[2]);
    if (command.sub_mode == 0) (*registers->rd)[static_cast<size_t>(r[3])] = (*registers->rd)[from];
    else (*registers->ad)[static_cast<size_t>(r[3])] = (*registers->ad)[from];
    return kOk;
}

// okng( ok|ng, n / okng( rev
int run_okng(RunContext &context, const CommandRecord &command) {
    const StepRecord &record = current_record(context);
    StepRunState &step = current_state(context);
    if (command.sub_mode == 2) {
        if (step.judgement == kJudgedOk) step.judgement = kJudgedNg;
        else if (step.judgement == kJudgedNg) step.judgement = kJudgedOk;
        return kOk;
    }
    int32_t n = 0;
    if (const int rc = int_operand(context, command, 0, &n); rc != kOk) return rc;
    if (command.sub_mode == 0) {
        step.ok_counter = n;
        if (n >= record.ok_threshold) step.judgement = kJudgedOk;
    } else {
        step.ng_counter = n;
        if (n >= record.ng_threshold) step.judgement = kJudgedNg;
    }
    return kOk;
}

// check( mode, n: judges a register value against the step's limits and counts it.
int run_check(RunContext &context, const CommandRecord &command) {
    const StepRecord &record = current_record(context);
    StepRunState &step = current_state(context);
    const int mode = command.sub_mode;
    if (mode == 0) {
        if (step.ok_counter < record.ok_threshold) {
            if (step.ng_counter < record.ng_threshold) return kOk;
            step.judgement = kJudgedNg;
            if (record.mode == kModeCheck) ++step.ng_tally;
        } else {
            step.judgement = kJudgedOk;
            if (record.mode == kModeCheck) ++step.ok_tally;
        }
        return kOk;
    }
    Registers *registers = run_registers(context);
    if (!registers) return kErrNoMemory;
    int32_t n = 0;
    if (const int rc = int_operand(context, command, 0, &n); rc != kOk) return rc;
    if (!is_register_index(n)) return kErrOutOfRange;
    bool good = false;
    double judged = 0;
    if (mode == 1 || mode == 3 || mode == 5) {
        const uint16_t v = (*registers->ad)[static_cast<size_t>(n)];
        const uint16_t lower = mode == 5 ? static_cast<uint16_t>(command.ints[1]) : record.lower_limit;
        const uint16_t upper = mode == 5 ? static_cast<uint16_t>(command.ints[1]) : record.upper_limit;
        context.last_limit_direction = v < lower ? -1 : v > upper ? 1 : 0;
        good = context.last_limit_direction == 0;
        judged = v;
    } else {
        double v = 0;
        if (const int rc = checked_real(context, record, step, (*registers->rd)[static_cast<size_t>(n)], &v); rc != kOk)
            return rc;
        const double lower = clamp_limit(record.item_target + record.lower_bound);
        const double upper = clamp_limit(record.item_target + record.upper_bound);
        context.last_limit_direction = v < lower ? -1 : v > upper ? 1 : 0;
        good = context.last_limit_direction == 0;
        judged = v;
    }
    step.last_value = judged;
    context.last_judged_value = judged;
    // "ad" and "rd" (sub-modes 1, 2) need consecutive OKs; "aad", "ard" and the single-value
    // form (5) let them accumulate.
    count_result(record, step, good, mode == 1 || mode == 2);
    return kOk;
}

// limit( seconds, count: the step's time limit and number of passes, at once.
int run_limit(RunContext &context, const CommandRecord &command) {
    StepRunState &step = current_state(context);
    int32_t count = 0;
    double seconds = 0;
    if (const int rc = int_operand(context, command, 0, &count); rc != kOk) return rc;
    if (const int rc = real_operand(context, command, 0, &seconds); rc != kOk) return rc;
    if (count == 0 || !std::isfinite(seconds)) return kErrOutOfRange;
    step.repetition_count = count;
    if (seconds < 0) {
        step.time_limit = -1;
    } else {
        const double ms = std::trunc(seconds * 1000.0);
        step.time_limit = ms > 2147483647.0 ? 2147483647 : static_cast<int32_t>(ms);
    }
    return kOk;
}

// wait( seconds / wait( set, seconds / wait( dum
int run_wait(RunContext &context, const CommandRecord &command) {
    uint32_t ms = 0;
    if (command.sub_mode == 1) {
        const uint32_t passed = ticks_since(context.wait_mark_tick);
        if (passed >= context.wait_mark_ms) return kOk;
        return context.gate.sleep(context.wait_mark_ms - passed) ? kOk : kErrBreakedByUser;
    }
    double seconds = 0;
    if (const int rc = real_operand(context, command, 0, &seconds); rc != kOk) return rc;
    if (const int rc = to_milliseconds(seconds, &ms); rc != kOk) return rc;
    if (command.sub_mode == 0) {
        context.wait_mark_tick = tick_count();
        context.wait_mark_ms = ms;
        return kOk;
    }
    return context.gate.sleep(ms) ? kOk : kErrBreakedByUser;
}

// timer( set / timer( rea, n / timer( wri, seconds: the stopwatch.
int run_timer(RunContext &context, const CommandRecord &command) {
    if (command.sub_mode == 1) {
        Registers *registers = run_registers(context);
        if (!registers) return kErrNoMemory;
        int32_t n = 0;
        if (const int rc = int_operand(context, command, 0, &n); rc != kOk) return rc;
        if (!is_register_index(n)) return kErrOutOfRange;
        (*registers->rd)[static_cast<size_t>(n)] = ticks_since(context.stopwatch_start) * 0.001;
        return kOk;
    }
    double seconds = 0;
    uint32_t ms = 0;
    if (const int rc = real_operand(context, command, 0, &seconds); rc != kOk) return rc;
    if (const int rc = to_milliseconds(seconds, &ms); rc != kOk) return rc;
    context.stopwatch_start = tick_count() - ms;
    return kOk;
}

// stopmode( [mode] [, off|on]: the run mode and the file-recording switch.
int run_stopmode(RunContext &context, const CommandRecord &command) {
    if (command.ints[0] >= 0 && command.ints[0] <= 3) context.set_run_mode(command.ints[0]);
    context.set_file_recording(command.ints[1] != 0);  // "off" is 0; "on" and an empty field switch it on
    return kOk;
}

// link( n: the linked step adjusts with the current step's adjustment settings.
int run_link(RunContext &context, const CommandRecord &command) {
    int32_t n = 0;
    if (const int rc = int_operand(context, command, 0, &n); rc != kOk) return rc;
    if (n < 1 || n > kLastSequenceStep) return kErrOutOfRange;
    const StepRecord &step = current_record(context);
    const StepRecord *linked = context.program->step(n);
    if (!step.measure || !linked || !linked->measure) return kOk;
    context.steps[n].adjustment = current_state(context).adjustment;
    return kOk;
}

}  // namespace ksw
