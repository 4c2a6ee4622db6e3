/* gpib_board: the PCI GPIB board library as the station binds it by name ("gpc4304.dll", here
 * libgpc4304.so). A board library of the older family ("vcw4301.dll", libvcw4301.so) has the same
 * eight entry points with the prefix "Gpib" instead of "PciGpibEx" (GpibInitBoard ...).
 *
 * Every call takes the board number first. A result of 0 or more is success; a negative result is
 * an error code:
 *   -1     no such board              -2, -3  wrong parameter
 *   -10    time-out waiting for a status byte
 *   -12    receive error              -14, -15  time-out of a transfer
 *   -16    transfer ended by an interface clear
 *   -999   the board is not initialised
 * Addresses are given as a list of 32-bit values ended by -1; primary addresses are 0 to 30.
 * Exported by name with C linkage; only C types cross the boundary. */
#ifndef GPIB_BOARD_H
#define GPIB_BOARD_H

#include <stdint.h>

#ifdef __cplusplus
#define GPIB_BOARD_API extern "C" __attribute__((visibility("default")))
#else
#define GPIB_BOARD_API extern __attribute__((visibility("default")))
#endif

/* Room the station gives a receive, in bytes. */
#define GPIB_RECEIVE_ROOM 125

/* Initialises board `board` as the system controller; `window` is the caller's main window
 * (may be null). */
GPIB_BOARD_API int32_t PciGpibExInitBoard(int32_t board, void *window);
/* Ends the use of the board. */
GPIB_BOARD_API int32_t PciGpibExFinishBoard(int32_t board);
/* Configures the board with option text, e.g. "/TMO=10" (the time-out in tenths of a second). */
GPIB_BOARD_API int32_t PciGpibExSetConfig(int32_t board, const char *config);
/* Remote enable on / off. */
GPIB_BOARD_API int32_t PciGpibExSetRen(int32_t board);
GPIB_BOARD_API int32_t PciGpibExResetRen(int32_t board);
/* Interface clear, held for `time` (the station passes 2). */
GPIB_BOARD_API int32_t PciGpibExSetIfc(int32_t board, int32_t time);
/* Sends `length` bytes of `data` as controller to the listeners in `addresses`; `mode` 0 ends
 * the message with the board's delimiter. */
GPIB_BOARD_API int32_t PciGpibExMastSendData(int32_t board, const int32_t *addresses, int32_t length, const char *data,
                                             int32_t mode);
/* Receives as controller from the talker addresses[0] into `buffer`: *length goes in as the room
 * and comes back as the number of bytes received (the end-of-message characters removed). */
GPIB_BOARD_API int32_t PciGpibExMastRecvData(int32_t board, const int32_t *addresses, int32_t *length, char *buffer,
                                             int32_t mode);

#endif
