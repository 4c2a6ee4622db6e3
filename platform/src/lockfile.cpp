#include "platform/lockfile.h"

#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/tick.h"

namespace ksw::platform {

FileLock::~FileLock() { unlock(); }

bool FileLock::try_lock(const std::string &path) {
    unlock();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error_number_ = errno;
        error_ = "cannot open lock file " + path + ": " + errno_text(errno);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error_number_ = errno;
        error_ = (errno == EWOULDBLOCK) ? "locked by another holder: " + path : "cannot lock " + path + ": " + errno_text(errno);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    error_number_ = 0;
    error_.clear();
    return true;
}

bool FileLock::lock(const std::string &path, uint32_t timeout_ms) {
    const uint32_t start = tick_count();
    for (;;) {
        if (try_lock(path)) return true;
        if (!contended()) return false;  // not contention: give up at once
        if (timeout_ms != kWaitForever && ticks_elapsed(start, timeout_ms)) return false;
        sleep_ms(2);
    }
}

void FileLock::unlock() {
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
    }
    fd_ = -1;
}

std::string runtime_dir(std::string *error) {
    std::string dir;
    const char *xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg && *xdg) {
        dir = std::string(xdg) + "/ksw";
        // A runtime folder named by the environment but not made yet is made private.
        if (!make_directories(xdg, 0700, error)) return {};
    } else {
        dir = "/tmp/ksw-" + std::to_string(::getuid());
    }
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        if (error) *error = "cannot create runtime folder " + dir + ": " + errno_text(errno);
        return {};
    }
    struct stat st{};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 0077) != 0) {
        if (error) *error = "runtime folder " + dir + " is not a private folder of this user";
        return {};
    }
    return dir;
}

int claim_instance_number(FileLock &lock, int count) {
    const std::string dir = runtime_dir();
    if (dir.empty()) return -1;
    for (int n = 0; n < count; ++n)
        if (lock.try_lock(dir + "/instance-" + std::to_string(n) + ".lock")) return n;
    return -1;
}

bool NamedFileMutex::open(const std::string &name, std::string *error) {
    const std::string dir = runtime_dir(error);
    if (dir.empty()) return false;
    path_ = dir + "/" + name + ".lock";
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error) *error = "cannot create " + path_ + ": " + errno_text(errno);
        path_.clear();
        return false;
    }
    ::close(fd);
    return true;
}

bool NamedFileMutex::acquire(uint32_t timeout_ms) {
    if (path_.empty()) return false;
    const uint32_t start = tick_count();
    const bool forever = timeout_ms == FileLock::kWaitForever;
    if (forever) {
        in_process_.lock();
    } else if (!in_process_.try_lock_for(std::chrono::milliseconds(timeout_ms))) {
        return false;
    }
    const uint32_t used = ticks_since(start);
    const uint32_t left = forever ? FileLock::kWaitForever : (used >= timeout_ms ? 0 : timeout_ms - used);
    if (!lock_.lock(path_, left)) {
        in_process_.unlock();
        return false;
    }
    return true;
}

void NamedFileMutex::release() {
    lock_.unlock();
    in_process_.unlock();
}

}  // namespace ksw::platform
