/* zelw: the station's utility library (text and number helpers, key buffer, painting helpers).
 * Every function is exported by name with C linkage; only C types cross the boundary.
 *
 * Texts are NUL-terminated byte strings unless a length is given. The "W" forms take UTF-16
 * texts (char16_t), convert them to the library's code page and call the byte form.
 * Functions that return a pointer into a buffer of the library when the caller passes none keep
 * one such buffer per function and per thread: a later call of the same function on the same
 * thread overwrites it. A null pointer argument never crashes; the function returns its failure
 * value (0, -1 or null as stated), or does nothing. */
#ifndef ZELW_H
#define ZELW_H

#ifdef __cplusplus
#define ZELW_API extern "C" __attribute__((visibility("default")))
#else
#include <uchar.h>
#define ZELW_API extern __attribute__((visibility("default")))
#endif

/* The library version, 0x275; the main program needs at least that. */
ZELW_API int ZelwGetVersion(void);

/* ---- Code page ------------------------------------------------------------------------------
 * The byte texts of the library are in one code page for the whole process:
 *   0 or 65001  UTF-8; no double-byte lead bytes (the default, 0);
 *   932         Shift-JIS: lead bytes 0x81-0x9F and 0xE0-0xFC; UTF-16 <-> CP932 by iconv.
 * Characters that cannot be converted become "?". Sets the code page and returns the previous
 * one; any other value is refused: nothing changes and -1 is returned. */
ZELW_API int ZelwSetCodePage(int code_page);

/* ---- Hexadecimal and decimal parsing ------------------------------------------------------- */

/* Reads text as hexadecimal (0-9, A-F, a-f). count < 0: up to the first non-digit, never fails
 * (0 for an empty text or a null one). count >= 0: exactly count characters, -1 if one of them is
 * not a digit (the terminator included); count 0 gives 0. Wraps past 8 digits. */
ZELW_API int StrToHexA(const char *text, int count);
/* StrToHexA on the text converted to the code page; -1 when memory runs out. */
ZELW_API int StrToHexW(const char16_t *text, int count);

/* Splits text in place at runs of " ,\t", reads each token as a decimal integer (leading white
 * space, optional sign, digits; 0 for none; saturates at the int limits) into values[0..].
 * count > 0 limits the number of tokens. Returns the number stored; 0 for null arguments. */
ZELW_API int ScanIntA(char *text, int count, int *values);
/* ScanIntA on UTF-16 text; each token is read from its first 19 bytes in the code page. */
ZELW_API int ScanIntW(char16_t *text, int count, int *values);

/* Splits text in place at runs of ",", reads up to count tokens as hexadecimal (StrToHexA with no
 * limit, so a token that begins with a blank reads 0) into out[0..count-1]. Returns count when
 * all were present, the number stored when the text ends early, and 0 when count <= 0, when
 * there is no first token, or when a token's value lies outside 0..65535 (the words before it
 * may have been written). */
ZELW_API int ScanHexWordA(char *text, int count, unsigned short *out);
/* ScanHexWordA on UTF-16 text. */
ZELW_API int ScanHexWordW(char16_t *text, int count, unsigned short *out);

/* Reads a number typed with thousands separators: null or empty text sets *ok (when not null) to
 * 0 and returns 0. Otherwise only the first 255 bytes count: leading blanks are skipped, with
 * drop_minus non-zero one "-" after them is skipped too (the sign is dropped), every "," and
 * blank of the rest is removed and the rest is read as a decimal integer; *ok is set to 1. */
ZELW_API int GetDlgItemIntWithComma(const char *text, int *ok, int drop_minus);

/* ---- Number formatting: every result is exactly 10 characters ------------------------------
 * buf must hold 11 bytes (A) or 11 units (W); a null buf uses the function's own buffer.
 * Returns the buffer written. Infinities and NaN give "inf", "-inf" or "nan" right-aligned. */

/* Fixed-point where 10 characters allow it (12.5 gives "12.5000000", 0.00123 "0.00123000"),
 * otherwise the exponent form "1.50000e-5". */
ZELW_API char *MakeFloatStringA(double x, char *buf);
/* Engineering form: fixed-point for 1 <= |x| < 1000, otherwise the exponent is a multiple of 3
 * ("12.34500e3", "500.000e-3"). */
ZELW_API char *MakeFloatString2A(double x, char *buf);
ZELW_API char16_t *MakeFloatStringW(double x, char16_t *buf);
ZELW_API char16_t *MakeFloatString2W(double x, char16_t *buf);

/* x rounded to places decimal places (printed with "%.*f" and read back; places < 0 acts as 6). */
ZELW_API double TrimDouble(double x, int places);

/* ---- BCD ----------------------------------------------------------------------------------- */

/* Four packed BCD digits to their value (0x1234 gives 1234); 65535 if a nibble is above 9. */
ZELW_API unsigned short BCDToHex(unsigned short bcd);
/* A value to four packed BCD digits (1234 gives 0x1234); 65535 for values above 9999. */
ZELW_API unsigned short HexToBCD(unsigned short value);

/* ---- Ordering pairs: exchange the two when *a > *b ----------------------------------------- */
ZELW_API void SwapDouble(double *a, double *b);
ZELW_API void SwapInt(int *a, int *b);
ZELW_API void SwapWORD(unsigned short *a, unsigned short *b);

/* ---- Byte and word strings ------------------------------------------------------------------ */

/* Copies bytes into 16-bit units, stopping after len units, at the terminator or at the first
 * byte of 0x80 or above; writes no terminator. Returns the number of units written. */
ZELW_API int StrToWordA(const char *text, unsigned short *words, int len);
/* StrToWordA on the text converted to the code page; -1 when memory runs out. */
ZELW_API int StrToWordW(const char16_t *text, unsigned short *words, int len);
/* Copies units into bytes, stopping after len units, at a 0 unit or at the first unit of 128 or
 * above; terminates the text (which must hold len + 1 bytes). Returns the bytes written. */
ZELW_API int WordToStrA(const unsigned short *words, char *text, int len);
/* WordToStrA into UTF-16 (text must hold len + 1 units); len is limited to 255. Returns the
 * units written before the terminator. */
ZELW_API int WordToStrW(const unsigned short *words, char16_t *text, int len);

/* Converts UTF-16 src to the code page into dst of size bytes (a null dst: the function's own
 * buffer of 255 bytes, size ignored). The text is cut before a character that does not fit and
 * always terminated when the buffer has room for one byte. Returns the buffer used. */
ZELW_API char *WcsToMbs(char *dst, const char16_t *src, int size);
/* The reverse: src in the code page into dst of count units (a null dst: 255 units of its own). */
ZELW_API char16_t *MbsToWcs(char16_t *dst, const char *src, int count);

/* ---- Double-byte-safe cutting and padding --------------------------------------------------- */

/* The state of byte n walking from the start: 0 single-byte character, 1 first byte of a
 * double-byte character, 2 its second byte. 0 for n < 0 and for an n beyond the terminator. */
ZELW_API int CheckKanji(const unsigned char *text, int n);
/* Cuts text to pos bytes; a first byte of a double-byte character left at pos - 1 becomes a
 * blank. Returns CheckKanji of byte pos - 1 (before the blank); pos < 0 changes nothing. */
ZELW_API int CutStr(unsigned char *text, int pos);
/* Copies src into dst up to its terminator, CR or LF, at most width bytes, pads with blanks to
 * width bytes, terminates (dst holds width + 1 bytes) and applies CutStr(dst, width), whose
 * result it returns. width <= 0 leaves an empty text. */
ZELW_API int AddSpace(unsigned char *dst, const char *src, int width);
/* Removes blanks, tabs, vertical tabs and form feeds in place; the text ends at its first CR,
 * LF or terminator. */
ZELW_API void RemoveSpace(char *text);

/* ---- Files and names ------------------------------------------------------------------------ */

/* Reads one line from file descriptor fd into buf (which holds len + 2 bytes): bytes up to and
 * including a CR, plus an LF that directly follows it, or len bytes; terminated. A byte read
 * after a CR that is not LF is given back to the descriptor. Returns buf, or null at end of file
 * with nothing read, on a read error, for len < 0 or a null buf. */
ZELW_API char *fGets(char *buf, int len, int fd);
/* The last "." of path when no "\\" or "/" follows it, else the terminator; null for null. */
ZELW_API const char *GetExtention(const char *path);
/* Just behind the last "\\" or "/" of path, or path itself; null for null. */
ZELW_API const char *GetFilename(const char *path);

/* ---- Key buffer ----------------------------------------------------------------------------- *
 * The operator's keys, queued by the window thread and read by the sequencer thread. Every call
 * but OpenKeyBuffer first takes the buffer's lock, waiting up to 5000 ms; when the lock cannot
 * be had, or no buffer is open, the call fails as stated without touching the buffer. */

/* Closes any open buffer and opens an empty one of `capacity` bytes. 1, or 0 when it cannot be
 * allocated (or capacity < 1). */
ZELW_API int OpenKeyBuffer(int capacity);
/* Appends the low byte of key. 1, or 0 when the buffer is full, closed or locked. */
ZELW_API int SaveKeyBuffer(int key);
/* Removes and returns the oldest byte (0-255); -1 when empty, closed or locked. */
ZELW_API int GetKeyBuffer(void);
/* Returns the oldest byte without removing it; -1 when empty, closed or locked. */
ZELW_API int CheckKeyBuffer(void);
/* 1 when any stored byte equals the low byte of key, else 0 (also when closed or locked). */
ZELW_API int SearchKeyBuffer(int key);
/* Empties the buffer. 1, or 0 when it is closed or locked. */
ZELW_API int ClearKeyBuffer(void);
/* Frees the buffer. Returns 0, also when none was open. */
ZELW_API int CloseKeyBuffer(void);

#endif
