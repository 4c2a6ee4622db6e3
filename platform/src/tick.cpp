#include "platform/tick.h"

#include <atomic>
#include <sched.h>
#include <time.h>

namespace ksw::platform {
namespace {
std::atomic<uint32_t> g_tick_offset{0};
std::atomic<bool> g_manual{false};
std::atomic<uint32_t> g_manual_ms{0};
}  // namespace

uint32_t tick_count() {
    if (g_manual.load(std::memory_order_acquire))
        return g_manual_ms.load(std::memory_order_acquire) + g_tick_offset.load(std::memory_order_relaxed);
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms) + g_tick_offset.load(std::memory_order_relaxed);
}

void sleep_ms(uint32_t ms) {
    if (g_manual.load(std::memory_order_acquire)) {
        g_manual_ms.fetch_add(ms, std::memory_order_acq_rel);
        sched_yield();
        return;
    }
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

void use_manual_clock(bool on) {
    if (on) g_manual_ms.store(tick_count(), std::memory_order_release);
    g_manual.store(on, std::memory_order_release);
}

void advance_manual_clock(uint32_t ms) { g_manual_ms.fetch_add(ms, std::memory_order_acq_rel); }

}  // namespace ksw::platform
