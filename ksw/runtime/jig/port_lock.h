// The port lock: one recursive lock that serialises every access to the jig's chips. Composite
// operations (latch writes, A/D reads, power-supply loading) take it around the whole sequence
// and the primitives take it again inside. A thread that must wait in the middle of a sequence
// (the A/D busy wait) gives back every level it holds, so the run gate can park it and other
// threads reach the jig meanwhile, and takes them again afterwards.
#pragma once

#include <atomic>
#include <mutex>
#include <thread>

namespace ksw {

class PortLock {
public:
    void lock() {
        const std::thread::id self = std::this_thread::get_id();
        if (owner_.load(std::memory_order_relaxed) == self) {
            ++depth_;
            return;
        }
        mutex_.lock();
        owner_.store(self, std::memory_order_relaxed);
        depth_ = 1;
    }
    void unlock() {
        if (--depth_ > 0) return;
        owner_.store(std::thread::id(), std::memory_order_relaxed);
        mutex_.unlock();
    }
    // Gives back every level the calling thread holds (it must hold the lock) and returns how
    // many, for reacquire().
    int release_all() {
        const int depth = depth_;
        depth_ = 0;
        owner_.store(std::thread::id(), std::memory_order_relaxed);
        mutex_.unlock();
        return depth;
    }
    void reacquire(int depth) {
        mutex_.lock();
        owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
        depth_ = depth;
    }
    // True when the calling thread holds the lock.
    bool held_here() const { return owner_.load(std::memory_order_relaxed) == std::this_thread::get_id(); }

private:
    std::mutex mutex_;
    std::atomic<std::thread::id> owner_{};
    int depth_ = 0;  // touched only by the owner
};

// Holds every level of the port lock given back for the length of a wait.
class PortLockReleased {
public:
    explicit PortLockReleased(PortLock &lock) : lock_(lock), depth_(lock.release_all()) {}
    ~PortLockReleased() { lock_.reacquire(depth_); }
    PortLockReleased(const PortLockReleased &) = delete;
    PortLockReleased &operator=(const PortLockReleased &) = delete;

private:
    PortLock &lock_;
    int depth_;
};

}  // namespace ksw
