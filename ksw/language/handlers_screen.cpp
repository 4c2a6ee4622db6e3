// Compile handlers of the commands that talk to the operator and the screen: questions for a
// value, texts and register values drawn on the screen, the OK/NG mark, file look-ups, and the
// commands without arguments.
#include <cfloat>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "language/arguments.h"
#include "language/handler_support.h"
#include "language/compile_handlers.h"
#include "resources/error_codes.h"

namespace ksw {
namespace {

constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();
constexpr size_t kPromptLength = 80;
constexpr size_t kMessageLength = 64;
constexpr size_t kFileNameLength = 80;
constexpr int kStringRegisters = 80;  // a text register block: "str" names 80 registers

// An optional integer field: its slot, its range and the value it has when not given.
struct OptionalSlot {
    int slot;
    int32_t minimum, maximum, initial;
};

// Gives every optional slot its initial value, then reads the present fields from `first` on
// into them in order.
int optional_slots(CompileArgs &args, const std::vector<std::string> &fields, int first, int count,
                   std::initializer_list<OptionalSlot> slots) {
    int f = first;
    for (const OptionalSlot &s : slots) args.command->ints[static_cast<size_t>(s.slot)] = s.initial;
    for (const OptionalSlot &s : slots) {
        if (f >= count) break;
        if (const int rc = parse_int_operand(args, fields[static_cast<size_t>(f++)], s.minimum, s.maximum, s.slot);
            rc != kOk)
            return rc;
    }
    return kOk;
}

// A screen position: x and y into slots 0 and 1, each 0..2147483647.
int position(CompileArgs &args, std::string_view x, std::string_view y) {
    if (const int rc = parse_int_operand(args, x, 0, kIntMax, 0); rc != kOk) return rc;
    return parse_int_operand(args, y, 0, kIntMax, 1);
}

// The register a value command works on: rd[] for word 0 ("rd"), ad[] otherwise; the text word
// `string_word` names 80 registers.
int value_register(CompileArgs &args, std::string_view field, int slot, int string_word) {
    const int mode = args.command->sub_mode;
    const UsageMap map = mode == 0 ? UsageMap::kRd : UsageMap::kAd;
    return parse_register_slot(args, field, slot, map, mode == string_word ? kStringRegisters : 1);
}

}  // namespace

// clear(), freset(), reset(): nothing may stand between the brackets (e074).
int compile_no_arguments(CompileArgs &args) {
    return (args.text.empty() || args.text.front() == ')') ? kOk : kErrTooManyParameters;
}

// input(rd | ad | dad | str | id, n[, prompt[, low[, high]]]): sub-mode = the word; slot 0 = n
// (rd[] for "rd", else ad[]; 80 registers for "str"); reals 0 and 1 = the bounds; the prompt,
// at most 80 characters, is the command's text.
int compile_input(CompileArgs &args) {
    CommandRecord &command = *args.command;
    std::vector<std::string> fields;
    int count = 0;
    if (const int rc = split_present(args.text, 2, 5, fields, &count); rc != kOk) return rc;
    if (const int rc = parse_choice(fields[0], {"rd", "ad", "dad", "str", "id"}, &command.sub_mode); rc != kOk)
        return rc;
    if (const int rc = value_register(args, fields[1], 0, 3); rc != kOk) return rc;
    if (command.sub_mode == 0) {
        command.reals[0] = -DBL_MAX;
        command.reals[1] = DBL_MAX;
    } else if (command.sub_mode <= 2) {
        command.reals[0] = 0;
        command.reals[1] = 65535;
    } else {
        command.reals[0] = 10;
    }
    if (count > 2) keep_text(command, fields[2], kPromptLength);
    for (int f = 3; f < count; ++f) {
        if (const int rc = parse_real_operand(args, fields[static_cast<size_t>(f)], f - 3); rc != kOk) return rc;
    }
    return kOk;
}

// message(x, y, text[, colour[, background[, value]]]): slots 0, 1 = x, y; the text, at most 64
// characters; slot 4 = colour -4..7 (8), slot 5 = background -1..7 (-1), slot 6 = -1..2147483647 (-1).
int compile_message(CompileArgs &args) {
    std::vector<std::string> fields;
    int count = 0;
    if (const int rc = split_present(args.text, 3, 6, fields, &count); rc != kOk) return rc;
    if (const int rc = position(args, fields[0], fields[1]); rc != kOk) return rc;
    keep_text(*args.command, fields[2], kMessageLength);
    return optional_slots(args, fields, 3, count, {{4, -4, 7, 8}, {5, -1, 7, -1}, {6, -1, kIntMax, -1}});
}

// show(rd | ad | dad | str | cou | vtr | sta, x, y, n[, count[, colour[, background[, value]]]]):
// sub-mode = the word; slots 0, 1 = x, y; slot 2 = n (rd[] for "rd", else ad[]; 80 registers
// for "str"); slot 3 = count 1..8000 (1); slot 4 = colour -3..7 (8); slot 5 = background -1..7
// (-1); slot 6 = -1..2147483647 (-1).
int compile_show(CompileArgs &args) {
    std::vector<std::string> fields;
    int count = 0;
    if (const int rc = split_present(args.text, 4, 8, fields, &count); rc != kOk) return rc;
    if (const int rc = parse_choice(fields[0], {"rd", "ad", "dad", "str", "cou", "vtr", "sta"}, &args.command->sub_mode);
        rc != kOk)
        return rc;
    if (const int rc = position(args, fields[1], fields[2]); rc != kOk) return rc;
    if (const int rc = value_register(args, fields[3], 2, 3); rc != kOk) return rc;
    return optional_slots(args, fields, 4, count,
                          {{3, 1, kRegisterCount, 1}, {4, -3, 7, 8}, {5, -1, 7, -1}, {6, -1, kIntMax, -1}});
}

// showokng(x, y[, colour[, background[, value]]]): slots 0, 1 = x, y; slot 2 = colour -3..7 (8),
// slot 3 = background -1..7 (-1), slot 4 = -1..2147483647 (-1).
int compile_showokng(CompileArgs &args) {
    std::vector<std::string> fields;
    int count = 0;
    if (const int rc = split_present(args.text, 2, 5, fields, &count); rc != kOk) return rc;
    if (const int rc = position(args, fields[0], fields[1]); rc != kOk) return rc;
    return optional_slots(args, fields, 2, count, {{2, -3, 7, 8}, {3, -1, 7, -1}, {4, -1, kIntMax, -1}});
}

// file(sea | tim | del | sub, name, n): sub-mode = the word; the name, at most 80 characters, is
// the command's text; slot 0 = n, the start of an open block of ad[].
int compile_file(CompileArgs &args) {
    std::vector<std::string> fields;
    if (const int rc = split_args(args.text, 3, fields); rc != kOk) return rc;
    if (const int rc = parse_choice(fields[0], {"sea", "tim", "del", "sub"}, &args.command->sub_mode); rc != kOk)
        return rc;
    keep_text(*args.command, fields[1], kFileNameLength);
    return parse_register_slot(args, fields[2], 0, UsageMap::kAd, -1);
}

}  // namespace ksw
