#include "platform/raw_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"

namespace ksw::platform {
namespace {

void set_reason(std::string *error, const std::string &reason) {
    if (error) *error = reason;
}

// Stores the system's failure `err` as text and as a code.
void set_failure(std::string *error, int *error_code, int err) {
    set_reason(error, errno_text(err));
    if (error_code) *error_code = err;
}

// Closes a descriptor that was opened but is not to be used, with the reason; returns -1.
int refuse(int fd, std::string *error, const std::string &reason) {
    set_reason(error, reason);
    ::close(fd);
    return -1;
}

// A descriptor opened with O_NONBLOCK (so that opening a FIFO never waits) made blocking again.
int blocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

}  // namespace

int open_regular_file(const std::string &path, std::string *error, int *error_code) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer before it can be refused.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        set_failure(error, error_code, errno);
        return -1;
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0) {
        set_failure(error, error_code, errno);
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        if (error_code) *error_code = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return refuse(fd, error, S_ISDIR(st.st_mode) ? "is a folder" : "is not a regular file");
    }
    return blocking(fd);
}

int open_output_stream(const std::string &path, std::string *error) {
    // O_NONBLOCK: a FIFO nobody reads fails with ENXIO instead of blocking the open.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0) {
        set_reason(error, errno == ENXIO    ? "is a FIFO that nobody reads"
                          : errno == EISDIR ? "is a folder"
                                            : errno_text(errno));
        return -1;
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0) return refuse(fd, error, errno_text(errno));
    if (S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) return refuse(fd, error, errno_text(errno));
    return blocking(fd);
}

// Opens `path` with `flags` and keeps it only when it is a regular file; never waits on a FIFO.
static int open_regular_with(const std::string &path, int flags, std::string *error) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
    if (fd < 0) {
        set_reason(error, errno == ENXIO ? "is not a regular file" : errno == EISDIR ? "is a folder" : errno_text(errno));
        return -1;
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0) return refuse(fd, error, errno_text(errno));
    if (!S_ISREG(st.st_mode)) return refuse(fd, error, "is not a regular file");
    return blocking(fd);
}

int open_append_file(const std::string &path, std::string *error) {
    return open_regular_with(path, O_WRONLY | O_CREAT | O_APPEND, error);
}

int open_existing_file_rw(const std::string &path, std::string *error) { return open_regular_with(path, O_RDWR, error); }

bool truncate_file(int fd, int64_t size, std::string *error) {
    if (::ftruncate(fd, static_cast<off_t>(size)) == 0) return true;
    set_reason(error, errno_text(errno));
    return false;
}

int create_new_file(const std::string &path, unsigned mode, std::string *error, int *error_code) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, static_cast<mode_t>(mode));
    if (fd < 0) set_failure(error, error_code, errno);
    return fd;
}

int64_t file_size(int fd) {
    struct stat st{};
    return ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

long read_some(int fd, void *buffer, size_t size, std::string *error) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        set_reason(error, errno_text(errno));
        return -1;
    }
}

bool write_all(int fd, const void *data, size_t size, std::string *error) {
    const char *bytes = static_cast<const char *>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            set_reason(error, n < 0 ? errno_text(errno) : std::string("nothing written"));
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool seek_to(int fd, int64_t position) { return ::lseek(fd, static_cast<off_t>(position), SEEK_SET) >= 0; }

bool sync_file(int fd, std::string *error) {
    if (::fsync(fd) == 0) return true;
    set_reason(error, errno_text(errno));
    return false;
}

bool sync_folder(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool close_file(int fd, std::string *error) {
    if (::close(fd) == 0) return true;
    set_reason(error, errno_text(errno));
    return false;
}

bool remove_file(const std::string &path, std::string *error) {
    if (::unlink(path.c_str()) == 0) return true;
    if (errno != ENOENT) set_reason(error, errno_text(errno));
    return false;
}

bool rename_file(const std::string &from, const std::string &to, std::string *error) {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    set_reason(error, errno_text(errno));
    return false;
}

long process_id() { return static_cast<long>(::getpid()); }

}  // namespace ksw::platform
