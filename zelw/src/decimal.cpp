// Decimal integers: the atoi rule, integer lists and numbers typed with thousands separators.
#include <climits>
#include <cstdint>
#include <string>
#include <string_view>

#include "internal.h"
#include "zelw.h"

namespace {

constexpr std::size_t kTokenBytes = 19;    // a wide token is read from this many bytes at most
constexpr std::size_t kControlText = 255;  // the longest text a number field holds

// True for the characters atoi skips before a number.
bool is_white(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Reads tokens of text split at " ,\t" with read into values[0..]; see ScanIntA.
template <typename Char, typename Read>
int scan_ints(Char *text, int count, int *values, std::basic_string_view<Char> delimiters, Read read) {
    if (!text || !values) return 0;
    Char *cursor = text;
    int stored = 0;
    while (count <= 0 || stored < count) {
        Char *token = zelw::next_token(&cursor, delimiters);
        if (!token) break;
        values[stored++] = read(token);
    }
    return stored;
}

// A wide token read as a decimal integer from its first bytes in the code page.
int read_wide_token(const char16_t *token) {
    std::string bytes;
    zelw::utf16_to_bytes(std::u16string_view(token, zelw::utf16_length(token)), kTokenBytes, &bytes);
    return zelw::parse_decimal(bytes.c_str());
}

}  // namespace

namespace zelw {

// atoi's reading with the value clamped to the int range as digits come in.
int parse_decimal(const char *text) {
    while (is_white(*text)) ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    const std::int64_t limit = negative ? -static_cast<std::int64_t>(INT_MIN) : INT_MAX;
    std::int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > limit) value = limit;
    }
    return static_cast<int>(negative ? -value : value);
}

}  // namespace zelw

// Splits text in place at " ,\t" and reads the tokens as decimal integers; returns how many.
ZELW_API int ScanIntA(char *text, int count, int *values) {
    return scan_ints<char>(text, count, values, " ,\t", zelw::parse_decimal);
}

// ScanIntA on UTF-16 text.
ZELW_API int ScanIntW(char16_t *text, int count, int *values) {
    return scan_ints<char16_t>(text, count, values, u" ,\t", read_wide_token);
}

// Reads a number with thousands separators from at most 255 bytes of text; *ok tells success.
ZELW_API int GetDlgItemIntWithComma(const char *text, int *ok, int drop_minus) {
    if (ok) *ok = 0;
    if (!text || *text == 0) return 0;
    std::size_t length = 0;
    while (length < kControlText && text[length] != 0) ++length;
    std::string_view rest(text, length);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    if (drop_minus && !rest.empty() && rest.front() == '-') rest.remove_prefix(1);
    std::string digits;
    for (char c : rest)
        if (c != ',' && c != ' ') digits += c;
    if (ok) *ok = 1;
    return zelw::parse_decimal(digits.c_str());
}
