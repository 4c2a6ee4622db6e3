#include "language/handler_support.h"

#include <cmath>

#include "language/arguments.h"
#include "language/dbcs.h"
#include "resources/error_codes.h"
#include "values/evaluator.h"

namespace ksw {

int split_present(std::string_view text, int required, int most, std::vector<std::string> &fields, int *count) {
    int n = most;
    while (n > required && split_args(text, n, fields) != kOk) --n;
    if (const int rc = split_args(text, n, fields); rc != kOk) return rc;
    *count = n;
    return kOk;
}

void mark_slot_registers(CompileArgs &args, int slot, UsageMap map, int count) {
    const CommandRecord &command = *args.command;
    if (map == UsageMap::kNone || (command.mask & kMaskIntSlot(slot))) return;
    RegisterUsageMap &usage = args.model.register_usage;
    mark_registers(map == UsageMap::kAd ? usage.ad : usage.rd, command.ints[static_cast<size_t>(slot)], count);
}

int parse_register_slot(CompileArgs &args, std::string_view field, int slot, UsageMap map, int count, int32_t last) {
    if (const int rc = parse_int_operand(args, field, 0, last, slot); rc != kOk) return rc;
    mark_slot_registers(args, slot, map, count);
    return kOk;
}

std::string cut_text(std::string_view text, size_t limit) {
    size_t end = 0;
    while (end < text.size()) {
        const size_t width = (is_lead_byte(static_cast<unsigned char>(text[end])) && end + 1 < text.size()) ? 2 : 1;
        if (end + width > limit) break;
        end += width;
    }
    return std::string(text.substr(0, end));
}

void keep_text(CommandRecord &command, std::string_view text, size_t limit) {
    command.text = cut_text(text, limit);
    command.has_text = true;
}

int parse_rounded(std::string_view field, int32_t minimum, int32_t *out) {
    double value = 0;
    if (const int rc = evaluate_expression(field, &value); rc != kOk) return rc;
    const double rounded = std::round(value);
    if (!(value >= minimum && rounded >= minimum && rounded <= 2147483647.0)) return kErrOutOfRange;
    *out = static_cast<int32_t>(rounded);
    return kOk;
}

}  // namespace ksw
