// Run handlers of the outside devices that this station has no front-end for (see
// outside_devices.h), and of term(, which needs no device of its own here.
//
//   term(n, off|on)   switches the termination of measuring input n (1 or 2) off or on; the
//                     setting stays with the run context for the measurement items, which
//                     apply it when they set their inputs up. An n outside 1..2 is e004.
#include "runtime/outside_devices.h"

#include <array>

#include "model/command_row.h"
#include "runtime/run_handlers.h"
#include "runtime/run_operands.h"

namespace ksw {
namespace {

constexpr std::array<MissingFrontEnd, 14> kMissingFrontEnds{{
    {kRowAOsc, "a_osc(", "the audio oscillator front-end"},
    {kRowDic, "dic(", "the measuring-unit front-end"},
    {kRowJt2642, "jt2642(", "the JT2642 label printer front-end"},
    {kRowLanc, "lanc(", "the LANC front-end"},
    {kRowMotor, "motor(", "the motor controller front-end"},
    {kRowNc300, "nc300(", "the NC300 printer front-end"},
    {kRowNc605, "nc605(", "the NC605 printer front-end"},
    {kRowPatgen, "patgen(", "the pattern generator front-end"},
    {kRowPi1284, "pi1284(", "the IEEE 1284 front-end"},
    {kRowTransient, "transient(", "the recorder window"},
    {kRowTx700, "tx700(", "the TX700 printer front-end"},
    {kRowVOsc, "v_osc(", "the video oscillator front-end"},
    {kRowVector, "vector(", "the vector-scope window"},
    {kRowWave, "wave(", "the wave window"},
}};

int missing(RunContext &context, int row) {
    if (const MissingFrontEnd *m = missing_front_end(row)) context.failure_detail = missing_front_end_text(*m);
    return kErrUndefinedCommand;
}

}  // namespace

const MissingFrontEnd *missing_front_end(int row) {
    for (const MissingFrontEnd &m : kMissingFrontEnds)
        if (m.row == row) return &m;
    return nullptr;
}

std::string missing_front_end_text(const MissingFrontEnd &missing) {
    return std::string(missing.keyword) + " needs " + missing.device + ", which is not part of this station";
}

#define KSW_MISSING_FRONT_END(name, row) \
    int name(RunContext &context, const CommandRecord &) { return missing(context, row); }

KSW_MISSING_FRONT_END(run_a_osc, kRowAOsc)
KSW_MISSING_FRONT_END(run_dic, kRowDic)
KSW_MISSING_FRONT_END(run_jt2642, kRowJt2642)
KSW_MISSING_FRONT_END(run_lanc, kRowLanc)
KSW_MISSING_FRONT_END(run_motor, kRowMotor)
KSW_MISSING_FRONT_END(run_nc300, kRowNc300)
KSW_MISSING_FRONT_END(run_nc605, kRowNc605)
KSW_MISSING_FRONT_END(run_patgen, kRowPatgen)
KSW_MISSING_FRONT_END(run_pi1284, kRowPi1284)
KSW_MISSING_FRONT_END(run_transient, kRowTransient)
KSW_MISSING_FRONT_END(run_tx700, kRowTx700)
KSW_MISSING_FRONT_END(run_v_osc, kRowVOsc)
KSW_MISSING_FRONT_END(run_vector, kRowVector)
KSW_MISSING_FRONT_END(run_wave, kRowWave)

int run_term(RunContext &context, const CommandRecord &command) {
    int32_t input = 0;
    if (const int rc = int_operand(context, command, 0, &input); rc != kOk) return rc;
    if (input < 1 || input > 2) return kErrOutOfRange;
    context.input_termination[static_cast<size_t>(input - 1)] = command.sub_mode == 1;
    return kOk;
}

}  // namespace ksw
