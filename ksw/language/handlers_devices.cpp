// Compile handlers of the device commands: the EVR commands, the serial port and its packets,
// register files, the microcontroller download, the result log, the line-server task and GPIB.
#include <array>

#include "language/arguments.h"
#include "language/handler_fields.h"
#include "language/compile_handlers.h"
#include "resources/error_codes.h"
#include "values/evaluator.h"

namespace ksw {
namespace {

constexpr int32_t kLargestPacket = 4096;  // bytes of one serial exchange
constexpr int32_t kLargestLogCount = 8000;

struct IntRange {
    int32_t minimum;
    int32_t maximum;
};

// The optional tail of evr_adj(: lower and upper limit, page, high-byte address.
constexpr std::array<IntRange, 4> kEvrAdjTail{{{0, 65535}, {0, 65535}, {-1, 255}, {-1, 255}}};
constexpr std::array<int32_t, 4> kEvrAdjTailDefaults{0, 255, -1, -1};

// Whether an evr_adj( precedes `command` in its step.
bool follows_evr_adj(const CommandRecord &command) {
    for (const CommandRecord *c = command.prev; c; c = c->prev)
        if (c->row == kRowEvrAdj) return true;
    return false;
}

// A first register (slot `first`, 0..`last`) and its count (slot `count_slot`,
// `least`..`most`); the block is marked in ad[].
int counted_block(CompileArgs &args, std::string_view first_field, int first, int32_t last,
                  std::string_view count_field, int count_slot, int32_t least, int32_t most) {
    int rc = parse_int_operand(args, first_field, 0, last, first, 1, UsageMap::kNone);
    if (rc == kOk) rc = parse_int_operand(args, count_field, least, most, count_slot);
    if (rc == kOk) mark_counted_block(args, UsageMap::kAd, first, count_slot);
    return rc;
}

// rs232c( "set": baud rate, data bits, parity word, stop bits (fields 2 to 5).
int serial_settings(CompileArgs &args, const std::vector<std::string> &f) {
    CommandRecord &command = *args.command;
    int parity = 0;
    double stop = 0;
    int rc = parse_int_operand(args, f[1], kAnyIntMin, kAnyIntMax, 0);
    if (rc == kOk) rc = check_one_of(command, 0, {300, 600, 1200, 2400, 4800, 9600, 19200});
    if (rc == kOk) rc = parse_int_operand(args, f[2], 5, 8, 1);
    if (rc == kOk) rc = parse_choice(f[3], {"non", "odd", "eve"}, &parity);
    if (rc == kOk) rc = evaluate_expression(f[4], &stop);
    if (rc != kOk) return rc;
    if (stop != 1.0 && stop != 1.5 && stop != 2.0) return kErrOutOfRange;
    command.ints[2] = parity;
    command.ints[3] = stop == 1.0 ? 0 : (stop == 1.5 ? 1 : 2);
    return kOk;
}

// The optional time T of the rscom( exchanges, a real operand into real 0 (default 0: keep).
int exchange_time(CompileArgs &args, const std::vector<std::string> &f, int count, int index) {
    return count > index ? parse_real_operand(args, f[static_cast<size_t>(index)], 0) : kOk;
}

// The fields of one rscom( form after its word; `word` is the sub-mode of compile_rscom.
int rscom_form(CompileArgs &args, int word, const std::vector<std::string> &f, int count) {
    switch (word) {
    case 0: {  // "ret", T, attempts
        const int rc = parse_real_operand(args, f[1], 0);
        return rc == kOk ? parse_int_operand(args, f[2], 1, kPositiveMax, 0) : rc;
    }
    case 1: return counted_block(args, f[1], 0, kLastRegister, f[2], 1, 0, kLargestPacket);  // "ftx", S, NS
    case 2: return counted_block(args, f[1], 2, kLastRegister, f[2], 3, 0, kLargestPacket);  // "frx", R, NR
    case 3: {  // "ftr", S, NS, R, NR[, T]
        int rc = counted_block(args, f[1], 0, kLastRegister, f[2], 1, 0, kLargestPacket);
        if (rc == kOk) rc = counted_block(args, f[3], 2, kLastRegister, f[4], 3, 0, kLargestPacket);
        return rc == kOk ? exchange_time(args, f, count, 5) : rc;
    }
    case 4: return parse_register_slot(args, f[1], 0, UsageMap::kAd, -1, kLastRegister - 1);  // "vtx", S
    case 5: return counted_block(args, f[1], 2, kLastRegister, f[2], 3, 2, kLargestPacket);  // "vrx", R, NR
    default: {  // "vtr", S, R, NR[, T]
        int rc = parse_register_slot(args, f[1], 0, UsageMap::kAd, -1, kLastRegister - 1);
        if (rc == kOk) rc = counted_block(args, f[2], 2, kLastRegister, f[3], 3, 2, kLargestPacket);
        return rc == kOk ? exchange_time(args, f, count, 4) : rc;
    }
    }
}

// The fields each rscom( form needs, including its word.
constexpr std::array<int, 7> kRscomFields{3, 3, 3, 5, 2, 3, 4};

// What each task( form takes: its field count (with the word), the ranges of slots 0 and 1, and
// whether slot 1 names an ad[] register.
struct TaskForm {
    int fields;
    int32_t largest_n;
    int32_t largest_value;
    UsageMap value_map;
};
constexpr std::array<TaskForm, 5> kTaskForms{{
    {2, 15, 0, UsageMap::kNone},                 // "foc", copy
    {3, 255, 65535, UsageMap::kNone},            // "=", n, value
    {3, 255, kLastRegister, UsageMap::kAd},      // "rea", n, register
    {3, 15, 255, UsageMap::kNone},               // "key", copy, key code
    {1, 0, 0, UsageMap::kNone},                  // "cle"
}};

}  // namespace

// evr_adj(selector, address, start, step[, low[, high[, page[, high address]]]]): needs the
// measuring block (e100), whose EVR adjust index (and the sub-mode) take the direction selector
// 1..4, a constant; slot 0 the EVR address 0..255; slot 1 the start value -1..65535 (-1: the
// cell's own); slot 2 the initial search step 0..127; slots 3 and 4 the lower and upper limit
// 0..65535 (defaults 0, 255); slots 5 and 6 the page and the high-byte address -1..255
// (defaults -1).
int compile_evr_adj(CompileArgs &args) {
    MeasureBlock *block = args.build.current_measure;
    if (!block) return kErrMissingFirst;
    CommandRecord &command = *args.command;
    std::vector<std::string> f;
    int count = 0;
    int32_t selector = 0;
    int rc = split_present(args.text, 4, 8, f, &count);
    if (rc == kOk) rc = parse_int_arg(f[0], &selector, 1, 4);
    if (rc == kOk) rc = parse_int_operand(args, f[1], 0, 255, 0);
    if (rc == kOk) rc = parse_int_operand(args, f[2], -1, 65535, 1);
    if (rc == kOk) rc = parse_int_operand(args, f[3], 0, 127, 2);
    for (size_t i = 0; i < kEvrAdjTail.size(); ++i) command.ints[3 + i] = kEvrAdjTailDefaults[i];
    for (int i = 4; rc == kOk && i < count; ++i) {
        const IntRange range = kEvrAdjTail[static_cast<size_t>(i - 4)];
        rc = parse_int_operand(args, f[i], range.minimum, range.maximum, i - 1);
    }
    if (rc == kOk) block->adjust_direction = command.sub_mode = selector;
    return rc;
}

// evr_adj2([off|on][, sensitivity[, address[, page[, value]]]]): needs an evr_adj( earlier in
// the step (e174). Sub-mode the word (0 "off", the default; 1 "on", which also sets bit 1 of the
// item flags); the word may be left out, a first field that is neither word being the
// sensitivity. Real 0 the sensitivity (default 0: none); slots 0..2 the second EVR's address,
// page and value -1..255 (defaults -1).
int compile_evr_adj2(CompileArgs &args) {
    if (!follows_evr_adj(*args.command)) return kErrMissingEvrAdj;
    MeasureBlock *block = args.build.current_measure;
    if (!block) return kErrMissingFirst;
    CommandRecord &command = *args.command;
    std::vector<std::string> f;
    int count = 0;
    if (const int rc = split_present(args.text, 0, 5, f, &count); rc != kOk) return rc;
    int i = 0;
    if (count > 0 && parse_choice(f[0], {"off", "on"}, &command.sub_mode) == kOk) {
        if (command.sub_mode == 1) block->item_flags |= 2;
        i = 1;
    }
    command.ints[0] = command.ints[1] = command.ints[2] = -1;
    int rc = i < count ? parse_real_operand(args, f[i++], 0) : kOk;
    for (int slot = 0; rc == kOk && slot < 3 && i < count; ++slot) rc = parse_int_operand(args, f[i++], -1, 255, slot);
    return rc;
}

// evr_func(kind[, a0[, a1[, a2[, a3[, a4[, seconds]]]]]]): sub-mode the function kind 0..3, a
// constant; slots 0..4 the arguments 0 to 4 (default 0), any integers except that argument 1
// (kinds 0, 2, 3) and argument 3 (kinds 2, 3) name ad[] registers 0..7999, whose blocks the
// operation sizes at run time; real 0 argument 5, a time in seconds (default 0). An eighth field
// is e074.
int compile_evr_func(CompileArgs &args) {
    CommandRecord &command = *args.command;
    std::vector<std::string> f;
    int count = 0;
    int rc = split_present(args.text, 1, 8, f, &count);
    if (rc == kOk) rc = parse_int_arg(f[0], &command.sub_mode, 0, 3);
    if (rc == kOk && count > 7) rc = kErrTooManyParameters;
    const int kind = command.sub_mode;
    for (int i = 1; rc == kOk && i < count && i < 6; ++i) {
        const bool is_register = (i == 2 && kind != 1) || (i == 4 && kind >= 2);
        if (!is_register) {
            rc = parse_int_operand(args, f[i], kAnyIntMin, kAnyIntMax, i - 1);
        } else if (kind == 0) {
            rc = parse_int_operand(args, f[i], 0, kLastRegister, i - 1, 1, UsageMap::kAd);
        } else {
            rc = parse_register_slot(args, f[i], i - 1, UsageMap::kAd, -1);
        }
    }
    return (rc == kOk && count > 6) ? parse_real_operand(args, f[6], 0) : rc;
}

// evr_page(page): slot 0 the page 0..255.
int compile_evr_page(CompileArgs &args) {
    std::vector<std::string> f;
    const int rc = split_args(args.text, 1, f);
    return rc == kOk ? parse_int_operand(args, f[0], 0, 255, 0) : rc;
}

// evr_prn(log|prn, address, count): sub-mode the word; slot 0 the first address 0..255; slot 1
// the count 1..256.
int compile_evr_prn(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    int rc = read_choice_fields(args, 3, 3, {"log", "prn"}, f, &count);
    if (rc == kOk) rc = parse_int_operand(args, f[1], 0, 255, 0);
    if (rc == kOk) rc = parse_int_operand(args, f[2], 1, 256, 1);
    return rc;
}

// evr_rd(address, register): slot 0 the address -1..255 (-1: the device's current cell); slot 1
// the ad[] register 0..7999 that receives the value.
int compile_evr_rd(CompileArgs &args) {
    std::vector<std::string> f;
    int rc = split_args(args.text, 2, f);
    if (rc == kOk) rc = parse_int_operand(args, f[0], -1, 255, 0);
    if (rc == kOk) rc = parse_int_operand(args, f[1], 0, kLastRegister, 1, 1, UsageMap::kAd);
    return rc;
}

// evr_wr(mode, address[, value]): sub-mode the mode 0..3, a constant (0 write RAM, 1 write ROM,
// 2 write back the cell, 3 write back the current page); slot 0 the address -1..255 (mode 3 may
// leave it out: -1); slot 1, for modes 0 and 1, the value, at most 255 with an 8-bit EVR width
// and 65535 otherwise.
int compile_evr_wr(CompileArgs &args) {
    CommandRecord &command = *args.command;
    std::vector<std::string> f;
    int count = 0;
    int rc = split_present(args.text, 1, 3, f, &count);
    if (rc == kOk) rc = parse_int_arg(f[0], &command.sub_mode, 0, 3);
    if (rc != kOk) return rc;
    const int mode = command.sub_mode;
    const int needed = mode <= 1 ? 3 : (mode == 2 ? 2 : 1);
    if (count < needed) return kErrLackingArgument;
    command.ints[0] = -1;
    if (count > 1) rc = parse_int_operand(args, f[1], -1, 255, 0);
    if (rc != kOk || mode > 1) return rc;
    return parse_int_operand(args, f[2], 0, args.build.options.evr_width == 8 ? 255 : 65535, 1);
}

// rs232c(set|res|sta|cle|tim|com, ...): sub-mode the word.
//   "set", baud, bits, parity, stop: slot 0 the baud rate (300, 600, 1200, 2400, 4800, 9600 or
//     19200), slot 1 the data bits 5..8, slot 2 the parity (0 "non", 1 "odd", 2 "eve"), slot 3
//     the stop bits as a code (1 → 0, 1.5 → 1, 2 → 2; a constant);
//   "sta", register: slot 0 the ad[] register that receives the waiting count;
//   "tim", receive[, send]: reals 0 and 1 the times in seconds (send default -1: unchanged);
//   "com", port: slot 0 the port number 1..9;
//   "res", "cle": nothing more.
int compile_rs232c(CompileArgs &args) {
    static constexpr std::array<int, 6> kFields{5, 1, 2, 1, 2, 2};
    CommandRecord &command = *args.command;
    std::vector<std::string> f;
    int count = 0;
    int rc = read_choice_fields(args, 1, 5, {"set", "res", "sta", "cle", "tim", "com"}, f, &count);
    if (rc != kOk) return rc;
    const int word = command.sub_mode;
    if (count < kFields[static_cast<size_t>(word)]) return kErrLackingArgument;
    switch (word) {
    case 0: return serial_settings(args, f);
    case 2: return parse_int_operand(args, f[1], 0, kLastRegister, 0, 1, UsageMap::kAd);
    case 4:
        command.reals[1] = -1;
        rc = parse_real_operand(args, f[1], 0);
        return (rc == kOk && count > 2) ? parse_real_operand(args, f[2], 1) : rc;
    case 5: return parse_int_operand(args, f[1], 1, 9, 0);
    default: return kOk;
    }
}

// rscom(word, ...): sub-mode the word: "ret" 0, "ftx" 1, "frx" 2, "ftr" 3, "vtx" 4, "vrx" 5,
// "vtr" 6. Slot 0 the first send register S, slot 1 the send count NS, slot 2 the first receive
// register R, slot 3 the receive count NR, real 0 the time T in seconds (default 0: keep).
// Blocks are marked in ad[] for their count, or as open blocks when the count comes from ad[].
//   "ret", T, attempts (slot 0, 1..2147483647); "ftx", S, NS (0..4096); "frx", R, NR (0..4096);
//   "ftr", S, NS, R, NR[, T] (counts 0..4096); "vtx", S (0..7998: S + 1 holds the length, open
//   block); "vrx", R, NR (2..4096); "vtr", S (as "vtx"), R, NR (2..4096)[, T].
int compile_rscom(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    int rc = read_choice_fields(args, 1, 6, {"ret", "ftx", "frx", "ftr", "vtx", "vrx", "vtr"}, f, &count);
    if (rc != kOk) return rc;
    const int word = args.command->sub_mode;
    if (count < kRscomFields[static_cast<size_t>(word)]) return kErrLackingArgument;
    return rscom_form(args, word, f, count);
}

// rwfile(access, class, register, count[, per line[, file]]): slot 0 the access word ("fr" 0,
// "r" 1, "fw" 2, "w" 3, "fa" 4, "a" 5); sub-mode the register class ("rd" 0, "ad" 1, "dad" 2);
// slot 1 the first register 0..7999 (marked for the count in rd[] for "rd", else in ad[]);
// slot 2 the count 0..7999, which the reading words may leave empty (7999); slot 3 the values
// per line 0..2147483647 (default 0); the file name kept as the command's text; slot 4 1 for
// the writing words, else 0.
int compile_rwfile(CompileArgs &args) {
    CommandRecord &command = *args.command;
    std::vector<std::string> f;
    int count = 0;
    int access = 0;
    int rc = split_present(args.text, 3, 3, f, &count);
    if (rc == kOk) rc = parse_choice(f[0], {"fr", "r", "fw", "w", "fa", "a"}, &access);
    if (rc == kOk) rc = parse_choice(f[1], {"rd", "ad", "dad"}, &command.sub_mode);
    if (rc == kOk) rc = parse_int_operand(args, f[2], 0, kLastRegister, 1);
    if (rc != kOk) return rc;
    command.ints[0] = access;
    command.ints[4] = access >= 2 ? 1 : 0;
    (void)split_args(args.text, 6, f);  // absent fields come back empty, which is all this needs
    if (f[3].empty() && access >= 2) return kErrLackingArgument;
    command.ints[2] = kLastRegister;
    if (!f[3].empty() && (rc = parse_int_operand(args, f[3], 0, kLastRegister, 2)) != kOk) return rc;
    mark_counted_block(args, command.sub_mode == 0 ? UsageMap::kRd : UsageMap::kAd, 1, 2);
    if (f[4].empty()) return kOk;
    rc = parse_int_operand(args, f[4], 0, kPositiveMax, 3);
    if (rc == kOk && !f[5].empty()) keep_text(command, f[5], kWholeText);
    return rc;
}

// sendmicon(sen|run, file): sub-mode the word; the file name kept as the command's text.
int compile_sendmicon(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    const int rc = read_choice_fields(args, 2, 2, {"sen", "run"}, f, &count);
    if (rc == kOk) keep_text(*args.command, f[1], kWholeText);
    return rc;
}

// log(evr|rd|ad|fil|wor|dwo, n[, count]): sub-mode the word; slot 0 n; slot 1 the count.
//   "evr": n the first EVR address 0..255, count 1..256;
//   "rd", "ad", "wor": n the first register 0..7999 (rd[] for "rd", else ad[]), count 1..8000;
//   "dwo": as "ad", with count pairs of registers;
//   "fil": n -1 (a name made of today's date) or the ad[] register where the name starts
//     (an open block); no count.
int compile_log(CompileArgs &args) {
    CommandRecord &command = *args.command;
    std::vector<std::string> f;
    int count = 0;
    int rc = read_choice_fields(args, 2, 3, {"evr", "rd", "ad", "fil", "wor", "dwo"}, f, &count);
    if (rc != kOk) return rc;
    const int word = command.sub_mode;
    if (word == 3) {
        rc = parse_int_operand(args, f[1], -1, kLastRegister, 0);
        if (rc == kOk && args.command->ints[0] >= 0) mark_slot_registers(args, 0, UsageMap::kAd, -1);
        return rc;
    }
    if (count < 3) return kErrLackingArgument;
    if (word == 0) {
        rc = parse_int_operand(args, f[1], 0, 255, 0);
        return rc == kOk ? parse_int_operand(args, f[2], 1, 256, 1) : rc;
    }
    rc = parse_int_operand(args, f[1], 0, kLastRegister, 0);
    if (rc == kOk) rc = parse_int_operand(args, f[2], 1, kLargestLogCount, 1);
    if (rc == kOk) mark_counted_block(args, word == 1 ? UsageMap::kRd : UsageMap::kAd, 0, 1, word == 5 ? 2 : 1);
    return rc;
}

// task(foc|=|rea|key|cle, ...): sub-mode the word; "foc", n: slot 0 the copy 0..15; "=", n,
// value: slot 0 0..255, slot 1 0..65535; "rea", n, i: slot 0 0..255, slot 1 the ad[] register
// 0..7999 that receives the reply; "key", n, key: slot 0 the copy 0..15, slot 1 the key code
// 0..255; "cle": nothing more.
int compile_task(CompileArgs &args) {
    std::vector<std::string> f;
    int count = 0;
    int rc = read_choice_fields(args, 1, 3, {"foc", "=", "rea", "key", "cle"}, f, &count);
    if (rc != kOk) return rc;
    const TaskForm &form = kTaskForms[static_cast<size_t>(args.command->sub_mode)];
    if (count < form.fields) return kErrLackingArgument;
    if (form.fields > 1) rc = parse_int_operand(args, f[1], 0, form.largest_n, 0);
    if (rc == kOk && form.fields > 2) rc = parse_int_operand(args, f[2], 0, form.largest_value, 1, 1, form.value_map);
    return rc;
}

// gpib(rea|wri|tim|clr|boa, ...): sub-mode the word; "rea", address, register: slot 0 the
// instrument address 0..31, slot 1 the rd[] register 0..7999 that receives the value; "wri",
// address, text: slot 0 the address 0..31, the text kept as the command's; "tim", seconds:
// real 0; "clr": nothing more; "boa", n: slot 0 the board number 0..6.
int compile_gpib(CompileArgs &args) {
    static constexpr std::array<int, 5> kFields{3, 3, 2, 1, 2};
    CommandRecord &command = *args.command;
    std::vector<std::string> f;
    int count = 0;
    int rc = read_choice_fields(args, 1, 3, {"rea", "wri", "tim", "clr", "boa"}, f, &count);
    if (rc != kOk) return rc;
    const int word = command.sub_mode;
    if (count < kFields[static_cast<size_t>(word)]) return kErrLackingArgument;
    switch (word) {
    case 0:
        rc = parse_int_operand(args, f[1], 0, 31, 0);
        return rc == kOk ? parse_int_operand(args, f[2], 0, kLastRegister, 1, 1, UsageMap::kRd) : rc;
    case 1:
        rc = parse_int_operand(args, f[1], 0, 31, 0);
        if (rc == kOk) keep_text(command, f[2], kWholeText);
        return rc;
    case 2: return parse_real_operand(args, f[1], 0);
    case 4: return parse_int_operand(args, f[1], 0, 6, 0);
    default: return kOk;
    }
}

}  // namespace ksw
