/* Belmo: the outside USB transfer library beneath the jig transport. Nakor loads it by name
 * ("Belmo.dll", libBelmo.so on this platform) and binds every function below by name; a library
 * that stands in for it (sim/belmo) implements exactly these.
 *
 * Identifiers: a device identifier names one attached unit as the library enumerated it; a
 * session (non-zero) is one open connection to a unit. Session 0 stands for "no session" where
 * the library's last error is asked for. T is a time-out in milliseconds that every transfer
 * waits at most.
 *
 * Error codes (BELMO_GetLastError): 0 none, 1 out of resources, 2 invalid argument or handle,
 * 3 the device failed the transfer, 4 time-out, 5 the device is not available (unplugged). */
#ifndef BELMO_H
#define BELMO_H

#include <stdint.h>

#ifdef __cplusplus
#define BELMO_API extern "C" __attribute__((visibility("default")))
#else
#define BELMO_API extern __attribute__((visibility("default")))
#endif

#define BELMO_ERROR_NONE 0
#define BELMO_ERROR_RESOURCES 1
#define BELMO_ERROR_ARGUMENT 2
#define BELMO_ERROR_DEVICE 3
#define BELMO_ERROR_TIMEOUT 4
#define BELMO_ERROR_GONE 5

/* BELMO_Query items. */
#define BELMO_QUERY_VERSION 0u /* the library version, 0x100 and up */
#define BELMO_QUERY_DEVICES 1u /* units attached now */

/* BELMO_GetDeviceInfo values: [0] unit kind, [1] serial number, [2] sessions open on it. */
#define BELMO_DEVICE_INFO_VALUES 3u

/* Initialises the library; flags must be 0. 0 on success, else the last error says why. */
BELMO_API int32_t BELMO_Init(uint32_t flags);
/* Stores the value of a query item in *value. 0 on success, -1 for an unknown item or null. */
BELMO_API int32_t BELMO_Query(uint32_t item, uint32_t *value);
/* The error code of the last call on `session` (0: of the last call that had no session). */
BELMO_API int32_t BELMO_GetLastError(uint32_t session);
/* The same, and its text copied into text (at most size bytes with the terminator). */
BELMO_API int32_t BELMO_GetLastErrorEx(uint32_t session, char *text, uint32_t size);
/* Ends the library's use; sessions still open are closed. Returns 0. */
BELMO_API int32_t BELMO_Exit(void);
/* Enumerates attached units that match the filter (32-bit words: unit kind, then two zero words;
 * filter_bytes is its length, 12) into ids (at most max). The number written, or negative on
 * failure. */
BELMO_API int32_t BELMO_EnumDevice(const uint32_t *filter, uint32_t filter_bytes, uint32_t *ids, uint32_t max,
                                   uint32_t timeout);
/* Stores up to `count` of the BELMO_DEVICE_INFO_VALUES values of a device. 0, or -1. */
BELMO_API int32_t BELMO_GetDeviceInfo(uint32_t device, uint32_t *info, uint32_t count);
/* Resets a unit: it drops a reply it has not delivered. 0, or -1. */
BELMO_API int32_t BELMO_ResetDevice(uint32_t device, uint32_t timeout);
/* Opens a session on a device; flags must be 0. A non-zero session, or 0 on failure. */
BELMO_API uint32_t BELMO_OpenSession(uint32_t device, uint32_t flags, uint32_t timeout);
/* Checks that the session's unit still answers. 0, or -1. */
BELMO_API int32_t BELMO_Ping(uint32_t session, uint32_t timeout);
/* Closes a session. 0, or non-zero on failure. A session whose unit was unplugged closes. */
BELMO_API int32_t BELMO_CloseSession(uint32_t session);
/* A unit function on the control channel, outside the command blocks: `in_length` bytes of
 * data in, up to out_size bytes back. The number of bytes stored in out, or -1. */
BELMO_API int32_t BELMO_FunctionEx(uint32_t session, uint32_t function, const void *in, uint32_t in_length, void *out,
                                   uint32_t out_size, uint32_t timeout);
/* Sends one command block. 0 on success, non-zero on failure. */
BELMO_API int32_t BELMO_WriteCmd(uint32_t session, const void *block, uint32_t length, uint32_t timeout);
/* Reads the unit's reply to the last command block, at most `length` bytes. The number of
 * bytes read, or -1 on failure. */
BELMO_API int32_t BELMO_ReadCmd(uint32_t session, void *block, uint32_t length, uint32_t timeout);
/* The bulk data pipe: 0 / the number of bytes read on success, -1 on failure. */
BELMO_API int32_t BELMO_WriteData(uint32_t session, const void *data, uint32_t length, uint32_t timeout);
BELMO_API int32_t BELMO_ReadData(uint32_t session, void *data, uint32_t length, uint32_t timeout);

#endif
