// Reading lines from a file descriptor, and splitting file names.
#include <atomic>
#include <cerrno>
#include <mutex>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "zelw.h"

namespace {

// A byte given back to a descriptor that cannot seek, with the file it was read from.
struct PushedByte {
    int fd;
    dev_t device;
    ino_t inode;
    unsigned char byte;
};

// The bytes given back to descriptors that cannot seek (pipes, terminals, sockets); one instance.
struct PushBackTable {
    std::mutex lock;
    std::vector<PushedByte> bytes;
    std::atomic<int> count{0};
};
PushBackTable g_push_back;

enum class ReadResult { kByte, kEnd, kError };

// True when fd still refers to the file the byte was read from (the descriptor was not reused).
bool same_file(int fd, const PushedByte &pushed) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && st.st_dev == pushed.device && st.st_ino == pushed.inode;
}

// Takes the byte given back to fd into *byte; false when there is none.
bool take_pushed(int fd, unsigned char *byte) {
    if (g_push_back.count.load() == 0) return false;
    std::lock_guard<std::mutex> guard(g_push_back.lock);
    for (auto it = g_push_back.bytes.begin(); it != g_push_back.bytes.end(); ++it) {
        if (it->fd != fd) continue;
        const bool valid = same_file(fd, *it);
        *byte = it->byte;
        g_push_back.bytes.erase(it);
        g_push_back.count.fetch_sub(1);
        return valid;
    }
    return false;
}

// Gives a byte just read back to fd: moves its position back by one, or keeps the byte for the
// next read when fd cannot seek.
void give_back(int fd, unsigned char byte) {
    if (::lseek(fd, -1, SEEK_CUR) != static_cast<off_t>(-1)) return;
    struct stat st {};
    if (::fstat(fd, &st) != 0) return;
    std::lock_guard<std::mutex> guard(g_push_back.lock);
    for (PushedByte &pushed : g_push_back.bytes) {
        if (pushed.fd != fd) continue;
        pushed = PushedByte{fd, st.st_dev, st.st_ino, byte};
        return;
    }
    g_push_back.bytes.push_back(PushedByte{fd, st.st_dev, st.st_ino, byte});
    g_push_back.count.fetch_add(1);
}

// Reads one byte of fd (a byte given back first).
ReadResult read_byte(int fd, unsigned char *byte) {
    if (take_pushed(fd, byte)) return ReadResult::kByte;
    for (;;) {
        const ssize_t n = ::read(fd, byte, 1);
        if (n == 1) return ReadResult::kByte;
        if (n == 0) return ReadResult::kEnd;
        if (errno != EINTR) return ReadResult::kError;
    }
}

// After a CR: keeps a following LF in buf, gives any other byte back. False on a read error.
bool finish_after_cr(int fd, char *buf, int *stored) {
    unsigned char next = 0;
    const ReadResult r = read_byte(fd, &next);
    if (r == ReadResult::kError) return false;
    if (r == ReadResult::kEnd) return true;
    if (next == '\n') buf[(*stored)++] = '\n';
    else give_back(fd, next);
    return true;
}

// True for a character that separates folders in a path.
bool is_separator(char c) { return c == '\\' || c == '/'; }

}  // namespace

// One line of fd ending in CR, CR LF, end of file or len bytes, into buf (len + 2 bytes).
ZELW_API char *fGets(char *buf, int len, int fd) {
    if (!buf || len < 0) return nullptr;
    int stored = 0;
    while (stored < len) {
        unsigned char c = 0;
        const ReadResult r = read_byte(fd, &c);
        if (r != ReadResult::kByte) {
            buf[stored] = 0;
            return r == ReadResult::kEnd && stored > 0 ? buf : nullptr;
        }
        buf[stored++] = static_cast<char>(c);
        if (c != '\r') continue;
        const bool ok = finish_after_cr(fd, buf, &stored);
        buf[stored] = 0;
        return ok ? buf : nullptr;
    }
    buf[stored] = 0;
    return buf;
}

// The last "." of path when no separator follows it, else its terminator.
ZELW_API const char *GetExtention(const char *path) {
    if (!path) return nullptr;
    const char *dot = nullptr;
    const char *p = path;
    for (; *p != 0; ++p) {
        if (*p == '.') dot = p;
        else if (is_separator(*p)) dot = nullptr;
    }
    return dot ? dot : p;
}

// The file name behind the last separator of path, or path itself.
ZELW_API const char *GetFilename(const char *path) {
    if (!path) return nullptr;
    const char *name = path;
    for (const char *p = path; *p != 0; ++p)
        if (is_separator(*p)) name = p + 1;
    return name;
}
