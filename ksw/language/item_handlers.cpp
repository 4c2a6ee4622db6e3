// Compile handlers of the mode keywords and the measurement items. An item is compiled when
// its step ends, into the step's last command record: a target (a value, rd[n], or "step[n]",
// the measured value of another step), then limits, a tolerance, or nothing.
#include <cfloat>

#include "language/arguments.h"
#include "language/compile_handlers.h"
#include "language/operands.h"
#include "language/program_build.h"
#include "resources/error_codes.h"

namespace ksw {
namespace {

bool ends_with_percent(std::string_view field) { return !field.empty() && field.back() == '%'; }

// A limit field: a real operand into `slot`, a trailing "%" making it a percentage (`bit`).
int read_limit(CompileArgs &args, std::string_view field, int slot, uint32_t percent_bits) {
    const bool percent = ends_with_percent(field);
    if (percent) field.remove_suffix(1);
    if (const int rc = parse_real_operand(args, field, slot); rc != kOk) return rc;
    if (percent) {
        if (args.command->mask & kMaskRealSlot(slot)) return kErrWrongStyle;
        args.command->mask |= percent_bits;
    }
    return kOk;
}

// "+-t" or "-+t": the tolerance t (a value, rd[n] or "inf"), optionally a percentage.
int read_tolerance(CompileArgs &args, std::string_view field, double *t) {
    CommandRecord &command = *args.command;
    if (field.size() < 2 || !((field[0] == '+' && field[1] == '-') || (field[0] == '-' && field[1] == '+')))
        return kErrWrongStyle;
    field.remove_prefix(2);
    const bool percent = ends_with_percent(field);
    if (percent) field.remove_suffix(1);
    if (starts_with_word(field, "inf") && field.size() == 3) {
        *t = DBL_MAX;
        command.reals[1] = DBL_MAX;
    } else {
        if (const int rc = parse_real_operand(args, field, 1); rc != kOk) return rc;
        *t = command.reals[1];
        if (command.mask & kMaskRealSlot(1)) command.mask |= kMaskToleranceFromRd;
    }
    if (percent) {
        if (command.mask & kMaskToleranceFromRd) return kErrWrongStyle;
        command.mask |= kMaskUpperPercent | kMaskLowerPercent;
    }
    return kOk;
}

// The part every item shares.
int compile_item_common(CompileArgs &args) {
    CommandRecord &command = *args.command;
    StepRecord &step = *args.step;
    std::vector<std::string> fields;
    int count = 3;
    while (count > 0 && split_args(args.text, count, fields) != kOk) --count;
    if (count == 0) return kErrLackingArgument;

    const std::string_view target = fields[0];
    if (starts_with_word(target, "step[")) {
        int32_t n = 0;
        if (const int rc = parse_register_index(target, 5, &n); rc != kOk) return rc;
        if (n < 1 || n > kLastSequenceStep) return kErrOutOfRange;
        command.reals[0] = n;
        command.mask |= kMaskTargetIsStep;
    } else if (const int rc = parse_real_operand(args, target, 0); rc != kOk) {
        return rc;
    }
    step.item_target = command.reals[0];

    if (count == 1) {
        command.reals[1] = step.upper_bound = DBL_MAX;
        command.reals[2] = step.lower_bound = -DBL_MAX;
    } else if (count == 3) {
        if (const int rc = read_limit(args, fields[1], 1, kMaskUpperPercent); rc != kOk) return rc;
        if (const int rc = read_limit(args, fields[2], 2, kMaskLowerPercent); rc != kOk) return rc;
        step.upper_bound = command.reals[1];
        step.lower_bound = command.reals[2];
    } else {
        double t = 0;
        if (const int rc = read_tolerance(args, fields[1], &t); rc != kOk) return rc;
        command.reals[2] = -t;
        step.upper_bound = t;
        step.lower_bound = -t;
    }
    return kOk;
}

int video_item(CompileArgs &args, int variant) {
    if (args.step->video_standard < 0) return kErrNoVideoStandard;
    if (args.build.current_measure) args.build.current_measure->item_variant = variant;
    return compile_item_common(args);
}

}  // namespace

// "check,", "adjust,", "auto_adjust,": the step's mode; the step now has a first command.
int compile_mode_keyword(CompileArgs &args) {
    switch (args.row) {
    case kRowModeCheck: args.step->mode = kModeCheckItem; break;
    case kRowModeAdjust: args.step->mode = kModeAdjustItem; break;
    default: args.step->mode = kModeAutoAdjustItem; break;
    }
    if (args.step->link_count == -2) args.step->link_count = -1;
    return kOk;
}

// ",dc_volt(" and the other plain items: target[, upper, lower | , +-tolerance].
int compile_item(CompileArgs &args) { return compile_item_common(args); }

// ",chroma_gain(", ",v_level(", ",v_level_level(": need the step's video standard.
int compile_item_video(CompileArgs &args) { return video_item(args, 1); }

// ",chroma_phase(": the second detection window must start a multiple of 4 after the first.
int compile_item_chroma_phase(CompileArgs &args) {
    const MeasureBlock *block = args.build.current_measure;
    if (block && (block->window_start[1] - block->window_start[0]) % 4 != 0) return kErrLevelRange;
    return video_item(args, 1);
}

// ",chroma_det(", ",interval(": need the step's video standard.
int compile_item_detect(CompileArgs &args) { return video_item(args, 0); }

}  // namespace ksw
