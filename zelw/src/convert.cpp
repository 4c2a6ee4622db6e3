// Byte strings and word strings, and UTF-16 texts to and from the code page.
#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "internal.h"
#include "zelw.h"

namespace {

constexpr int kOwnBuffer = 255;       // units of the buffers used when the caller passes none
constexpr int kMaxWordText = 255;     // the longest word string WordToStrW converts

// Fills dst of size units, or own when dst is null, with what convert appends to a string when
// allowed at most size - 1 units, and terminates it. Returns the buffer used.
template <typename Unit, typename Convert>
Unit *convert_into(Unit *dst, int size, std::array<Unit, kOwnBuffer> &own, Convert convert) {
    if (!dst) {
        dst = own.data();
        size = kOwnBuffer;
    }
    if (size <= 0) return dst;
    std::basic_string<Unit> text;
    convert(static_cast<std::size_t>(size - 1), &text);
    std::copy(text.begin(), text.end(), dst);
    dst[text.size()] = 0;
    return dst;
}

}  // namespace

// Bytes below 0x80 into 16-bit units, at most len, no terminator; returns the units written.
ZELW_API int StrToWordA(const char *text, unsigned short *words, int len) {
    if (!text || !words) return 0;
    int i = 0;
    for (; i < len && text[i] != 0 && static_cast<unsigned char>(text[i]) < 0x80; ++i)
        words[i] = static_cast<unsigned char>(text[i]);
    return i;
}

// StrToWordA on UTF-16 text in the code page; -1 when memory runs out.
ZELW_API int StrToWordW(const char16_t *text, unsigned short *words, int len) {
    if (!text || !words || len <= 0) return 0;
    std::string bytes;
    if (!zelw::utf16_to_bytes(std::u16string_view(text, zelw::utf16_length(text)), static_cast<std::size_t>(len), &bytes))
        return -1;
    return StrToWordA(bytes.c_str(), words, len);
}

// Units below 128 into bytes, at most len, terminated; returns the bytes written.
ZELW_API int WordToStrA(const unsigned short *words, char *text, int len) {
    if (!text) return 0;
    int i = 0;
    if (words)
        for (; i < len && words[i] != 0 && words[i] < 128; ++i) text[i] = static_cast<char>(words[i]);
    text[i] = 0;
    return i;
}

// WordToStrA into UTF-16 text, at most 255 units, terminated; returns the units written.
ZELW_API int WordToStrW(const unsigned short *words, char16_t *text, int len) {
    if (!text) return 0;
    std::array<char, kMaxWordText + 1> bytes{};
    const int n = WordToStrA(words, bytes.data(), std::min(len, kMaxWordText));
    // Every byte is below 128, so each is one UTF-16 unit in any of our code pages.
    for (int i = 0; i <= n; ++i) text[i] = static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
    return n;
}

// UTF-16 src in the code page into dst of size bytes (or this thread's 255 bytes), terminated.
ZELW_API char *WcsToMbs(char *dst, const char16_t *src, int size) {
    thread_local std::array<char, kOwnBuffer> own{};
    const std::u16string_view text(src ? src : u"", zelw::utf16_length(src));
    return convert_into(dst, size, own, [&](std::size_t limit, std::string *out) { zelw::utf16_to_bytes(text, limit, out); });
}

// src in the code page into UTF-16 dst of count units (or this thread's 255 units), terminated.
ZELW_API char16_t *MbsToWcs(char16_t *dst, const char *src, int count) {
    thread_local std::array<char16_t, kOwnBuffer> own{};
    const std::string_view text = src ? std::string_view(src) : std::string_view();
    return convert_into(dst, count, own, [&](std::size_t limit, std::u16string *out) { zelw::bytes_to_utf16(text, limit, out); });
}
