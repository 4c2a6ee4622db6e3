// Numbers in fixed 10-character fields: the plain and the engineering formatter, and TrimDouble.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "zelw.h"

namespace {

constexpr int kFieldWidth = 10;
constexpr int kExactDigits = 15;    // decimal digits every double keeps
constexpr int kMaxTrimPlaces = 1100;  // beyond this every double prints exactly
constexpr const char *kZeroField = "0.00000000";

// A magnitude rounded to a number of significant digits: the digits (no sign, no point) and the
// place of the point relative to the first digit (1 for 1.5, 0 for 0.5, -2 for 0.00123).
struct Rounded {
    std::string digits;
    int dec = 0;
};

// ecvt(x, n): |x| rounded correctly (ties to even) to n >= 1 significant decimal digits.
Rounded ecvt(double x, int n) {
    std::array<char, 48> text{};
    const auto end = std::to_chars(text.data(), text.data() + text.size(), std::fabs(x),
                                   std::chars_format::scientific, n - 1).ptr;
    Rounded out;
    const char *p = text.data();
    for (; p != end && *p != 'e'; ++p)
        if (*p != '.') out.digits += *p;
    const bool negative_exponent = p + 1 != end && p[1] == '-';
    int exponent = 0;
    for (p += 2; p < end; ++p) exponent = exponent * 10 + (*p - '0');
    out.dec = (negative_exponent ? -exponent : exponent) + 1;
    return out;
}

// floor(log10(|x|)) of a finite non-zero x, for the decimal the double was written as: taken
// from its 15-digit rounding (a decimal of up to 15 digits survives the trip through a double),
// so that 1e23, stored a little below 10^23, still has the exponent 23.
int decimal_exponent(double x) { return ecvt(x, kExactDigits).dec - 1; }

// a divided by b > 0, rounded towards minus infinity.
int floor_div(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The power of ten with the sign of x that a rounding of x shows when it carried into digit dec.
double carried(double x, int dec) {
    const double magnitude = dec >= 1 ? std::pow(10.0, dec - 1) : 1.0 / std::pow(10.0, 1 - dec);
    return std::copysign(magnitude, x);
}

// The digits with "." inserted after the first dec of them.
std::string with_point(const Rounded &r) {
    return r.digits.substr(0, static_cast<std::size_t>(r.dec)) + "." + r.digits.substr(static_cast<std::size_t>(r.dec));
}

// "inf", "-inf" or "nan" right-aligned in the field.
std::string special_field(double x) {
    const std::string word = std::isnan(x) ? "nan" : x < 0 ? "-inf" : "inf";
    return std::string(kFieldWidth - word.size(), ' ') + word;
}

// The mantissa digits an exponent form of exponent e has room for.
int mantissa_digits(bool negative, int e) {
    return (negative ? 7 : 8) - static_cast<int>(std::to_string(e).size());
}

// Exponent form with the exponent a multiple of step: "-" for x < 0, the mantissa digits with the
// point after its integer part, "e", the exponent. A mantissa that rounds up to 10^step and no
// longer fits its digits is shown as that power of ten.
std::string exponent_field(double x, int step) {
    const bool negative = x < 0;
    int e = step * floor_div(decimal_exponent(x), step);
    int n = mantissa_digits(negative, e);
    Rounded m = ecvt(x, n);
    if (m.dec - e > n) {
        e = step * floor_div(m.dec - 1, step);
        n = mantissa_digits(negative, e);
        m.digits = "1" + std::string(static_cast<std::size_t>(n - 1), '0');
    }
    m.dec -= e;
    return (negative ? "-" : "") + with_point(m) + "e" + std::to_string(e);
}

std::string plain_field(double x);

// prefix and the n digits of ecvt(x, n) with no point; a rounding that carries into one more
// digit belongs to the next range and is formatted there.
std::string whole_digits(double x, int n, const char *prefix) {
    const Rounded r = ecvt(x, n);
    if (r.dec > n) return plain_field(carried(x, r.dec));
    return prefix + r.digits;
}

// prefix ("0." or "-0."), zeros and digits up to the field's end: |x| < 1 rounded to the places
// the field holds. A rounding that carries into a new digit is formatted as that value.
std::string fraction_digits(double x, const char *prefix) {
    const int lead = static_cast<int>(std::strlen(prefix));
    const int dec = ecvt(x, 9).dec;
    if (dec > 0) return plain_field(carried(x, dec));
    const Rounded r = ecvt(x, dec + kFieldWidth - lead);
    if (r.dec != dec) return plain_field(carried(x, r.dec));
    return prefix + std::string(static_cast<std::size_t>(-dec), '0') + r.digits;
}

// The 10-character field of MakeFloatStringA.
std::string plain_field(double x) {
    if (!std::isfinite(x)) return special_field(x);
    if (x >= 1e10) return exponent_field(x, 1);
    if (x >= 1e9) return whole_digits(x, 10, "");
    if (x >= 1e8) return whole_digits(x, 9, " ");
    if (x >= 1) return with_point(ecvt(x, 9));
    if (x >= 0.0001) return fraction_digits(x, "0.");
    if (x > 0) return exponent_field(x, 1);
    if (x == 0) return kZeroField;
    if (x >= -0.0001) return exponent_field(x, 1);
    if (x > -1) return fraction_digits(x, "-0.");
    if (x > -1e7) return "-" + with_point(ecvt(x, 8));
    if (x > -1e8) return whole_digits(x, 8, " -");
    if (x > -1e9) return whole_digits(x, 9, "-");
    return exponent_field(x, 1);
}

// The 10-character field of MakeFloatString2A.
std::string engineering_field(double x) {
    if (!std::isfinite(x)) return special_field(x);
    if (x > -1000 && x <= -1) return "-" + with_point(ecvt(x, 8));
    if (x >= 1 && x < 1000) return with_point(ecvt(x, 9));
    if (x == 0) return kZeroField;
    return exponent_field(x, 3);
}

// Copies a 10-character field into buf, or into own when buf is null, terminates it and returns
// the buffer written.
template <typename Char>
Char *store_field(const std::string &field, Char *buf, std::array<Char, kFieldWidth + 1> &own) {
    Char *out = buf ? buf : own.data();
    for (int i = 0; i < kFieldWidth; ++i) out[i] = static_cast<Char>(static_cast<unsigned char>(field[i]));
    out[kFieldWidth] = 0;
    return out;
}

}  // namespace

// x as a 10-character fixed-point or exponent field in buf (11 bytes) or this thread's buffer.
ZELW_API char *MakeFloatStringA(double x, char *buf) {
    thread_local std::array<char, kFieldWidth + 1> own{};
    return store_field(plain_field(x), buf, own);
}

// x as a 10-character engineering field in buf (11 bytes) or this thread's buffer.
ZELW_API char *MakeFloatString2A(double x, char *buf) {
    thread_local std::array<char, kFieldWidth + 1> own{};
    return store_field(engineering_field(x), buf, own);
}

// MakeFloatStringA into UTF-16 buf (11 units) or this thread's buffer.
ZELW_API char16_t *MakeFloatStringW(double x, char16_t *buf) {
    thread_local std::array<char16_t, kFieldWidth + 1> own{};
    std::array<char, kFieldWidth + 1> narrow{};
    return store_field(std::string(MakeFloatStringA(x, narrow.data())), buf, own);
}

// MakeFloatString2A into UTF-16 buf (11 units) or this thread's buffer.
ZELW_API char16_t *MakeFloatString2W(double x, char16_t *buf) {
    thread_local std::array<char16_t, kFieldWidth + 1> own{};
    std::array<char, kFieldWidth + 1> narrow{};
    return store_field(std::string(MakeFloatString2A(x, narrow.data())), buf, own);
}

// x rounded to places decimal places through its "%.*f" text; places < 0 prints 6 places.
ZELW_API double TrimDouble(double x, int places) {
    if (!std::isfinite(x)) return x;
    if (places < 0) places = 6;
    places = std::min(places, kMaxTrimPlaces);
    std::array<char, kMaxTrimPlaces + 400> text{};
    const auto end = std::to_chars(text.data(), text.data() + text.size(), x, std::chars_format::fixed, places).ptr;
    double value = x;
    std::from_chars(text.data(), end, value);
    return value;
}
