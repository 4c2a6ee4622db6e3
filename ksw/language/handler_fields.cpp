#include "language/handler_fields.h"

#include <algorithm>

#include "language/arguments.h"
#include "resources/error_codes.h"

namespace ksw {

int read_choice_fields(CompileArgs &args, int least, int most, std::initializer_list<std::string_view> words,
                       std::vector<std::string> &fields, int *count) {
    if (const int rc = split_present(args.text, std::max(least, 1), most, fields, count); rc != kOk) return rc;
    return parse_choice(fields[0], words, &args.command->sub_mode);
}

int check_one_of(const CommandRecord &command, int slot, std::initializer_list<int32_t> allowed) {
    if (slot_from_ad(command, slot)) return kOk;
    const int32_t value = command.ints[static_cast<size_t>(slot)];
    return std::find(allowed.begin(), allowed.end(), value) != allowed.end() ? kOk : kErrOutOfRange;
}

void mark_counted_block(CompileArgs &args, UsageMap map, int first_slot, int count_slot, int factor) {
    const CommandRecord &command = *args.command;
    if (slot_from_ad(command, count_slot)) {
        mark_slot_registers(args, first_slot, map, -1);
        return;
    }
    const int64_t length = static_cast<int64_t>(command.ints[static_cast<size_t>(count_slot)]) * factor;
    if (length > 0) mark_slot_registers(args, first_slot, map, static_cast<int>(std::min<int64_t>(length, kRegisterCount)));
}

}  // namespace ksw
