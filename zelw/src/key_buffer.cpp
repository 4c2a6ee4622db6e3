// The key buffer: a ring of bytes behind one lock. The window thread appends the operator's
// keys, the sequencer thread reads them; a call that cannot get the lock within 5000 ms fails
// without touching the ring.
#include <chrono>
#include <mutex>
#include <vector>

#include "platform/timed_lock.h"
#include "zelw.h"

namespace {

using ksw::platform::TimedGuard;
using ksw::platform::TimedLock;

struct KeyRing {
    TimedLock lock;
    std::vector<unsigned char> bytes;  // empty: no buffer open
    size_t read = 0;
    size_t count = 0;
};

KeyRing &ring() {
    static KeyRing instance;
    return instance;
}

constexpr auto kLockWait = std::chrono::milliseconds(5000);

// Runs `action` on the open ring under its lock; `failed` when locked out or closed.
template <typename F>
int with_ring(int failed, F action) {
    KeyRing &r = ring();
    TimedGuard guard(r.lock, kLockWait);
    if (!guard.owns_lock() || r.bytes.empty()) return failed;
    return action(r);
}

}  // namespace

ZELW_API int OpenKeyBuffer(int capacity) {
    if (capacity < 1) return 0;
    KeyRing &r = ring();
    TimedGuard guard(r.lock, kLockWait);
    if (!guard.owns_lock()) return 0;
    r.bytes.assign(static_cast<size_t>(capacity), 0);
    r.read = r.count = 0;
    return 1;
}

ZELW_API int SaveKeyBuffer(int key) {
    return with_ring(0, [key](KeyRing &r) {
        if (r.count == r.bytes.size()) return 0;
        r.bytes[(r.read + r.count) % r.bytes.size()] = static_cast<unsigned char>(key);
        ++r.count;
        return 1;
    });
}

ZELW_API int GetKeyBuffer(void) {
    return with_ring(-1, [](KeyRing &r) {
        if (r.count == 0) return -1;
        const int key = r.bytes[r.read];
        r.read = (r.read + 1) % r.bytes.size();
        --r.count;
        return key;
    });
}

ZELW_API int CheckKeyBuffer(void) {
    return with_ring(-1, [](KeyRing &r) { return r.count == 0 ? -1 : static_cast<int>(r.bytes[r.read]); });
}

ZELW_API int SearchKeyBuffer(int key) {
    return with_ring(0, [key](KeyRing &r) {
        for (size_t i = 0; i < r.count; ++i)
            if (r.bytes[(r.read + i) % r.bytes.size()] == static_cast<unsigned char>(key)) return 1;
        return 0;
    });
}

ZELW_API int ClearKeyBuffer(void) {
    return with_ring(0, [](KeyRing &r) {
        r.read = r.count = 0;
        return 1;
    });
}

ZELW_API int CloseKeyBuffer(void) {
    KeyRing &r = ring();
    TimedGuard guard(r.lock, kLockWait);
    r.bytes.clear();
    r.bytes.shrink_to_fit();
    r.read = r.count = 0;
    return 0;
}
