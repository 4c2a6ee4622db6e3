#include "language/operands.h"

#include "language/arguments.h"
#include "resources/error_codes.h"
#include "values/evaluator.h"

namespace ksw {
namespace {

std::array<uint8_t, kRegisterCount> &usage_of(CompileArgs &args, UsageMap map) {
    return map == UsageMap::kAd ? args.model.register_usage.ad : args.model.register_usage.rd;
}

}  // namespace

int parse_register_index(std::string_view field, size_t prefix_length, int32_t *index) {
    const std::string_view inside = field.substr(prefix_length);
    const size_t close = inside.find(']');
    if (close == std::string_view::npos || close + 1 != inside.size()) return kErrWrongStyle;
    return parse_int_arg(inside.substr(0, close), index, 0, kRegisterCount - 1);
}

int parse_int_operand(CompileArgs &args, std::string_view field, int32_t minimum, int32_t maximum, int slot, int count,
                      UsageMap map) {
    CommandRecord &command = *args.command;
    if (starts_with_word(field, "ad[")) {
        int32_t index = 0;
        if (const int rc = parse_register_index(field, 3, &index); rc != kOk) return rc;
        command.mask |= kMaskIntSlot(slot);
        command.ints[static_cast<size_t>(slot)] = index;
        mark_registers(args.model.register_usage.ad, index, count);
        return kOk;
    }
    if (starts_with_word(field, "rd[")) return kErrRdNotAllowed;
    int32_t value = 0;
    const int rc = parse_int_arg(field, &value, minimum, maximum);
    if (rc != kOk) return rc;
    command.ints[static_cast<size_t>(slot)] = value;
    if (map != UsageMap::kNone) mark_registers(usage_of(args, map), value, count);
    return kOk;
}

int parse_real_operand(CompileArgs &args, std::string_view field, int slot, int count) {
    CommandRecord &command = *args.command;
    if (starts_with_word(field, "rd[")) {
        int32_t index = 0;
        if (const int rc = parse_register_index(field, 3, &index); rc != kOk) return rc;
        command.mask |= kMaskRealSlot(slot);
        command.reals[static_cast<size_t>(slot)] = index;
        mark_registers(args.model.register_usage.rd, index, count);
        return kOk;
    }
    if (starts_with_word(field, "ad[")) return kErrAdNotAllowed;
    double value = 0;
    size_t stop = 0;
    const int rc = evaluate_expression(field, &value, &stop);
    if (rc != kOk) return rc;
    command.reals[static_cast<size_t>(slot)] = value;
    return kOk;
}

}  // namespace ksw
