// Compile handlers of the screen and sound commands (cls(, screen(, beep(), the commands that
// hand a text or a number to an outside program (info(, barcode(, user() and the front-ends of
// the outside devices (LANC, IEEE 1284, pattern generator, printers, motor, measuring unit).
#include "language/arguments.h"
#include "language/handler_fields.h"
#include "language/compile_handlers.h"
#include "resources/error_codes.h"

namespace ksw {
namespace {

constexpr size_t kJt2642TextLimit = 80;
constexpr int kJt2642Integers = 7;

// A device front-end: its word (sub-mode), then up to 13 register or value operands into
// slots 0..12 (any integers, each may be ad[n]); a fourteenth is e074.
int compile_front_end(CompileArgs &args, std::initializer_list<std::string_view> words) {
    std::vector<std::string> f;
    int count = 0;
    int rc = read_choice_fields(args, 1, kIntSlots + 2, words, f, &count);
    if (rc == kOk && count > kIntSlots + 1) rc = kErrTooManyParameters;
    for (int i = 1; rc == kOk && i < count; ++i) rc = parse_int_operand(args, f[i], kAnyIntMin, kAnyIntMax, i - 1);
    return rc;
}

// Four integer operands `minimum`..2147483647 from field `first` on, into slots 0..3.
int four_positions(CompileArgs &args, const std::vector<std::string> &f, int first, int32_t minimum) {
    int rc = kOk;
    for (int i = 0; rc == kOk && i < 4; ++i) rc = parse_int_operand(args, f[first + i], minimum, kPositiveMax, i);
    return rc;
}

}  // namespace

// cls([x0, y0, x1, y1]): without a field sub-mode 0 (the whole screen); with four co-ordinates
// 0..2147483647 in slots 0..3 sub-mode 1 (a rectangle). One to three fields are e003, five e074.
int compile_cls(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    if (const int rc = split_present(args.text, 0, 5, f, &count); rc != kOk) return rc;
    if (count == 0) return kOk;
    if (count < 4) return kErrLackingArgument;
    if (count > 4) return kErrTooManyParameters;
    args.command->sub_mode = 1;
    return four_positions(args, f, 0, 0);
}

// screen(pos|on|off[, x0, y0, x1, y1]): sub-mode the word; "on" sets and "off" clears bit 0 of
// the step's flags (its screen output); "pos" takes four window co-ordinates (any integers, a
// window may lie left of or above the screen) into slots 0..3.
int compile_screen(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    const int rc = read_choice_fields(args, 1, 5, {"pos", "on", "off"}, f, &count);
    if (rc != kOk) return rc;
    switch (args.command->sub_mode) {
    case 1: args.step->flags |= 1; return kOk;
    case 2: args.step->flags &= ~1; return kOk;
    default: return count < 5 ? kErrLackingArgument : four_positions(args, f, 1, kAnyIntMin);
    }
}

// beep([off|on[, volume]] | wav, file): sub-mode the word ("off" 0, "on" 1, "wav" 2), 1 without
// a field; real 0 the real operand of "off" and "on" (default 1.0); "wav" keeps the sound file's
// name as the command's text (without one: e003).
int compile_beep(CompileArgs &args) {
    CommandRecord &command = *args.command;
    std::vector<std::string> f;
    int count = 0;
    command.sub_mode = 1;
    command.reals[0] = 1.0;
    if (const int rc = split_present(args.text, 0, 2, f, &count); rc != kOk) return rc;
    if (count == 0) return kOk;
    if (const int rc = parse_choice(f[0], {"off", "on", "wav"}, &command.sub_mode); rc != kOk) return rc;
    if (command.sub_mode == 2) {
        command.reals[0] = 0;
        if (count < 2) return kErrLackingArgument;
        keep_text(command, f[1], kWholeText);
        return kOk;
    }
    return count > 1 ? parse_real_operand(args, f[1], 0) : kOk;
}

// info(n): slot 0 n, any integer.
int compile_info(CompileArgs &args) {
    std::vector<std::string> f;
    const int rc = split_args(args.text, 1, f);
    return rc == kOk ? parse_int_operand(args, f[0], kAnyIntMin, kAnyIntMax, 0) : rc;
}

// barcode(text): the text kept as the command's.
int compile_barcode(CompileArgs &args) {
    std::vector<std::string> f;
    const int rc = split_args(args.text, 1, f);
    if (rc == kOk) keep_text(*args.command, f[0], kWholeText);
    return rc;
}

// user(command line[, value]): the command line kept as the command's text; real 0 the value,
// default 0.
int compile_user(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    const int rc = split_present(args.text, 1, 2, f, &count);
    if (rc != kOk) return rc;
    keep_text(*args.command, f[0], kWholeText);
    return count > 1 ? parse_real_operand(args, f[1], 0) : kOk;
}

// lanc(word, ...): see compile_front_end.
int compile_lanc(CompileArgs &args) {
    return compile_front_end(args, {"rem", "for", "etc", "sta", "fst", "mon", "che", "nfo", "set", "neg", "nch"});
}

// pi1284(word, ...): see compile_front_end.
int compile_pi1284(CompileArgs &args) { return compile_front_end(args, {"trx", "tx", "rx", "mes", "tim"}); }

// patgen(word, ...): see compile_front_end.
int compile_patgen(CompileArgs &args) {
    return compile_front_end(args, {"ope", "clo", "loa", "syn", "=sy", "bur", "=bu", "y", "cr", "cb", "r", "g", "b",
                                    "mag", "ang", "ccd"});
}

// nc300(word, ...): see compile_front_end.
int compile_nc300(CompileArgs &args) {
    return compile_front_end(args, {"trx", "tx", "rx", "ope", "sel", "sen", "inq", "for", "log", "clo"});
}

// nc605(word, ...): see compile_front_end.
int compile_nc605(CompileArgs &args) {
    return compile_front_end(args,
                             {"trx", "reb", "ope", "clo", "dma", "car", "pap", "ver", "crc", "trw", "get", "put"});
}

// tx700(word, ...): see compile_front_end.
int compile_tx700(CompileArgs &args) {
    return compile_front_end(args, {"trx", "sel", "sen", "ope", "inq", "clo", "pri", "can", "tes"});
}

// motor(word, ...): see compile_front_end.
int compile_motor(CompileArgs &args) { return compile_front_end(args, {"ini", "hom", "cw", "ccw"}); }

// dic(word, ...): see compile_front_end.
int compile_dic(CompileArgs &args) {
    return compile_front_end(args, {"ini", "che", "dar", "lef", "rig", "ele", "eri", "hea", "lhe", "rhe", "pos", "pow",
                                    "all", "max", "lfi", "rfi", "set"});
}

// jt2642(bar|pri, n1, ..., n7, text): sub-mode the word; slots 0..6 seven integer operands; the
// text, cut to 80 characters, kept as the command's.
int compile_jt2642(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    int rc = read_choice_fields(args, kJt2642Integers + 2, kJt2642Integers + 2, {"bar", "pri"}, f, &count);
    for (int i = 1; rc == kOk && i <= kJt2642Integers; ++i)
        rc = parse_int_operand(args, f[i], kAnyIntMin, kAnyIntMax, i - 1);
    if (rc == kOk) keep_text(*args.command, f[kJt2642Integers + 1], kJt2642TextLimit);
    return rc;
}

}  // namespace ksw
