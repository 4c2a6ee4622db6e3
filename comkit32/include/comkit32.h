/* comkit32: the station's serial library (RS-232C ports, framed exchanges, registry settings).
 * Every function is exported by name with C linkage; only C types cross the boundary, nothing
 * allocated here is freed by the caller, and no exception leaves the library.
 *
 * Ports. Up to nine ports are open at once. Open232C returns a handle (never -1 on success)
 * that names the port to every other function; a handle that Open232C did not return, or one
 * already closed, is "unknown": exchanges give 9, the settings functions give 0.
 *
 * Port names. "COMn" (n from 1, any case) is the device given in the registry file's section
 * "SerialDevices", key "COMn" (the value may be quoted), else /dev/ttyS<n-1>. Any other name
 * is opened as a device path. A port is opened exclusively: a second open of the same device
 * fails while the first is open.
 *
 * Lines without modem status (pseudo-terminals, some USB adapters) have no CTS to wait for:
 * sends go out at once, and the CTS flow control and DTR/RTS that they refuse do not fail the
 * open. A line that goes away (adapter pulled, peer closed) gives 9 from every later call and
 * never blocks beyond the time-outs.
 *
 * Concurrency: one port is used by one thread at a time. The last error is library-wide. */
#ifndef COMKIT32_H
#define COMKIT32_H

#include <stdint.h>

#ifdef __cplusplus
#define COMKIT_API extern "C" __attribute__((visibility("default")))
#else
#define COMKIT_API extern __attribute__((visibility("default")))
#endif

/* The library version, 0x113; the main program needs at least 273 (0x111). */
COMKIT_API int ComkitGetVersion(void);

/* Error codes of the exchange functions and of RSGetLastError. */
enum {
    RS_OK = 0,
    RS_SEND_FAILED = 3,    /* CTS not on within the send time-out, or fewer bytes written */
    RS_RECEIVE_FAILED = 4, /* no byte within the receive time-out, or fewer bytes read */
    RS_NO_TERMINATOR = 5,  /* text to send has no CR or terminator within 4096 bytes */
    RS_FRAMING = 6,
    RS_OVERRUN = 7,
    RS_PARITY = 8,
    RS_PORT_FAILED = 9 /* unknown handle, or any other port failure */
};

/* Room for a device path in the port name; "COM1".."COM4" from the dialog and the registry. */
#define RS_PORT_NAME_SIZE 128
/* The receive buffer of RSGetnData and RSGetSendnData: byte 0, the length byte, 255 bytes. */
#define RS_PACKET_BUFFER_SIZE 257
/* The text buffers of RSGets and RSGetPutsData, and the longest text RSPuts sends. */
#define RS_TEXT_BUFFER_SIZE 4096

/* The port settings record. */
typedef struct RSPortSettings {
    char port[RS_PORT_NAME_SIZE]; /* NUL-terminated device name */
    int32_t baud_rate;            /* bits per second */
    uint8_t byte_size;            /* data bits, 5 to 8 */
    uint8_t stop_bits;            /* 0 = 1 bit, 1 = 1.5 bits, 2 = 2 bits */
    uint8_t parity;               /* 0 none, 1 odd, 2 even, 3 mark, 4 space */
} RSPortSettings;

/* ---- Opening and closing ---- */

/* Opens the port the record names, in raw mode with the record's line settings, CTS output
 * flow control, DTR and RTS on; empties both queues; time-outs 1000/1000 ms, 100 ms per byte
 * for the read and write bounds, no retries with a 1000 ms interval. Clears the last error.
 * Returns the handle, or -1 when all nine slots are taken (nothing is opened), the device
 * cannot be opened or is no serial line, or the settings are refused. */
COMKIT_API int Open232C(const RSPortSettings *settings);
/* Frees the slot and closes the port (queued output gets up to the send time-out to leave).
 * -1 and unknown handles do nothing. Returns 0. */
COMKIT_API int Close232C(int handle);
/* Re-applies the port's current line settings. 0, or -1 when the port refuses. */
COMKIT_API int Reset232C(int handle);
/* The handle's slot, 0 to 8, or 9 for an unknown handle. */
COMKIT_API int RSGetComNo(int handle);

/* ---- Per-port settings: 1 on success, 0 for an unknown handle ---- */

/* Receive time-out: how long a read waits for the first byte. Send time-out: how long a send
 * waits for CTS. */
COMKIT_API int RSSetTimeout(int handle, uint32_t receive_ms, uint32_t send_ms);
/* Stores the two time-outs through the pointers that are not null. */
COMKIT_API int RSGetTimeout(int handle, uint32_t *receive_ms, uint32_t *send_ms);
/* Retries: further attempts after a failed exchange, and the pause before each. */
COMKIT_API int RSSetRetry(int handle, uint32_t count, uint32_t interval_ms);
/* The bounds of one read and one write once under way: n bytes may take n times these many
 * milliseconds. 0 bounds a read by the receive time-out and a write by the send time-out.
 * Non-zero on success, 0 for an unknown handle. */
COMKIT_API int RSIntervalTimeout(int handle, uint32_t read_ms_per_byte, uint32_t write_ms_per_byte);

/* ---- Single bytes and status ---- */

/* One received byte, 0 to 255, or -1 (the reason in RSGetLastError). */
COMKIT_API int RSGetc(int handle);
/* Sends the low 8 bits of `byte`. Returns the error code. */
COMKIT_API int RSPutc(int handle, int byte);
/* Bytes waiting in the receive queue; -1 when the line reports an error (framing 6, else
 * overrun 7, else parity 8, else 9, stored as the last error) or cannot be asked (9). */
COMKIT_API int RSGetReceived(int handle);
/* Discards the receive queue. Non-zero on success, 0 on failure. */
COMKIT_API int RSClearRXBuffer(int handle);
/* The code of the last failure (or 0 after a success that stores it). */
COMKIT_API int RSGetLastError(void);

/* ---- Fixed-length exchanges: return the error code ---- */

/* Sends `length` bytes; retried. */
COMKIT_API int RSSendfData(int handle, const void *data, uint32_t length);
/* Receives exactly `length` bytes; one attempt. */
COMKIT_API int RSGetfData(int handle, void *buffer, uint32_t length);
/* Sends the data, then receives `reply_length` bytes; the pair is retried as a whole. A non-zero
 * `receive_ms` is the receive time-out for this call only. */
COMKIT_API int RSSendGetfData(int handle, const void *data, uint32_t length, void *reply, uint32_t reply_length,
                              uint32_t receive_ms);
/* The answering side: receives `receive_length` bytes, waits `delay_ms`, sends the data; the
 * pair is retried as a whole. */
COMKIT_API int RSGetSendfData(int handle, const void *data, uint32_t length, void *buffer, uint32_t receive_length,
                              uint32_t delay_ms);

/* ---- Length-prefixed exchanges: byte 0 (any value), byte 1 = L, then L bytes ---- */

/* Discards the receive queue, then sends packet[1] + 2 bytes; retried. */
COMKIT_API int RSSendnData(int handle, const uint8_t *packet);
/* Receives a packet into `buffer` (RS_PACKET_BUFFER_SIZE bytes); one attempt. */
COMKIT_API int RSGetnData(int handle, uint8_t *buffer);
/* Sends a packet (receive queue discarded first) and receives one; retried as a pair. */
COMKIT_API int RSSendGetnData(int handle, const uint8_t *packet, uint8_t *reply, uint32_t receive_ms);
/* Receives a packet, waits `delay_ms`, sends `packet`; retried as a pair. */
COMKIT_API int RSGetSendnData(int handle, const uint8_t *packet, uint8_t *buffer, uint32_t delay_ms);

/* ---- Text exchanges: bytes up to and including the first CR ---- */

/* Discards the receive queue, then sends `text` up to and including its first CR, or up to and
 * including its terminating 0 when it has no CR. 5 without sending when neither comes within
 * 4096 bytes. Retried. */
COMKIT_API int RSPuts(int handle, const char *text);
/* Receives bytes until a CR or a 0 arrives or 4095 are stored, and puts the terminator in place
 * of the CR (or after the 4095 bytes). `buffer` holds RS_TEXT_BUFFER_SIZE bytes. On a receive
 * error the bytes so far stay in the buffer unterminated. One attempt. */
COMKIT_API int RSGets(int handle, char *buffer);
/* RSPuts then RSGets, retried as a pair; `receive_ms` as for RSSendGetfData. */
COMKIT_API int RSPutGetsData(int handle, const char *text, char *reply, uint32_t receive_ms);
/* RSGets, a pause of `delay_ms`, then RSPuts; retried as a pair. */
COMKIT_API int RSGetPutsData(int handle, const char *text, char *buffer, uint32_t delay_ms);

/* ---- Settings dialog ----
 * The dialog itself belongs to the front-end: it installs a handler that shows the dialog
 * "RS-232C Setting" over the state below and returns 1 for "OK", 0 for "Cancel". The library
 * fills the state from the record, offers the "Original" choices and writes the record back. */

typedef struct RSDialogState {
    int port;           /* radio "COM1".."COM4": 1 to 4 */
    int byte_size;      /* "7bits" or "8bits": 7 or 8 */
    int stop_bits;      /* "1bits", "1.5bits", "2bits": 0, 1, 2 */
    int parity;         /* "NON", "ODD", "EVEN": 0, 1, 2 */
    char baud_text[19]; /* the "Baudrate" list's text, at most 18 characters */
} RSDialogState;

typedef int (*RSDialogHandler)(void *owner, RSDialogState *state);

/* Installs the handler that shows the dialog (null removes it). */
COMKIT_API void RSSetDialogHandler(RSDialogHandler handler);
/* The entries of the "Baudrate" list: the rate at `index`, or 0 past the end. */
COMKIT_API int RSDialogBaudRate(int index);
/* The choices the dialog opens with; out-of-range record values show the first choice. */
COMKIT_API void RSDialogFromRecord(const RSPortSettings *settings, RSDialogState *state);
/* "Original": 9600 baud, 8 bits, 1 stop bit, no parity (the port stays). */
COMKIT_API void RSDialogOriginal(RSDialogState *state);
/* "OK": writes "COM<n>", the baud rate read from the list's text (kept when the text holds no
 * number), byte size, stop bits and parity into the record. */
COMKIT_API void RSDialogToRecord(const RSDialogState *state, RSPortSettings *settings);
/* Shows the dialog for the record: 1 on "OK" (record updated), 0 on "Cancel" or when no
 * front-end has installed a handler (record unchanged). */
COMKIT_API int RSSet232CProc(void *owner, RSPortSettings *settings);

/* ---- Registry: key paths below HKEY_USERS ---- */

/* Writes "Port", "BaudRate", "ByteSize", "StopBits", "Parity". 1, or 0 when the key or a value
 * cannot be written. */
COMKIT_API int RSRegSaveComInfo(const RSPortSettings *settings, const char *key_path);
/* Reads the same values. 1 when all are present and valid (a port name of 4 or 5 characters
 * whose fourth is 1 to 4, baud 1200, 2400, 4800, 9600 or 19200, 7 or 8 bits, stop code 0-2,
 * parity 0-3); otherwise fills the record with "COM1", 9600, 8, 0, 0 and returns 0. */
COMKIT_API int RSRegLoadComInfo(RSPortSettings *settings, const char *key_path);

#endif
