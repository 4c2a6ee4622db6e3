/* zelcode: test-program files stored in coded form, with file-like access.
 * Exported by name with C linkage; only plain C types cross the boundary, so the main program
 * can bind every function with dlsym (see the pointer types at the end).
 *
 * A coded file is a 6-byte header (0x01 and "TYPE1") followed by coded blocks of 24 bytes;
 * block n codes bytes 24n .. 24n + 23 of the text. The last block is padded with blanks, so a
 * reader sees up to 23 blanks after the text (the station writes a byte 26 to mark the end).
 *
 * One file can be open for writing and one for reading at a time; the state is process-wide
 * and unguarded, so the library is used from one thread at a time. */
#ifndef ZELCODE_H
#define ZELCODE_H

#include <stdint.h>

#ifdef __cplusplus
#define ZELCODE_API extern "C" __attribute__((visibility("default")))
#else
#define ZELCODE_API extern __attribute__((visibility("default")))
#endif

/* A coded-file handle: a small number of the library's own, never an operating-system
 * descriptor. ZELCODE_INVALID_HANDLE reports a failed open. */
typedef intptr_t ZelcodeHandle;
#define ZELCODE_INVALID_HANDLE ((ZelcodeHandle)-1)

/* The version CodeGetVersion gives; the main program requires at least this. */
#define ZELCODE_VERSION 0x100

/* Access (bits): read only opens a file for reading; any other valid access opens it for
 * writing. */
#define ZELCODE_GENERIC_READ 0x1u
#define ZELCODE_GENERIC_WRITE 0x2u

/* Sharing the library asks for: read sharing for a file opened for reading, write sharing for
 * a file opened for writing. Files on this platform have no share modes, so they document the
 * intent (and the plain-file path of the main program uses the same rule); other openers are
 * not kept out. */
#define ZELCODE_FILE_SHARE_READ 0x1u
#define ZELCODE_FILE_SHARE_WRITE 0x2u

/* Creation disposition. */
#define ZELCODE_CREATE_NEW 1u        /* create; fail if the file exists */
#define ZELCODE_CREATE_ALWAYS 2u     /* create, or empty an existing file */
#define ZELCODE_OPEN_EXISTING 3u     /* open; fail if the file is missing */
#define ZELCODE_OPEN_ALWAYS 4u       /* open, or create a missing file */
#define ZELCODE_TRUNCATE_EXISTING 5u /* open and empty; fail if missing; needs write access */

/* Attribute of created files: an ordinary file (mode 0666 less the umask). */
#define ZELCODE_FILE_ATTRIBUTE_ARCHIVE 0x20u

/* Seek methods of SetCodedFilePointer. */
#define ZELCODE_FILE_BEGIN 0
#define ZELCODE_FILE_CURRENT 1
#define ZELCODE_FILE_END 2

/* Returns the library version, ZELCODE_VERSION (0x100). */
ZELCODE_API int CodeGetVersion(void);

/* Opens `file_name` with `access` and `disposition`.
 * For writing (access other than ZELCODE_GENERIC_READ): writes the header, starts the text at
 * block 0 and returns the handle. For reading (access ZELCODE_GENERIC_READ): reads the header,
 * which must be 0x01, "TYPE" and a digit 1-9, and returns the handle with the position at the
 * start of the text.
 * Only a regular file is opened for reading, and only when its body is one or more whole
 * blocks: a reader that stopped short at a cut block could not tell it from the end of the text,
 * so a truncated file is refused here rather than read as a shorter program. No open waits on a
 * FIFO.
 * A file already open for the same direction is closed first (a file being written is
 * completed as by CloseCodedFile). On any failure (null name, unknown access or disposition,
 * failed open, a folder, FIFO or device to read, short or bad header, a body that is empty or
 * not whole blocks, failed header write) nothing stays open, CodeGetErrorText says why and the
 * result is ZELCODE_INVALID_HANDLE. */
ZELCODE_API ZelcodeHandle CreateCodedFile(const char *file_name, unsigned access, unsigned disposition);

/* Why the last CreateCodedFile that failed, failed, as text without the file's name ("not a
 * coded file", "damaged coded file: its last block is cut short (16 of 24 bytes)", "No such
 * file or directory"); an empty text before any failure. The text belongs to the library and
 * stays valid until the next CreateCodedFile; the caller copies it and never frees it. */
ZELCODE_API const char *CodeGetErrorText(void);

/* Appends `count` bytes of `data` to the text of the file being written.
 * Bytes collect in a 24-byte block; a full block is coded and written only when the next byte
 * arrives, so the last block stays pending until more text or the close. A negative count pads
 * the pending block with blanks and writes it (nothing is written when it is empty and a block
 * was already written). On success returns 1 and stores `count` (0 for a negative count) in
 * `*written` when `written` is not null. Returns 0 when the handle is not the file being
 * written, `data` is null with a positive count, or a block could not be written whole; then
 * `*written` holds the bytes taken before the failure, the pending block is lost, and every
 * later write and the close of this file also give 0. */
ZELCODE_API int WriteCodedFile(ZelcodeHandle handle, const void *data, int count, int *written);

/* Copies up to `count` bytes of text from the current position into `buffer` and advances the
 * position by the bytes copied. The block holding the position is read and decoded whenever
 * the position leaves the decoded block. Returns 1 with `*read` = `count`; or 0 with the bytes
 * copied so far in `*read` when a whole block cannot be read (the end of the file, a short block
 * at the end, a read error), when the handle is not the file being read, when `count` is
 * negative or when `buffer` is null with a positive count. `buffer` must hold `count` bytes;
 * `read` may be null. */
ZELCODE_API int ReadCodedFile(ZelcodeHandle handle, void *buffer, int count, int *read);

/* Moves the position in the text of the file being read and returns the new position.
 * ZELCODE_FILE_BEGIN: `distance` from the start of the text; ZELCODE_FILE_CURRENT: `distance`
 * from the current position; ZELCODE_FILE_END: `distance` from the end of the file's last block
 * (the padded end of the text). The next read decodes the block that holds the new position.
 * A position may lie past the end (reads there give 0). Returns -1, leaving the position as it
 * was, for a negative position, one beyond INT_MAX, an unknown method, or an unknown handle.
 * For the file being written only ZELCODE_FILE_CURRENT with distance 0 is accepted and returns
 * the length of the text written so far (text can only be appended). */
ZELCODE_API int SetCodedFilePointer(ZelcodeHandle handle, int distance, int method);

/* Closes `handle`; the handle decides the direction (`access` names it, as the caller opened
 * it). A file being written gets its pending block padded, coded and written, and is cut to its
 * header and blocks. Returns 1 when all went well; 0 when the last block could not be written,
 * an earlier write failed, the close failed, or the handle is not open (the file is closed all
 * the same). */
ZELCODE_API int CloseCodedFile(ZelcodeHandle handle, unsigned access);

/* Pointer types for binding the functions by name. */
typedef int (*ZelcodeGetVersionFn)(void);
typedef ZelcodeHandle (*ZelcodeCreateFn)(const char *, unsigned, unsigned);
typedef int (*ZelcodeWriteFn)(ZelcodeHandle, const void *, int, int *);
typedef int (*ZelcodeReadFn)(ZelcodeHandle, void *, int, int *);
typedef int (*ZelcodeSeekFn)(ZelcodeHandle, int, int);
typedef int (*ZelcodeCloseFn)(ZelcodeHandle, unsigned);
typedef const char *(*ZelcodeErrorTextFn)(void);

#endif
