// Hexadecimal text, hexadecimal word lists and packed BCD.
#include <cstdint>
#include <string>
#include <string_view>

#include "internal.h"
#include "zelw.h"

namespace {

// The value of one hexadecimal digit, -1 for any other character.
int hex_digit(char32_t c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    return -1;
}

// Adds one digit to a value that wraps in 32 bits like the signed accumulator it stands for.
std::uint32_t push_digit(std::uint32_t value, int digit) { return value * 16u + static_cast<std::uint32_t>(digit); }

// Splits text at runs of delimiters and reads up to count tokens with read into out[0..]; see
// ScanHexWordA for the results.
template <typename Char, typename Read>
int scan_hex_words(Char *text, int count, unsigned short *out, std::basic_string_view<Char> delimiters, Read read) {
    if (!text || !out || count <= 0) return 0;
    Char *cursor = text;
    for (int i = 0; i < count; ++i) {
        Char *token = zelw::next_token(&cursor, delimiters);
        if (!token) return i;
        const int value = read(token);
        if (value < 0 || value > 0xFFFF) return 0;
        out[i] = static_cast<unsigned short>(value);
    }
    return count;
}

}  // namespace

// Reads text as hexadecimal: up to the first non-digit (count < 0) or exactly count digits (-1 if
// one is not a digit).
ZELW_API int StrToHexA(const char *text, int count) {
    if (!text) return count > 0 ? -1 : 0;
    std::uint32_t value = 0;
    if (count < 0) {
        for (int d; (d = hex_digit(static_cast<unsigned char>(*text))) >= 0; ++text) value = push_digit(value, d);
        return static_cast<int>(value);
    }
    for (int i = 0; i < count; ++i) {
        const int d = hex_digit(static_cast<unsigned char>(text[i]));
        if (d < 0) return -1;
        value = push_digit(value, d);
    }
    return static_cast<int>(value);
}

// StrToHexA on the UTF-16 text converted to the code page; -1 when memory runs out.
ZELW_API int StrToHexW(const char16_t *text, int count) {
    if (!text) return StrToHexA(nullptr, count);
    std::string bytes;
    if (!zelw::utf16_to_bytes(std::u16string_view(text, zelw::utf16_length(text)), std::string::npos, &bytes))
        return -1;
    return StrToHexA(bytes.c_str(), count);
}

// Reads up to count comma-separated hexadecimal words; 0 when one is out of 0..65535.
ZELW_API int ScanHexWordA(char *text, int count, unsigned short *out) {
    return scan_hex_words<char>(text, count, out, ",", [](const char *token) { return StrToHexA(token, -1); });
}

// ScanHexWordA on UTF-16 text.
ZELW_API int ScanHexWordW(char16_t *text, int count, unsigned short *out) {
    return scan_hex_words<char16_t>(text, count, out, u",", [](const char16_t *token) { return StrToHexW(token, -1); });
}

// Four packed BCD digits to their value; 65535 when a nibble is above 9.
ZELW_API unsigned short BCDToHex(unsigned short bcd) {
    unsigned value = 0;
    for (int shift = 12; shift >= 0; shift -= 4) {
        const unsigned nibble = (bcd >> shift) & 0xFu;
        if (nibble > 9) return 65535;
        value = value * 10 + nibble;
    }
    return static_cast<unsigned short>(value);
}

// A value of 0..9999 to four packed BCD digits; 65535 above 9999.
ZELW_API unsigned short HexToBCD(unsigned short value) {
    if (value > 9999) return 65535;
    unsigned bcd = 0;
    for (unsigned scale = 1000; scale > 0; scale /= 10) bcd = (bcd << 4) | (value / scale % 10u);
    return static_cast<unsigned short>(bcd);
}
