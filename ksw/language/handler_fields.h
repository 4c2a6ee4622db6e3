// Helpers of the jig, measuring-board, device and outside front-end compile handlers, on top of
// the shared handler support: a leading choice word into the sub-mode, constants that must be
// one of a few values, and register blocks whose length is another operand.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "language/program_build.h"
#include "model/command_row.h"
#include "language/handler_support.h"
#include "language/operands.h"

namespace ksw {

// The whole signed 32-bit range, for integer fields whose range the language leaves open.
constexpr int32_t kAnyIntMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kAnyIntMax = std::numeric_limits<int32_t>::max();
// The range of a plain count or co-ordinate: a constant above 2147483647 reads as negative.
constexpr int32_t kPositiveMax = kAnyIntMax;
constexpr int32_t kLastRegister = kRegisterCount - 1;
// keep_text's limit for a text the language does not cut.
constexpr size_t kWholeText = std::string::npos;

// Reads the leading present fields of the argument text (fewer than `least`, at least 1, is
// e003; at most `most`) and the first of them as one of `words` into the command's sub-mode
// (e006 when it is none of them). `*count` is the number of fields read.
[[nodiscard]] int read_choice_fields(CompileArgs &args, int least, int most, std::initializer_list<std::string_view> words,
                       std::vector<std::string> &fields, int *count);

// Whether integer slot `slot` of `command` holds an ad[] index, read when the command runs.
inline bool slot_from_ad(const CommandRecord &command, int slot) { return (command.mask & kMaskIntSlot(slot)) != 0; }

// For a constant in integer slot `slot`: 0 when it is one of `allowed`, else e004. A value that
// comes from ad[] is checked when the command runs.
[[nodiscard]] int check_one_of(const CommandRecord &command, int slot, std::initializer_list<int32_t> allowed);

// Marks the register block that starts at integer slot `first_slot` and is `factor` times the
// count in integer slot `count_slot` long, in `map`. A count that comes from ad[] marks an open
// block; a first register that comes from ad[] was marked by its operand parser and its block
// is left alone.
void mark_counted_block(CompileArgs &args, UsageMap map, int first_slot, int count_slot, int factor = 1);

}  // namespace ksw
