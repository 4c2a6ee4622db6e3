/* gpib_sim: the test interface of the simulated GPIB bus behind the stand-in board libraries
 * (libgpc4304.so, and libvcw4301.so for the older names). Instruments sit at primary addresses
 * 0 to 30 as the [gpib.N] sections of the world's scenario place them (docs/simulator.md lists
 * the keys); an instrument may follow one of the product's A/D outputs in the simulated world
 * (libjigsim.so), so a GPIB voltmeter reads what the product puts out.
 *
 * The bus is set up from the scenario when the library is first used and again by
 * gpib_sim_reset. The changes below are made on top; they stay until the next reset.
 *
 * Every function takes the library's lock and may be called from any thread. Unless said
 * otherwise a function returns 0, or -1 for an argument out of range (nothing changes then). */
#ifndef GPIB_SIM_H
#define GPIB_SIM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define GPIB_SIM_API extern "C" __attribute__((visibility("default")))
#else
#define GPIB_SIM_API extern __attribute__((visibility("default")))
#endif

/* Sets the bus up again from the [gpib] and [gpib.N] sections of the world's current scenario:
 * instruments, boards (all finished), the log of commands and every counter cleared. Returns the
 * number of problems reported on stderr (0: read cleanly). */
GPIB_SIM_API int gpib_sim_reset(void);

/* The instrument at `address` (0-30): answers every read with `reply` (a null reply removes the
 * instrument from the bus). Its other settings go back to their defaults. */
GPIB_SIM_API int gpib_sim_set_reply(int address, const char *reply);
/* The instrument stops answering (1): every read waits the board's time-out and fails with -14;
 * 0 makes it answer again. -1 when no instrument is at the address. */
GPIB_SIM_API int gpib_sim_set_silent(int address, int silent);
/* Every transfer with the instrument fails with `code` (a negative board error code; 0 clears
 * it). -1 when no instrument is at the address or the code is positive. */
GPIB_SIM_API int gpib_sim_set_error(int address, int32_t code);
/* The time the instrument takes to answer, from the command before the read (or from the first
 * read that found no reply ready), 0 to 3600000 ms. -1 when no instrument is at the address. */
GPIB_SIM_API int gpib_sim_set_delay(int address, uint32_t ms);

/* Commands the instruments received, in the order sent (each listener of a send once), up to
 * 100000; later ones are only counted (gpib_sim_sent_dropped). */
GPIB_SIM_API size_t gpib_sim_sent_count(void);
/* Command `index` (0 = oldest): its address into *address (when not null) and its bytes into
 * text (up to len - 1 bytes, then a zero byte). Returns the command's length, or -1 for a bad
 * index. */
GPIB_SIM_API long gpib_sim_sent(size_t index, int *address, char *text, size_t len);
GPIB_SIM_API uint64_t gpib_sim_sent_dropped(void);
/* Forgets the commands kept. */
GPIB_SIM_API void gpib_sim_clear_sent(void);
/* Replies the instrument at `address` delivered since the last reset; -1 for a bad address. */
GPIB_SIM_API long gpib_sim_reads(int address);

/* The state of board 0-15. */
typedef struct gpib_sim_board_state {
    int present;          /* the scenario puts the board in the machine */
    int initialised;      /* initialised and not finished since */
    int remote;           /* remote enable on */
    int timeout_tenths;   /* the time-out a transfer waits, in tenths of a second */
    long inits;           /* successful initialisations since the last reset */
    long finishes;
    long clears;          /* interface clears */
} gpib_sim_board_state;
GPIB_SIM_API int gpib_sim_board(int board, gpib_sim_board_state *out);

#endif
