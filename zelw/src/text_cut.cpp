// Double-byte-safe cutting and padding of byte texts, and removing white space.
#include "internal.h"
#include "zelw.h"

namespace {

// True when text holds more than pos bytes before its terminator (reads at most pos + 1 bytes).
bool longer_than(const unsigned char *text, int pos) {
    for (int i = 0; i <= pos; ++i)
        if (text[i] == 0) return false;
    return true;
}

// True for the white space RemoveSpace drops: blank, tab, vertical tab, form feed.
bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

}  // namespace

// The double-byte state of byte n (0 single, 1 first, 2 second byte); 0 beyond the terminator.
ZELW_API int CheckKanji(const unsigned char *text, int n) {
    if (!text || n < 0) return 0;
    int state = 0;
    for (int i = 0; i <= n; ++i) {
        if (i < n && text[i] == 0) return 0;
        state = state == 1 ? 2 : zelw::is_lead_byte(text[i]) ? 1 : 0;
    }
    return state;
}

// Cuts text to pos bytes and blanks a first byte left at its end; returns that byte's state.
ZELW_API int CutStr(unsigned char *text, int pos) {
    if (!text || pos < 0) return 0;
    if (longer_than(text, pos)) text[pos] = 0;
    const int state = CheckKanji(text, pos - 1);
    if (state == 1) text[pos - 1] = ' ';
    return state;
}

// src up to its terminator, CR or LF, padded or cut to exactly width bytes in dst.
ZELW_API int AddSpace(unsigned char *dst, const char *src, int width) {
    if (!dst) return 0;
    if (width <= 0) {
        dst[0] = 0;
        return 0;
    }
    int i = 0;
    if (src)
        for (; i < width && src[i] != 0 && src[i] != '\r' && src[i] != '\n'; ++i) dst[i] = static_cast<unsigned char>(src[i]);
    for (; i < width; ++i) dst[i] = ' ';
    dst[width] = 0;
    return CutStr(dst, width);
}

// Drops white space in place and ends the text at its first CR or LF.
ZELW_API void RemoveSpace(char *text) {
    if (!text) return;
    char *out = text;
    for (const char *p = text; *p != 0 && *p != '\r' && *p != '\n'; ++p)
        if (!is_blank(*p)) *out++ = *p;
    *out = 0;
}
