// The transport's one process-wide state: where the library stands, the bound lower library,
// the device table of the last enumeration and the open session. Every export takes its lock,
// so the state is never seen half changed.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <new>
#include <span>

#include "exchange.h"
#include "lower_library.h"
#include "Nakor.h"

namespace nakor {

enum State : int { kNotInitialised = 0, kInitialised = 1, kSessionOpen = 2 };

struct Transport {
    std::mutex lock;
    State state = kNotInitialised;
    LowerLibrary lower;
    std::array<uint32_t, 255> devices{};
    uint32_t session = 0;

    // One exchange on the open session (see exchange()).
    int exchange(const Block &command, Block *reply, uint32_t timeout) const {
        return nakor::exchange(lower, session, command, reply, timeout);
    }
    // A Unit command or Data transfer exchange; the reply is a block of the same length.
    int data_exchange(uint32_t code, uint32_t sub_command, const Params &params, std::span<const uint8_t> data,
                      Block *reply, uint32_t timeout) const {
        return exchange(data_block(code, sub_command, params, data), reply, timeout);
    }
};

Transport &transport();

// Runs `operation(transport)` (which returns an export code) under the lock; an allocation
// failure inside it gives NAKOR_NO_MEMORY and nothing is thrown out of the library.
template <typename F>
int32_t locked(F operation) noexcept {
    Transport &t = transport();
    std::lock_guard<std::mutex> guard(t.lock);
    try {
        return operation(t);
    } catch (const std::bad_alloc &) {
        return NAKOR_NO_MEMORY;
    } catch (...) {
        return NAKOR_FAILED;
    }
}

// The same for the operations that need an open session: NAKOR_WRONG_STATE without one.
template <typename F>
int32_t in_session(F operation) noexcept {
    return locked([&](Transport &t) { return t.state == kSessionOpen ? operation(t) : NAKOR_WRONG_STATE; });
}

}  // namespace nakor
