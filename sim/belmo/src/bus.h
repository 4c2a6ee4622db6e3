// Everything the stand-in library keeps: the unit on the cable (present or not, its kind and
// device identifier), the sessions open on it, the library's last errors, the faults injected
// and the counters tests read. One instance, never destroyed (the library is never unloaded),
// behind one lock.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#include "jig_unit.h"
#include "usb_config.h"

namespace belmo {

// A fault that strikes `remaining` more times (-1: every time) with `value`.
struct Fault {
    int remaining = 0;
    int32_t value = 0;

    bool strikes() {
        if (remaining == 0) return false;
        if (remaining > 0) --remaining;
        return true;
    }
};

struct Session {
    uint32_t handle = 0;
    uint32_t device = 0;
    int32_t last_error = 0;
    bool has_reply = false;
    Packet reply;
};

struct Bus {
    std::mutex lock;
    JigUnit unit;
    bool present = true;
    uint32_t kind = 0;
    uint32_t device_id = 0;  // changes each time the unit is plugged in
    bool initialised = false;
    int32_t library_error = 0;  // the last error of calls without a session
    std::vector<Session> sessions;
    uint32_t next_session = 1;
    // Faults.
    Fault unit_error;
    Fault bad_echo;
    Fault timeout;
    std::array<Fault, kCalls> lower{};
    long unplug_after = 0;
    long latency_us = 0;
    // Counters.
    uint64_t exchanges = 0;
    Packet last_command;
    uint32_t last_timeout = 0;

    // The unit set up again from the scenario's [usb] section; returns the problems reported.
    int reset();
    void plug(bool in);
    void clear_faults();
    bool attached(uint32_t device) const { return present && device == device_id; }
    // The open session `handle`, or null.
    Session *session(uint32_t handle);
    // The open session whose unit is still attached; null with the error stored otherwise
    // (2 for a handle that is not open, 5 for a unit pulled out).
    Session *usable(uint32_t handle);
    // When the fault of `call` strikes: stores its code as the error and returns true.
    bool injected(int call, int32_t *error) {
        if (!lower[static_cast<size_t>(call)].strikes()) return false;
        *error = lower[static_cast<size_t>(call)].value;
        return true;
    }
};

// The one bus, set up from the scenario on first use.
Bus &bus();

// Runs `action(bus)` under the bus lock.
template <typename F>
auto with_bus(F action) {
    Bus &b = bus();
    std::lock_guard<std::mutex> guard(b.lock);
    return action(b);
}

}  // namespace belmo
