// The send and receive procedures every exchange is built from, and the retry loop.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/tick.h"
#include "port_table.h"

namespace comkit {

// Waits for CTS (lines with modem status: polled every 50 ms up to the send time-out, 3 when
// it stays off, 9 when it cannot be read), then writes all bytes within the write bound: a
// failing line gives its error (9 when it names none), fewer bytes written 3, else 0. The
// result is stored as the last error.
int send_bytes(PortSlot &port, const uint8_t *data, size_t n);

// Waits up to the receive time-out for a first byte (4 when none comes; a line error ends the
// wait with its code), then reads `n` bytes within the read bound: a failing line gives its
// error (9 when it names none), fewer bytes 4, else 0. n = 0 succeeds at once. The result is
// stored as the last error.
int receive_bytes(PortSlot &port, uint8_t *buffer, size_t n);

// Empties the receive queue before a send that expects a fresh reply.
void discard_input(PortSlot &port);

// Runs `attempt` (returning an error code) until it succeeds or retry count + 1 attempts have
// failed, sleeping the retry interval before each further attempt. The last result stands.
template <class Attempt>
int with_retries(const PortSlot &port, Attempt attempt) {
    const uint64_t attempts = static_cast<uint64_t>(port.retry_count) + 1;
    for (uint64_t n = 1;; ++n) {
        const int result = attempt();
        if (result == 0 || n >= attempts) return result;
        ksw::platform::sleep_ms(port.retry_interval_ms);
    }
}

// A non-zero time-out replaces the port's receive time-out while the object lives.
class ReceiveTimeoutOverride {
public:
    ReceiveTimeoutOverride(PortSlot &port, uint32_t receive_ms) : port_(port), saved_(port.receive_ms) {
        if (receive_ms != 0) port_.receive_ms = receive_ms;
    }
    ~ReceiveTimeoutOverride() { port_.receive_ms = saved_; }
    ReceiveTimeoutOverride(const ReceiveTimeoutOverride &) = delete;
    ReceiveTimeoutOverride &operator=(const ReceiveTimeoutOverride &) = delete;

private:
    PortSlot &port_;
    uint32_t saved_;
};

}  // namespace comkit
