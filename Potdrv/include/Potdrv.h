/* Potdrv: the EVR driver over the USB jig transport (libNakor.so). Its interface is the one every
 * EVR driver library offers the main program, which binds it by name ("Potdrv.dll") with the
 * pointer types at the end of this header.
 *
 * The driver keeps one connection per process: state 0 transport not initialised, 1 initialised
 * without a session, 2 session open; the current page (0 at load), sent as the page of every
 * byte, word and memory operation; and the time-out T in milliseconds (10000 at load) passed to
 * every transport call. Memory selector 0 is the product's EEPROM (ROM), 1 its RAM; EVR
 * addresses are taken modulo 256 within the page.
 *
 * Driver result codes (the main program shows code r as its error r + 74):
 *   0 success; 9 the unit reported an error; 11 a bad argument or a reply the transport could
 *   not use; 5 out of memory; 8 time-out; 6 any other failure of the transport.
 * The first argument of most functions is the caller's context word; the driver does not use it.
 * Every function is exported by name with C linkage; calls are serialised inside the driver.
 * When the library is unloaded it closes an open session and ends the transport's use. */
#ifndef POTDRV_H
#define POTDRV_H

#include <stdint.h>

#ifdef __cplusplus
#define POTDRV_API extern "C" __attribute__((visibility("default")))
#else
#define POTDRV_API extern __attribute__((visibility("default")))
#endif

/* The caller's context word: the serial-port handle or main window of the caller. */
typedef intptr_t EvrContext;
/* One word of an EVRFunction parameter record: a number or a pointer. */
typedef intptr_t EvrWord;

#define EVR_OK 0
#define EVR_OUT_OF_MEMORY 5
#define EVR_FAILED 6
#define EVR_TIMEOUT 8
#define EVR_UNIT_ERROR 9
#define EVR_BAD_ARGUMENT 11

/* EVRGetType of this driver. */
#define POTDRV_TYPE 3

/* Opens the connection for the unit kind *kind (0-2), closing an open one first. Returns 1 on
 * success, 0 on failure (also for a null kind). */
POTDRV_API int32_t EVROpen(EvrContext ctx, const int32_t *kind);
/* Closes the session if one is open. Returns the transport's code unchanged (0 on success or
 * when nothing was open). */
POTDRV_API int32_t EVRClose(void);
/* The driver version from its version text "1.07": 0x107. */
POTDRV_API int32_t EVRGetVersion(void);
/* POTDRV_TYPE. */
POTDRV_API int32_t EVRGetType(void);
/* Sets the current page; returns 0. */
POTDRV_API int32_t EVRPage(EvrContext ctx, int32_t page);
/* One byte of ROM / RAM at the address (modulo 256) of the current page into *result (0-255).
 * A failed read stores 0. */
POTDRV_API int32_t EVRROMRead(EvrContext ctx, int32_t address, int32_t *result);
POTDRV_API int32_t EVRRAMRead(EvrContext ctx, int32_t address, int32_t *result);
/* Writes the low byte of data to RAM / to the EEPROM. */
POTDRV_API int32_t EVRRAMWrite(EvrContext ctx, int32_t address, int32_t data);
POTDRV_API int32_t EVREEPWrite(EvrContext ctx, int32_t address, int32_t data);
/* EVREEPWrite, then reads the byte back: the first failure's code, else 0 when the byte read
 * equals the whole of data and -1 when it differs (so only data 0-255 can verify). */
POTDRV_API int32_t EVREEPWriteVerify(EvrContext ctx, int32_t address, int32_t data);

/* The general function entry. `record` is a sequence of words whose use depends on `kind`;
 * pointers in it point to the caller's 16-bit values (uint16_t) or 32-bit counts (int32_t):
 *   kind 0: {sub-function, V}: 0 open for unit kind V[0]; 1 close; 2 T = V[0] * 65536 + V[1];
 *           3 open for unit kind V[0] and store the transport's own result in V[1] (returns 0);
 *           other sub-functions do nothing.
 *   kind 1: {function number, data byte}: a unit function with one byte.
 *   kind 2: {function number, IN, input count, OUT, &count}: a unit function with the low bytes
 *           of IN[0 .. count-1] (at most 256); the bytes returned go to OUT, at most count (the
 *           capacity in, the length returned out).
 *   kind 3: {K, IN, N, OUT, &M}: memory and unit services on selector K / 10, service K % 10:
 *           0 identify (seven texts of 256 units from OUT); 1 read M bytes from address N;
 *           2 write IN[0 .. N-1] at address M; 3 memory information (min(M, 3) values);
 *           4 no-operation; 5 diagnose (OUT[0] code, OUT[1..] data when the code is not 0);
 *           6 test-data word into OUT[0] (low half), OUT[1]; 7 with K = 7, 17, 27, 37 the test
 *           data, firmware and diagnosis files named by IN (one character a value); 8 word read
 *           at address N into OUT[0]; 9 word write of IN[0] at address M.
 * A kind above 3 does nothing and returns 0. Returns the driver code; a null record, or a null
 * pointer that the kind needs, gives 11. */
POTDRV_API int32_t EVRFunction(EvrContext ctx, int32_t kind, EvrWord *record);

/* Pointer types for binding by name. */
typedef int32_t (*EvrOpenFn)(EvrContext, const int32_t *);
typedef int32_t (*EvrCloseFn)(void);
typedef int32_t (*EvrGetVersionFn)(void);
typedef int32_t (*EvrGetTypeFn)(void);
typedef int32_t (*EvrPageFn)(EvrContext, int32_t);
typedef int32_t (*EvrReadFn)(EvrContext, int32_t, int32_t *);
typedef int32_t (*EvrWriteFn)(EvrContext, int32_t, int32_t);
typedef int32_t (*EvrFunctionFn)(EvrContext, int32_t, EvrWord *);

#endif
