// Small pieces the compile handlers share: the present fields of an argument text, register
// numbers with their usage marks, kept texts and rounded constants.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "language/program_build.h"
#include "model/command_row.h"
#include "language/operands.h"

namespace ksw {

// Splits `text` into its leading present fields: fields 1..`required` must be there (else e003),
// further ones up to `most` are taken while present (an absent or empty one ends them). On
// success `fields` holds the *count present fields and 0 is returned.
[[nodiscard]] int split_present(std::string_view text, int required, int most, std::vector<std::string> &fields, int *count);

// Reads a register number 0..`last` into integer slot `slot`. A constant names `count` registers
// of `map` from it (-1: a block whose end is known only at run time); an ad[k] operand names
// ad[k] alone. Returns 0 or the operand's error.
[[nodiscard]] int parse_register_slot(CompileArgs &args, std::string_view field, int slot, UsageMap map, int count = 1,
                        int32_t last = kRegisterCount - 1);

// Marks `count` registers of `map` from the register number in integer slot `slot`, unless
// that slot reads its number from ad[] at run time.
void mark_slot_registers(CompileArgs &args, int slot, UsageMap map, int count);

// Keeps `text` as the command's own text, cut to at most `limit` bytes without splitting a
// double-byte character.
void keep_text(CommandRecord &command, std::string_view text, size_t limit);

// Cuts `text` to at most `limit` bytes without splitting a double-byte character.
std::string cut_text(std::string_view text, size_t limit);

// Evaluates the constant expression `field` and rounds it to the nearest integer. Returns 0, the
// evaluator's code, or e004 when the value lies below `minimum` or the result above 2147483647.
[[nodiscard]] int parse_rounded(std::string_view field, int32_t minimum, int32_t *out);

}  // namespace ksw
