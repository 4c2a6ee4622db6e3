// ASCII case folding, the one way the station compares words without regard to case (keywords,
// choice words, directives, settings keys, library names). Only A-Z and a-z fold; every other
// byte, including those of double-byte characters, compares as it stands.
#pragma once

#include <string>
#include <string_view>

namespace ksw::platform {

constexpr char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
constexpr bool is_ascii_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// `text` with A-Z made a-z.
inline std::string ascii_lowered(std::string_view text) {
    std::string out(text);
    for (char &c : out) c = ascii_lower(c);
    return out;
}

// True when the two texts are equal with case folded.
constexpr bool equal_nocase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    return true;
}

// True when `text` begins with `word`, case folded.
constexpr bool starts_with_nocase(std::string_view text, std::string_view word) {
    return text.size() >= word.size() && equal_nocase(text.substr(0, word.size()), word);
}

// True when `text` ends with `tail`, case folded.
constexpr bool ends_with_nocase(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && equal_nocase(text.substr(text.size() - tail.size()), tail);
}

}  // namespace ksw::platform
