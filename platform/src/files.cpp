#include "platform/files.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/raw_file.h"

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

std::string too_large_text(int64_t size, size_t limit) {
    return "too large (" + std::to_string(size) + " bytes; at most " + std::to_string(limit) + ")";
}

}  // namespace

bool is_regular_file(const std::string &path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool stdin_is_terminal() { return ::isatty(STDIN_FILENO) == 1; }
bool stdout_is_terminal() { return ::isatty(STDOUT_FILENO) == 1; }

bool read_file(const std::string &path, std::string *out, std::string *error, int *error_code, size_t max_size) {
    out->clear();
    std::string reason;
    int code = 0;
    const auto failed = [&](const std::string &what) {
        if (error) *error = what + " " + path + ": " + reason;
        if (error_code) *error_code = code;
        out->clear();
        return false;
    };
    const int fd = open_regular_file(path, &reason, &code);
    if (fd < 0) return failed("cannot open");
    const int64_t size = file_size(fd);
    if (size < 0 || static_cast<uint64_t>(size) > max_size) {
        close_file(fd);
        code = size < 0 ? EIO : EFBIG;
        reason = size < 0 ? errno_text(code) : too_large_text(size, max_size);
        return failed("cannot read");
    }
    out->reserve(static_cast<size_t>(size));
    char buf[65536];
    for (;;) {
        const long n = read_some(fd, buf, sizeof buf, &reason);
        if (n == 0) break;
        if (n < 0 || out->size() + static_cast<size_t>(n) > max_size) {
            close_file(fd);
            code = n < 0 ? EIO : EFBIG;
            if (n > 0) reason = "it grew beyond " + std::to_string(max_size) + " bytes while it was read";
            return failed("cannot read");
        }
        out->append(buf, static_cast<size_t>(n));
    }
    close_file(fd);
    if (error_code) *error_code = 0;
    return true;
}

void ignore_file_size_signal() {
    struct sigaction action{};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGXFSZ, &action, nullptr);
}

namespace {

constexpr int kMaxLinks = 40;

// The file a write to `path` lands in: every symbolic link at the end of the path followed (a
// relative link counts from the link's own folder); a missing file is its own target. False
// with the reason in `reason` for a loop of links or a link that cannot be read.
bool follow_links(const std::string &path, std::string *target, std::string *reason) {
    std::string current = path;
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        struct stat st{};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            *target = current;
            return true;
        }
        char link[4096];
        const ssize_t n = ::readlink(current.c_str(), link, sizeof link);
        if (n < 0 || static_cast<size_t>(n) == sizeof link) {
            *reason = errno_text(n < 0 ? errno : ENAMETOOLONG);
            return false;
        }
        const std::string next(link, static_cast<size_t>(n));
        const size_t slash = current.rfind('/');
        current = ((!next.empty() && next.front() == '/') || slash == std::string::npos) ? next : current.substr(0, slash + 1) + next;
    }
    *reason = errno_text(ELOOP);
    return false;
}

// Creates the temporary file beside `target`: "<target>.tmp.<pid>.<n>", created exclusively and
// never through a link; a name that is taken (a stale file, or a link planted there) is skipped.
int create_temp_beside(const std::string &target, unsigned mode, std::string *temp, std::string *reason) {
    const std::string stem = target + ".tmp." + std::to_string(::getpid()) + ".";
    for (int n = 0; n < 100; ++n) {
        *temp = stem + std::to_string(n);
        int code = 0;
        const int fd = create_new_file(*temp, mode, reason, &code);
        if (fd >= 0 || code != EEXIST) return fd;
    }
    return -1;
}

// Gives the new file `fd` the owner and permission bits of the file it replaces.
bool keep_identity(int fd, const struct stat &old, std::string *reason) {
    struct stat now{};
    if (::fstat(fd, &now) != 0) {
        *reason = errno_text(errno);
        return false;
    }
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) && ::fchown(fd, old.st_uid, old.st_gid) != 0) {
        *reason = "cannot keep its owner: " + errno_text(errno);
        return false;
    }
    // After the owner: a change of owner clears the set-id bits.
    if (::fchmod(fd, old.st_mode & 07777) != 0) {
        *reason = "cannot keep its permissions: " + errno_text(errno);
        return false;
    }
    return true;
}

}  // namespace

bool write_file_atomic(const std::string &path, std::string_view data, std::string *error, LinkPolicy links) {
    std::string reason;
    const auto failed = [&](const std::string &what) {
        if (error) *error = what + " " + path + ": " + reason;
        return false;
    };
    std::string target = path;
    if (links == LinkPolicy::kFollow && !follow_links(path, &target, &reason)) return failed("cannot follow the link");
    struct stat old{};
    bool exists = ::stat(target.c_str(), &old) == 0;
    if (links == LinkPolicy::kReplace) {
        // A link standing at `path` is replaced by the new file; what it points to is left alone.
        struct stat own{};
        if (::lstat(target.c_str(), &own) == 0 && S_ISLNK(own.st_mode)) {
            exists = false;
            errno = ENOENT;
        }
    }
    if (!exists && errno != ENOENT) {
        reason = errno_text(errno);
        return failed("cannot replace");
    }
    if (exists && !S_ISREG(old.st_mode)) {
        reason = S_ISDIR(old.st_mode) ? "is a folder" : "is not a regular file";
        return failed("cannot replace");
    }
    ignore_file_size_signal();
    std::string temp;
    // Private until it has the old file's owner and permissions.
    const int fd = create_temp_beside(target, exists ? 0600 : 0644, &temp, &reason);
    if (fd < 0) return failed("cannot create a temporary file beside");
    bool ok = (!exists || keep_identity(fd, old, &reason)) && write_all(fd, data.data(), data.size(), &reason) &&
              sync_file(fd, &reason);
    ok = close_file(fd, ok ? &reason : nullptr) && ok;
    ok = ok && rename_file(temp, target, &reason);
    if (!ok) {
        remove_file(temp);
        return failed("cannot write");
    }
    sync_folder(directory_of(target));
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

std::string platform_path(std::string_view name) {
    std::string path(name);
    for (char &c : path)
        if (c == '\\') c = '/';
    return path;
}

std::string directory_of(std::string_view path) {
    const size_t cut = path.find_last_of("/\\");
    if (cut == std::string_view::npos) return ".";
    if (cut == 0) return std::string(path.substr(0, 1));
    return std::string(path.substr(0, cut));
}

}  // namespace ksw::platform
