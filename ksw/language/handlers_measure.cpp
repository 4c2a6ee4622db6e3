// Compile handlers of the measuring-board set-up commands: input channels and ranges, filters,
// counters, video standard and trigger, the capture commands and the few commands that fill
// the step's measuring block (digital(, gpib_mes().
#include "language/arguments.h"
#include "language/handler_fields.h"
#include "language/compile_handlers.h"
#include "resources/error_codes.h"
#include "values/evaluator.h"

namespace ksw {
namespace {

constexpr size_t kGpibTextLimit = 31;
constexpr int kCaptureIntegers = 8;  // further integers of wave(

// Whether the step's input or trigger channel has been specified (input_ch(, trig_ch().
bool has_channel(const CompileArgs &args) { return args.step->channel_spec != -1; }

// A constant 0..255 ORed into the sub-mode at bit `shift`.
int packed_byte(std::string_view field, int shift, int32_t *sub_mode) {
    int32_t value = 0;
    if (const int rc = parse_int_arg(field, &value, 0, 255); rc != kOk) return rc;
    *sub_mode |= value << shift;
    return kOk;
}

// a_osc( and v_osc( (n, a, b[, c[, off|on]]): slot 0 the first integer (any value, may be ad[]);
// a, b and the optional c are constants 0..255 packed into the sub-mode's bytes 0, 1 and 2, and
// the optional word into bit 24 (1 "on").
int compile_oscilloscope(CompileArgs &args) {
    CommandRecord &command = *args.command;
    std::vector<std::string> f;
    int count = 0;
    int rc = split_present(args.text, 3, 5, f, &count);
    if (rc == kOk) rc = parse_int_operand(args, f[0], kAnyIntMin, kAnyIntMax, 0);
    for (int i = 1; rc == kOk && i < count && i < 4; ++i) rc = packed_byte(f[i], 8 * (i - 1), &command.sub_mode);
    if (rc != kOk || count < 5) return rc;
    int word = 0;
    rc = parse_choice(f[4], {"off", "on"}, &word);
    command.sub_mode |= word << 24;
    return rc;
}

// "pos" of the capture commands: up to four window co-ordinates 0..2147483647 into slots 0..3
// (absent ones -1); a fifth is e074.
int capture_window(CompileArgs &args, const std::vector<std::string> &f, int count) {
    if (count < 2) return kErrLackingArgument;
    if (count > 5) return kErrTooManyParameters;
    for (int slot = 0; slot < 4; ++slot) args.command->ints[static_cast<size_t>(slot)] = -1;
    int rc = kOk;
    for (int i = 1; rc == kOk && i < count; ++i) rc = parse_int_operand(args, f[i], 0, kPositiveMax, i - 1);
    return rc;
}

// A video standard (0 NTSC, 1 PAL, or a v_level( line) must agree with the step's once that is
// set: e102 otherwise.
int agree_video(const CompileArgs &args, int32_t standard) {
    const int32_t step_standard = args.step->video_standard;
    return (step_standard != -1 && step_standard != standard) ? kErrChannelDuplicated : kOk;
}

}  // namespace

// 1_ch(input, range, off|on), 2_ch(...): slot 0 the input 0..7, slot 1 the range 0..15,
// sub-mode the word (0 "off", 1 "on").
int compile_channel_pair(CompileArgs &args) {
    std::vector<std::string> f;
    int rc = split_args(args.text, 3, f);
    if (rc == kOk) rc = parse_int_operand(args, f[0], 0, 7, 0);
    if (rc == kOk) rc = parse_int_operand(args, f[1], 0, 15, 1);
    if (rc == kOk) rc = parse_choice(f[2], {"off", "on"}, &args.command->sub_mode);
    return rc;
}

// ac_range(v): needs the step's channel (e103); slot 0 one of 1, 2, 4, 10, 200, 400.
int compile_ac_range(CompileArgs &args) {
    if (!has_channel(args)) return kErrNoChannel;
    std::vector<std::string> f;
    int rc = split_args(args.text, 1, f);
    if (rc == kOk) rc = parse_int_operand(args, f[0], kAnyIntMin, kAnyIntMax, 0);
    if (rc == kOk) rc = check_one_of(*args.command, 0, {1, 2, 4, 10, 200, 400});
    return rc;
}

// average(count[, n]): slot 0 the count 1..65535; slot 1 1..8, default 2.
int compile_average(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    int rc = split_present(args.text, 1, 2, f, &count);
    if (rc == kOk) rc = parse_int_operand(args, f[0], 1, 65535, 0);
    if (rc != kOk) return rc;
    args.command->ints[1] = 2;
    return count > 1 ? parse_int_operand(args, f[1], 1, 8, 1) : kOk;
}

// a_osc(: see compile_oscilloscope.
int compile_a_osc(CompileArgs &args) { return compile_oscilloscope(args); }

// v_osc(: see compile_oscilloscope.
int compile_v_osc(CompileArgs &args) { return compile_oscilloscope(args); }

// bar(x, y, a, b, low, high[, colour]): slots 0, 1 the position 0..2147483647; slots 2, 3 two
// rd[] registers (marked); reals 0, 1 two real operands; slot 4 the colour 0..7, default 6.
int compile_bar(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    int rc = split_present(args.text, 6, 7, f, &count);
    if (rc == kOk) rc = parse_int_operand(args, f[0], 0, kPositiveMax, 0);
    if (rc == kOk) rc = parse_int_operand(args, f[1], 0, kPositiveMax, 1);
    if (rc == kOk) rc = parse_int_operand(args, f[2], 0, kLastRegister, 2, 1, UsageMap::kRd);
    if (rc == kOk) rc = parse_int_operand(args, f[3], 0, kLastRegister, 3, 1, UsageMap::kRd);
    if (rc == kOk) rc = parse_real_operand(args, f[4], 0);
    if (rc == kOk) rc = parse_real_operand(args, f[5], 1);
    if (rc != kOk) return rc;
    args.command->ints[4] = 6;
    return count > 6 ? parse_int_operand(args, f[6], 0, 7, 4) : kOk;
}

// chroma_mode(n, nts|pal): slot 0 n (any integer); sub-mode and the step's video standard the
// word (0 NTSC, 1 PAL). The chroma input is channel 2: a step on channel 1 (channel setting 0)
// is e114, and the step's channel setting becomes 1; a step already set to the other standard
// is e102.
int compile_chroma_mode(CompileArgs &args) {
    StepRecord &step = *args.step;
    std::vector<std::string> f;
    int standard = 0;
    int rc = split_args(args.text, 2, f);
    if (rc == kOk) rc = parse_int_operand(args, f[0], kAnyIntMin, kAnyIntMax, 0);
    if (rc == kOk) rc = parse_choice(f[1], {"nts", "pal"}, &standard);
    if (rc != kOk) return rc;
    if (step.channel_spec == 0) return kErrUseInputCh2;
    step.channel_spec = 1;
    if (step.video_standard == 1 - standard) return kErrChannelDuplicated;
    step.video_standard = args.command->sub_mode = standard;
    return kOk;
}

// chroma_out(r-y|b-y|er-|eb-): slot 0 the word's index.
int compile_chroma_out(CompileArgs &args) {
    std::vector<std::string> f;
    int word = 0;
    int rc = split_args(args.text, 1, f);
    if (rc == kOk) rc = parse_choice(f[0], {"r-y", "b-y", "er-", "eb-"}, &word);
    if (rc == kOk) args.command->ints[0] = word;
    return rc;
}

// clamp(v), cmp(v), shift(v): real 0 the value.
int compile_clamp_cmp_shift(CompileArgs &args) {
    std::vector<std::string> f;
    const int rc = split_args(args.text, 1, f);
    return rc == kOk ? parse_real_operand(args, f[0], 0) : rc;
}

// color(fore, back[, n]): slots 0, 1 the colours -1..7; slot 2 n -1..2147483647 with sub-mode 1
// when it is given, else sub-mode 0.
int compile_color(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    int rc = split_present(args.text, 2, 3, f, &count);
    if (rc == kOk) rc = parse_int_operand(args, f[0], -1, 7, 0);
    if (rc == kOk) rc = parse_int_operand(args, f[1], -1, 7, 1);
    if (rc != kOk || count < 3) return rc;
    args.command->sub_mode = 1;
    return parse_int_operand(args, f[2], -1, kPositiveMax, 2);
}

// colorbar(nts|pal, a, b, level, register): sub-mode the standard; slots 0, 1 0..2048; slot 2
// 0..255; slot 3 the first of 32 rd[] registers, 0..7967.
int compile_colorbar(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    int rc = read_choice_fields(args, 5, 5, {"nts", "pal"}, f, &count);
    if (rc == kOk) rc = parse_int_operand(args, f[1], 0, 2048, 0);
    if (rc == kOk) rc = parse_int_operand(args, f[2], 0, 2048, 1);
    if (rc == kOk) rc = parse_int_operand(args, f[3], 0, 255, 2);
    if (rc == kOk) rc = parse_int_operand(args, f[4], 0, kLastRegister - 32, 3, 32, UsageMap::kRd);
    return rc;
}

// counter_ac(), dc(), logic(): need the step's channel (e103); anything between the brackets is
// e074.
int compile_counter_dc_logic(CompileArgs &args) {
    if (!has_channel(args)) return kErrNoChannel;
    std::vector<std::string> f;
    int count = 0;
    if (const int rc = split_present(args.text, 0, 1, f, &count); rc != kOk) return rc;
    return count > 0 ? kErrTooManyParameters : kOk;
}

// counter_ttl([h|l]): needs the step's channel (e103); sub-mode 0 "h", 1 "l", -1 for anything
// else (no error).
int compile_counter_ttl(CompileArgs &args) {
    if (!has_channel(args)) return kErrNoChannel;
    std::vector<std::string> f;
    int count = 0;
    if (const int rc = split_present(args.text, 0, 1, f, &count); rc != kOk) return rc;
    if (count == 0 || parse_choice(f[0], {"h", "l"}, &args.command->sub_mode) != kOk)
        args.command->sub_mode = -1;
    return kOk;
}

// dgtz_clk(4fs|20m|10m|4m|1m|50k): sub-mode the clock's index 0..5.
int compile_dgtz_clk(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    return read_choice_fields(args, 1, 1, {"4fs", "20m", "10m", "4m", "1m", "50k"}, f, &count);
}

// digital(source, address[, mask[, cell]]): needs the measuring block (e100), whose item variant
// and the sub-mode take the source ("evr" 0, "ram" 1, "ser" 2, "par" 3, "io" 4); slot 0 the
// address 0..255; slot 1 the mask 0..65535, default 65535; slot 2 for "evr" and "ram" 0..255,
// default -1 (other sources do not read a fourth field).
int compile_digital(CompileArgs &args) {
    MeasureBlock *block = args.build.current_measure;
    if (!block) return kErrMissingFirst;
    CommandRecord &command = *args.command;
    std::vector<std::string> f;
    int count = 0;
    int rc = read_choice_fields(args, 2, 4, {"evr", "ram", "ser", "par", "io"}, f, &count);
    if (rc == kOk) rc = parse_int_operand(args, f[1], 0, 255, 0);
    if (rc != kOk) return rc;
    block->item_variant = command.sub_mode;
    command.ints[1] = 65535;
    command.ints[2] = -1;
    if (count > 2) rc = parse_int_operand(args, f[2], 0, 65535, 1);
    if (rc == kOk && count > 3 && command.sub_mode <= 1) rc = parse_int_operand(args, f[3], 0, 255, 2);
    return rc;
}

// extention(vol|cou): sub-mode 0 voltage, 1 count.
int compile_extention(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    return read_choice_fields(args, 1, 1, {"vol", "cou"}, f, &count);
}

// filter(n): needs the step's channel (e103); slot 0 the filter 1..8.
int compile_filter(CompileArgs &args) {
    if (!has_channel(args)) return kErrNoChannel;
    std::vector<std::string> f;
    const int rc = split_args(args.text, 1, f);
    return rc == kOk ? parse_int_operand(args, f[0], 1, 8, 0) : rc;
}

// gpib_mes(address, wait[, query]): needs the measuring block (e100); slot 0 the instrument
// address 0..31; real 0 the reply wait in seconds; the query text, cut to 31 characters, goes
// into the measuring block.
int compile_gpib_mes(CompileArgs &args) {
    MeasureBlock *block = args.build.current_measure;
    if (!block) return kErrMissingFirst;
    std::vector<std::string> f;
    int count = 0;
    int rc = split_present(args.text, 2, 3, f, &count);
    if (rc == kOk) rc = parse_int_operand(args, f[0], 0, 31, 0);
    if (rc == kOk) rc = parse_real_operand(args, f[1], 0);
    if (rc == kOk && count > 2) block->gpib_text = cut_text(f[2], kGpibTextLimit);
    return rc;
}

// peakdet(max|min|pea|bot, a, b, c, low, high): sub-mode the word; slots 0, 1 ad[] registers
// 0..7999; slot 2 the first of three ad[] registers, 0..7997; slots 3, 4 0..65535.
int compile_peakdet(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    int rc = read_choice_fields(args, 6, 6, {"max", "min", "pea", "bot"}, f, &count);
    if (rc == kOk) rc = parse_int_operand(args, f[1], 0, kLastRegister, 0, 1, UsageMap::kAd);
    if (rc == kOk) rc = parse_int_operand(args, f[2], 0, kLastRegister, 1, 1, UsageMap::kAd);
    if (rc == kOk) rc = parse_int_operand(args, f[3], 0, kLastRegister - 2, 2, 3, UsageMap::kAd);
    if (rc == kOk) rc = parse_int_operand(args, f[4], 0, 65535, 3);
    if (rc == kOk) rc = parse_int_operand(args, f[5], 0, 65535, 4);
    return rc;
}

// phase(p|h|v, h|l[, h|l | nts|pal]): sub-mode the first word; slot 0 the second word (0 "h",
// 1 "l"); slot 1 the optional third word when it is "h" or "l", else -1; slot 2 the video
// standard when the third word names one (it must agree with the step's, e102), else -1.
int compile_phase(CompileArgs &args) {
    CommandRecord &command = *args.command;
    std::vector<std::string> f;
    int count = 0;
    int edge = 0;
    int rc = read_choice_fields(args, 2, 3, {"p", "h", "v"}, f, &count);
    if (rc == kOk) rc = parse_choice(f[1], {"h", "l"}, &edge);
    if (rc != kOk) return rc;
    command.ints[0] = edge;
    command.ints[1] = command.ints[2] = -1;
    if (count < 3) return kOk;
    if (parse_choice(f[2], {"h", "l"}, &edge) == kOk) {
        command.ints[1] = edge;
        return kOk;
    }
    int standard = 0;
    rc = parse_choice(f[2], {"nts", "pal"}, &standard);
    if (rc == kOk) rc = agree_video(args, standard);
    if (rc == kOk) command.ints[2] = standard;
    return rc;
}

// ppdet(pp|p|b, level): sub-mode the word; real 0 the level, a constant expression.
int compile_ppdet(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    int rc = read_choice_fields(args, 2, 2, {"pp", "p", "b"}, f, &count);
    if (rc == kOk) rc = evaluate_expression(f[1], &args.command->reals[0]);
    return rc;
}

// pre(dc|ac): sub-mode 0 DC, 1 AC coupling.
int compile_pre(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    return read_choice_fields(args, 1, 1, {"dc", "ac"}, f, &count);
}

// spec(a, b[, c, d[, e]]): two, four or five values 0..65535 into slots 0..4 in order (three is
// e003, six e074); sub-mode the number of values.
int compile_spec(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    int rc = split_present(args.text, 2, 6, f, &count);
    if (rc == kOk && count == 3) rc = kErrLackingArgument;
    if (rc == kOk && count > 5) rc = kErrTooManyParameters;
    for (int i = 0; rc == kOk && i < count; ++i) rc = parse_int_operand(args, f[i], 0, 65535, i);
    if (rc == kOk) args.command->sub_mode = count;
    return rc;
}

// spl_enb_line(line[, line2]): slot 0 the line 2..312; slot 1 the second line 2..312, default -1.
int compile_spl_enb_line(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    int rc = split_present(args.text, 1, 2, f, &count);
    if (rc == kOk) rc = parse_int_operand(args, f[0], 2, 312, 0);
    if (rc != kOk) return rc;
    args.command->ints[1] = -1;
    return count > 1 ? parse_int_operand(args, f[1], 2, 312, 1) : kOk;
}

// square(nor|rou, a, b, c, d, colour): sub-mode the word; slots 0..3 0..2147483647; slot 4 the
// colour -1..7.
int compile_square(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    int rc = read_choice_fields(args, 6, 6, {"nor", "rou"}, f, &count);
    for (int i = 1; rc == kOk && i < 5; ++i) rc = parse_int_operand(args, f[i], 0, kPositiveMax, i - 1);
    if (rc == kOk) rc = parse_int_operand(args, f[5], -1, 7, 4);
    return rc;
}

// term(n, off|on): slot 0 the input 1 or 2; sub-mode the word.
int compile_term(CompileArgs &args) {
    std::vector<std::string> f;
    int rc = split_args(args.text, 2, f);
    if (rc == kOk) rc = parse_int_operand(args, f[0], 1, 2, 0);
    if (rc == kOk) rc = parse_choice(f[1], {"off", "on"}, &args.command->sub_mode);
    return rc;
}

// trig_ch(n): n 1..4, a constant; slot 0 and the step's channel specification become n - 1; a
// step whose channel is already specified is e102.
int compile_trig_ch(CompileArgs &args) {
    std::vector<std::string> f;
    int32_t n = 0;
    int rc = split_args(args.text, 1, f);
    if (rc == kOk) rc = parse_int_arg(f[0], &n, 1, 4);
    if (rc != kOk) return rc;
    if (has_channel(args)) return kErrChannelDuplicated;
    args.command->ints[0] = args.step->channel_spec = n - 1;
    return kOk;
}

// transient(sto|pos|ini|run, ...): sub-mode the word. "pos": see capture_window. The others:
// slot 0 0 or 1; then either a register 0..7991 (slot 1, seven ad[] registers marked) with
// slot 2 = 0, or a real operand (real 0) and that register with slot 2 = 1.
int compile_transient(CompileArgs &args) {
    CommandRecord &command = *args.command;
    std::vector<std::string> f;
    int count = 0;
    int rc = read_choice_fields(args, 2, 6, {"sto", "pos", "ini", "run"}, f, &count);
    if (rc != kOk) return rc;
    if (command.sub_mode == 1) return capture_window(args, f, count);
    if (count < 3) return kErrLackingArgument;
    rc = parse_int_operand(args, f[1], 0, 1, 0);
    const bool with_real = count > 3;
    if (rc == kOk && with_real) rc = parse_real_operand(args, f[2], 0);
    if (rc == kOk) rc = parse_int_operand(args, f[with_real ? 3 : 2], 0, kLastRegister - 8, 1, 7, UsageMap::kAd);
    command.ints[2] = with_real ? 1 : 0;
    return rc;
}

// vector(sto|pos|run, ...): sub-mode the word. "pos": see capture_window. The others: slot 0
// 10..1000; slot 1 a register that starts an open rd[] block.
int compile_vector(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    int rc = read_choice_fields(args, 2, 6, {"sto", "pos", "run"}, f, &count);
    if (rc != kOk) return rc;
    if (args.command->sub_mode == 1) return capture_window(args, f, count);
    if (count < 3) return kErrLackingArgument;
    rc = parse_int_operand(args, f[1], 10, 1000, 0);
    if (rc == kOk) rc = parse_register_slot(args, f[2], 1, UsageMap::kRd, -1);
    return rc;
}

// wave(sto|pos|run, ...): sub-mode the word. "pos": see capture_window. The others: slot 0 the
// channel 0..9; real 0 a real operand; slots 1 and 2 two registers that start open rd[] blocks;
// then up to eight further integers into slots 3..10 (absent ones -1; a ninth is e074).
int compile_wave(CompileArgs &args) {
    CommandRecord &command = *args.command;
    std::vector<std::string> f;
    int count = 0;
    int rc = read_choice_fields(args, 2, 6 + kCaptureIntegers, {"sto", "pos", "run"}, f, &count);
    if (rc != kOk) return rc;
    if (command.sub_mode == 1) return capture_window(args, f, count);
    if (count < 5) return kErrLackingArgument;
    if (count > 5 + kCaptureIntegers) return kErrTooManyParameters;
    rc = parse_int_operand(args, f[1], 0, 9, 0);
    if (rc == kOk) rc = parse_real_operand(args, f[2], 0);
    if (rc == kOk) rc = parse_register_slot(args, f[3], 1, UsageMap::kRd, -1);
    if (rc == kOk) rc = parse_register_slot(args, f[4], 2, UsageMap::kRd, -1);
    for (int slot = 3; slot < 3 + kCaptureIntegers; ++slot) command.ints[static_cast<size_t>(slot)] = -1;
    for (int i = 5; rc == kOk && i < count; ++i) rc = parse_int_operand(args, f[i], kAnyIntMin, kAnyIntMax, i - 2);
    return rc;
}

// v_level(n | nts | pal): n 0..5047 (a constant), "nts" 0 or "pal" 1, into slot 0 and the
// step's video standard, which must be unset or already the same (else e102).
int compile_v_level(CompileArgs &args) {
    std::vector<std::string> f;
    int rc = split_args(args.text, 1, f);
    if (rc != kOk) return rc;
    int standard = 0;
    int32_t value = 0;
    if (parse_choice(f[0], {"nts", "pal"}, &standard) == kOk) {
        value = standard;
    } else if (rc = parse_int_arg(f[0], &value, 0, 5047); rc != kOk) {
        return rc;
    }
    if (rc = agree_video(args, value); rc != kOk) return rc;
    args.command->ints[0] = args.step->video_standard = value;
    return kOk;
}

}  // namespace ksw
