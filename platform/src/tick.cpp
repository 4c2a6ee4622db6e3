#include "platform/tick.h"

#include <atomic>
#include <sched.h>
#include <time.h>

namespace ksw::platform {
namespace {
std::atomic<uint32_t> g_tick_offset{0};
}

uint32_t tick_count() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms) + g_tick_offset.load(std::memory_order_relaxed);
}

void sleep_ms(uint32_t ms) {
    if (ms == 0) {
        sched_yield();
        return;
    }
    timespec ts{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
        // interrupted by a signal: sleep the rest
    }
}

void set_tick_offset(uint32_t offset) { g_tick_offset.store(offset, std::memory_order_relaxed); }

}  // namespace ksw::platform
