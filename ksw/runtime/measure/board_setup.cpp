// Run handlers of the measuring board's set-up commands. Each writes output ports, switches,
// latches and board registers through the jig layer; the first error ends the command. Where a
// command works on "the step's input", input 2 (input_ch(2), trig_ch(2), chroma_mode() uses
// port 9 and sw 76, anything else port 8 and sw 68.
#include <cmath>
#include <mutex>

#include "resources/error_codes.h"
#include "runtime/measure/board_ports.h"
#include "runtime/run_handlers.h"
#include "runtime/run_operands.h"

namespace ksw {

using board::shadow;
using board::update_port;

namespace {

// Board registers, by the register bits the write strobes carry.
constexpr int kRegComparator = 0x3320;  // comparator level: volts x 63.75
constexpr int kRegDetector = 0x3340;
constexpr int kRegClamp = 0x3380;
constexpr int kRegTrigger = 0x3310;
constexpr double kComparatorCounts = 63.75;  // counts a volt (a 4 V span in 255 counts)

constexpr int kNoJig = kErrDebugMode;

bool step_uses_input2(const RunContext &context) {
    const StepRecord *step = context.program ? context.program->step(context.current_step) : nullptr;
    return step && step->channel_spec == 1;
}

int input_port(const RunContext &context) { return step_uses_input2(context) ? board::kInput2Port : board::kInput1Port; }

// A board register takes one byte; a datum outside 0..255 is e004.
int write_register(JigPorts &jig, int register_bits, double datum) {
    if (!(datum >= 0.0 && datum <= 255.0)) return kErrOutOfRange;
    return WriteBoardRegister(jig, register_bits, static_cast<uint16_t>(datum));
}

// 1_ch( and 2_ch(: input a (0-7), range b (0-15) and the on bit as one byte, a | on << 3 | b << 4.
int channel_pair(RunContext &context, const CommandRecord &command, int shift) {
    if (!context.jig) return kNoJig;
    int32_t input = 0, range = 0;
    if (const int rc = int_operand(context, command, 0, &input); rc != kOk) return rc;
    if (const int rc = int_operand(context, command, 1, &range); rc != kOk) return rc;
    if (input < 0 || input > 7 || range < 0 || range > 15) return kErrOutOfRange;
    const unsigned byte = static_cast<unsigned>(input) | (command.sub_mode == 1 ? 8u : 0u) | static_cast<unsigned>(range) << 4;
    return update_port(*context.jig, board::kChannelPort, static_cast<uint16_t>(0xFF00u >> shift), static_cast<uint16_t>(byte << shift));
}

}  // namespace

// 1_ch( input, range, off|on: output port 24 low byte.
int run_1_ch(RunContext &context, const CommandRecord &command) { return channel_pair(context, command, 0); }

// 2_ch( input, range, off|on: output port 24 high byte, laid out as 1_ch('s.
int run_2_ch(RunContext &context, const CommandRecord &command) { return channel_pair(context, command, 8); }

// ac_range( v: the step input's range (bits 5-7 of port 8 or 9), the comparator level that goes
// with it, and the video level reference (that level in volts).
int run_ac_range(RunContext &context, const CommandRecord &command) {
    if (!context.jig) return kNoJig;
    int32_t v = 0;
    if (const int rc = int_operand(context, command, 0, &v); rc != kOk) return rc;
    uint16_t range_bits = 0;
    switch (v) {
    case 400: range_bits = 0x80; break;
    case 200: range_bits = 0xA0; break;
    case 1: range_bits = 0xC0; break;
    case 2: range_bits = 0x40; break;
    case 4: range_bits = 0x20; break;
    case 10: range_bits = 0x00; break;
    default: return kErrOutOfRange;
    }
    JigPorts &jig = *context.jig;
    if (const int rc = update_port(jig, input_port(context), 0xFF1F, range_bits); rc != kOk) return rc;
    const int level = v == 400 ? 16 : v == 200 ? 32 : 0;
    if (const int rc = WriteBoardRegister(jig, kRegComparator, static_cast<uint16_t>(level)); rc != kOk) return rc;
    context.board.video_reference = level / kComparatorCounts;
    return kOk;
}

// clamp( v: the clamp level register.
int run_clamp(RunContext &context, const CommandRecord &command) {
    if (!context.jig) return kNoJig;
    double v = 0;
    if (const int rc = real_operand(context, command, 0, &v); rc != kOk) return rc;
    return write_register(*context.jig, kRegClamp, std::trunc(v));
}

// cmp( volts: the comparator level, 63.75 counts a volt.
int run_cmp(RunContext &context, const CommandRecord &command) {
    if (!context.jig) return kNoJig;
    double v = 0;
    if (const int rc = real_operand(context, command, 0, &v); rc != kOk) return rc;
    return write_register(*context.jig, kRegComparator, std::trunc(v * kComparatorCounts));
}

// counter_ttl(: the counter on its TTL input.
int run_counter_ttl(RunContext &context, const CommandRecord &) {
    if (!context.jig) return kNoJig;
    return update_port(*context.jig, board::kModePort, 0x078D, 0xB832);
}

// counter_ac(: the counter behind the comparator (mid level, 2.0 V): the counter_ttl( setting
// without the TTL input (bit 1) and the chroma path (bit 15).
int run_counter_ac(RunContext &context, const CommandRecord &) {
    if (!context.jig) return kNoJig;
    if (const int rc = WriteBoardRegister(*context.jig, kRegComparator, 128); rc != kOk) return rc;
    return update_port(*context.jig, board::kModePort, 0x078D, 0x3830);
}

// dc(: the step's input DC-coupled (port 22 bit 0).
int run_dc(RunContext &context, const CommandRecord &) {
    if (!context.jig) return kNoJig;
    return update_port(*context.jig, board::kModePort, 0xFFFF, 0x0001);
}

// dgtz_clk( 4fs|20m|10m|4m|1m|50k: the digitiser clock n (port 10 := 17 n) and its enables.
int run_dgtz_clk(RunContext &context, const CommandRecord &command) {
    if (!context.jig) return kNoJig;
    const int n = command.sub_mode;
    if (n < 0 || n > 5) return kErrOutOfRange;
    JigPorts &jig = *context.jig;
    if (const int rc = WriteOutputPort(jig, board::kClockPort, static_cast<uint16_t>(17 * n)); rc != kOk) return rc;
    if (const int rc = update_port(jig, board::kChromaOutPort, 0xFFF8, n > 0 ? 1 : 0); rc != kOk) return rc;
    return update_port(jig, 4, 0xFCFF, n > 0 ? 0x0100 : 0);
}

// filter( n: the filter n - 1 into port 22 bits 4-6 and the step input's bits 8-10. The range is
// tested after the first write, as the board software always did.
int run_filter(RunContext &context, const CommandRecord &command) {
    if (!context.jig) return kNoJig;
    int32_t n = 0;
    if (const int rc = int_operand(context, command, 0, &n); rc != kOk) return rc;
    const unsigned code = static_cast<unsigned>(n - 1) & 7u;
    JigPorts &jig = *context.jig;
    if (const int rc = update_port(jig, board::kModePort, 0xFF8F, static_cast<uint16_t>(code << 4)); rc != kOk) return rc;
    if (n < 1 || n > 8) return kErrOutOfRange;
    return update_port(jig, input_port(context), 0xF8FF, static_cast<uint16_t>(code << 8));
}

// freset(: extension latches 0-30 := 0 (latch 31 is left alone).
int run_freset(RunContext &context, const CommandRecord &) {
    if (!context.jig) return kNoJig;
    for (int latch = 0; latch < kLatches - 1; ++latch)
        if (const int rc = WriteLatch(*context.jig, latch, 0); rc != kOk) return rc;
    return kOk;
}

// phase( p|h|v, ...: the clamp register to its phase-measuring level; the edges and the
// standard are the ",phase(" item's business.
int run_phase(RunContext &context, const CommandRecord &) {
    if (!context.jig) return kNoJig;
    return WriteBoardRegister(*context.jig, kRegClamp, 128);
}

// ppdet( pp|p|b, level: the detector register, the detector on (port 22 bit 7) and its kind in
// port 29 bits 4-5. The level is accepted and not used: the board's detector has no level input.
int run_ppdet(RunContext &context, const CommandRecord &command) {
    if (!context.jig) return kNoJig;
    JigPorts &jig = *context.jig;
    if (const int rc = WriteBoardRegister(jig, kRegDetector, 192); rc != kOk) return rc;
    if (const int rc = update_port(jig, board::kModePort, 0xFFFF, 0x0080); rc != kOk) return rc;
    return update_port(jig, board::kSelectorPort, 0xFFCF, static_cast<uint16_t>((command.sub_mode & 3) << 4));
}

// pre( dc|ac: the step input's coupling relay (sw 76 for input 2, else sw 68) and sw 176 the
// opposite way.
int run_pre(RunContext &context, const CommandRecord &command) {
    if (!context.jig) return kNoJig;
    const bool ac = command.sub_mode == 1;
    if (const int rc = SetSwitch(*context.jig, step_uses_input2(context) ? 76 : 68, ac); rc != kOk) return rc;
    return SetSwitch(*context.jig, 176, !ac);
}

// reset(: the board to its power-on state: capture cleared, output ports 2-30 zero, the
// capture and trigger strobes, the four registers, the video level reference 2.0 V.
int run_reset(RunContext &context, const CommandRecord &) {
    if (!context.jig) return kNoJig;
    JigPorts &jig = *context.jig;
    context.board.clear_capture();
    for (int port = 2; port <= 30; ++port)
        if (const int rc = WriteOutputPort(jig, port, 0); rc != kOk) return rc;
    const struct {
        int sw;
        bool on;
    } strobes[] = {{477, true}, {292, true}, {292, false}};
    for (const auto &s : strobes)
        if (const int rc = SetSwitch(jig, s.sw, s.on); rc != kOk) return rc;
    const struct {
        int bits;
        uint16_t datum;
    } registers[] = {{kRegClamp, 144}, {kRegDetector, 192}, {kRegComparator, 128}, {kRegTrigger, 32}};
    for (const auto &r : registers)
        if (const int rc = WriteBoardRegister(jig, r.bits, r.datum); rc != kOk) return rc;
    context.board.video_reference = MeasureBoard::kResetReference;
    return kOk;
}

// shift( n: the level shift 4 - n (n -3..4, else e004) into port 22 bits 8-10 and, as bits 5-7,
// into the detector register.
int run_shift(RunContext &context, const CommandRecord &command) {
    if (!context.jig) return kNoJig;
    double v = 0;
    if (const int rc = real_operand(context, command, 0, &v); rc != kOk) return rc;
    const double n = std::trunc(v);
    if (!(n >= -3.0 && n <= 4.0)) return kErrOutOfRange;
    const unsigned shift = static_cast<unsigned>(4 - static_cast<int>(n));
    if (const int rc = WriteBoardRegister(*context.jig, kRegDetector, static_cast<uint16_t>(shift << 5)); rc != kOk)
        return rc;
    return update_port(*context.jig, board::kModePort, 0xF8FF, static_cast<uint16_t>(shift << 8));
}

// trig_ch( n: the trigger channel into port 5 bits 8-10, both inputs' trigger bits, and a
// trigger re-arm pulse on sw 31.
int run_trig_ch(RunContext &context, const CommandRecord &command) {
    if (!context.jig) return kNoJig;
    JigPorts &jig = *context.jig;
    const unsigned channel = static_cast<unsigned>(command.ints[0]) & 7u;
    if (const int rc = update_port(jig, board::kInputSelectPort, 0xF8FF, static_cast<uint16_t>(channel << 8)); rc != kOk)
        return rc;
    for (const int port : {board::kInput1Port, board::kInput2Port})
        if (const int rc = update_port(jig, port, 0xF807, 0x01C8); rc != kOk) return rc;
    if (const int rc = SetSwitch(jig, 31, false); rc != kOk) return rc;
    return SetSwitch(jig, 31, true);
}

// v_level(: the level path: port 22 bits 1 and 15 cleared, port 29 bit 7 set.
int run_v_level(RunContext &context, const CommandRecord &) {
    if (!context.jig) return kNoJig;
    if (const int rc = update_port(*context.jig, board::kModePort, 0x7FFD, 0); rc != kOk) return rc;
    return update_port(*context.jig, board::kSelectorPort, 0xFFFF, 0x0080);
}

// chroma_mode( n, nts|pal: the chroma path on (port 22 bit 15), and the mode (n's low four bits)
// and the standard (bit 6, PAL) in port 29.
int run_chroma_mode(RunContext &context, const CommandRecord &command) {
    if (!context.jig) return kNoJig;
    int32_t n = 0;
    if (const int rc = int_operand(context, command, 0, &n); rc != kOk) return rc;
    if (const int rc = update_port(*context.jig, board::kModePort, 0xFFFF, 0x8000); rc != kOk) return rc;
    const uint16_t bits = static_cast<uint16_t>((n & 0x0F) | (command.sub_mode == 1 ? 0x40 : 0));
    return update_port(*context.jig, board::kSelectorPort, 0xFFB0, bits);
}

// chroma_out( r-y|b-y|er-|eb-: the chroma output selected in port 7 bits 4-5.
int run_chroma_out(RunContext &context, const CommandRecord &command) {
    if (!context.jig) return kNoJig;
    const int out = command.ints[0];
    if (out < 0 || out > 3) return kErrOutOfRange;
    return update_port(*context.jig, board::kChromaOutPort, 0xFFCF, static_cast<uint16_t>(out << 4));
}

// spl_enb_line( line[, line2]: the sampling lines into ports 19 and 20 (0: no second line).
int run_spl_enb_line(RunContext &context, const CommandRecord &command) {
    if (!context.jig) return kNoJig;
    int32_t first = 0, second = 0;
    if (const int rc = int_operand(context, command, 0, &first); rc != kOk) return rc;
    if (const int rc = int_operand(context, command, 1, &second); rc != kOk) return rc;
    if (first < 2 || first > 312 || (second != -1 && (second < 2 || second > 312))) return kErrOutOfRange;
    if (const int rc = WriteOutputPort(*context.jig, board::kLinePort1, static_cast<uint16_t>(first)); rc != kOk) return rc;
    return WriteOutputPort(*context.jig, board::kLinePort2, static_cast<uint16_t>(second < 0 ? 0 : second));
}

}  // namespace ksw
