// The two register files of the station and the run-time access to command operands.
//
// ad[] holds 8000 unsigned 16-bit registers (A/D results, counters, byte strings, step numbers),
// rd[] 8000 doubles (results, limits, statistics), indexes 0..7999. Both are allocated once at
// start-up, zeroed, and live until the process ends: loading a program, starting or ending a run
// leave them alone; only clear( and the commands that write them change them.
//
// Any integer operand of a command may name ad[k] and any real operand rd[k]; the register mask
// of the record says which (bit i: integer slot i is an ad[] index; bit 16+i: real slot i is an
// rd[] index). Handlers read their operands through get_int_operand and get_real_operand.
//
// There is no lock: during a run only the sequencer's threads write the registers; the data
// windows may read a value while it changes.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string_view>

#include "model/program_model.h"
#include "resources/error_codes.h"

namespace ksw {

using AdFile = std::array<uint16_t, kRegisterCount>;
using RdFile = std::array<double, kRegisterCount>;

struct Registers {
    std::unique_ptr<RdFile> rd;  // allocated first
    std::unique_ptr<AdFile> ad;
    bool allocated() const { return rd && ad; }
};

// The process-wide registers (unallocated until start_registers succeeded).
Registers &registers();

// Allocates rd[] and then ad[], both zeroed. Returns 0, or e018 with *failed_file (when given)
// set to "rd[]" or "ad[]"; when ad[] fails rd[] is released again, so nothing stays allocated.
// `fail_allocation` makes allocation 1 (rd[]) or 2 (ad[]) fail, for tests; 0 in production.
[[nodiscard]] int allocate_registers(Registers &registers, std::string_view *failed_file = nullptr, int fail_allocation = 0);

// Start-up: allocates the process-wide registers. Returns 0 (also when they are allocated
// already), or e018 with *failed_file set to "rd[]" or "ad[]"; the station then shows the
// message under that caption and start-up ends.
[[nodiscard]] int start_registers(std::string_view *failed_file, int fail_allocation = 0);

// Sets every ad[] to 0 and every rd[] to 0.0 (what clear( does; also the reset for tests).
void clear_registers(Registers &registers);

// What the operand accessors return for a value read from a register: not an error.
constexpr int kFromRegister = -1;

// Integer operand `slot` (0..12) of `command`. A direct slot stores the constant and returns 0.
// An indirect slot (mask bit set) is an ad[] index: outside 0..7999 returns 4 without writing,
// else stores ad[index] zero-extended and returns kFromRegister.
inline int get_int_operand(const Registers &registers, const CommandRecord &command, int slot, int32_t *value) {
    if (static_cast<unsigned>(slot) >= static_cast<unsigned>(kIntSlots)) return kErrOutOfRange;
    const int32_t v = command.ints[static_cast<size_t>(slot)];
    if (!(command.mask & kMaskIntSlot(slot))) {
        *value = v;
        return kOk;
    }
    if (v < 0 || v >= kRegisterCount) return kErrOutOfRange;
    *value = (*registers.ad)[static_cast<size_t>(v)];
    return kFromRegister;
}

// Real operand `slot` (0..3). A direct slot stores the constant and returns 0. An indirect slot
// holds an rd[] index as a double, truncated toward zero: outside 0..7999 returns 4 without
// writing, else stores rd[index] and returns kFromRegister.
inline int get_real_operand(const Registers &registers, const CommandRecord &command, int slot, double *value) {
    if (static_cast<unsigned>(slot) >= static_cast<unsigned>(kRealSlots)) return kErrOutOfRange;
    const double v = command.reals[static_cast<size_t>(slot)];
    if (!(command.mask & kMaskRealSlot(slot))) {
        *value = v;
        return kOk;
    }
    if (!(v > -1.0 && v < kRegisterCount)) return kErrOutOfRange;
    *value = (*registers.rd)[static_cast<size_t>(v)];
    return kFromRegister;
}

// True when a register index lies in 0..7999.
constexpr bool is_register_index(int64_t index) { return index >= 0 && index < kRegisterCount; }

// 0 when all three indexes lie in 0..7999, else 4.
constexpr int check_reg_indexes(int64_t a, int64_t b, int64_t c) {
    return (is_register_index(a) && is_register_index(b) && is_register_index(c)) ? kOk : kErrOutOfRange;
}

// Fetches integer slots 0, 1 and 2 as three register numbers and tests them together. Returns 0
// or 4 (an operand's ad[] index, or one of the numbers, outside 0..7999).
[[nodiscard]] int get_register_triple(const Registers &registers, const CommandRecord &command, int32_t *a, int32_t *b, int32_t *c);

// Statistics of ad[first..last] inclusive, the two ends put in ascending order first: the mean
// (sum in 32 bits divided by the count, integer division), the largest and the smallest; each
// output may be null. Returns 0, or 4 (nothing stored) when an end lies outside 0..7999.
[[nodiscard]] int ad_range_stats(const AdFile &ad, int first, int last, uint16_t *mean, uint16_t *max, uint16_t *min);

// A double counts as zero when its magnitude is below the smallest normal double.
inline bool counts_as_zero(double v) { return std::fabs(v) < 2.2250738585072014e-308; }

}  // namespace ksw
