#include "coded_io.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "zelcode.h"

namespace zelcode {
namespace {

// open() flags for an access code, or -1 for an unknown one.
int access_flags(unsigned access) {
    switch (access) {
    case ZELCODE_GENERIC_READ: return O_RDONLY;
    case ZELCODE_GENERIC_WRITE: return O_WRONLY;
    case ZELCODE_GENERIC_READ | ZELCODE_GENERIC_WRITE: return O_RDWR;
    default: return -1;
    }
}

// open() flags for a creation disposition, or -1 for an unknown one.
int disposition_flags(unsigned disposition) {
    switch (disposition) {
    case ZELCODE_CREATE_NEW: return O_CREAT | O_EXCL;
    case ZELCODE_CREATE_ALWAYS: return O_CREAT | O_TRUNC;
    case ZELCODE_OPEN_EXISTING: return 0;
    case ZELCODE_OPEN_ALWAYS: return O_CREAT;
    case ZELCODE_TRUNCATE_EXISTING: return O_TRUNC;
    default: return -1;
    }
}

}  // namespace

std::string system_error_text(int err) {
    char buffer[256];
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char *text = strerror_r(err, buffer, sizeof buffer);
    return text != nullptr ? text : "error " + std::to_string(err);
}

// Opens `path` as the access and disposition codes say; -1 on any refusal.
int open_file(const char *path, unsigned access, unsigned disposition, std::string *reason) {
    const int mode_flags = access_flags(access);
    const int create_flags = disposition_flags(disposition);
    if (mode_flags < 0 || create_flags < 0 || (disposition == ZELCODE_TRUNCATE_EXISTING && mode_flags == O_RDONLY)) {
        *reason = "unknown access or disposition";
        return -1;
    }
    int fd;
    do {
        // O_NONBLOCK: a FIFO must not hold the open until a peer comes.
        fd = ::open(path, mode_flags | create_flags | O_CLOEXEC | O_NONBLOCK, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        *reason = system_error_text(errno);
        return -1;
    }
    struct stat info {};
    if (mode_flags == O_RDONLY && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        *reason = S_ISDIR(info.st_mode) ? "is a folder" : "is not a regular file";
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// Reads exactly out.size() bytes at `offset`.
IoResult read_at(int fd, uint64_t offset, std::span<uint8_t> out) {
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t got = ::pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return kIoFailed;
        if (got == 0) return kIoShort;
        done += static_cast<size_t>(got);
    }
    return kIoOk;
}

// Writes all of `data` at `offset`.
IoResult write_at(int fd, uint64_t offset, std::span<const uint8_t> data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t put = ::pwrite(fd, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return kIoFailed;
        done += static_cast<size_t>(put);
    }
    return kIoOk;
}

// The size of the open file, or -1.
int64_t file_size(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return -1;
    return static_cast<int64_t>(info.st_size);
}

// Cuts a longer regular file down to `size`.
bool cut_to_size(int fd, int64_t size) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return false;
    if (!S_ISREG(info.st_mode) || info.st_size <= size) return true;
    return ::ftruncate(fd, static_cast<off_t>(size)) == 0;
}

// Closes the descriptor; EINTR still releases it, so it is not retried.
bool close_file(int fd) { return ::close(fd) == 0 || errno == EINTR; }

}  // namespace zelcode
