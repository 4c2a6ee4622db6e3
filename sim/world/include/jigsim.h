/* jigsim: the simulated world behind the station's stand-in device libraries.
 *
 * One world per process: the jig board behind four 8255 chips (system ports 0 and 1, extension-0
 * ports 0 and 1) on PCI parallel-I/O boards, and the product under test (power relays, analog
 * outputs, EVR memory in RAM and EEPROM). It is created on first use from the scenario file named
 * by the environment variable KSW_SIM_SCENARIO (unset or empty: every default) and writes the
 * files of the scenario's [report] section when the process ends. docs/simulator.md lists the
 * scenario keys.
 *
 * Every function is exported by name with C linkage, takes the world's one lock and may be called
 * from any thread. Nothing the library allocates is handed out. Unless said otherwise a function
 * returns 0 on success and -1 for an argument out of range (nothing changes then). */
#ifndef JIGSIM_H
#define JIGSIM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define JIGSIM_API extern "C" __attribute__((visibility("default")))
#else
#define JIGSIM_API extern __attribute__((visibility("default")))
#endif

/* ---- Scenario --------------------------------------------------------------------------------
 * Replaces the world by a fresh one set up from the scenario file at `path` (null or empty: every
 * default). Problems (file missing or unreadable, a bad value, an unknown key) are reported on
 * stderr with the file, line and key, and the defaults stay for what could not be read. Returns
 * the number of problems reported (0: read cleanly). The report files of the world replaced are
 * not written; call jigsim_write_report first when they are wanted. */
JIGSIM_API int jigsim_load(const char *path);
/* A fresh world from the current scenario again (every latch, counter and fault back to the
 * scenario's values). Returns what jigsim_load returns. */
JIGSIM_API int jigsim_reset(void);
/* Copies the current scenario's path (empty: none) into buf. Returns 0, or -1 when buf is null or
 * too small (then buf holds an empty text when len > 0). */
JIGSIM_API int jigsim_scenario_path(char *buf, size_t len);
/* The value of `key` in `section` of the current scenario, read like the station's settings file
 * (blanks around it removed, one pair of enclosing quotes taken off). Returns 1 and copies it when
 * present, 0 when missing (buf empty), -1 for null arguments or a buffer too small. Stand-ins of
 * other devices read their own sections through it. */
JIGSIM_API int jigsim_scenario_value(const char *section, const char *key, char *buf, size_t len);
/* The port-address setting that a station started on the simulator uses for `key` ("SysPort0",
 * "SysPort1", "Ext0Port0", "Ext0Port1"; any case) as the text "%X,%X,%X,%X": the scenario's [ports]
 * value when it has one (returns 1), else the default (returns 0). -1 for an unknown key, null
 * arguments or a buffer too small (buf then holds an empty text when len > 0). */
JIGSIM_API int jigsim_port_setting(const char *key, char *buf, size_t len);

/* ---- PCI parallel-I/O boards -----------------------------------------------------------------
 * One board per slot that the port settings use, named "FBIPPI1", "FBIPPI2", ... in ascending slot
 * order. Each carries chips 0 and 1 with ports A (0), B (1), C (2). A chip wired to the jig is
 * the chip of one port group (its addresses: slot = bits 4-7, chip = bit 0, port = bits 1-2). */

/* The number of boards. */
JIGSIM_API int jigsim_ppi_board_count(void);
/* Board `index` (0 .. count-1): copies its name into name (when not null) and stores its slot in
 * *slot (when not null). -1 for a bad index or a name buffer too small. */
JIGSIM_API int jigsim_ppi_board(int index, char *name, size_t len, int *slot);
/* Byte access to a chip of the board in `slot`, as the board's library performs it: a control
 * word (mode word or port C bit set/reset), a port write, a port read into *value. -1 when no
 * board sits in the slot, chip is not 0/1, port not 0-2, or value is null. */
JIGSIM_API int jigsim_ppi_control(int slot, int chip, int word);
JIGSIM_API int jigsim_ppi_write(int slot, int chip, int port, int value);
JIGSIM_API int jigsim_ppi_read(int slot, int chip, int port, int *value);

/* ---- Decoded jig state -----------------------------------------------------------------------
 * What the jig board holds, as its latches took it from the strobes. */

/* Output port 0-31 (16 bits; sw 8p..8p+7 in the low byte, sw 256+8p.. in the high byte). */
JIGSIM_API int jigsim_output_port(int port);
/* Extension latch 0-31 (8 bits, fsw 8n..8n+7). */
JIGSIM_API int jigsim_latch(int latch);
/* Ext0 output word 0-3 (16 bits). */
JIGSIM_API int jigsim_ext0_word(int word);
/* Power-supply channel 1 or 2: the volt and amp codes its DACs latched. Returns 1 when latched,
 * 0 before the first load (codes stored as 0), -1 for a bad channel. */
JIGSIM_API int jigsim_psu(int channel, int *volt_code, int *amp_code);
/* Board register by its register bits (bits 4-13 of output port 27): 1 and *datum when it has
 * been written, 0 when never (*datum 0). */
JIGSIM_API int jigsim_board_register(int register_bits, int *datum);
/* Every board register written, in ascending order of register bits: stores at most `max` pairs
 * and returns how many there are. */
JIGSIM_API int jigsim_board_registers(int *register_bits, int *data, int max);
/* The line-sequencer lamps (SysPort1 B bits 4 and 5 while that port drives them): 1 lit, 0 dark. */
JIGSIM_API int jigsim_lamps(int *ok, int *ng);
/* A/D conversions started, and output-port write strobes that the board took. */
JIGSIM_API uint64_t jigsim_conversions(void);
JIGSIM_API uint64_t jigsim_port_writes(void);
/* The A/D channel (output port 1 bits 0-2) and range (SysPort1 A bits 4-6) now selected. */
JIGSIM_API int jigsim_adc_selection(int *channel, int *range);
/* Writes the [report] state file now (when the scenario names one): the world's lines, then the
 * lines of every report hook. 0 written or none named, -1 when it could not be written (reported
 * on stderr). */
JIGSIM_API int jigsim_write_report(void);

/* Report lines of another stand-in. The hook writes its lines ("name=value" and LF each) into buf
 * (room for len bytes; buf is null when len is 0) and returns the length of all of them; when
 * that is more than len it is called once more with room for them all. Hooks are called without
 * the world's lock (they may call into the world) whenever the state file is written, in the
 * order they were first added, after the world's own lines. One hook per name: adding a name
 * again replaces its function and context, a null function removes it. Hooks outlive the world
 * (jigsim_load keeps them); the function and its context must stay valid until the process ends.
 * -1 for a null or empty name. */
typedef size_t (*jigsim_report_fn)(char *buf, size_t len, void *context);
JIGSIM_API int jigsim_report_hook(const char *name, jigsim_report_fn fn, void *context);

/* ---- Trace -----------------------------------------------------------------------------------
 * Every byte access that the jig's chips see, in order: kind 'R' (read; value returned), 'W'
 * (port write) or 'C' (control word; port 3); chip = port group (0 SysPort0, 1 SysPort1,
 * 2 Ext0Port0, 3 Ext0Port1). Kept in memory up to 4194304 accesses (later ones are counted as
 * dropped) and, when the scenario names a trace file, also written there as "R|W|C chip port
 * 0xVV" lines. */
typedef struct jigsim_access {
    char kind;
    unsigned char chip;
    unsigned char port;
    unsigned char value;
} jigsim_access;

/* Accesses kept. */
JIGSIM_API size_t jigsim_trace_count(void);
/* Copies access `index` (0 = oldest kept). -1 for a bad index or null out. */
JIGSIM_API int jigsim_trace_get(size_t index, jigsim_access *out);
/* Copies up to max accesses from `first` on into out; returns how many were copied. */
JIGSIM_API size_t jigsim_trace_copy(size_t first, jigsim_access *out, size_t max);
/* Forgets the accesses kept in memory and the dropped count (the trace file goes on). */
JIGSIM_API void jigsim_trace_clear(void);
/* Accesses not kept because memory was full. */
JIGSIM_API uint64_t jigsim_trace_dropped(void);

/* ---- Faults and inputs -----------------------------------------------------------------------*/

/* Cable 1 or 2 connected (1) or unplugged (0). */
JIGSIM_API int jigsim_set_cable(int cable, int connected);
/* Jig power on (1) or off (0). With the power off the board takes no output-port strobe and its
 * A/D converter neither converts nor delivers anything but 0. */
JIGSIM_API void jigsim_set_power(int on);
/* A/D converter stuck: its busy line never clears (1), or works (0). */
JIGSIM_API void jigsim_set_adc_stuck(int stuck);
/* Remote-control switch 0-3 pressed and held, or released. */
JIGSIM_API int jigsim_switch_press(int sw);
JIGSIM_API int jigsim_switch_release(int sw);
/* Line-sequencer start input active (1) or not (0). */
JIGSIM_API void jigsim_set_start_switch(int on);
/* The raw counts of A/D channel 0-7: range -1 sets the channel's plain counts (and drops its
 * samples file), range 0-6 the counts on that range. Counts are clamped to 0..4095 when read. */
JIGSIM_API int jigsim_set_adc_counts(int channel, int range, int counts);
/* The counts of extension A/D selector 0 or 1. */
JIGSIM_API int jigsim_set_ext_adc(int selector, int counts);
/* What the product puts out on A/D channel 0-7, in counts, as the converter would sample it on
 * `range` (0-6; 7 uses no range's own counts) at this moment: the channel's gates, EVR term and
 * noise apply (a sample is drawn), the jig's power and busy line do not. Instruments that measure
 * the product's outputs read them here. -1 for a bad channel or range or a null pointer. */
JIGSIM_API int jigsim_adc_sample(int channel, int range, int *counts);

/* ---- Product ---------------------------------------------------------------------------------
 * EVR memory: 256 pages of 256 cells of 16 bits, once in EEPROM and once in RAM. */
#define JIGSIM_EEPROM 0
#define JIGSIM_RAM 1

/* The product's nine power relays as latched (output port 28 bits 0-8); the product is powered
 * when all nine are on (0x1FF). */
JIGSIM_API int jigsim_product_power(void);
/* One cell of memory JIGSIM_EEPROM or JIGSIM_RAM, page 0-255, address 0-255. */
JIGSIM_API int jigsim_evr_read(int memory, int page, int address, uint16_t *value);
JIGSIM_API int jigsim_evr_write(int memory, int page, int address, uint16_t value);
/* Copies all of memory `from` over memory `to`. */
JIGSIM_API int jigsim_evr_copy(int from, int to);
/* Loads a file in the station's EVR page-dump format into memory: lines "PPAA,v0,...,v15", the
 * cell index in four hex digits, then 16 values of two or four hex digits; a line shorter than 52
 * characters ends the file. Nothing is written unless the whole file reads cleanly. Returns 0, or
 * -1 with the reason (file and line) in error (when not null). */
JIGSIM_API int jigsim_evr_load_dump(int memory, const char *path, char *error, size_t len);

#endif
