// Compile handlers of the register commands: block copies and value operations on ad[] and
// rd[], moves between the two files, constants and byte strings into registers, and the
// three-register calculations, searches, shifts and selections.
#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "language/arguments.h"
#include "language/dbcs.h"
#include "language/handler_support.h"
#include "language/compile_handlers.h"
#include "resources/error_codes.h"
#include "values/evaluator.h"
#include "model/register_modes.h"
#include "zelw.h"

namespace ksw {
namespace {

constexpr int32_t kLastRegister = kRegisterCount - 1;
constexpr double kMaxMoveLevel = 60;  // movead( "ave"/"max": the level b in decibels

enum class CopyForm { kBlock, kValue, kBare };

// The source and destination registers (slots 0 and 1), then by form: the optional block
// operands (slots 2..5, defaults 1, 0, 1, 1), a required value (real 0), or nothing more.
int copy_operands(CompileArgs &args, CopyForm form, UsageMap map) {
    CommandRecord &command = *args.command;
    command.ints[2] = 1;
    command.ints[3] = 0;
    command.ints[4] = 1;
    command.ints[5] = 1;
    std::vector<std::string> fields;
    int count = 0;
    const int required = form == CopyForm::kValue ? 4 : 3;
    const int most = form == CopyForm::kBlock ? 7 : required;
    if (const int rc = split_present(args.text, required, most, fields, &count); rc != kOk) return rc;
    if (const int rc = parse_register_slot(args, fields[1], 0, map); rc != kOk) return rc;
    if (const int rc = parse_register_slot(args, fields[2], 1, map); rc != kOk) return rc;
    if (form == CopyForm::kValue) return parse_real_operand(args, fields[3], 0);
    // Field 4 is the count: "=" (word 0) also takes -1, copy up to the end of a string.
    const std::array<int32_t, 4> lowest{command.sub_mode == 0 ? -1 : 0, 0, 1, 1};
    for (int f = 3; f < count; ++f) {
        const std::string_view field = fields[static_cast<size_t>(f)];
        if (const int rc = parse_int_operand(args, field, lowest[static_cast<size_t>(f - 3)], kLastRegister, f - 1);
            rc != kOk)
            return rc;
    }
    return kOk;
}

// The choice word of a command whose first field is one, into the sub-mode.
int first_choice(CompileArgs &args, int required, std::span<const std::string_view> words) {
    std::vector<std::string> fields;
    if (const int rc = split_args(args.text, required, fields); rc != kOk) return rc;
    return parse_choice(fields[0], words, &args.command->sub_mode);
}

// calcad( and calcrd(: the operator, then three registers of one file.
int three_registers(CompileArgs &args, UsageMap map) {
    std::vector<std::string> fields;
    if (const int rc = split_args(args.text, 4, fields); rc != kOk) return rc;
    for (int slot = 0; slot < 3; ++slot) {
        if (const int rc = parse_register_slot(args, fields[static_cast<size_t>(slot) + 1], slot, map); rc != kOk)
            return rc;
    }
    return kOk;
}

// "rd" or "ad": which register file a command works on.
int register_file(std::string_view field, int *index, UsageMap *map) {
    if (const int rc = parse_choice(field, {"rd", "ad"}, index); rc != kOk) return rc;
    *map = *index == 0 ? UsageMap::kRd : UsageMap::kAd;
    return kOk;
}

// The value field of movead( by mode: a constant factor ("dir", "inv", "int"), a mask 0..65535
// ("and"), or the scale a that must not be zero ("ave", "max"). Into real 0.
int move_value(CommandRecord &command, std::string_view field) {
    if (command.sub_mode == kMoveadAnd) {
        int32_t mask = 0;
        if (const int rc = parse_int_arg(field, &mask, 0, 65535); rc != kOk) return rc;
        command.reals[0] = mask;
        return kOk;
    }
    if (const int rc = evaluate_expression(field, &command.reals[0]); rc != kOk) return rc;
    const bool summary = command.sub_mode == kMoveadAve || command.sub_mode == kMoveadMax;
    if (summary && command.reals[0] > -DBL_MIN && command.reals[0] < DBL_MIN) return kErrOutOfRange;
    return kOk;
}

// movead( "ave"/"max" field 7: the level b in decibels, |b| <= 60, kept as the gain 10^(|b|/20).
int move_level(CommandRecord &command, std::string_view field) {
    double level = 0;
    if (const int rc = evaluate_expression(field, &level); rc != kOk) return rc;
    if (!(std::fabs(level) <= kMaxMoveLevel)) return kErrOutOfRange;
    command.reals[1] = std::pow(10.0, std::fabs(level) * 0.05);
    return kOk;
}

// Marks the registers movead( touches: n of rd[] from slot 0, (n-1)*s+1 of ad[] from slot 1; a
// count or stride read from ad[] leaves the ends open.
void mark_move(CompileArgs &args) {
    const CommandRecord &command = *args.command;
    const bool open_count = command.mask & kMaskIntSlot(2);
    const bool open_stride = command.mask & kMaskIntSlot(3);
    const int n = command.ints[2], s = command.ints[3];
    mark_slot_registers(args, 0, UsageMap::kRd, open_count ? -1 : n);
    const int64_t span = std::min<int64_t>(int64_t{n - 1} * s + 1, kRegisterCount);
    mark_slot_registers(args, 1, UsageMap::kAd, (open_count || open_stride) ? -1 : static_cast<int>(span));
}

// The bytes of a setaddata( string: "\x" and two hexadecimal digits make one byte, every other
// byte stands for itself. Returns 0 or e001 for a bad escape.
int decode_bytes(const std::string &text, std::string *bytes) {
    bytes->clear();
    for (size_t i = 0; i < text.size();) {
        if (is_lead_byte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
            bytes->append(text, i, 2);
            i += 2;
        } else if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'x') {
            const int value = StrToHexA(text.c_str() + i + 2, 2);
            if (value < 0) return kErrWrongStyle;
            bytes->push_back(static_cast<char>(value));
            i += 4;
        } else {
            bytes->push_back(text[i++]);
        }
    }
    return kOk;
}

// True when the data of setaddata( (the statement's text after its first comma) is quoted.
bool data_is_string(std::string_view text) {
    const size_t comma = text.find(',');
    return comma != std::string_view::npos && comma + 1 < text.size() && text[comma + 1] == '"';
}

}  // namespace

// copyad(mode, a, b[, count[, skip[, group[, rep]]]]) for modes "=" to "iby";
// copyad(mode, a, b, x) for the others. Slot 0 = a, slot 1 = b (ad[] numbers), slots 2..5 the
// block operands (defaults 1, 0, 1, 1), real 0 = x.
int compile_copyad(CompileArgs &args) {
    if (const int rc = first_choice(args, 3, kCopyadWords); rc != kOk) return rc;
    const CopyForm form = args.command->sub_mode <= kCopyadIby ? CopyForm::kBlock : CopyForm::kValue;
    return copy_operands(args, form, UsageMap::kAd);
}

// copy(mode, a, b[, count[, skip[, group[, rep]]]]) for modes "=" to "ln"; copy(flo, a, b);
// copy(mode, a, b, x) for the others. The slots as copyad(, on rd[].
int compile_copy(CompileArgs &args) {
    if (const int rc = first_choice(args, 3, kCopyWords); rc != kOk) return rc;
    const int mode = args.command->sub_mode;
    const CopyForm form = mode <= kCopyLn ? CopyForm::kBlock : mode == kCopyFlo ? CopyForm::kBare : CopyForm::kValue;
    return copy_operands(args, form, UsageMap::kRd);
}

// movead(mode, r, v, a[, n[, s]]) and movead(ave | max, r, a-scale, a, n, s, b): slot 0 = r
// (rd[]), slot 1 = a (ad[]), slot 2 = n, slot 3 = s (defaults 1), real 0 = the factor, mask or
// scale, real 1 = the gain of level b. "=" is stored as "dir".
int compile_movead(CompileArgs &args) {
    CommandRecord &command = *args.command;
    if (const int rc = first_choice(args, 4, kMoveadWords); rc != kOk) return rc;
    if (command.sub_mode == kMoveadAssign) command.sub_mode = kMoveadDir;
    const bool summary = command.sub_mode == kMoveadAve || command.sub_mode == kMoveadMax;
    std::vector<std::string> fields;
    int count = 0;
    if (const int rc = split_present(args.text, summary ? 7 : 4, summary ? 7 : 6, fields, &count); rc != kOk) return rc;
    command.ints[2] = command.ints[3] = 1;
    if (const int rc = parse_int_operand(args, fields[1], 0, kLastRegister, 0); rc != kOk) return rc;
    if (const int rc = move_value(command, fields[2]); rc != kOk) return rc;
    if (const int rc = parse_int_operand(args, fields[3], 0, kLastRegister, 1); rc != kOk) return rc;
    if (count > 4) {
        if (const int rc = parse_int_operand(args, fields[4], 1, kRegisterCount, 2); rc != kOk) return rc;
    }
    if (count > 5) {
        if (const int rc = parse_int_operand(args, fields[5], 1, kLastRegister, 3); rc != kOk) return rc;
    }
    if (summary) {
        if (const int rc = move_level(command, fields[6]); rc != kOk) return rc;
    }
    mark_move(args);
    return kOk;
}

// setaddata(n, v): slot 0 = n, slot 1 = v (-65535..65535), sub-mode 0. setaddata(n, "text"):
// sub-mode 1, the bytes kept as the command's text, slot 1 = their number with the terminating
// zero; ad[] is named from n on as an open block.
int compile_setaddata(CompileArgs &args) {
    CommandRecord &command = *args.command;
    std::vector<std::string> fields;
    if (const int rc = split_args(args.text, 2, fields); rc != kOk) return rc;
    if (const int rc = parse_int_operand(args, fields[0], 0, kLastRegister, 0); rc != kOk) return rc;
    if (!data_is_string(args.text)) {
        mark_slot_registers(args, 0, UsageMap::kAd, 1);
        return parse_int_operand(args, fields[1], -65535, 65535, 1);
    }
    mark_slot_registers(args, 0, UsageMap::kAd, -1);
    command.sub_mode = 1;
    if (const int rc = decode_bytes(fields[1], &command.text); rc != kOk) return rc;
    command.has_text = true;
    command.ints[1] = static_cast<int32_t>(command.text.size() + 1);
    return kOk;
}

// setdata(n, v): slot 0 = n (rd[]), real 0 = v.
int compile_setdata(CompileArgs &args) {
    std::vector<std::string> fields;
    if (const int rc = split_args(args.text, 2, fields); rc != kOk) return rc;
    if (const int rc = parse_register_slot(args, fields[0], 0, UsageMap::kRd); rc != kOk) return rc;
    return parse_real_operand(args, fields[1], 0);
}

// calcad(op, a, b, c): slots 0..2 = a, b, c (ad[]).
int compile_calcad(CompileArgs &args) {
    if (const int rc = first_choice(args, 4, kCalcadWords); rc != kOk) return rc;
    return three_registers(args, UsageMap::kAd);
}

// calcrd(op, a, b, c): slots 0..2 = a, b, c (rd[]).
int compile_calcrd(CompileArgs &args) {
    if (const int rc = first_choice(args, 4, kCalcrdWords); rc != kOk) return rc;
    return three_registers(args, UsageMap::kRd);
}

// search(rd | ad, a, b, c): sub-mode 0 rd, 1 ad; slot 0 = a (an open block of the chosen file),
// slot 1 = b (chosen file), slot 2 = c (ad[]).
int compile_search(CompileArgs &args) {
    std::vector<std::string> fields;
    if (const int rc = split_args(args.text, 4, fields); rc != kOk) return rc;
    UsageMap map = UsageMap::kNone;
    if (const int rc = register_file(fields[0], &args.command->sub_mode, &map); rc != kOk) return rc;
    if (const int rc = parse_register_slot(args, fields[1], 0, map, -1); rc != kOk) return rc;
    if (const int rc = parse_register_slot(args, fields[2], 1, map); rc != kOk) return rc;
    return parse_register_slot(args, fields[3], 2, UsageMap::kAd);
}

// shiftd(rd | ad, lef | rig, a, b): slot 2 = the file (0 rd, 1 ad), sub-mode 0 left, 1 right;
// slots 0 and 1 = a and b, open blocks of that file.
int compile_shiftd(CompileArgs &args) {
    std::vector<std::string> fields;
    if (const int rc = split_args(args.text, 4, fields); rc != kOk) return rc;
    CommandRecord &command = *args.command;
    UsageMap map = UsageMap::kNone;
    if (const int rc = register_file(fields[0], &command.ints[2], &map); rc != kOk) return rc;
    if (const int rc = parse_choice(fields[1], {"lef", "rig"}, &command.sub_mode); rc != kOk) return rc;
    if (const int rc = parse_register_slot(args, fields[2], 0, map, -1); rc != kOk) return rc;
    return parse_register_slot(args, fields[3], 1, map, -1);
}

// judge(rd | ad, a, b, c, d): sub-mode 0 rd, 1 ad; slots 0..3 = a, b, c, d. The condition
// register a is always rd[a]; b, c and d are registers of the chosen file.
int compile_judge(CompileArgs &args) {
    std::vector<std::string> fields;
    if (const int rc = split_args(args.text, 5, fields); rc != kOk) return rc;
    UsageMap map = UsageMap::kNone;
    if (const int rc = register_file(fields[0], &args.command->sub_mode, &map); rc != kOk) return rc;
    if (const int rc = parse_register_slot(args, fields[1], 0, UsageMap::kRd); rc != kOk) return rc;
    for (int slot = 1; slot < 4; ++slot) {
        if (const int rc = parse_register_slot(args, fields[static_cast<size_t>(slot) + 1], slot, map); rc != kOk)
            return rc;
    }
    return kOk;
}

}  // namespace ksw
