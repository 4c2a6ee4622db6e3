// Compile handlers of the jig-port commands: raw port access, product power and its supply,
// synthesised keys, the start and down switches, the Ext0 output words, the input channel and
// the direct A/D read.
#include <cmath>

#include "language/arguments.h"
#include "language/handler_fields.h"
#include "language/compile_handlers.h"
#include "resources/error_codes.h"
#include "values/evaluator.h"

namespace ksw {
namespace {

constexpr double kVoltCodePerVolt = 199.951171875;  // 12-bit DAC, 20.48 V full scale
constexpr double kAmpCodePerAmp = 999.755859375;
constexpr int32_t kLargestVoltCode = 4095;

// The constant in `field` times `scale`, rounded to the nearest integer; it must lie in
// 0..`largest` (else e004). Evaluator errors pass on (ad[] and rd[] are not accepted).
int scaled_code(std::string_view field, double scale, int32_t largest, int32_t *code) {
    double value = 0;
    if (const int rc = evaluate_expression(field, &value); rc != kOk) return rc;
    const double scaled = std::floor(value * scale + 0.5);
    if (!(scaled >= 0 && scaled <= largest)) return kErrOutOfRange;
    *code = static_cast<int32_t>(scaled);
    return kOk;
}

// The amps of a power-supply channel: 0 to 3.072 on channel 1, 0 to 1.024 on channel 2.
int amp_code(std::string_view field, int32_t channel, int32_t *code) {
    double amps = 0;
    if (const int rc = evaluate_expression(field, &amps); rc != kOk) return rc;
    if (!(amps >= 0 && amps <= (channel == 1 ? 3.072 : 1.024))) return kErrOutOfRange;
    *code = static_cast<int32_t>(std::floor(amps * kAmpCodePerAmp + 0.5));
    return kOk;
}

// The reading forms of getad2( ("rea", "nor", "add"): fields 4 to 7 of the statement.
int getad2_block(CompileArgs &args, const std::vector<std::string> &f, int count) {
    CommandRecord &command = *args.command;
    int rc = parse_int_operand(args, f[3], 0, kLastRegister, 2, 1, UsageMap::kNone);
    if (rc == kOk) rc = parse_int_operand(args, f[4], 1, kLastRegister, 4);
    if (rc == kOk) rc = parse_int_operand(args, f[5], kAnyIntMin, kAnyIntMax, 5);
    if (rc == kOk) rc = check_one_of(command, 5, {8, 10, 12, 16});  // converter bits
    if (rc != kOk) return rc;
    mark_counted_block(args, UsageMap::kAd, 2, 4);
    command.reals[0] = 1.0;
    return count > 6 ? parse_real_operand(args, f[6], 0) : kOk;
}

}  // namespace

// io(rea|=, port, n): sub-mode the word; slot 0 the port address 0..2147483647; slot 1 the
// ad[] register that receives the byte ("rea") or the value 0..2147483647 to write ("=").
int compile_io(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    int rc = read_choice_fields(args, 3, 3, {"rea", "="}, f, &count);
    if (rc == kOk) rc = parse_int_operand(args, f[1], 0, kPositiveMax, 0);
    if (rc != kOk) return rc;
    if (args.command->sub_mode == 0) return parse_int_operand(args, f[2], 0, kLastRegister, 1, 1, UsageMap::kAd);
    return parse_int_operand(args, f[2], 0, kPositiveMax, 1);
}

// power(off|on): sub-mode 0 off, 1 on.
int compile_power(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    return read_choice_fields(args, 1, 1, {"off", "on"}, f, &count);
}

// power_set(channel, volts, amps): slot 0 the channel 1 or 2; slot 1 the volts as the supply's
// DAC code (volts * 199.951171875 rounded, 0..4095); slot 2 the amps as its code (amps *
// 999.755859375 rounded). All three are constants, as the codes and the channel's current limit
// are settled here.
int compile_power_set(CompileArgs &args) {
    CommandRecord &command = *args.command;
    std::vector<std::string> f;
    int32_t channel = 0;
    int rc = split_args(args.text, 3, f);
    if (rc == kOk) rc = parse_int_arg(f[0], &channel, 1, 2);
    if (rc == kOk) rc = scaled_code(f[1], kVoltCodePerVolt, kLargestVoltCode, &command.ints[1]);
    if (rc == kOk) rc = amp_code(f[2], channel, &command.ints[2]);
    if (rc == kOk) command.ints[0] = channel;
    return rc;
}

// key(pus|rel, code): sub-mode 0 push, 1 release; slot 0 the virtual-key code 0..255.
int compile_key(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    int rc = read_choice_fields(args, 2, 2, {"pus", "rel"}, f, &count);
    if (rc == kOk) rc = parse_int_operand(args, f[1], 0, 255, 0);
    return rc;
}

// startsw([her|cle]): sub-mode 0 without a field (count one Enter), 1 "her" (wait for Enter),
// 2 "cle" (clear the key buffer).
int compile_startsw(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    if (const int rc = split_present(args.text, 0, 1, f, &count); rc != kOk) return rc;
    if (count == 0) return kOk;
    int word = 0;
    if (const int rc = parse_choice(f[0], {"her", "cle"}, &word); rc != kOk) return rc;
    args.command->sub_mode = word + 1;
    return kOk;
}

// downsw(step): slot 0 the down-switch step, -1 (none) to 4999.
int compile_downsw(CompileArgs &args) {
    std::vector<std::string> f;
    const int rc = split_args(args.text, 1, f);
    return rc == kOk ? parse_int_operand(args, f[0], -1, kLastSequenceStep, 0) : rc;
}

// setesw(=, word, value): sub-mode 0; slot 0 the Ext0 output word 0..3; slot 1 the value
// 0..65535.
int compile_setesw(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    int rc = read_choice_fields(args, 3, 3, {"="}, f, &count);
    if (rc == kOk) rc = parse_int_operand(args, f[1], 0, 3, 0);
    if (rc == kOk) rc = parse_int_operand(args, f[2], 0, 65535, 1);
    return rc;
}

// input_ch(n): n 0..2, a constant; slot 0 and the step's channel specification become n - 1.
int compile_input_ch(CompileArgs &args) {
    std::vector<std::string> f;
    int32_t n = 0;
    int rc = split_args(args.text, 1, f);
    if (rc == kOk) rc = parse_int_arg(f[0], &n, 0, 2);
    if (rc != kOk) return rc;
    args.command->ints[0] = args.step->channel_spec = n - 1;
    return kOk;
}

// getad2(mode, channel, range[, n, count, bits[, seconds]]): sub-mode "tri" 0, "rea" 1, "nor" 2,
// "che" 3, "add" 4; slot 0 the channel 0..7; slot 1 the range 0..6. "tri" and "che" take
// nothing more; the reading forms take slot 2 the first ad[] register (marked for the count),
// slot 4 the count 1..7999, slot 5 the converter bits 8, 10, 12 or 16, and real 0 the time-out
// in seconds (default 1.0).
int compile_getad2(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    int rc = read_choice_fields(args, 3, 7, {"tri", "rea", "nor", "che", "add"}, f, &count);
    if (rc == kOk) rc = parse_int_operand(args, f[1], 0, 7, 0);
    if (rc == kOk) rc = parse_int_operand(args, f[2], 0, 6, 1);
    if (rc != kOk) return rc;
    const int mode = args.command->sub_mode;
    if (mode == 0 || mode == 3) return kOk;
    return count < 6 ? kErrLackingArgument : getad2_block(args, f, count);
}

}  // namespace ksw
