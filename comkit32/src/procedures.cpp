#include "procedures.h"

#include <algorithm>

namespace comkit {
namespace {

using ksw::platform::sleep_ms;
using ksw::platform::tick_count;
using ksw::platform::ticks_since;

constexpr uint32_t kCtsPollMs = 50;

int store(int code) {
    set_last_error(code);
    return code;
}

// The line's own error after a failed call, or 9 when it names none.
int failure_code(PortSlot &port) {
    const int e = line_take_error(&port.line);
    return e != 0 ? e : 9;
}

// n bytes at `per_byte` ms each; without a per-byte figure the fallback bounds the transfer.
uint32_t transfer_bound(size_t n, uint32_t per_byte, uint32_t fallback) {
    if (per_byte == 0) return fallback;
    const uint64_t ms = static_cast<uint64_t>(n) * per_byte;
    return static_cast<uint32_t>(std::min<uint64_t>(ms, UINT32_MAX));
}

int wait_for_cts(PortSlot &port) {
    if (!port.line.has_modem_status) return 0;
    const uint32_t start = tick_count();
    for (;;) {
        const Cts cts = line_cts(port.line);
        if (cts == Cts::on) return 0;
        if (cts == Cts::failed) return 9;
        const uint32_t waited = ticks_since(start);
        if (waited >= port.send_ms) return 3;
        sleep_ms(std::min(kCtsPollMs, port.send_ms - waited));
    }
}

}  // namespace

int send_bytes(PortSlot &port, const uint8_t *data, size_t n) {
    if (const int e = wait_for_cts(port)) return store(e);
    const Transfer t = line_write(port.line, data, n, transfer_bound(n, port.write_ms_per_byte, port.send_ms));
    if (t.failed) return store(failure_code(port));
    return store(t.done < n ? 3 : 0);
}

int receive_bytes(PortSlot &port, uint8_t *buffer, size_t n) {
    set_last_error(0);
    if (n == 0) return 0;
    if (const int e = line_take_error(&port.line)) return store(e);
    // What is queued already needs no wait; otherwise wait for the first byte.
    Transfer t = line_read(port.line, buffer, n, 0);
    if (t.failed) return store(failure_code(port));
    if (t.done == 0) {
        const Wait w = line_wait_readable(port.line, port.receive_ms);
        if (w == Wait::timed_out) return store(4);
        if (w == Wait::failed) return store(failure_code(port));
        if (const int e = line_take_error(&port.line)) return store(e);
    }
    if (t.done < n) {
        const Transfer rest = line_read(port.line, buffer + t.done, n - t.done,
                                        transfer_bound(n, port.read_ms_per_byte, port.receive_ms));
        t.done += rest.done;
        if (rest.failed) return store(failure_code(port));
    }
    return store(t.done < n ? 4 : 0);
}

void discard_input(PortSlot &port) { line_discard_input(port.line); }

}  // namespace comkit
