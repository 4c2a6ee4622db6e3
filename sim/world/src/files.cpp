#include "files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jigsim {
namespace {

std::string reason(const std::string &what, const std::string &path, int err) {
    char buf[256];
    const char *text = strerror_r(err, buf, sizeof buf);
    return what + " " + path + ": " + (text ? text : "error " + std::to_string(err));
}

// Opens `path` with `flags` and makes sure it is a regular file; -1 with the reason otherwise.
// O_NONBLOCK keeps a FIFO from waiting for its other end (a reader opening for writing fails with
// ENXIO, a reader opening for reading is refused as not a regular file).
int open_regular(const std::string &path, int flags, const char *what, std::string *error) {
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0) {
        *error = reason(std::string("cannot ") + what, path, errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = std::string("cannot ") + what + " " + path + ": not a regular file";
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

bool read_small_file(const std::string &path, size_t max_bytes, std::string *out, std::string *error) {
    out->clear();
    const int fd = open_regular(path, O_RDONLY, "read", error);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || static_cast<unsigned long long>(st.st_size) > max_bytes) {
        *error = "cannot read " + path + ": larger than " + std::to_string(max_bytes) + " bytes";
        ::close(fd);
        return false;
    }
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            *error = reason("cannot read", path, errno);
            ::close(fd);
            return false;
        }
        out->append(buf, static_cast<size_t>(n));
        if (out->size() > max_bytes) {  // the file grew while it was read
            *error = "cannot read " + path + ": larger than " + std::to_string(max_bytes) + " bytes";
            ::close(fd);
            return false;
        }
    }
    ::close(fd);
    return true;
}

std::string path_beside(const std::string &base_file, const std::string &name) {
    if (name.empty() || name.front() == '/') return name;
    const size_t slash = base_file.rfind('/');
    if (slash == std::string::npos) return name;
    return base_file.substr(0, slash + 1) + name;
}

bool OutputFile::open(const std::string &path, std::string *error) {
    close(nullptr);
    const int fd = open_regular(path, O_WRONLY | O_CREAT | O_TRUNC, "write", error);
    if (fd < 0) return false;
    file_ = ::fdopen(fd, "w");
    if (!file_) {
        *error = reason("cannot write", path, errno);
        ::close(fd);
        return false;
    }
    path_ = path;
    return true;
}

void OutputFile::write(std::string_view text) {
    if (file_) std::fwrite(text.data(), 1, text.size(), file_);
}

bool OutputFile::close(std::string *error) {
    if (!file_) return true;
    const bool failed = std::ferror(file_) != 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (failed || !closed) {
        if (error) *error = reason("cannot write", path_, failed ? EIO : errno);
        return false;
    }
    return true;
}

bool write_whole_file(const std::string &path, std::string_view text, std::string *error) {
    OutputFile file;
    if (!file.open(path, error)) return false;
    file.write(text);
    return file.close(error);
}

}  // namespace jigsim
