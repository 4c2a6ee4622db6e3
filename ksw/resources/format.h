// Safe formatting of the message table's printf-style texts ("STEP%dS:%s", "s005: ...%hs...").
// Each conversion takes the next argument; a conversion whose argument is missing or of the
// wrong kind prints nothing instead of reading garbage, so a text can never crash the station.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace ksw {

struct FormatArg {
    enum Kind { kInt, kReal, kText } kind;
    long long integer = 0;
    double real = 0;
    std::string_view text;

    FormatArg(int v) : kind(kInt), integer(v) {}
    FormatArg(long v) : kind(kInt), integer(v) {}
    FormatArg(long long v) : kind(kInt), integer(v) {}
    FormatArg(unsigned v) : kind(kInt), integer(v) {}
    FormatArg(unsigned long v) : kind(kInt), integer(static_cast<long long>(v)) {}
    FormatArg(double v) : kind(kReal), real(v) {}
    FormatArg(std::string_view v) : kind(kText), text(v) {}
    FormatArg(const char *v) : kind(kText), text(v ? std::string_view(v) : std::string_view()) {}
    FormatArg(const std::string &v) : kind(kText), text(v) {}
};

// Formats `format` with printf conversions d, i, u, x, X, c, s (also "hs"), f, e, g and "%%",
// with flags, width and precision.
std::string format_text(std::string_view format, std::initializer_list<FormatArg> args);

}  // namespace ksw
