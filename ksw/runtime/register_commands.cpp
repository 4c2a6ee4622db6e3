// Run handlers of clear(, setdata(, setaddata(, calcad(, calcrd(, movead(, search( and shiftd(.
//
//   search(rd|ad, a, b, c)   looks for the value of register b among the ad[c] registers from
//                            register a of the same file; ad[c] becomes the number of the first
//                            equal register, or 65535 (-1) when none is equal or ad[c] was 0.
//                            A block that would run past 7999 is e004 and nothing is written.
//   shiftd(rd|ad, lef|rig, a, b)   shifts the registers a..b (ends in either order) of the file
//                            by one place: "lef" moves each value to the next lower register
//                            and clears register b, "rig" to the next higher and clears a.
#include <algorithm>
#include <cmath>

#include "runtime/run_handlers.h"
#include "values/evaluator.h"
#include "model/register_modes.h"
#include "values/registers.h"

namespace ksw {
namespace {

// The statistics of rd[first..last] inclusive (the ends put in order first).
struct RdRange {
    int count = 0;
    double sum = 0, squares = 0, largest = 0, smallest = 0;
};

// Statistics of rd[first..last]; both ends must lie in 0..7999.
RdRange rd_range(const RdFile &rd, int first, int last) {
    if (first > last) std::swap(first, last);
    RdRange r;
    r.largest = r.smallest = rd[static_cast<size_t>(first)];
    for (int i = first; i <= last; ++i) {
        const double v = rd[static_cast<size_t>(i)];
        r.sum += v;
        r.squares += v * v;
        if (v > r.largest) r.largest = v;
        if (v < r.smallest) r.smallest = v;
    }
    r.count = last - first + 1;
    return r;
}

// calcad( "ave": ad[c], ad[c+1], ad[c+2] = mean, largest, smallest of ad[a..b]; c+2 <= 7999.
int calcad_average(AdFile &ad, int a, int b, int c) {
    if (c + 2 >= kRegisterCount) return kErrOutOfRange;
    uint16_t mean = 0, largest = 0, smallest = 0;
    if (const int rc = ad_range_stats(ad, a, b, &mean, &largest, &smallest); rc != kOk) return rc;
    ad[static_cast<size_t>(c)] = mean;
    ad[static_cast<size_t>(c) + 1] = largest;
    ad[static_cast<size_t>(c) + 2] = smallest;
    return kOk;
}

// calcad( result of x and y for the modes that write one value to ad[c] (32 bits, truncated by
// the caller). Returns 0, 7 for a zero divisor, or 6 for a mode without a value of its own.
int calcad_value(int mode, uint32_t x, uint32_t y, uint32_t a, uint32_t b, uint32_t *out) {
    switch (mode) {
    case kCalcadSub: *out = x - y; return kOk;
    case kCalcadAdd: *out = x + y; return kOk;
    case kCalcadMul: *out = x * y; return kOk;
    case kCalcadMax: *out = x >= y ? x : y; return kOk;
    case kCalcadMin: *out = x <= y ? x : y; return kOk;
    case kCalcadWor: *out = (x << 8) + (y & 255); return kOk;
    case kCalcadAnd: *out = x & y; return kOk;
    case kCalcadOr: *out = x | y; return kOk;
    case kCalcadXor: *out = x ^ y; return kOk;
    case kCalcadIma: *out = x < y ? b : a; return kOk;
    case kCalcadImi: *out = x > y ? b : a; return kOk;
    case kCalcad2av: *out = static_cast<uint32_t>(std::sqrt(double(x) * x + double(y) * y)); return kOk;
    }
    if (mode != kCalcadDiv && mode != kCalcadPercent && mode != kCalcadMod) return kErrInvalidMode;
    if (y == 0) return kErrDividedByZero;
    *out = mode == kCalcadDiv ? x / y : mode == kCalcadMod ? x % y : x * 100 / y;
    return kOk;
}

// calcrd( "ave": rd[c..c+3] = mean, largest, smallest and sample deviation of rd[a..b].
int calcrd_average(RdFile &rd, int a, int b, int c) {
    if (c + 3 >= kRegisterCount) return kErrOutOfRange;
    const RdRange r = rd_range(rd, a, b);
    const double n = r.count;
    double deviation = 0;
    if (r.count > 1) {
        // Rounding can leave a tiny negative variance for equal values; that is a variance of 0.
        const double variance = (n * r.squares - r.sum * r.sum) / (n * (n - 1));
        deviation = variance > 0 ? std::pow(variance, 0.5) : 0.0;
    }
    rd[static_cast<size_t>(c)] = r.sum / n;
    rd[static_cast<size_t>(c) + 1] = r.largest;
    rd[static_cast<size_t>(c) + 2] = r.smallest;
    rd[static_cast<size_t>(c) + 3] = deviation;
    return kOk;
}

// calcrd( result of x and y for the modes that write one value to rd[c]. Returns 0, 7 (zero
// divisor), 8 (logarithm of zero), 11 (power of a negative number) or 6 (no such mode).
int calcrd_value(int mode, double x, double y, double *out) {
    if ((mode == kCalcrdDiv || mode == kCalcrdPercent || mode == kCalcrdDbd) && counts_as_zero(y)) return kErrDividedByZero;
    if (mode == kCalcrdLog && (counts_as_zero(x) || counts_as_zero(y))) return kErrLogZero;
    switch (mode) {
    case kCalcrdSub: *out = x - y; return kOk;
    case kCalcrdAdd: *out = x + y; return kOk;
    case kCalcrdDiv: *out = x / y; return kOk;
    case kCalcrdMul: *out = x * y; return kOk;
    case kCalcrdMax: *out = x >= y ? x : y; return kOk;
    case kCalcrdMin: *out = x <= y ? x : y; return kOk;
    case kCalcrdPercent: *out = x * 100 / y; return kOk;
    case kCalcrd2av: *out = std::sqrt(x * x + y * y); return kOk;
    case kCalcrdLog: *out = std::log(y) / std::log(x); return kOk;
    case kCalcrdPow:
        if (x < 0) return kErrPowerOfMinus;
        *out = std::pow(x, y);
        return kOk;
    case kCalcrdDbd:
        if (counts_as_zero(x / y)) return kErrLogZero;
        *out = 20 * std::log10(x / y);
        return kOk;
    }
    return kErrInvalidMode;
}

// The operands of movead(: r, a, count n and stride s, tested so that every register the mode
// touches lies in 0..7999.
struct MoveShape {
    int32_t r = 0, a = 0, n = 0, s = 0;
};

// Fetches and tests the movead( operands: the ad[] run, and rd[r..r+n-1] (`whole_rd_run`) or
// rd[r] alone. Returns 0 or 4.
int get_move_shape(const Registers &regs, const CommandRecord &command, bool whole_rd_run, MoveShape *m) {
    if (get_int_operand(regs, command, 0, &m->r) > 0 || get_int_operand(regs, command, 1, &m->a) > 0 ||
        get_int_operand(regs, command, 2, &m->n) > 0 || get_int_operand(regs, command, 3, &m->s) > 0) {
        return kErrOutOfRange;
    }
    if (m->n < 0) return kErrOutOfRange;
    if (m->n == 0) return kOk;
    const int64_t last_ad = m->a + int64_t{m->n - 1} * m->s;
    const int64_t last_rd = whole_rd_run ? int64_t{m->r} + m->n - 1 : m->r;
    if (!is_register_index(m->a) || !is_register_index(last_ad)) return kErrOutOfRange;
    if (!is_register_index(m->r) || !is_register_index(last_rd)) return kErrOutOfRange;
    return kOk;
}

// movead( "ave" and "max": rd[r] = mean or largest of the n ad[] values, times the factor.
void move_summary(Registers &regs, const MoveShape &m, bool largest, double factor) {
    const AdFile &ad = *regs.ad;
    double sum = 0, top = 0;
    for (int32_t i = 0; i < m.n; ++i) {
        const double v = ad[static_cast<size_t>(m.a + i * m.s)];
        sum += v;
        if (i == 0 || v > top) top = v;
    }
    (*regs.rd)[static_cast<size_t>(m.r)] = (largest ? top : sum / m.n) * factor;
}

}  // namespace

// clear(: every ad[] to 0, every rd[] to 0.0.
int run_clear(RunContext &context, const CommandRecord &) {
    Registers *regs = run_registers(context);
    if (!regs) return kErrNoMemory;
    clear_registers(*regs);
    return kOk;
}

// setdata(n, v): rd[n] = v.
int run_setdata(RunContext &context, const CommandRecord &command) {
    Registers *regs = run_registers(context);
    if (!regs) return kErrNoMemory;
    int32_t n = 0;
    double v = 0;
    if (get_int_operand(*regs, command, 0, &n) > 0 || !is_register_index(n)) return kErrOutOfRange;
    if (get_real_operand(*regs, command, 0, &v) > 0) return kErrOutOfRange;
    (*regs->rd)[static_cast<size_t>(n)] = v;
    return kOk;
}

// setaddata(n, v): ad[n] = v (negative v + 65536); or the byte string into ad[n], ad[n+1], ...
// with its terminating zero, when n plus the byte count stays below 7999.
int run_setaddata(RunContext &context, const CommandRecord &command) {
    Registers *regs = run_registers(context);
    if (!regs) return kErrNoMemory;
    AdFile &ad = *regs->ad;
    int32_t n = 0;
    if (get_int_operand(*regs, command, 0, &n) > 0 || !is_register_index(n)) return kErrOutOfRange;
    if (command.sub_mode == 1) {
        const int32_t count = command.ints[1];
        if (count < 1 || int64_t{n} + count >= kRegisterCount - 1) return kErrOutOfRange;
        for (int32_t i = 0; i < count; ++i) {
            const size_t at = static_cast<size_t>(i);
            ad[static_cast<size_t>(n + i)] = at < command.text.size() ? static_cast<uint8_t>(command.text[at]) : 0;
        }
        return kOk;
    }
    int32_t v = 0;
    if (get_int_operand(*regs, command, 1, &v) > 0) return kErrOutOfRange;
    if (v < 0) v += 65536;
    if (v < 0 || v > 65535) return kErrOutOfRange;
    ad[static_cast<size_t>(n)] = static_cast<uint16_t>(v);
    return kOk;
}

// calcad(op, a, b, c): x = ad[a], y = ad[b]; the result to ad[c] in 16 bits.
int run_calcad(RunContext &context, const CommandRecord &command) {
    Registers *regs = run_registers(context);
    if (!regs) return kErrNoMemory;
    int32_t a = 0, b = 0, c = 0;
    if (get_register_triple(*regs, command, &a, &b, &c) != kOk) return kErrOutOfRange;
    AdFile &ad = *regs->ad;
    const uint32_t x = ad[static_cast<size_t>(a)];
    const uint32_t y = ad[static_cast<size_t>(b)];
    uint32_t result = 0;
    switch (command.sub_mode) {
    case kCalcadAve: return calcad_average(ad, a, b, c);
    case kCalcadByt:
        ad[static_cast<size_t>(b)] = static_cast<uint16_t>(x >> 8);
        ad[static_cast<size_t>(c)] = static_cast<uint16_t>(x & 255);
        return kOk;
    case kCalcadSum:
        for (int i = std::min(a, b); i <= std::max(a, b); ++i) result += ad[static_cast<size_t>(i)];
        break;
    default:
        if (int rc = calcad_value(command.sub_mode, x, y, uint32_t(a), uint32_t(b), &result); rc != kOk) return rc;
    }
    ad[static_cast<size_t>(c)] = static_cast<uint16_t>(result);
    return kOk;
}

// calcrd(op, a, b, c): x = rd[a], y = rd[b]; the result to rd[c] (ima, imi: to ad[c]).
int run_calcrd(RunContext &context, const CommandRecord &command) {
    Registers *regs = run_registers(context);
    if (!regs) return kErrNoMemory;
    int32_t a = 0, b = 0, c = 0;
    if (get_register_triple(*regs, command, &a, &b, &c) != kOk) return kErrOutOfRange;
    RdFile &rd = *regs->rd;
    const double x = rd[static_cast<size_t>(a)];
    const double y = rd[static_cast<size_t>(b)];
    double result = 0;
    switch (command.sub_mode) {
    case kCalcrdAve: return calcrd_average(rd, a, b, c);
    case kCalcrdIma:
    case kCalcrdImi: {
        const bool take_b = command.sub_mode == kCalcrdIma ? x < y : x > y;
        (*regs->ad)[static_cast<size_t>(c)] = static_cast<uint16_t>(take_b ? b : a);
        return kOk;
    }
    case kCalcrdSum: result = rd_range(rd, a, b).sum; break;
    default:
        if (int rc = calcrd_value(command.sub_mode, x, y, &result); rc != kOk) return rc;
    }
    rd[static_cast<size_t>(c)] = result;
    return kOk;
}

// movead(mode, r, k, a, n, s): between rd[r..r+n-1] and ad[a], ad[a+s], ..., ad[a+(n-1)s].
int run_movead(RunContext &context, const CommandRecord &command) {
    Registers *regs = run_registers(context);
    if (!regs) return kErrNoMemory;
    const int mode = command.sub_mode == kMoveadAssign ? kMoveadDir : command.sub_mode;
    if (mode < kMoveadDir || mode > kMoveadInt) return kErrInvalidMode;
    const bool summary = mode == kMoveadAve || mode == kMoveadMax;
    MoveShape m;
    double k = 0, gain = 1;
    if (int rc = get_move_shape(*regs, command, !summary, &m); rc != kOk) return rc;
    if (get_real_operand(*regs, command, 0, &k) > 0) return kErrOutOfRange;
    if (summary && get_real_operand(*regs, command, 1, &gain) > 0) return kErrOutOfRange;
    if (m.n == 0) return kOk;
    if (summary) {
        move_summary(*regs, m, mode == kMoveadMax, k * gain);
        return kOk;
    }
    AdFile &ad = *regs->ad;
    RdFile &rd = *regs->rd;
    const uint16_t mask = static_cast<uint16_t>(truncate_to_int32(k));
    for (int32_t i = 0; i < m.n; ++i) {
        uint16_t &cell = ad[static_cast<size_t>(m.a + i * m.s)];
        double &real = rd[static_cast<size_t>(m.r + i)];
        switch (mode) {
        case kMoveadDir: real = cell * k; break;
        case kMoveadInv: cell = static_cast<uint16_t>(truncate_to_int32(k * real)); break;
        case kMoveadAnd: real = cell & mask; break;
        case kMoveadInt: real = static_cast<int16_t>(cell) * k; break;
        }
    }
    return kOk;
}

namespace {

constexpr uint16_t kNotFound = 65535;  // -1 as an ad[] value

// The first register of file[first..first+count-1] equal to `key`, or kNotFound.
template <typename File>
uint16_t find_register(const File &file, int32_t first, int32_t count, typename File::value_type key) {
    for (int32_t i = first; i < first + count; ++i)
        if (file[static_cast<size_t>(i)] == key) return static_cast<uint16_t>(i);
    return kNotFound;
}

// Shifts file[low..high] by one place towards `low` (left) or `high`; the register left free is cleared.
template <typename File>
void shift_block(File &file, int32_t low, int32_t high, bool left) {
    const auto begin = file.begin() + low, end = file.begin() + high + 1;
    if (left) std::shift_left(begin, end, 1);
    else std::shift_right(begin, end, 1);
    file[static_cast<size_t>(left ? high : low)] = 0;
}

}  // namespace

int run_search(RunContext &context, const CommandRecord &command) {
    Registers *regs = run_registers(context);
    if (!regs) return kErrNoMemory;
    int32_t a = 0, b = 0, c = 0;
    if (get_register_triple(*regs, command, &a, &b, &c) != kOk) return kErrOutOfRange;
    uint16_t &result = (*regs->ad)[static_cast<size_t>(c)];
    const int32_t count = result;
    if (count > 0 && !is_register_index(int64_t{a} + count - 1)) return kErrOutOfRange;
    result = command.sub_mode == 0 ? find_register(*regs->rd, a, count, (*regs->rd)[static_cast<size_t>(b)])
                                   : find_register(*regs->ad, a, count, (*regs->ad)[static_cast<size_t>(b)]);
    return kOk;
}

int run_shiftd(RunContext &context, const CommandRecord &command) {
    Registers *regs = run_registers(context);
    if (!regs) return kErrNoMemory;
    int32_t a = 0, b = 0;
    if (get_int_operand(*regs, command, 0, &a) > 0 || get_int_operand(*regs, command, 1, &b) > 0) return kErrOutOfRange;
    if (!is_register_index(a) || !is_register_index(b)) return kErrOutOfRange;
    if (a > b) std::swap(a, b);
    const bool left = command.sub_mode == 0;
    if (command.ints[2] == 0) shift_block(*regs->rd, a, b, left);
    else shift_block(*regs->ad, a, b, left);
    return kOk;
}

}  // namespace ksw
