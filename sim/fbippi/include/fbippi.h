/* fbippi: the PCI parallel-I/O board library as the station binds it by name. Each board
 * carries two 8255 chips (chip 0 and 1) with ports A (0), B (1) and C (2) and a control register.
 * Exported by name with C linkage; only C types cross the boundary. Every call returns 0 on
 * success and -1 on failure (unknown device or handle, an argument out of range, a null pointer)
 * unless said otherwise; a failed call changes nothing. Values are bytes: only the low 8 bits of
 * a value written count. */
#ifndef FBIPPI_H
#define FBIPPI_H

#include <stdint.h>

#ifdef __cplusplus
#define FBIPPI_API extern "C" __attribute__((visibility("default")))
#else
#define FBIPPI_API extern __attribute__((visibility("default")))
#endif

/* The number of values PpiCommonGetPciDeviceInfo stores. */
#define PPI_DEVICE_INFO_VALUES 14

/* Opens the board named `device_name` ("FBIPPI1", "FBIPPI2", ...; any case) for `access_mode`
 * (the station passes 2). Returns a handle (>= 0), or -1 when there is no such board or too many
 * handles are open. A board may be opened more than once. */
FBIPPI_API int32_t PpiOpen(const char *device_name, int32_t access_mode);
/* Closes a handle. */
FBIPPI_API int32_t PpiClose(int32_t handle);
/* Writes a control word to chip 0/1: a mode word (bit 7 set) or a port C bit set/reset. */
FBIPPI_API int32_t PpiControl(int32_t handle, int32_t chip, int32_t control_word);
/* Reads port 0-2 of chip 0/1 into *value (0-255). */
FBIPPI_API int32_t PpiInputPort(int32_t handle, int32_t chip, int32_t port, int32_t *value);
/* Writes port 0-2 of chip 0/1. */
FBIPPI_API int32_t PpiOutputPort(int32_t handle, int32_t chip, int32_t port, int32_t value);
/* Stores the board's PCI device information in info[0..13]: info[0] = 2746 (0x0ABA, the board
 * family), info[1] = 0x0001 (the model), info[2] = 0 (bus), info[3] = the slot (device number),
 * info[4] = 0 (function), info[5..12] = 0, info[13] = the slot. */
FBIPPI_API int32_t PpiCommonGetPciDeviceInfo(int32_t handle, uint32_t info[PPI_DEVICE_INFO_VALUES]);

#endif
