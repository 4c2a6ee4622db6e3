// Helpers shared by the text and number functions of the library; not exported.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zelw {

// The current code page: 0 or 65001 (UTF-8) or 932 (Shift-JIS).
int code_page();

// True when b begins a double-byte character of the current code page.
bool is_lead_byte(unsigned char b);

// Converts UTF-16 text to the current code page, appending at most limit bytes to *out and
// never splitting a character; unconvertible characters become '?'. False when memory runs out.
bool utf16_to_bytes(std::u16string_view text, std::size_t limit, std::string *out);

// Converts bytes of the current code page to UTF-16, appending at most limit units to *out and
// never splitting a surrogate pair; undecodable bytes become '?'. False when memory runs out.
bool bytes_to_utf16(std::string_view text, std::size_t limit, std::u16string *out);

// The length of a NUL-terminated UTF-16 text (0 for null).
std::size_t utf16_length(const char16_t *text);

// Reads a decimal integer the way atoi does (leading white space, optional sign, digits up to
// the first non-digit, 0 for none), saturating at the int limits instead of overflowing.
int parse_decimal(const char *text);

// The next token of a text split in place (the strtok rule without its hidden state): skips
// delimiters from *cursor, ends the token at the next delimiter by writing a terminator there and
// moves *cursor behind it. Returns null when no token is left.
template <typename Char>
Char *next_token(Char **cursor, std::basic_string_view<Char> delimiters) {
    Char *p = *cursor;
    while (*p != 0 && delimiters.find(*p) != std::basic_string_view<Char>::npos) ++p;
    if (*p == 0) {
        *cursor = p;
        return nullptr;
    }
    Char *token = p;
    while (*p != 0 && delimiters.find(*p) == std::basic_string_view<Char>::npos) ++p;
    if (*p != 0) *p++ = 0;
    *cursor = p;
    return token;
}

}  // namespace zelw
