// A lock that can be waited for with a time-out. It is built on a condition variable rather
// than std::timed_mutex, whose timed wait thread checkers of this toolchain do not follow.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace ksw::platform {

class TimedLock {
public:
    // Takes the lock, waiting up to `wait`; false when it could not be had in time.
    bool try_lock_for(std::chrono::milliseconds wait) {
        std::unique_lock<std::mutex> guard(mutex_);
        if (!free_.wait_for(guard, wait, [this] { return !held_; })) return false;
        held_ = true;
        return true;
    }
    void lock() {
        std::unique_lock<std::mutex> guard(mutex_);
        free_.wait(guard, [this] { return !held_; });
        held_ = true;
    }
    void unlock() {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            held_ = false;
        }
        free_.notify_one();
    }

private:
    std::mutex mutex_;
    std::condition_variable free_;
    bool held_ = false;
};

// Holds a TimedLock for a scope when it could be had in time.
class TimedGuard {
public:
    TimedGuard(TimedLock &lock, std::chrono::milliseconds wait) : lock_(lock), owns_(lock.try_lock_for(wait)) {}
    ~TimedGuard() {
        if (owns_) lock_.unlock();
    }
    TimedGuard(const TimedGuard &) = delete;
    TimedGuard &operator=(const TimedGuard &) = delete;
    bool owns_lock() const { return owns_; }

private:
    TimedLock &lock_;
    bool owns_;
};

}  // namespace ksw::platform
