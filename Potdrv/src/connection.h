// The driver's one connection to the USB jig transport: its state, the current page and the
// time-out, behind one lock; the translation of transport codes into driver codes.
#pragma once

#include <cstdint>
#include <mutex>
#include <new>

#include "Potdrv.h"

namespace potdrv {

enum State : int { kNotInitialised = 0, kInitialised = 1, kSessionOpen = 2 };

// Memory selectors of the transport.
constexpr uint32_t kRom = 0;
constexpr uint32_t kRam = 1;

struct Connection {
    std::mutex lock;
    State state = kNotInitialised;
    uint32_t page = 0;
    uint32_t timeout = 10000;

    // Opens a session on the first unit of `kind`: initialises the transport when it is not,
    // closes an open session first. Returns the transport's code of the step that failed, or 0.
    int32_t open(uint32_t kind);
    // Closes an open session (the transport's code; 0 when none was open).
    int32_t close();
    // When the library is unloaded: closes an open session and ends the transport's use, so
    // the lower USB library is released.
    ~Connection();
};

// The one connection of the process.
extern Connection g_connection;

// A transport code as a driver code: 0 -> 0, 2 -> 9, 3 -> 11, 4 -> 5, 5 -> 8, others -> 6.
int32_t driver_code(int32_t transport);

// The driver version from a version text "d.dd": d1 * 256 + d3 * 16 + d4; -1 when the text is
// not of that form.
int32_t version_from_text(const char *text);

// Runs `action(connection)` under the lock; nothing is thrown out of the driver.
template <typename F>
int32_t locked(F action) noexcept {
    std::lock_guard<std::mutex> guard(g_connection.lock);
    try {
        return action(g_connection);
    } catch (const std::bad_alloc &) {
        return EVR_OUT_OF_MEMORY;
    } catch (...) {
        return EVR_FAILED;
    }
}

}  // namespace potdrv
