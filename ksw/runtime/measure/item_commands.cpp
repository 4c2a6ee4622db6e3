// Run handlers of the measurement items and of the commands that prepare a step's item:
// average(, calc(, digital(, extention(, gpib_mes( and interval(.
#include <mutex>

#include "resources/error_codes.h"
#include "runtime/measure/measure_loop.h"
#include "runtime/run_handlers.h"
#include "runtime/run_operands.h"

namespace ksw {
namespace {

StepRunState *current_state(RunContext &context) { return context.state(context.current_step); }

// Integer operand `slot` within [low, high], else e004.
int bounded_int(RunContext &context, const CommandRecord &command, int slot, int32_t low, int32_t high, int32_t *value) {
    if (const int rc = int_operand(context, command, slot, value); rc != kOk) return rc;
    return (*value < low || *value > high) ? kErrOutOfRange : kOk;
}

}  // namespace

#define KSW_ITEM_RUN(name) \
    int name(RunContext &context, const CommandRecord &command) { return run_measurement_item(context, command); }

KSW_ITEM_RUN(run_item_bottom)
KSW_ITEM_RUN(run_item_chroma_det)
KSW_ITEM_RUN(run_item_chroma_gain)
KSW_ITEM_RUN(run_item_chroma_phase)
KSW_ITEM_RUN(run_item_dc_volt)
KSW_ITEM_RUN(run_item_dc_volt2)
KSW_ITEM_RUN(run_item_digital)
KSW_ITEM_RUN(run_item_extention)
KSW_ITEM_RUN(run_item_frequency)
KSW_ITEM_RUN(run_item_gpib_mes)
KSW_ITEM_RUN(run_item_interval)
KSW_ITEM_RUN(run_item_peak)
KSW_ITEM_RUN(run_item_peak_peak)
KSW_ITEM_RUN(run_item_period)
KSW_ITEM_RUN(run_item_phase)
KSW_ITEM_RUN(run_item_pulse_width)
KSW_ITEM_RUN(run_item_rd)
KSW_ITEM_RUN(run_item_v_level)
KSW_ITEM_RUN(run_item_v_level_level)

#undef KSW_ITEM_RUN

// average( n[, k]: n readings a pass; k how they are combined (1 median, 2 mean, 3..8 the mean
// without the k - 2 largest and smallest).
int run_average(RunContext &context, const CommandRecord &command) {
    StepRunState *state = current_state(context);
    if (!state) return kErrMissingFirst;
    int32_t count = 0, mode = 0;
    if (const int rc = bounded_int(context, command, 0, 1, 65535, &count); rc != kOk) return rc;
    if (const int rc = bounded_int(context, command, 1, 1, 8, &mode); rc != kOk) return rc;
    state->adjustment.reading_count = count;
    state->measure.average_mode = mode;
    return kOk;
}

// calc( *|+|/|-, value: with a constant, "*" sets the step's scale, "+" its offset, "/" the
// scale to 1/value and "-" the offset to -value. With rd[k] or "step[n]" the compiler bound the
// operand to the step; the loop reads it at every reading, so nothing happens here.
int run_calc(RunContext &context, const CommandRecord &command) {
    StepRunState *state = current_state(context);
    if (!state) return kErrMissingFirst;
    if (command.mask & kMaskRealSlot(0)) return kOk;
    const double v = command.reals[0];
    switch (command.sub_mode) {
    case 0: state->scale = v; return kOk;
    case 1: state->offset = v; return kOk;
    case 2:
        if (v == 0.0) return kErrDividedByZero;
        state->scale = 1.0 / v;
        return kOk;
    case 3: state->offset = -v; return kOk;
    default: return kErrInvalidMode;
    }
}

// digital( evr|ram|ser|par|io, address[, mask[, page]]: where the step's ",digital(" reads.
int run_digital(RunContext &context, const CommandRecord &command) {
    StepRunState *state = current_state(context);
    if (!state) return kErrMissingFirst;
    DigitalSetup d;
    d.source = command.sub_mode;
    if (d.source < 0 || d.source > 4) return kErrInvalidMode;
    if (const int rc = bounded_int(context, command, 0, 0, 255, &d.address); rc != kOk) return rc;
    if (const int rc = bounded_int(context, command, 1, 0, 65535, &d.mask); rc != kOk) return rc;
    if (const int rc = bounded_int(context, command, 2, -1, 255, &d.cell); rc != kOk) return rc;
    state->measure.digital = d;
    return kOk;
}

// extention( vol|cou: the extension converter measures a voltage ratio (Ext0 word 1 bit 0
// clear) or counts (set).
int run_extention(RunContext &context, const CommandRecord &command) {
    if (!context.jig) return kErrDebugMode;
    JigPorts &jig = *context.jig;
    std::lock_guard<PortLock> hold(jig.lock);
    const uint16_t word = jig.ext0_words[1].load(std::memory_order_relaxed);
    return WriteExt0Word(jig, 1, static_cast<uint16_t>((word & ~1u) | (command.sub_mode == 1 ? 1u : 0u)));
}

// interval(: the compiler stored the detection windows in the step; nothing is left to do.
int run_interval(RunContext &, const CommandRecord &) { return kOk; }

}  // namespace ksw
