// Halting and aborting a run without suspending or killing its threads. The sequencer and the
// link members pass the gate at every checkpoint: before each command and each pass, and inside
// every wait, sleep and poll. While the gate is halted a thread that reaches it parks there;
// resuming releases it; an abort makes every checkpoint answer "stop", so the thread unwinds
// with its result. Checkpoints are never passed while a device section is held, so a parked
// thread holds no device.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace ksw {

class RunGate {
public:
    // Main thread side.
    void halt();
    void resume();
    void abort();
    void reset();  // a new run: open, not aborted (a pending request stays pending)
    // Marks that the main thread left a request for the sequencer; its next checkpoint sees it.
    void post_request() { flags_.fetch_or(kRequest, std::memory_order_acq_rel); }
    bool halted() const { return (flags_.load(std::memory_order_acquire) & kHalted) != 0; }
    bool requests_pending() const { return (flags_.load(std::memory_order_acquire) & kRequest) != 0; }
    // Sequencer side: the requests are being taken now.
    void clear_requests() { flags_.fetch_and(~kRequest, std::memory_order_acq_rel); }
    bool aborted() const { return (flags_.load(std::memory_order_acquire) & kAborted) != 0; }
    int parked_threads() const;

    // Sequencer side. Passes the gate: parks while halted. Returns false when the run is
    // aborted. `*parked_ms` receives the milliseconds spent parked (0 on the fast path).
    bool pass(uint32_t *parked_ms) {
        if (flags_.load(std::memory_order_acquire) == 0) {
            *parked_ms = 0;
            return true;
        }
        return slow_pass(parked_ms);
    }
    // Sleeps until `ms` have passed since the call, parking when halted (the halted time
    // counts, as for a sleeping thread that was suspended). False when aborted.
    bool sleep(uint32_t ms);
    // Waits up to `timeout_ms` (halted time not counted) for `*signal` to be set under `mutex`,
    // notified through `changed`. Returns 1 signalled, 0 timed out, -1 aborted.
    int wait_for(std::mutex &mutex, std::condition_variable &changed, const bool *signal, uint32_t timeout_ms);

private:
    static constexpr uint32_t kHalted = 1;
    static constexpr uint32_t kAborted = 2;
    static constexpr uint32_t kRequest = 4;
    bool slow_pass(uint32_t *parked_ms);
    // Waits on `lock` while halted and not aborted.
    void park(std::unique_lock<std::mutex> &lock);

    std::atomic<uint32_t> flags_{0};
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int parked_ = 0;
};

}  // namespace ksw
