// Compile handlers of the declarations: they make no command record and set fields of the step
// of the last label, of its measuring block (which exists only after the step's first command)
// or of the program's run settings. interval( is a command but fills the same detection
// windows as level(, so it lives here too.
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "language/arguments.h"
#include "language/handler_support.h"
#include "language/compile_handlers.h"
#include "resources/error_codes.h"
#include "values/evaluator.h"
#include "zelw.h"

namespace ksw {
namespace {

constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();
constexpr size_t kCommentLength = 58;
constexpr size_t kTitleLength = 80;
constexpr int64_t kWindowEnd = 8192;        // a detection window must end below this sample
constexpr int64_t kNarrowWindowEnd = 5048;  // ... or below this one when global( option 1 is on

// Reads the one field of a declaration. Returns 0 or e003.
int one_field(CompileArgs &args, std::vector<std::string> &fields) { return split_args(args.text, 1, fields); }

// Reads the one field of a declaration as a rounded constant not below `minimum` into *out.
int rounded_field(CompileArgs &args, int32_t minimum, int32_t *out) {
    std::vector<std::string> fields;
    if (const int rc = one_field(args, fields); rc != kOk) return rc;
    return parse_rounded(fields[0], minimum, out);
}

// Reads the one field of a declaration as an integer minimum..maximum into *out; a fraction is e001.
int integer_field(CompileArgs &args, int32_t minimum, int32_t maximum, int32_t *out) {
    std::vector<std::string> fields;
    if (const int rc = one_field(args, fields); rc != kOk) return rc;
    return parse_int_arg(fields[0], out, minimum, maximum);
}

// The ok or ng jump target of a measuring step that was not made by link(: 1..4999, or 1..5008
// in the steps from 4999 on. Returns 0, e100, e176, e003 or the number's error.
int jump_target_field(CompileArgs &args, int32_t *target) {
    if (!args.build.current_measure) return kErrMissingFirst;
    if (args.step->link_count == 0) return kErrJumpFromLinked;
    const int32_t last = args.build.current_step >= kLastSequenceStep ? kLastStep : kLastSequenceStep;
    return integer_field(args, 1, last, target);
}

// A window start as written: stored minus one, so it may not be the smallest 32-bit number.
int window_start_field(std::string_view field, int32_t *start) {
    return parse_int_arg(field, start, kIntMin + 1, kIntMax);
}

}  // namespace

// abs(): the measured value is taken as its magnitude (item flags bit 0).
int compile_abs(CompileArgs &args) {
    if (!args.build.current_measure) return kErrMissingFirst;
    args.build.current_measure->item_flags |= 1;
    return kOk;
}

// check_time(t): how long a link head waits for one member, rounded.
int compile_check_time(CompileArgs &args) { return rounded_field(args, kIntMin, &args.step->link_wait); }

// comment(text): the measuring step's comment, at most 58 characters.
int compile_comment(CompileArgs &args) {
    if (!args.build.current_measure) return kErrMissingFirst;
    std::vector<std::string> fields;
    if (const int rc = one_field(args, fields); rc != kOk) return rc;
    args.build.current_measure->comment = cut_text(fields[0], kCommentLength);
    return kOk;
}

// count(ok, ng): the OK and NG thresholds, each 1..2147483647.
int compile_count(CompileArgs &args) {
    std::vector<std::string> fields;
    if (const int rc = split_args(args.text, 2, fields); rc != kOk) return rc;
    int32_t ok = 0, ng = 0;
    if (const int rc = parse_int_arg(fields[0], &ok, 1, kIntMax); rc != kOk) return rc;
    if (const int rc = parse_int_arg(fields[1], &ng, 1, kIntMax); rc != kOk) return rc;
    args.step->ok_threshold = ok;
    args.step->ng_threshold = ng;
    return kOk;
}

// focus(mai | wav): which window the step draws into.
int compile_focus(CompileArgs &args) {
    std::vector<std::string> fields;
    if (const int rc = one_field(args, fields); rc != kOk) return rc;
    return parse_choice(fields[0], {"mai", "wav"}, &args.step->focus);
}

// global(mode, title[, off | fil[, retries[, option]]]): the run settings of the program.
int compile_global(CompileArgs &args) {
    std::vector<std::string> fields;
    int count = 0;
    if (const int rc = split_present(args.text, 2, 5, fields, &count); rc != kOk) return rc;
    GlobalDeclaration global;
    if (const int rc = parse_choice(fields[0], {"ngs", "ste", "lin", "aut"}, &global.run_mode); rc != kOk) return rc;
    global.title = cut_text(fields[1], kTitleLength);
    if (count > 2) {
        if (const int rc = parse_choice(fields[2], {"off", "fil"}, &global.file_recording); rc != kOk) return rc;
    }
    if (count > 3) {
        if (const int rc = parse_int_arg(fields[3], &global.retry_count, 0, 10); rc != kOk) return rc;
    }
    if (count > 4) {
        if (const int rc = parse_int_arg(fields[4], &global.option, 0, 1); rc != kOk) return rc;
    }
    global.given = true;
    args.model.global = std::move(global);
    return kOk;
}

// level(w, a | pp | p | b, start[, length]): one detection window; w outside 1..4 is window 4.
// With a length, windows 1 and 2 must end below sample 8192 (5048 with global( option 1).
int compile_level(CompileArgs &args) {
    MeasureBlock *block = args.build.current_measure;
    if (!block) return kErrMissingFirst;
    std::vector<std::string> fields;
    int count = 0;
    if (const int rc = split_present(args.text, 3, 4, fields, &count); rc != kOk) return rc;
    int32_t w = 0, kind = 0, start = 0, length = 0;
    if (const int rc = parse_int_arg(fields[0], &w, kIntMin, kIntMax); rc != kOk) return rc;
    if (const int rc = parse_choice(fields[1], {"a", "pp", "p", "b"}, &kind); rc != kOk) return rc;
    if (const int rc = window_start_field(fields[2], &start); rc != kOk) return rc;
    if (count > 3) {
        if (const int rc = parse_int_arg(fields[3], &length, kIntMin, kIntMax); rc != kOk) return rc;
    }
    const size_t window = (w >= 1 && w <= 4) ? static_cast<size_t>(w - 1) : 3;
    block->window_kind[window] = kind;
    block->window_start[window] = start - 1;
    if (count < 4) return kOk;
    block->window_length[window] = length;
    const int64_t end = args.model.global.option == 1 ? kNarrowWindowEnd : kWindowEnd;
    for (size_t i = 0; i < 2; ++i) {
        if (int64_t{block->window_start[i]} + block->window_length[i] >= end) return kErrOutOfRange;
    }
    return kOk;
}

// min_max(a, b): the measuring step's limits, put in ascending order.
int compile_min_max(CompileArgs &args) {
    MeasureBlock *block = args.build.current_measure;
    if (!block) return kErrMissingFirst;
    std::vector<std::string> fields;
    if (const int rc = split_args(args.text, 2, fields); rc != kOk) return rc;
    double low = 0, high = 0;
    if (const int rc = evaluate_expression(fields[0], &low); rc != kOk) return rc;
    if (const int rc = evaluate_expression(fields[1], &high); rc != kOk) return rc;
    SwapDouble(&low, &high);
    block->lower_limit = low;
    block->upper_limit = high;
    return kOk;
}

// mode(adj | che | noo): the step's mode 0, 1 or 2.
int compile_mode(CompileArgs &args) {
    std::vector<std::string> fields;
    if (const int rc = one_field(args, fields); rc != kOk) return rc;
    return parse_choice(fields[0], {"adj", "che", "noo"}, &args.step->mode);
}

// ng_jmp(n): where the run goes when the measuring step ends NG.
int compile_ng_jmp(CompileArgs &args) {
    int32_t target = 0;
    if (const int rc = jump_target_field(args, &target); rc != kOk) return rc;
    args.build.current_measure->ng_jump = target;
    return kOk;
}

// ok_count(n): the OK threshold alone, 1..2147483647.
int compile_ok_count(CompileArgs &args) { return integer_field(args, 1, kIntMax, &args.step->ok_threshold); }

// ok_jmp(n): where the run goes when the measuring step ends OK.
int compile_ok_jmp(CompileArgs &args) {
    int32_t target = 0;
    if (const int rc = jump_target_field(args, &target); rc != kOk) return rc;
    args.build.current_measure->ok_jump = target;
    return kOk;
}

// sample_tact(t): the step's sample tact, not negative, rounded.
int compile_sample_tact(CompileArgs &args) { return rounded_field(args, 0, &args.step->sample_tact); }

// setcall(n): the step 1..4999 the measuring step calls.
int compile_setcall(CompileArgs &args) {
    if (!args.build.current_measure) return kErrMissingFirst;
    return integer_field(args, 1, kLastSequenceStep, &args.build.current_measure->call_target);
}

// setup_time(t): the step's setup time, not negative, rounded.
int compile_setup_time(CompileArgs &args) { return rounded_field(args, 0, &args.step->setup_time); }

// wform(n[, level]): waveform 1..4 and its level 0..100.
int compile_wform(CompileArgs &args) {
    MeasureBlock *block = args.build.current_measure;
    if (!block) return kErrMissingFirst;
    std::vector<std::string> fields;
    int count = 0;
    if (const int rc = split_present(args.text, 1, 2, fields, &count); rc != kOk) return rc;
    int32_t waveform = 0;
    double level = block->waveform_level;
    if (const int rc = parse_int_arg(fields[0], &waveform, 1, 4); rc != kOk) return rc;
    if (count > 1) {
        if (const int rc = evaluate_expression(fields[1], &level); rc != kOk) return rc;
        if (!(level >= 0 && level <= 100)) return kErrOutOfRange;
    }
    block->waveform = waveform;
    block->waveform_level = level;
    return kOk;
}

// interval(s1, l1, s2, l2, s3, l3, s4, l4): the four detection windows at once, their kinds
// cleared. Fields: slots 0..7 keep the eight numbers as written; the measuring block gets each
// start minus one and each length.
int compile_interval(CompileArgs &args) {
    MeasureBlock *block = args.build.current_measure;
    if (!block) return kErrMissingFirst;
    std::vector<std::string> fields;
    if (const int rc = split_args(args.text, 8, fields); rc != kOk) return rc;
    CommandRecord &command = *args.command;
    for (size_t w = 0; w < 4; ++w) {
        if (const int rc = window_start_field(fields[2 * w], &command.ints[2 * w]); rc != kOk) return rc;
        if (const int rc = parse_int_arg(fields[2 * w + 1], &command.ints[2 * w + 1], kIntMin, kIntMax); rc != kOk)
            return rc;
    }
    for (size_t w = 0; w < 4; ++w) {
        block->window_start[w] = command.ints[2 * w] - 1;
        block->window_length[w] = command.ints[2 * w + 1];
        block->window_kind[w] = 0;
    }
    return kOk;
}

}  // namespace ksw
