#include "runtime/run_gate.h"

#include <chrono>

#include "platform/tick.h"

namespace ksw {

using platform::tick_count;
using platform::ticks_since;

void RunGate::halt() {
    std::lock_guard<std::mutex> lock(mutex_);
    flags_.fetch_or(kHalted, std::memory_order_acq_rel);
}

void RunGate::resume() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        flags_.fetch_and(~kHalted, std::memory_order_acq_rel);
    }
    changed_.notify_all();
}

void RunGate::abort() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        flags_.fetch_or(kAborted, std::memory_order_acq_rel);
    }
    changed_.notify_all();
}

void RunGate::reset() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        flags_.fetch_and(kRequest, std::memory_order_acq_rel);
    }
    changed_.notify_all();
}

int RunGate::parked_threads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return parked_;
}

void RunGate::park(std::unique_lock<std::mutex> &lock) {
    ++parked_;
    changed_.notify_all();
    changed_.wait(lock, [this] {
        const uint32_t flags = flags_.load(std::memory_order_acquire);
        return (flags & kHalted) == 0 || (flags & kAborted) != 0;
    });
    --parked_;
}

bool RunGate::slow_pass(uint32_t *parked_ms) {
    *parked_ms = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    const uint32_t flags = flags_.load(std::memory_order_acquire);
    if ((flags & kHalted) && !(flags & kAborted)) {
        const uint32_t start = tick_count();
        park(lock);
        *parked_ms = ticks_since(start);
    }
    return (flags_.load(std::memory_order_acquire) & kAborted) == 0;
}

bool RunGate::sleep(uint32_t ms) {
    const uint32_t start = tick_count();
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (flags_.load(std::memory_order_acquire) & kAborted) return false;
        const uint32_t passed = ticks_since(start);
        const bool halted = (flags_.load(std::memory_order_acquire) & kHalted) != 0;
        if (passed >= ms && !halted) return true;
        if (halted) {
            park(lock);
        } else {
            changed_.wait_for(lock, std::chrono::milliseconds(ms - passed));
        }
    }
}

int RunGate::wait_for(std::mutex &mutex, std::condition_variable &changed, const bool *signal, uint32_t timeout_ms) {
    uint32_t waited = 0;
    for (;;) {
        uint32_t parked = 0;
        if (!pass(&parked)) return -1;
        const uint32_t start = tick_count();
        {
            std::unique_lock<std::mutex> lock(mutex);
            const uint32_t left = timeout_ms > waited ? timeout_ms - waited : 0;
            const uint32_t slice = left < 10 ? left : 10;  // look at the gate now and then
            if (changed.wait_for(lock, std::chrono::milliseconds(slice), [signal] { return *signal; })) return 1;
        }
        waited += ticks_since(start);
        if (waited >= timeout_ms) return 0;
    }
}

}  // namespace ksw
