#include "platform/files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ksw::platform {

std::string errno_text(int err) {
    char buf[256];
    // GNU strerror_r may return a static string instead of filling buf.
    const char *text = strerror_r(err, buf, sizeof buf);
    return text ? std::string(text) : std::string("error ") + std::to_string(err);
}

namespace {
void set_error(std::string *error, const std::string &what, const std::string &path, int err) {
    if (error) *error = what + " " + path + ": " + errno_text(err);
}
}  // namespace

bool is_regular_file(const std::string &path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool stdin_is_terminal() { return ::isatty(STDIN_FILENO) == 1; }

bool read_file(const std::string &path, std::string *out, std::string *error, int *error_code) {
    out->clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (error_code) *error_code = errno;
        set_error(error, "cannot open", path, errno);
        return false;
    }
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            if (error_code) *error_code = errno;
            set_error(error, "cannot read", path, errno);
            ::close(fd);
            return false;
        }
        out->append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    if (error_code) *error_code = 0;
    return true;
}

bool write_file_atomic(const std::string &path, std::string_view data, std::string *error) {
    const std::string temp = path + ".tmp." + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        set_error(error, "cannot create", temp, errno);
        return false;
    }
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            set_error(error, "cannot write", temp, errno);
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        set_error(error, "cannot flush", temp, errno);
        ::unlink(temp.c_str());
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        set_error(error, "cannot replace", path, errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

bool make_directories(const std::string &path, unsigned mode, std::string *error) {
    if (path.empty()) return true;
    std::string partial;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty()) continue;
        if (::mkdir(partial.c_str(), mode) != 0 && errno != EEXIST) {
            set_error(error, "cannot create folder", partial, errno);
            return false;
        }
    }
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (error) *error = "not a folder: " + path;
        return false;
    }
    return true;
}

std::string executable_path() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<size_t>(n));
}

std::string executable_dir() { return directory_of(executable_path()); }

std::string_view file_name_of(std::string_view path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string directory_of(std::string_view path) {
    const size_t cut = path.find_last_of("/\\");
    if (cut == std::string_view::npos) return ".";
    if (cut == 0) return std::string(path.substr(0, 1));
    return std::string(path.substr(0, cut));
}

}  // namespace ksw::platform
