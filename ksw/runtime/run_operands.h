// Operands as run handlers read them: a register operand through the run context's registers
// (e018 when they are not allocated, e004 for an index outside 0..7999), and times in seconds
// turned into milliseconds.
#pragma once

#include <cstdint>

#include "model/program_model.h"
#include "resources/error_codes.h"
#include "runtime/run_context.h"
#include "values/registers.h"

namespace ksw {

// Integer operand `slot` of `command`: 0 with the value, or an error.
inline int int_operand(RunContext &context, const CommandRecord &command, int slot, int32_t *value) {
    const Registers *registers = run_registers(context);
    if (!registers) {
        if (command.mask & kMaskIntSlot(slot)) return kErrNoMemory;
        *value = command.ints[static_cast<size_t>(slot)];
        return kOk;
    }
    const int rc = get_int_operand(*registers, command, slot, value);
    return rc == kFromRegister ? kOk : rc;
}

// Real operand `slot` of `command`: 0 with the value, or an error.
inline int real_operand(RunContext &context, const CommandRecord &command, int slot, double *value) {
    const Registers *registers = run_registers(context);
    if (!registers) {
        if (command.mask & kMaskRealSlot(slot)) return kErrNoMemory;
        *value = command.reals[static_cast<size_t>(slot)];
        return kOk;
    }
    const int rc = get_real_operand(*registers, command, slot, value);
    return rc == kFromRegister ? kOk : rc;
}

// Seconds as whole milliseconds 0..4294967295, else error 4.
inline int to_milliseconds(double seconds, uint32_t *ms) {
    const double v = seconds * 1000.0;
    if (!(v >= 0.0 && v <= 4294967295.0)) return kErrOutOfRange;
    *ms = static_cast<uint32_t>(v);
    return kOk;
}

}  // namespace ksw
