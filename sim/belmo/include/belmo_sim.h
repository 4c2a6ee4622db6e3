/* belmo_sim: the test interface of the simulated USB unit behind the stand-in USB transfer
 * library (libBelmo.so). The unit answers the jig transport's command blocks; its EVR memory is
 * the product's EVR memory in the simulated world (libjigsim.so).
 *
 * The unit is set up from the [usb] section of the world's scenario when the library is first
 * used and again by belmo_sim_reset (docs/simulator.md lists the keys). The faults below are
 * injected on top; they and the unit's data stay as they are across BELMO_Init and BELMO_Exit,
 * as a unit on the cable would.
 *
 * Every function takes the library's lock and may be called from any thread. Unless said
 * otherwise a function returns 0, or -1 for an argument out of range (nothing changes then). */
#ifndef BELMO_SIM_H
#define BELMO_SIM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define BELMO_SIM_API extern "C" __attribute__((visibility("default")))
#else
#define BELMO_SIM_API extern __attribute__((visibility("default")))
#endif

/* The lower-library calls a fault can fail. */
#define BELMO_SIM_CALL_INIT 0
#define BELMO_SIM_CALL_ENUM 1
#define BELMO_SIM_CALL_OPEN 2
#define BELMO_SIM_CALL_CLOSE 3
#define BELMO_SIM_CALL_WRITE 4
#define BELMO_SIM_CALL_READ 5
#define BELMO_SIM_CALLS 6

/* Fault counts: how many times the fault strikes before it clears itself. */
#define BELMO_SIM_ALWAYS (-1)

/* Data areas of the unit (as the transport's Data transfer block names them). */
#define BELMO_SIM_AREA_TEST_DATA 0
#define BELMO_SIM_AREA_FIRMWARE 1
#define BELMO_SIM_AREA_DIAGNOSIS 2

/* Sets the unit up again from the [usb] section of the world's current scenario: its kind,
 * presence, texts and data as the scenario gives them, every injected fault and counter cleared,
 * every session closed. Returns the number of problems reported on stderr (0: read cleanly). */
BELMO_SIM_API int belmo_sim_reset(void);

/* Plugs the unit in (1) or pulls it out (0). A unit pulled out fails every call on its open
 * sessions with the library's error 5 until they are closed; plugged in again it enumerates
 * under a new device identifier. */
BELMO_SIM_API void belmo_sim_set_present(int present);
/* Pulls the unit out once it has answered `exchanges` more command blocks (1 or more; 0 cancels). */
BELMO_SIM_API int belmo_sim_unplug_after(long exchanges);
/* The kind (0-255) the unit enumerates as. */
BELMO_SIM_API int belmo_sim_set_kind(int kind);

/* The next `count` replies (BELMO_SIM_ALWAYS: every reply; 0: clears the fault) report an error
 * of the unit with `detail` (word 1 = 1, word 2 = detail). */
BELMO_SIM_API int belmo_sim_unit_error(uint32_t detail, int count);
/* The next `count` replies do not echo their command code. */
BELMO_SIM_API int belmo_sim_bad_echo(int count);
/* The next `count` reply reads time out (the library's error 4; the reply is lost). */
BELMO_SIM_API int belmo_sim_timeout(int count);
/* The next `count` calls of `call` (BELMO_SIM_CALL_...) fail and leave `code` as the library's
 * last error (any value, 0 included, as a faulty library might). */
BELMO_SIM_API int belmo_sim_lower_error(int call, int32_t code, int count);
/* Clears every injected fault (the scenario's faults included) and a pending unplug. */
BELMO_SIM_API void belmo_sim_clear_faults(void);
/* The time the unit takes to answer, in microseconds (0 to 10000000). A reply read whose time-out
 * is shorter waits the time-out and fails with the library's error 4. */
BELMO_SIM_API int belmo_sim_set_latency(long microseconds);

/* The unit's test-data word (read by the transport's Nakor_ReadTestData). */
BELMO_SIM_API void belmo_sim_set_test_word(uint32_t word);
/* Replaces the content of a data area (at most 65536 bytes; the firmware area 1048576). */
BELMO_SIM_API int belmo_sim_set_area(int area, const void *bytes, size_t length);
/* Copies up to `max` bytes of a data area into buf (may be null with max 0) and returns its
 * whole length, or -1 for a bad area. */
BELMO_SIM_API long belmo_sim_area(int area, void *buf, size_t max);

/* Command blocks the unit has answered (replies read) since the last reset. */
BELMO_SIM_API uint64_t belmo_sim_exchanges(void);
/* Copies the last command block the unit received (up to `max` bytes) and returns its length;
 * 0 before the first. */
BELMO_SIM_API size_t belmo_sim_last_command(void *buf, size_t max);
/* The time-out (milliseconds) of the last enumeration, session open or transfer call. */
BELMO_SIM_API uint32_t belmo_sim_last_timeout(void);
/* Sessions open now. */
BELMO_SIM_API int belmo_sim_open_sessions(void);

#endif
