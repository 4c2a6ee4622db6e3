// One open serial line: the thin layer over the operating system's terminal interface. Only
// serial_line_posix.cpp includes the OS headers; everything above it speaks in these terms.
#pragma once

#include <cstddef>
#include <cstdint>

namespace comkit {

// Line settings as the port settings record gives them.
struct LineSettings {
    int32_t baud_rate = 9600;
    uint8_t byte_size = 8;  // 5..8
    uint8_t stop_bits = 0;  // 0 = 1 bit, 1 = 1.5 bits, 2 = 2 bits
    uint8_t parity = 0;     // 0 none, 1 odd, 2 even, 3 mark, 4 space
};

// Error counts the driver keeps for the line; a rise since the last look is a line error.
struct LineCounters {
    uint32_t frame = 0, overrun = 0, parity = 0, brk = 0, buffer_overrun = 0;
};

struct Line {
    int descriptor = -1;
    bool has_modem_status = false;  // the line reports CTS; without it sends never wait
    bool has_counters = false;      // the driver reports framing/overrun/parity counts
    LineCounters seen;              // the counts at the last look
};

// Opens `path` exclusively as a raw serial line with `settings`, CTS flow control where the
// line has modem status, DTR and RTS raised, both queues emptied. False when the device cannot
// be opened, is no terminal, is already open, or refuses the settings (nothing stays open).
bool line_open(const char *path, const LineSettings &settings, Line *line);
// Gives queued output up to `drain_ms` to leave, discards the rest, and closes the line.
void line_close(Line *line, uint32_t drain_ms);
// Reads the line's settings and applies them again. False when either step fails.
bool line_reapply(const Line &line);

// The line error since the last look, consuming it: framing 6, else overrun 7, else parity 8,
// else break or queue overflow 9; 0 when none. 9 when the line can no longer be asked.
int line_take_error(Line *line);
// Bytes waiting to be read, or -1 when the line cannot be asked (gone, hung up).
int line_queued(const Line &line);
// Discards the receive queue. False when the line refuses.
bool line_discard_input(const Line &line);

enum class Cts { on, off, failed };
// The CTS input of a line with modem status; `failed` when it cannot be read.
Cts line_cts(const Line &line);

enum class Wait { ready, timed_out, failed };
// Waits up to `ms` for at least one byte to read. `failed` when the line hangs up or breaks.
Wait line_wait_readable(const Line &line, uint32_t ms);

// Outcome of a bounded transfer: how many bytes moved and whether the line failed.
struct Transfer {
    size_t done = 0;
    bool failed = false;
};
// Reads up to `n` bytes, waiting at most `bound_ms` in all for them; stops early on failure.
Transfer line_read(const Line &line, uint8_t *buffer, size_t n, uint32_t bound_ms);
// Writes `n` bytes, waiting at most `bound_ms` in all for room in the output queue.
Transfer line_write(const Line &line, const uint8_t *data, size_t n, uint32_t bound_ms);

}  // namespace comkit
