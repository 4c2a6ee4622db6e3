// Compile handlers of the flow commands: jumps, calls and returns with their conditions, link
// chains of adjusted steps, the step's time limit, judgement commands, the in-program run
// mode, the stopwatch, waits and the switch commands.
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "language/arguments.h"
#include "platform/ascii.h"
#include "language/handler_support.h"
#include "language/compile_handlers.h"
#include "model/jig_modes.h"
#include "model/jump_condition.h"
#include "resources/error_codes.h"
#include "values/evaluator.h"

namespace ksw {
namespace {

constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kLastRegister = kRegisterCount - 1;

// The condition word of a jump, call or return.
int parse_condition(std::string_view field, int *index) {
    return parse_choice(field, kJumpConditionWords, index);
}

// Reads a jump target into `slot`. A constant must lead to a step the run can take: absolute
// -1 (end of program) or 1..5008; relative, the offset (32768..65535 count as negative 16-bit
// numbers) added to the current step must give 1..5008. An alternative target of "ok" below 1
// means "no jump" and is kept as written. ad[k] is checked when the command runs.
int parse_jump_target(CompileArgs &args, std::string_view field, int slot, bool relative, bool alternative) {
    if (const int rc = parse_int_operand(args, field, kIntMin, kIntMax, slot); rc != kOk) return rc;
    if (args.command->mask & kMaskIntSlot(slot)) return kOk;
    int64_t t = args.command->ints[static_cast<size_t>(slot)];
    if (alternative && t < 1) return kOk;
    if (relative) t = (t >= 32768 ? t - 65536 : t) + args.build.current_step;
    const int64_t lowest = relative ? 1 : -1;
    return (t < lowest || t == 0 || t > kLastStep) ? kErrOutOfRange : kOk;
}

// The operands that follow a condition word (fields from the third on).
int condition_operands(CompileArgs &args, int count, const std::vector<std::string> &fields, bool relative) {
    CommandRecord &command = *args.command;
    switch (command.sub_mode) {
    case kCondOk:
        command.ints[1] = command.ints[2] = -1;
        for (int f = 2; f < count; ++f) {
            if (const int rc = parse_jump_target(args, fields[static_cast<size_t>(f)], f - 1, relative, true); rc != kOk)
                return rc;
        }
        return kOk;
    case kCondKeyHeld:
    case kCondKeyWaiting:
        if (count < 3) return kErrLackingArgument;
        return parse_int_operand(args, fields[2], 0, 255, 1);
    case kCondNg:
    case kCondSmaller:
    case kCondLarger:
        return kOk;
    default:
        if (count < 4) return kErrLackingArgument;
        if (const int rc = parse_real_operand(args, fields[2], 0); rc != kOk) return rc;
        return parse_real_operand(args, fields[3], 1);
    }
}

// target[, condition[, operands]]: slot 0 = the target; sub-mode = the condition, or 11 when
// there is none. "ok": slots 1 and 2 = the targets for NG below and above the limit (-1 when
// not given); "sca", "key": slot 1 = the key code 0..255; "=" to ">": reals 0 and 1 = the two
// values compared.
int compile_jump_condition(CompileArgs &args, bool relative) {
    std::vector<std::string> fields;
    int count = 0;
    if (const int rc = split_present(args.text, 1, 4, fields, &count); rc != kOk) return rc;
    if (const int rc = parse_jump_target(args, fields[0], 0, relative, false); rc != kOk) return rc;
    if (count == 1) {
        args.command->sub_mode = kCondAlways;
        return kOk;
    }
    if (const int rc = parse_condition(fields[1], &args.command->sub_mode); rc != kOk) return rc;
    return condition_operands(args, count, fields, relative);
}

// The link record of step n, or null.
LinkRecord *link_of(ProgramModel &model, int n) {
    StepRecord *step = model.step(n);
    return (step && step->measure) ? step->measure->link.get() : nullptr;
}

// Hangs a link record on step n (which has its measuring block); a member leaves the screen.
int hang_link(ProgramModel &model, int n, int position, int prev, int next) {
    StepRecord &step = *model.steps[static_cast<size_t>(n)];
    step.measure->link.reset(new (std::nothrow) LinkRecord);
    if (!step.measure->link) return kErrNoMemory;
    LinkRecord &link = *step.measure->link;
    link.position = position;
    link.step = n;
    link.prev_step = prev;
    link.next_step = next;
    if (position >= 1) step.flags &= ~1;
    return kOk;
}

// Makes step n with its measuring block and the settings of the linking step; link count 0.
int make_member(CompileArgs &args, int n) {
    if (const int rc = ensure_step(args.model, n); rc != kOk) return rc;
    StepRecord &member = *args.model.steps[static_cast<size_t>(n)];
    member.measure.reset(new (std::nothrow) MeasureBlock);
    if (!member.measure) return kErrNoMemory;
    const StepRecord &from = *args.step;
    member.flags = from.flags;
    member.channel_spec = from.channel_spec;
    member.video_standard = from.video_standard;
    member.ok_threshold = from.ok_threshold;
    member.ng_threshold = from.ng_threshold;
    member.repetition_count = from.repetition_count;
    member.link_wait = from.link_wait;
    member.sample_tact = from.sample_tact;
    member.time_limit = from.time_limit;
    member.link_count = 0;
    return kOk;
}

// The head of the chain that member step n belongs to. A broken chain (which the compiler never
// builds) is e173.
int chain_head(ProgramModel &model, int n, int *head) {
    for (int guard = 0; guard < kStepCount; ++guard) {
        const LinkRecord *link = link_of(model, n);
        if (!link) return kErrLinkDuplicated;
        if (link->prev_step < 0) {
            *head = n;
            return kOk;
        }
        n = link->prev_step;
    }
    return kErrLinkDuplicated;
}

// Adds step n at the end of the chain of `head` (link count 1 or more), one position further.
int append_member(ProgramModel &model, int head, int n) {
    StepRecord &first = *model.steps[static_cast<size_t>(head)];
    if (first.link_count < 1) return kErrLinkDuplicated;
    ++first.link_count;
    int last = head;
    for (int guard = 0;; ++guard) {
        LinkRecord *link = link_of(model, last);
        if (!link || guard >= kStepCount) return kErrLinkDuplicated;
        if (link->next_step < 0) {
            link->next_step = n;
            break;
        }
        last = link->next_step;
    }
    return hang_link(model, n, first.link_count, last, -1);
}

// The further switch numbers of "off" and "on": slots 1..7, -1 when not given; a ninth is e074.
int more_switches(CompileArgs &args) {
    CommandRecord &command = *args.command;
    for (size_t slot = 1; slot <= 7; ++slot) command.ints[slot] = -1;
    std::vector<std::string> fields;
    if (split_args(args.text, 10, fields) == kOk) return kErrTooManyParameters;
    int count = 0;
    if (const int rc = split_present(args.text, 2, 9, fields, &count); rc != kOk) return rc;
    for (int f = 2; f < count; ++f) {
        if (const int rc = parse_int_operand(args, fields[static_cast<size_t>(f)], 0, 511, f - 1); rc != kOk) return rc;
    }
    return kOk;
}

// The required third field of the switch words other than "off" and "on".
int switch_value(CompileArgs &args) {
    std::vector<std::string> fields;
    if (const int rc = split_args(args.text, 3, fields); rc != kOk) return rc;
    switch (args.command->sub_mode) {
    case kSwAssign: return parse_int_operand(args, fields[2], 0, 65535, 1);
    case kSwSet:
    case kSwReset: return parse_int_operand(args, fields[2], 0, 15, 1);
    case kSwRead: return parse_register_slot(args, fields[2], 1, UsageMap::kAd);
    default: return parse_real_operand(args, fields[2], 0);
    }
}

}  // namespace

// jump(target[, condition ...]) and call(...): not from a step made by link(.
int compile_jump_call(CompileArgs &args) {
    if (args.step->link_count == 0) return kErrJumpFromLinked;
    return compile_jump_condition(args, false);
}

// rjump(offset[, condition ...]): the targets are offsets from the current step.
int compile_rjump(CompileArgs &args) { return compile_jump_condition(args, true); }

// ret([ok | ng | sma | lar]): sub-mode 0 returns always, else the word's index plus one.
int compile_ret(CompileArgs &args) {
    std::vector<std::string> fields;
    if (split_args(args.text, 1, fields) != kOk) {
        args.command->sub_mode = 0;
        return kOk;
    }
    int index = 0;
    if (const int rc = parse_condition(fields[0], &index); rc != kOk) return rc;
    if (index > kCondLarger) return kErrInvalidMode;
    args.command->sub_mode = index + 1;
    return kOk;
}

// link(n): slot 0 = n. Makes step n (1..4999, not yet defined) a member of the chain that the
// current measuring step heads or belongs to.
int compile_link(CompileArgs &args) {
    ProgramModel &model = args.model;
    StepRecord &step = *args.step;
    if (step.link_count == -2 || !step.measure) return kErrMissingFirst;
    std::vector<std::string> fields;
    if (const int rc = split_args(args.text, 1, fields); rc != kOk) return rc;
    int32_t n = 0;
    if (const int rc = parse_int_arg(fields[0], &n, 1, kLastSequenceStep); rc != kOk) return rc;
    args.command->ints[0] = n;
    if (model.step(n)) return kErrLinkDuplicated;
    if (const int rc = make_member(args, n); rc != kOk) return rc;
    const int current = args.build.current_step;
    if (step.link_count == -1) {
        step.link_count = 1;
        if (const int rc = hang_link(model, current, 0, -1, n); rc != kOk) return rc;
        return hang_link(model, n, 1, current, -1);
    }
    int head = current;
    if (step.link_count == 0) {
        if (const int rc = chain_head(model, current, &head); rc != kOk) return rc;
    }
    return append_member(model, head, n);
}

// limit(seconds, count): real 0 = seconds, slot 0 = count (-1..2147483647, not 0). Constants
// also become the step's time limit (in whole milliseconds, as limit( sets it when it runs; a
// negative time is no limit) and its repetition count.
int compile_limit(CompileArgs &args) {
    CommandRecord &command = *args.command;
    std::vector<std::string> fields;
    if (const int rc = split_args(args.text, 2, fields); rc != kOk) return rc;
    if (const int rc = parse_real_operand(args, fields[0], 0); rc != kOk) return rc;
    if (const int rc = parse_int_operand(args, fields[1], -1, kIntMax, 0); rc != kOk) return rc;
    if (!(command.mask & kMaskRealSlot(0))) {
        // The step's time limit counts milliseconds, as the run side's limit( sets it; a limit
        // kept in seconds would cut the step off before its own limit( ran.
        const double ms = std::trunc(command.reals[0] * 1000.0);
        if (!std::isfinite(ms)) return kErrOutOfRange;
        args.step->time_limit = ms < 0 ? -1 : ms > kIntMax ? kIntMax : static_cast<int32_t>(ms);
    }
    if (!(command.mask & kMaskIntSlot(0))) {
        if (command.ints[0] == 0) return kErrOutOfRange;
        args.step->repetition_count = command.ints[0];
    }
    return kOk;
}

// calc(op, value): sub-mode 0 "*", 1 "+", 2 "/", 3 "-"; real 0 = the value. calc(op, step[n]):
// slot 0 = n and mask bit 16; the step keeps n and the operator. An rd[k] value is only for
// "*" (the step's calc register A) and "+" (register B).
int compile_calc(CompileArgs &args) {
    CommandRecord &command = *args.command;
    std::vector<std::string> fields;
    if (const int rc = split_args(args.text, 2, fields); rc != kOk) return rc;
    if (const int rc = parse_choice(fields[0], {"*", "+", "/", "-"}, &command.sub_mode); rc != kOk) return rc;
    const std::string_view operand = fields[1];
    if (starts_with_word(operand, "step[")) {
        if (const int rc = parse_int_arg(operand.substr(5), &command.ints[0], kIntMin, kIntMax); rc != kOk) return rc;
        command.mask |= kMaskRealSlot(0);
        args.step->calc_step_source = command.ints[0];
        args.step->calc_step_operator = command.sub_mode;
        return kOk;
    }
    if (const int rc = parse_real_operand(args, operand, 0); rc != kOk) return rc;
    if (!(command.mask & kMaskRealSlot(0))) return kOk;
    const int32_t k = static_cast<int32_t>(command.reals[0]);
    if (command.sub_mode == 0) args.step->calc_register_a = k;
    else if (command.sub_mode == 1) args.step->calc_register_b = k;
    else return kErrInvalidMode;
    return kOk;
}

// check(value, n): sub-mode 5, slot 1 = the low 16 bits of the value, slot 0 = n (ad[]).
// check(dum) and check(ad | rd | aad | ard, n): sub-mode 0..4, slot 0 = n, a register of ad[]
// for "ad" and "aad" and of rd[] for "rd" and "ard".
int compile_check(CompileArgs &args) {
    CommandRecord &command = *args.command;
    std::vector<std::string> fields;
    if (const int rc = split_args(args.text, 1, fields); rc != kOk) return rc;
    uint32_t value = 0;
    if (parse_uint_arg(fields[0], &value) == kOk) {
        command.sub_mode = 5;
        command.ints[1] = static_cast<int32_t>(value & 0xFFFF);
    } else if (const int rc = parse_choice(fields[0], {"dum", "ad", "rd", "aad", "ard"}, &command.sub_mode); rc != kOk) {
        return rc;
    }
    if (command.sub_mode == 0) return kOk;
    if (const int rc = split_args(args.text, 2, fields); rc != kOk) return rc;
    const bool from_rd = command.sub_mode == 2 || command.sub_mode == 4;
    return parse_register_slot(args, fields[1], 0, from_rd ? UsageMap::kRd : UsageMap::kAd);
}

// okng(ok | ng, n) and okng(rev): sub-mode 0..2; slot 0 = n, 0..2147483647.
int compile_okng(CompileArgs &args) {
    CommandRecord &command = *args.command;
    std::vector<std::string> fields;
    if (const int rc = split_args(args.text, 1, fields); rc != kOk) return rc;
    if (const int rc = parse_choice(fields[0], {"ok", "ng", "rev"}, &command.sub_mode); rc != kOk) return rc;
    if (command.sub_mode == 2) return kOk;
    if (const int rc = split_args(args.text, 2, fields); rc != kOk) return rc;
    return parse_int_operand(args, fields[1], 0, kIntMax, 0);
}

// stopmode([ngs | ste | lin | aut][, off | on]): slot 0 = the run mode 0..3, slot 1 = 0 off,
// 1 on; -1 where a field is empty. Either field may be left empty.
int compile_stopmode(CompileArgs &args) {
    CommandRecord &command = *args.command;
    std::vector<std::string> fields;
    (void)split_args(args.text, 2, fields);  // empty or absent fields are allowed here
    command.ints[0] = command.ints[1] = -1;
    if (!fields[0].empty()) {
        if (const int rc = parse_choice(fields[0], {"ngs", "ste", "lin", "aut"}, &command.ints[0]); rc != kOk) return rc;
    }
    if (fields[1].empty()) return kOk;
    return parse_choice(fields[1], {"off", "on"}, &command.ints[1]);
}

// timer(set), timer(rea, n), timer(wri, seconds): sub-mode 1 "rea" with slot 0 = n (rd[]);
// sub-mode 2 "wri" with real 0 = the seconds; "set" is stored as "wri" with 0 seconds.
int compile_timer(CompileArgs &args) {
    CommandRecord &command = *args.command;
    std::vector<std::string> fields;
    if (const int rc = split_args(args.text, 1, fields); rc != kOk) return rc;
    if (const int rc = parse_choice(fields[0], {"set", "rea", "wri"}, &command.sub_mode); rc != kOk) return rc;
    if (command.sub_mode == 0) {
        command.sub_mode = 2;
        command.reals[0] = 0;
        return kOk;
    }
    if (const int rc = split_args(args.text, 2, fields); rc != kOk) return rc;
    if (command.sub_mode == 1) return parse_register_slot(args, fields[1], 0, UsageMap::kRd);
    return parse_real_operand(args, fields[1], 0);
}

// wait(seconds): sub-mode 2, real 0 = the seconds. wait(set, seconds): sub-mode 0, real 0;
// wait(dum): sub-mode 1. A first field that is no number must be one of the words.
int compile_wait(CompileArgs &args) {
    CommandRecord &command = *args.command;
    std::vector<std::string> fields;
    if (const int rc = split_args(args.text, 1, fields); rc != kOk) return rc;
    const int number = parse_real_operand(args, fields[0], 0);
    if (number == kOk) {
        command.sub_mode = 2;
        return kOk;
    }
    command.reals[0] = 0;
    // A word that is neither a number (nor a defined symbol) nor a choice is an invalid mode;
    // a text that begins like a number keeps the number's own error.
    const bool word = !fields[0].empty() && platform::is_ascii_letter(fields[0][0]);
    if (const int rc = parse_choice(fields[0], {"set", "dum"}, &command.sub_mode); rc != kOk) return word ? rc : number;
    if (command.sub_mode == 1) return kOk;
    if (const int rc = split_args(args.text, 2, fields); rc != kOk) return rc;
    return parse_real_operand(args, fields[1], 0);
}

// setsw( and setfsw(: sub-mode = the word; slot 0 = the switch (0..511 for "off", "on", "rem",
// 0..31 for the others). "off", "on": slots 1..7 = up to seven more switches (-1 unused).
// "=": slot 1 = value 0..65535. "set", "res": slot 1 = bit 0..15. "rea": slot 1 = ad[] number.
// "rem": real 0.
int compile_switches(CompileArgs &args) {
    CommandRecord &command = *args.command;
    std::vector<std::string> fields;
    if (const int rc = split_args(args.text, 2, fields); rc != kOk) return rc;
    if (const int rc = parse_choice(fields[0], {"off", "on", "=", "rem", "set", "res", "rea"}, &command.sub_mode);
        rc != kOk)
        return rc;
    const int mode = command.sub_mode;
    const bool wide = mode == kSwOff || mode == kSwOn || mode == kSwRemote;
    if (const int rc = parse_int_operand(args, fields[1], 0, wide ? 511 : 31, 0); rc != kOk) return rc;
    return (mode == kSwOff || mode == kSwOn) ? more_switches(args) : switch_value(args);
}

}  // namespace ksw
