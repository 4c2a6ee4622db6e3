/* Nakor: the USB jig transport. One process, one jig unit: the library loads the outside USB
 * transfer library ("Belmo.dll", libBelmo.so here) by name, enumerates units of a kind, opens a
 * session on the first one and carries each operation out as one command block and its reply
 * (docs/usb-protocol.md).
 *
 * States: 0 not initialised, 1 initialised (lower library loaded, no session), 2 session open.
 *   0 --Nakor_Init--> 1 --Nakor_Open--> 2 --Nakor_Close--> 1 --Nakor_Exit--> 0
 * Every other operation needs state 2. A call in the wrong state returns NAKOR_WRONG_STATE and
 * changes nothing; a failed exchange leaves the session open. Nothing is retried.
 *
 * T is a time-out in milliseconds, passed unchanged to every call of the lower library.
 * Every function is exported by name with C linkage; only C types cross the boundary. Calls are
 * serialised inside the library, so callers on several threads each see whole operations. */
#ifndef NAKOR_H
#define NAKOR_H

#include <stdint.h>

#ifdef __cplusplus
#define NAKOR_API extern "C" __attribute__((visibility("default")))
#else
#define NAKOR_API extern __attribute__((visibility("default")))
#endif

/* Result codes: every export returns one. */
#define NAKOR_OK 0
#define NAKOR_NO_UNIT 1      /* no unit of the kind, or its session could not be opened */
#define NAKOR_UNIT_ERROR 2   /* the unit refused the command (error detail other than 3) */
#define NAKOR_BAD_ARGUMENT 3 /* a null pointer, kind above 2, length above 256; or a reply that
                                does not echo the command, breaks its layout, or carries detail 3 */
#define NAKOR_NO_MEMORY 4    /* out of memory, or the lower library out of resources */
#define NAKOR_TIMEOUT 5      /* the lower library timed out */
#define NAKOR_WRONG_STATE 7
#define NAKOR_FAILED 8       /* any other failure (the unit gone, a file that cannot be written) */
#define NAKOR_NO_LIBRARY 16  /* Nakor_Init only: the lower library could not be loaded or bound */

/* Identify texts: each at most 247 UTF-16 units and a terminator. */
#define NAKOR_TEXT_CAPACITY 248
/* The most bytes one memory, function or data exchange carries. */
#define NAKOR_MAX_DATA 256
/* The most bytes a test-data, diagnosis or firmware file operation moves. */
#define NAKOR_MAX_FILE_BYTES (16u * 1024u * 1024u)

/* Loads and binds the lower library and initialises it. 16 when it is missing or lacks a
 * function (nothing stays loaded, so a later call tries again); 4 or 8 when it does not start. */
NAKOR_API int32_t Nakor_Init(void);
/* Ends the lower library's use and unloads it (state 1 only). */
NAKOR_API int32_t Nakor_Exit(void);
/* Opens a session on the first unit of `kind` (0-2). 1 when there is none. */
NAKOR_API int32_t Nakor_Open(uint32_t kind, uint32_t timeout);
/* Closes the session. On failure the session stays open. */
NAKOR_API int32_t Nakor_Close(uint32_t timeout);

/* The unit's seven identify items (selectors 1, 2, 4, 32, 16, 8, 64) into seven buffers of
 * NAKOR_TEXT_CAPACITY units each, in that order; stops at the first failure. */
NAKOR_API int32_t Nakor_Inquiry(uint16_t *text1, uint16_t *text2, uint16_t *text3, uint16_t *text4,
                                uint16_t *text5, uint16_t *text6, uint16_t *text7, uint32_t timeout);
NAKOR_API int32_t Nakor_Nop(uint32_t timeout);
/* The diagnosis code and its 12 data bytes. */
NAKOR_API int32_t Nakor_Diagnose(uint32_t *code, uint8_t data[12], uint32_t timeout);
/* The unit's three values of information about memory `selector`. */
NAKOR_API int32_t Nakor_GetMemInfo(uint32_t selector, uint32_t *value1, uint32_t *value2, uint32_t *value3,
                                   uint32_t timeout);
/* Reads up to `length` (at most 256) bytes into destination (room for `length`); *read gets the
 * number the unit delivered. */
NAKOR_API int32_t Nakor_ReadMemory(uint32_t selector, uint32_t page, uint32_t address, uint32_t length,
                                   uint8_t *destination, uint32_t *read, uint32_t timeout);
/* Writes `length` (at most 256) bytes; *written gets the number the unit took. */
NAKOR_API int32_t Nakor_WriteMemory(uint32_t selector, uint32_t page, uint32_t address, uint32_t length,
                                    const uint8_t *source, uint32_t *written, uint32_t timeout);
/* Unit function `number` with `length` (at most 256) bytes of data; its result bytes go to
 * destination (room for 256) and their number to *result_length. */
NAKOR_API int32_t Nakor_FunctionEx(uint32_t number, const uint8_t *source, uint32_t length, uint8_t *destination,
                                   uint32_t *result_length, uint32_t timeout);
/* Unit function `number` with one data byte; its result is not kept. */
NAKOR_API int32_t Nakor_Function(uint32_t number, uint8_t data, uint32_t timeout);
NAKOR_API int32_t Nakor_GetByte(uint32_t selector, uint32_t page, uint32_t address, uint8_t *value,
                                uint32_t timeout);
NAKOR_API int32_t Nakor_SetByte(uint32_t selector, uint32_t page, uint32_t address, uint8_t value,
                                uint32_t timeout);
/* Two bytes at address and address + 1: low byte first, and in the MM forms high byte first. */
NAKOR_API int32_t Nakor_GetWord(uint32_t selector, uint32_t page, uint32_t address, uint16_t *value,
                                uint32_t timeout);
NAKOR_API int32_t Nakor_SetWord(uint32_t selector, uint32_t page, uint32_t address, uint16_t value,
                                uint32_t timeout);
NAKOR_API int32_t Nakor_GetWordMM(uint32_t selector, uint32_t page, uint32_t address, uint16_t *value,
                                  uint32_t timeout);
NAKOR_API int32_t Nakor_SetWordMM(uint32_t selector, uint32_t page, uint32_t address, uint16_t value,
                                  uint32_t timeout);

/* Test data, diagnosis records and firmware. The paths are NUL-terminated byte texts; a file
 * that cannot be read gives 3, one that cannot be written 8 (the unit's data is lost then). */
/* The unit's test-data word. */
NAKOR_API int32_t Nakor_ReadTestData(uint32_t *result, uint32_t timeout);
/* Seals the test data the unit holds; *result gets its 32-bit byte sum. */
NAKOR_API int32_t Nakor_SendTestData(uint32_t *result, uint32_t timeout);
/* Reads up to `length` bytes of the unit's test data into the file `path` (replaced). */
NAKOR_API int32_t Nakor_ReadTestDataEx(uint32_t length, const char *path, uint32_t timeout);
/* Sends up to `length` bytes from the start of file `path` as the unit's test data; *result
 * gets the byte sum the unit answers. */
NAKOR_API int32_t Nakor_SendTestDataEx(uint32_t length, const char *path, uint32_t *result, uint32_t timeout);
/* Sends the whole file `path` as the unit's firmware; *result gets the byte sum it answers. */
NAKOR_API int32_t Nakor_SendFirmware(const char *path, uint32_t *result, uint32_t timeout);
/* Reads up to `length` bytes of the unit's diagnosis records into the file `path` (replaced). */
NAKOR_API int32_t Nakor_ReadDiagnosis(uint32_t length, const char *path, uint32_t timeout);

#endif
