// Advisory file locks (flock) that stand in for the named objects several copies of the
// program share: the instance-number marks and the file mutex. The kernel drops a lock when
// its holder exits, even on a crash, so a dead copy never blocks a live one.
#pragma once

#include <cerrno>
#include <cstdint>
#include <mutex>

#include "platform/timed_lock.h"
#include <string>

namespace ksw::platform {

class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    // Takes an exclusive lock on `path` (created with mode 0600 when missing) without waiting.
    // False when another holder has it or the file cannot be opened (see error()).
    bool try_lock(const std::string &path);
    // Waits up to `timeout_ms` for the lock; kWaitForever waits without limit.
    static constexpr uint32_t kWaitForever = 0xFFFFFFFFu;
    bool lock(const std::string &path, uint32_t timeout_ms);
    void unlock();

    bool held() const { return fd_ >= 0; }
    const std::string &error() const { return error_; }
    // True when the last try failed because another holder has the lock (not for any other
    // reason, such as a file that cannot be opened).
    bool contended() const { return error_number_ == EWOULDBLOCK; }

private:
    int fd_ = -1;
    int error_number_ = 0;
    std::string error_;
};

// The runtime folder for sockets and lock files: $XDG_RUNTIME_DIR/ksw (a missing
// $XDG_RUNTIME_DIR is made too), else /tmp/ksw-<uid>, created with mode 0700. A folder that exists but belongs to another user, is a symbolic link
// or is open to others is refused (empty result, reason in `error`).
std::string runtime_dir(std::string *error = nullptr);

// Claims the lowest free instance number 0..count-1 by locking "instance-<n>.lock" in the
// runtime folder; the number stays claimed while `lock` holds it. -1 when all are taken.
int claim_instance_number(FileLock &lock, int count = 16);

// The named file mutex shared by all copies ("KSWFileMutexSystem"): a lock file of that name in
// the runtime folder, plus an in-process mutex so that threads of one copy exclude each other too.
class NamedFileMutex {
public:
    // Opens (creating when missing) the mutex; false when the runtime folder is unusable.
    bool open(const std::string &name, std::string *error = nullptr);
    // Waits up to `timeout_ms`; false on time-out.
    bool acquire(uint32_t timeout_ms);
    void release();
    bool is_open() const { return !path_.empty(); }

private:
    std::string path_;
    TimedLock in_process_;
    FileLock lock_;
};

}  // namespace ksw::platform
