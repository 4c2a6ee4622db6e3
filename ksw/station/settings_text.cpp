#include "station/settings_text.h"

#include <array>
#include <cstdio>
#include <limits>

namespace ksw::config {
namespace {

constexpr int64_t kSaturation = int64_t{1} << 40;

// The white space a number scan skips.
bool is_scan_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The value of digit `c` in `base`, or -1.
int digit_value(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    return v < base ? v : -1;
}

// Reads one number at `*pos` like a "%d"/"%x" conversion; false when no digit is there.
bool scan_one(std::string_view text, size_t *pos, int base, int64_t *value) {
    size_t i = *pos;
    while (i < text.size() && is_scan_blank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (base == 16 && i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        digit_value(text[i + 2], 16) >= 0)
        i += 2;
    const size_t first_digit = i;
    int64_t v = 0;
    for (int d; i < text.size() && (d = digit_value(text[i], base)) >= 0; ++i)
        v = v < kSaturation ? v * base + d : kSaturation;
    if (i == first_digit) return false;
    *value = negative ? -v : v;
    *pos = i;
    return true;
}

}  // namespace

size_t scan_number_list(std::string_view text, int base, std::span<int64_t> out) {
    size_t pos = 0;
    size_t count = 0;
    while (count < out.size()) {
        if (count > 0) {
            if (pos >= text.size() || text[pos] != ',') break;
            ++pos;
        }
        if (!scan_one(text, &pos, base, &out[count])) break;
        ++count;
    }
    return count;
}

bool parse_port_text(std::string_view text, PortAddresses *out) {
    std::array<int64_t, 4> values{};
    if (scan_number_list(text, 16, values) != values.size()) return false;
    for (const int64_t v : values)
        if (v < 0 || v > 0xFFFF) return false;
    for (size_t i = 0; i < values.size(); ++i) (*out)[i] = static_cast<uint16_t>(values[i]);
    return true;
}

std::string format_port_text(const PortAddresses &ports) {
    char text[48];
    std::snprintf(text, sizeof text, "%X,%X,%X,%X", unsigned{ports[0]}, unsigned{ports[1]}, unsigned{ports[2]},
                  unsigned{ports[3]});
    return text;
}

bool parse_window_rect(std::string_view text, WindowRect *out) {
    std::array<int64_t, 4> v{};
    if (scan_number_list(text, 10, v) != v.size()) return false;
    for (const int64_t x : v)
        if (x < std::numeric_limits<int>::min() || x > std::numeric_limits<int>::max()) return false;
    *out = WindowRect{static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]), static_cast<int>(v[3])};
    return true;
}

std::string format_window_rect(const WindowRect &rect) {
    char text[64];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d", rect.left, rect.top, rect.right, rect.bottom);
    return text;
}

std::string cut_text(std::string_view text, size_t limit) { return std::string(text.substr(0, limit)); }

}  // namespace ksw::config
