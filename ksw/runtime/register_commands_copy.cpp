// Run handlers of copyad( (on ad[]) and copy( (on rd[]): block modes that walk a source run into
// a destination run, and value modes that combine one register with a real operand.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <complex>
#include <memory>
#include <new>
#include <numbers>
#include <string_view>
#include <utility>

#include "runtime/run_handlers.h"
#include "values/evaluator.h"
#include "model/register_modes.h"
#include "values/registers.h"
#include "zelw.h"

namespace ksw {
namespace {

constexpr double kDegreesToRadians = 0.017453292;
constexpr double kRadiansToDegrees = 57.29578121995553;
constexpr size_t kMaxFloatText = 255;

// The operands of a block mode: source a, destination b, count, skip, group and rep.
struct BlockShape {
    int32_t a = 0, b = 0, count = 0, skip = 0, group = 1, rep = 1;
};

// Fetches slots 0..5 of a copy command. Returns 0 or 4 (an ad[] operand outside 0..7999, or a
// source or destination outside 0..7999).
int get_block_shape(const Registers &regs, const CommandRecord &command, BlockShape *s) {
    int32_t *fields[] = {&s->a, &s->b, &s->count, &s->skip, &s->group, &s->rep};
    for (int slot = 0; slot < 6; ++slot) {
        if (get_int_operand(regs, command, slot, fields[slot]) > 0) return kErrOutOfRange;
    }
    return (is_register_index(s->a) && is_register_index(s->b)) ? kOk : kErrOutOfRange;
}

// The block loop: until `count` values are written, take `group` sources one after another and
// then skip `skip` registers. `emit(source, &b, &n)` reads source register `source` and writes
// its destinations from *b on, advancing *b and the written count *n. Every source index is
// tested before it is read; a source or destination past 7999 stops the loop with error 4.
template <class Emit>
int block_loop(const BlockShape &s, Emit emit) {
    if (s.group < 1 || s.rep < 1) return kErrOutOfRange;  // would never finish
    int64_t a = s.a, b = s.b, n = 0;
    while (n < s.count) {
        for (int32_t g = 0; g < s.group && n < s.count; ++g, ++a) {
            if (!is_register_index(a)) return kErrOutOfRange;
            if (int rc = emit(static_cast<size_t>(a), &b, &n); rc != kOk) return rc;
        }
        a += s.skip;
    }
    return kOk;
}

// Writes `value` rep times from *b on, stopping when count values are written.
template <class File, class Value>
int write_repeated(File &file, const BlockShape &s, Value value, int64_t *b, int64_t *n) {
    for (int32_t r = 0; r < s.rep && *n < s.count; ++r, ++*b, ++*n) {
        if (!is_register_index(*b)) return kErrOutOfRange;
        file[static_cast<size_t>(*b)] = value;
    }
    return kOk;
}

// The value a copyad( block mode 0..5 makes of source u.
uint16_t copyad_block_value(int mode, uint16_t u) {
    switch (mode) {
    case kCopyadNot: return static_cast<uint16_t>(~u);
    case kCopyadRev: return static_cast<uint16_t>(-u);
    case kCopyadBcd: return HexToBCD(u);
    case kCopyadHex: return BCDToHex(u);
    case kCopyadLm: return static_cast<uint16_t>(((u & 1u) << 1) | ((u >> 1) & 1u));
    }
    return u;
}

// copyad( "=" with count -1: copies ad[a+i] to ad[b+i] up to and including a value that is 0
// or 256 and above.
int copyad_string(AdFile &ad, int64_t a, int64_t b) {
    for (int64_t i = 0;; ++i) {
        if (!is_register_index(a + i) || !is_register_index(b + i)) return kErrOutOfRange;
        const uint16_t v = ad[static_cast<size_t>(a + i)];
        ad[static_cast<size_t>(b + i)] = v;
        if (v == 0 || v >= 256) return kOk;
    }
}

// copyad( block modes 0..7.
int copyad_block(AdFile &ad, int mode, const BlockShape &s) {
    if (s.count == -1 && mode == kCopyadCopy) return copyad_string(ad, s.a, s.b);
    if (s.count < 0) return kErrOutOfRange;
    if (mode == kCopyadByt || mode == kCopyadIby) {
        return block_loop(s, [&](size_t source, int64_t *b, int64_t *n) {
            if (!is_register_index(*b) || !is_register_index(*b + 1)) return int{kErrOutOfRange};
            const uint16_t u = ad[source];
            const uint16_t high = static_cast<uint16_t>(u >> 8), low = static_cast<uint16_t>(u & 255);
            ad[static_cast<size_t>(*b)] = mode == kCopyadByt ? high : low;
            ad[static_cast<size_t>(*b) + 1] = mode == kCopyadByt ? low : high;
            *b += 2;
            ++*n;
            return int{kOk};
        });
    }
    return block_loop(s, [&](size_t source, int64_t *b, int64_t *n) {
        return write_repeated(ad, s, copyad_block_value(mode, ad[source]), b, n);
    });
}

// copyad( "str": v in radix x (2..36, lower-case digits) from ad[b] on with a terminating 0,
// cut at register 7999.
int copyad_text(AdFile &ad, uint16_t v, int b, double x) {
    const int32_t radix = truncate_to_int32(x);
    if (radix < 2 || radix > 36) return kErrOutOfRange;
    std::array<char, 17> digits{};  // 16 binary digits at the most, then the terminator
    size_t length = 0;
    uint32_t rest = v;
    do {
        digits[length++] = "0123456789abcdefghijklmnopqrstuvwxyz"[rest % static_cast<uint32_t>(radix)];
        rest /= static_cast<uint32_t>(radix);
    } while (rest != 0);
    for (size_t i = 0; i <= length && is_register_index(b + int64_t(i)); ++i) {
        ad[static_cast<size_t>(b) + i] = i < length ? static_cast<uint8_t>(digits[length - 1 - i]) : 0;
    }
    return kOk;
}

// copyad( "ave": the integer mean of ad[a..a+n-1], n = floor(x).
int copyad_average(const AdFile &ad, int a, double x, uint32_t *out) {
    if (!(x >= 1.0)) return kErrDividedByZero;
    if (a + std::floor(x) > kRegisterCount - 1) return kErrOutOfRange;
    const int n = static_cast<int>(x);
    uint32_t sum = 0;
    for (int i = 0; i < n; ++i) sum += ad[static_cast<size_t>(a + i)];
    *out = sum / static_cast<uint32_t>(n);
    return kOk;
}

// copyad( "spi": 1 for v = 0 and x > 0; v / x (65535 when that is 0) for v != 0 and x < 0.
int copyad_spi(uint32_t v, double x, uint32_t *out) {
    if (counts_as_zero(x)) return kErrDividedByZero;
    if (v == 0 && x > 0) {
        *out = 1;
    } else if (v != 0 && x < 0) {
        const int32_t q = truncate_to_int32(v / x);
        *out = q == 0 ? 65535u : static_cast<uint32_t>(q);
    } else {
        *out = v;
    }
    return kOk;
}

// copyad( value modes that divide, count or average; the others are in copyad_value.
int copyad_checked_value(const AdFile &ad, int mode, int a, double x, uint32_t *out) {
    const uint32_t v = ad[static_cast<size_t>(a)];
    switch (mode) {
    case kCopyadDiv:
        if (counts_as_zero(x)) return kErrDividedByZero;
        *out = static_cast<uint32_t>(truncate_to_int32(v / x));
        return kOk;
    case kCopyadSpi: return copyad_spi(v, x, out);
    case kCopyadMod: {
        const uint32_t m = static_cast<uint32_t>(truncate_to_int32(x)) & 0xFFFFu;
        if (m == 0) return kErrDividedByZero;
        *out = v % m;
        return kOk;
    }
    case kCopyadIDiv:
        if (v == 0) return kErrDividedByZero;
        *out = static_cast<uint32_t>(truncate_to_int32(x / v));
        return kOk;
    case kCopyadAve: return copyad_average(ad, a, x, out);
    case kCopyadBit: {
        const double n = std::floor(x);
        if (!(n >= 1 && n <= 16)) return kErrOutOfRange;
        *out = static_cast<uint32_t>(std::popcount(v & ((1u << static_cast<int>(n)) - 1u)));
        return kOk;
    }
    }
    return kErrInvalidMode;
}

// copyad( value modes 9..25: the result of v = ad[a] and x, stored by the caller in 16 bits.
int copyad_value(const AdFile &ad, int mode, int a, double x, uint32_t *out) {
    const uint32_t v = ad[static_cast<size_t>(a)];
    const uint32_t t = static_cast<uint32_t>(truncate_to_int32(x));
    switch (mode) {
    case kCopyadAdd: *out = v + t; return kOk;
    case kCopyadSub: *out = v - t; return kOk;
    case kCopyadAnd: *out = v & t; return kOk;
    case kCopyadOr: *out = v | t; return kOk;
    case kCopyadXor: *out = v ^ t; return kOk;
    case kCopyadMul: *out = static_cast<uint32_t>(truncate_to_int32(v * x)); return kOk;
    case kCopyadRig: *out = v >> (t & 31u); return kOk;
    case kCopyadLef: *out = v << (t & 31u); return kOk;
    case kCopyadISub: *out = t - v; return kOk;
    case kCopyadIri: *out = (t & 0xFFFFu) >> (v & 31u); return kOk;
    case kCopyadIle: *out = (t & 0xFFFFu) << (v & 31u); return kOk;
    }
    return copyad_checked_value(ad, mode, a, x, out);
}

// The value a copy( block mode makes of source u; returns 0, 2, 7 or 8.
int copy_block_value(int mode, double u, double *out) {
    switch (mode) {
    case kCopyCopy: *out = u; return kOk;
    case kCopyRev: *out = -u; return kOk;
    case kCopyAbs: *out = std::fabs(u); return kOk;
    case kCopySin: *out = std::sin(u * kDegreesToRadians); return kOk;
    case kCopyCos: *out = std::cos(u * kDegreesToRadians); return kOk;
    case kCopyTan: *out = std::tan(u * kDegreesToRadians); return kOk;
    case kCopyAta: *out = std::atan(u) * kRadiansToDegrees; return kOk;
    case kCopyRec:
        if (counts_as_zero(u)) return kErrDividedByZero;
        *out = 1 / u;
        return kOk;
    case kCopyAsi:
    case kCopyAco:
        if (u > 1 || u < -1) return kErrTooBigSmall;
        *out = (mode == kCopyAsi ? std::asin(u) : std::acos(u)) * kRadiansToDegrees;
        return kOk;
    }
    if (u < 2.2250738585072014e-308) return kErrLogZero;  // log, db and ln of zero or less
    *out = mode == kCopyLn ? std::log(u) : mode == kCopyDb ? 20 * std::log10(u) : std::log10(u);
    return kOk;
}

// copy( block modes 0..12 (a negative count does nothing).
int copy_block(RdFile &rd, int mode, const BlockShape &s) {
    return block_loop(s, [&](size_t source, int64_t *b, int64_t *n) {
        double value = 0;
        if (int rc = copy_block_value(mode, rd[source], &value); rc != kOk) return rc;
        return write_repeated(rd, s, value, b, n);
    });
}

// The radix-2 discrete Fourier transform of data[0..n-1] in place; n is a power of two.
void fast_fourier_transform(std::complex<double> *data, size_t n) {
    for (size_t i = 1, j = 0; i < n; ++i) {  // bit-reversed order
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(data[i], data[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> step = std::polar(1.0, -2 * std::numbers::pi / static_cast<double>(len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w = 1;
            for (size_t k = 0; k < len / 2; ++k, w *= step) {
                const std::complex<double> odd = data[i + k + len / 2] * w;
                data[i + k + len / 2] = data[i + k] - odd;
                data[i + k] += odd;
            }
        }
    }
}

// The discrete Fourier transform of the n values from `in` into out[0..n-1]: radix-2 for a
// power of two, else the direct sum.
void fourier_transform(const double *in, std::complex<double> *out, size_t n) {
    if ((n & (n - 1)) == 0) {
        std::copy(in, in + n, out);
        fast_fourier_transform(out, n);
        return;
    }
    for (size_t k = 0; k < n; ++k) {
        const std::complex<double> step = std::polar(1.0, -2 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(n));
        std::complex<double> sum = 0, w = 1;
        for (size_t j = 0; j < n; ++j, w *= step) sum += in[j] * w;
        out[k] = sum;
    }
}

// copy( "fft": |X(k)| of the transform of rd[a..a+n-1] into rd[b..b+n-1], n = x truncated; the
// working buffer holds one complex value per register.
int copy_fft(RdFile &rd, int a, int b, double x) {
    if (!(x > -1.0 && x < kRegisterCount)) return kErrOutOfRange;
    const int n = static_cast<int>(x);
    if (!is_register_index(a + n) || !is_register_index(b + n)) return kErrOutOfRange;
    if (n == 0) return kOk;
    std::unique_ptr<std::complex<double>[]> buffer(new (std::nothrow) std::complex<double>[static_cast<size_t>(n)]);
    if (!buffer) return kErrNoMemory;
    fourier_transform(rd.data() + a, buffer.get(), static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) rd[static_cast<size_t>(b + i)] = std::abs(buffer[static_cast<size_t>(i)]);
    return kOk;
}

// copy( "flo": the characters ad[a], ad[a+1], ... up to a 0 or a value of 256 and above (at most
// 255) are evaluated into rd[b]; the evaluator's own result is not reported.
int copy_float_text(Registers &regs, int a, int b) {
    std::array<char, kMaxFloatText> text{};
    size_t length = 0;
    for (int64_t i = a;; ++i) {
        if (!is_register_index(i)) return kErrOutOfRange;
        const uint16_t c = (*regs.ad)[static_cast<size_t>(i)];
        if (c == 0 || c >= 256) break;
        if (length == kMaxFloatText) return kErrWrongStyle;
        text[length++] = static_cast<char>(c);
    }
    double &target = (*regs.rd)[static_cast<size_t>(b)];
    double value = target;
    (void)evaluate_expression(std::string_view(text.data(), length), &value);  // not reported, see above
    target = value;
    return kOk;
}

// copy( "tri": v cut downward to x (0..6) decimals.
int copy_truncate_decimals(double v, double x, double *out) {
    if (!(x >= 0 && x <= 6)) return kErrOutOfRange;
    const int places = static_cast<int>(x);
    for (int i = 0; i < places; ++i) v *= 10;
    v = std::floor(v);
    for (int i = 0; i < places; ++i) v *= 0.1;
    *out = v;
    return kOk;
}

// copy( "ave": the mean of rd[a..a+n-1], n = floor(x).
int copy_average(const RdFile &rd, int a, double x, double *out) {
    if (!(x >= 1.0) || a + std::floor(x) > kRegisterCount - 1) return kErrOutOfRange;
    const int n = static_cast<int>(x);
    double sum = 0;
    for (int i = 0; i < n; ++i) sum += rd[static_cast<size_t>(a + i)];
    *out = sum / n;
    return kOk;
}

// copy( value modes 13..23 except "flo": the result of v = rd[a] and x into *out.
int copy_value(const RdFile &rd, int mode, int a, double x, double *out) {
    const double v = rd[static_cast<size_t>(a)];
    switch (mode) {
    case kCopyMul: *out = v * x; return kOk;
    case kCopyAdd: *out = v + x; return kOk;
    case kCopySub: *out = v - x; return kOk;
    case kCopyISub: *out = x - v; return kOk;
    case kCopySpi: *out = (v > 0 && x < 0) ? v / x : (v <= 0 && x > 0) ? -v / x : v; return kOk;
    case kCopyDiv:
        if (counts_as_zero(x)) return kErrDividedByZero;
        *out = v / x;
        return kOk;
    case kCopyIDiv:
        if (counts_as_zero(v)) return kErrDividedByZero;
        *out = x / v;
        return kOk;
    case kCopyPow:
        if (v < 0) return kErrPowerOfMinus;
        *out = std::pow(v, x);
        return kOk;
    case kCopyAve: return copy_average(rd, a, x, out);
    case kCopyTri: return copy_truncate_decimals(v, x, out);
    }
    return kErrInvalidMode;
}

}  // namespace

// copyad(mode, a, b [, count, skip, group, rep]) or copyad(mode, a, b, x).
int run_copyad(RunContext &context, const CommandRecord &command) {
    Registers *regs = run_registers(context);
    if (!regs) return kErrNoMemory;
    BlockShape s;
    if (int rc = get_block_shape(*regs, command, &s); rc != kOk) return rc;
    const int mode = command.sub_mode;
    if (mode >= kCopyadCopy && mode <= kCopyadIby) return copyad_block(*regs->ad, mode, s);
    double x = 0;
    if (get_real_operand(*regs, command, 0, &x) > 0) return kErrOutOfRange;
    const uint16_t v = (*regs->ad)[static_cast<size_t>(s.a)];
    if (mode == kCopyadStr) return copyad_text(*regs->ad, v, s.b, x);
    uint32_t result = 0;
    if (int rc = copyad_value(*regs->ad, mode, s.a, x, &result); rc != kOk) return rc;
    (*regs->ad)[static_cast<size_t>(s.b)] = static_cast<uint16_t>(result);
    return kOk;
}

// copy(mode, a, b [, count, skip, group, rep]), copy(mode, a, b, x) or copy(flo, a, b).
int run_copy(RunContext &context, const CommandRecord &command) {
    Registers *regs = run_registers(context);
    if (!regs) return kErrNoMemory;
    BlockShape s;
    if (int rc = get_block_shape(*regs, command, &s); rc != kOk) return rc;
    const int mode = command.sub_mode;
    if (mode >= kCopyCopy && mode <= kCopyLn) return s.count < 0 ? kOk : copy_block(*regs->rd, mode, s);
    if (mode == kCopyFlo) return copy_float_text(*regs, s.a, s.b);
    double x = 0;
    if (get_real_operand(*regs, command, 0, &x) > 0) return kErrOutOfRange;
    if (mode == kCopyFft) return copy_fft(*regs->rd, s.a, s.b, x);
    double result = 0;
    if (int rc = copy_value(*regs->rd, mode, s.a, x, &result); rc != kOk) return rc;
    (*regs->rd)[static_cast<size_t>(s.b)] = result;
    return kOk;
}

}  // namespace ksw
