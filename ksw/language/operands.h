// The operand parsers every compile handler uses to fill a command record's slots. Any integer
// operand may be written ad[n] and any real operand rd[n]: the record then holds the register
// index and its mask bit tells the run handler to read the register when the command runs.
#pragma once

#include <cstdint>
#include <string_view>

#include "language/arguments.h"
#include "model/command_row.h"

namespace ksw {

enum class UsageMap { kNone, kAd, kRd };

// Reads `field` into integer slot `slot` of the current command. "ad[n]" (any case, n 0..7999)
// sets the slot's mask bit, stores n and marks `count` ad[] registers from n; "rd[" is e013;
// anything else is a constant (parse_int_arg with minimum..maximum, a fraction is e001) and,
// when `map` is not kNone, names `count` registers of that map from its value. Returns 0 or
// the error code.
[[nodiscard]] int parse_int_operand(CompileArgs &args, std::string_view field, int32_t minimum, int32_t maximum, int slot,
                      int count = 1, UsageMap map = UsageMap::kNone);

// Reads `field` into real slot `slot`: "rd[n]" sets the slot's mask bit, stores n and marks
// `count` rd[] registers; "ad[" is e012; anything else is a constant expression (not marked).
[[nodiscard]] int parse_real_operand(CompileArgs &args, std::string_view field, int slot, int count = 1);

// Reads the index of a register reference "ad[n]" / "rd[n]" at the start of `field` (after
// `prefix_length` characters): n must be 0..7999 and "]" must end the field. Returns 0, e004 or
// e001.
[[nodiscard]] int parse_register_index(std::string_view field, size_t prefix_length, int32_t *index);

}  // namespace ksw
