// The library's code page: the double-byte lead-byte table and UTF-16 conversions.
// Only this file includes iconv.
#include <array>
#include <atomic>
#include <bit>
#include <cerrno>
#include <new>

#include <iconv.h>

#include "internal.h"
#include "zelw.h"

namespace zelw {
namespace {

// The code page every byte text of the process is in; one instance.
struct CodePageSetting {
    std::atomic<int> value{0};
};
CodePageSetting g_code_page;

constexpr int kShiftJis = 932;
constexpr int kUtf8 = 65001;
constexpr char kUnconvertible = '?';
const char *const kUtf16Native = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// Conversion descriptors to and from CP932, opened on first use in each thread.
struct Cp932Converters {
    iconv_t to_cp932 = reinterpret_cast<iconv_t>(-1);
    iconv_t from_cp932 = reinterpret_cast<iconv_t>(-1);
    bool opened = false;
    ~Cp932Converters() {
        if (to_cp932 != reinterpret_cast<iconv_t>(-1)) iconv_close(to_cp932);
        if (from_cp932 != reinterpret_cast<iconv_t>(-1)) iconv_close(from_cp932);
    }
};

// This thread's converters, opened when first needed (a failed open stays closed).
Cp932Converters &converters() {
    thread_local Cp932Converters c;
    if (!c.opened) {
        c.opened = true;
        c.to_cp932 = iconv_open("CP932", kUtf16Native);
        c.from_cp932 = iconv_open(kUtf16Native, "CP932");
    }
    return c;
}

// Runs one whole character through cd into out; returns the bytes written, 0 when it fails.
std::size_t iconv_one(iconv_t cd, const void *in, std::size_t in_bytes, void *out, std::size_t out_bytes) {
    if (cd == reinterpret_cast<iconv_t>(-1)) return 0;
    char *src = static_cast<char *>(const_cast<void *>(in));
    char *dst = static_cast<char *>(out);
    std::size_t left_in = in_bytes, left_out = out_bytes;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &src, &left_in, &dst, &left_out) == static_cast<std::size_t>(-1) || left_in != 0) return 0;
    return out_bytes - left_out;
}

// The UTF-8 bytes of code point cp.
std::string utf8_of(char32_t cp) {
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (cp >> 18));
        s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

// The CP932 bytes of the UTF-16 character units[0..count), "?" when CP932 has none.
std::string cp932_of(const char16_t *units, std::size_t count) {
    if (count == 1 && units[0] < 0x80) return std::string(1, static_cast<char>(units[0]));
    std::array<char, 8> out{};
    const std::size_t n = iconv_one(converters().to_cp932, units, count * sizeof(char16_t), out.data(), out.size());
    return n == 0 ? std::string(1, kUnconvertible) : std::string(out.data(), n);
}

// The length in units of the UTF-16 character at text[i]: 2 for a surrogate pair, 0 for a lone
// surrogate, else 1.
std::size_t utf16_char_units(std::u16string_view text, std::size_t i) {
    const char16_t u = text[i];
    if (u < 0xD800 || u > 0xDFFF) return 1;
    if (u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) return 2;
    return 0;
}

// The bytes of the UTF-16 character of `units` units at text[i] in the current code page.
std::string bytes_of(std::u16string_view text, std::size_t i, std::size_t units) {
    if (units == 0) return std::string(1, kUnconvertible);
    if (code_page() == kShiftJis) return cp932_of(text.data() + i, units);
    if (units == 1) return utf8_of(text[i]);
    return utf8_of(0x10000 + ((static_cast<char32_t>(text[i]) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
}

// Decodes the UTF-8 character at text[i]: sets *cp and returns its length, 0 if it is invalid.
std::size_t decode_utf8(std::string_view text, std::size_t i, char32_t *cp) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
        *cp = b;
        return 1;
    }
    std::size_t len = 0;
    if (b >= 0xC2 && b <= 0xDF) len = 2;
    else if (b >= 0xE0 && b <= 0xEF) len = 3;
    else if (b >= 0xF0 && b <= 0xF4) len = 4;
    if (len == 0 || i + len > text.size()) return 0;
    char32_t value = b & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        value = (value << 6) | (c & 0x3F);
    }
    static constexpr std::array<char32_t, 5> kMinimum{0, 0, 0x80, 0x800, 0x10000};
    if (value < kMinimum[len] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *cp = value;
    return len;
}

// Decodes the CP932 character at text[i]: appends its units to *units, returns bytes used.
std::size_t decode_cp932(std::string_view text, std::size_t i, std::u16string *units) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
        units->push_back(b);
        return 1;
    }
    const std::size_t len = is_lead_byte(b) && i + 1 < text.size() ? 2 : 1;
    std::array<char16_t, 4> out{};
    const std::size_t n = iconv_one(converters().from_cp932, text.data() + i, len, out.data(), sizeof out);
    if (n == 0) {
        units->push_back(u'?');
        return 1;
    }
    units->append(out.data(), n / sizeof(char16_t));
    return len;
}

// Decodes the character at text[i] of the current code page into *units; returns bytes used.
std::size_t decode_char(std::string_view text, std::size_t i, std::u16string *units) {
    if (code_page() == kShiftJis) return decode_cp932(text, i, units);
    char32_t cp = 0;
    const std::size_t len = decode_utf8(text, i, &cp);
    if (len == 0) {
        units->push_back(u'?');
        return 1;
    }
    if (cp < 0x10000) {
        units->push_back(static_cast<char16_t>(cp));
    } else {
        units->push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
        units->push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    }
    return len;
}

}  // namespace

// The code page set last (0 until one is set).
int code_page() { return g_code_page.value.load(std::memory_order_relaxed); }

// Lead bytes exist only in the Shift-JIS code page.
bool is_lead_byte(unsigned char b) {
    return code_page() == kShiftJis && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC));
}

// Counts units up to the terminator.
std::size_t utf16_length(const char16_t *text) {
    std::size_t n = 0;
    if (text)
        while (text[n] != 0) ++n;
    return n;
}

// Character by character, stopping before the first one that would pass limit.
bool utf16_to_bytes(std::u16string_view text, std::size_t limit, std::string *out) {
    try {
        std::size_t written = 0;
        for (std::size_t i = 0; i < text.size();) {
            const std::size_t units = utf16_char_units(text, i);
            const std::string piece = bytes_of(text, i, units);
            if (written + piece.size() > limit) break;
            out->append(piece);
            written += piece.size();
            i += units == 0 ? 1 : units;
        }
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

// Character by character, stopping before the first one that would pass limit.
bool bytes_to_utf16(std::string_view text, std::size_t limit, std::u16string *out) {
    try {
        std::u16string piece;
        std::size_t written = 0;
        for (std::size_t i = 0; i < text.size();) {
            piece.clear();
            const std::size_t used = decode_char(text, i, &piece);
            if (written + piece.size() > limit) break;
            out->append(piece);
            written += piece.size();
            i += used;
        }
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

}  // namespace zelw

// Sets the code page of the byte texts (0, 65001 or 932) and returns the previous one; -1 refuses.
ZELW_API int ZelwSetCodePage(int code_page) {
    if (code_page != 0 && code_page != zelw::kUtf8 && code_page != zelw::kShiftJis) return -1;
    return zelw::g_code_page.value.exchange(code_page);
}
