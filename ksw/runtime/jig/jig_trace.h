// The decoded jig trace (ksw --jig-trace=FILE): every jig operation above the byte level, one a
// line, as it happens, with the step that was running and the time since the trace began:
//
//   step 3 +12.410ms out[28]=0x01FF
//   step 3 +12.502ms sw 67=0
//   step 4 +40.118ms ad ch0 r6 -> 0x0800
//
// Only the outermost operation of a thread is written (a latch write is one "latch[5]=0x10"
// line, not the port writes and strobes it is made of); a failed operation ends in " -> eNNN".
// Lines from several threads never mix. A write that fails (disk full, a reader gone) is
// reported once on stderr and the trace stops; the station goes on.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace ksw {

class JigTrace {
public:
    JigTrace() = default;
    ~JigTrace() { close(); }
    JigTrace(const JigTrace &) = delete;
    JigTrace &operator=(const JigTrace &) = delete;

    // Starts a trace into `path` (replaced when it is a file). False with the reason in
    // `error` when it cannot be opened (a folder, a FIFO nobody reads, no permission).
    bool open(const std::string &path, std::string *error);
    // Ends the trace and closes its file.
    void close();
    bool is_open() const { return fd_.load(std::memory_order_acquire) >= 0; }

    // Where the step number of each line comes from (the sequencer's status board); null
    // writes step 0.
    void set_step_source(const std::atomic<int> *step) { step_.store(step, std::memory_order_release); }

    // Writes one line for `operation`. Any thread.
    void write(std::string_view operation);

    // Lines written so far.
    uint64_t lines() const { return lines_.load(std::memory_order_relaxed); }

private:
    std::mutex mutex_;
    std::atomic<int> fd_{-1};
    std::atomic<const std::atomic<int> *> step_{nullptr};
    std::chrono::steady_clock::time_point start_{};
    std::atomic<uint64_t> lines_{0};
};

}  // namespace ksw
