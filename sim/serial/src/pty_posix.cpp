// Pseudo-terminals over the POSIX calls; the only file of the serial peer with OS headers.
#include "pty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace ksw::sim {
namespace {

void close_fd(int *fd) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
}

std::string errno_reason(const char *what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

Pty::~Pty() {
    close();
    close_fd(&wake_read_);
    close_fd(&wake_write_);
}

bool Pty::open(bool cooked, std::string *error) {
    int wake[2];
    if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (error) *error = errno_reason("pipe");
        return false;
    }
    wake_read_ = wake[0];
    wake_write_ = wake[1];
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
        if (error) *error = errno_reason("pseudo-terminal");
        close();
        return false;
    }
    slave_path_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    termios t{};
    if (slave_ < 0 || tcgetattr(slave_, &t) != 0) {
        if (error) *error = errno_reason(name);
        close();
        return false;
    }
    if (cooked) {
        t.c_iflag |= ICRNL;
        t.c_oflag |= OPOST | ONLCR;
        t.c_lflag |= ICANON | ECHO | ECHOE | ISIG | IEXTEN;
    } else {
        cfmakeraw(&t);
    }
    tcsetattr(slave_, TCSANOW, &t);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    return true;
}

Pty::Read Pty::read(uint8_t *buffer, size_t capacity, size_t *got, int timeout_ms) {
    *got = 0;
    for (;;) {
        pollfd p[2] = {{master_, POLLIN, 0}, {wake_read_, POLLIN, 0}};
        const int r = poll(p, 2, timeout_ms);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return Read::failed;
        if (p[1].revents) return Read::woken;
        if (r == 0) return Read::timed_out;
        const ssize_t n = ::read(master_, buffer, capacity);
        if (n > 0) {
            *got = static_cast<size_t>(n);
            return Read::data;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        return Read::failed;
    }
}

bool Pty::write_all(const uint8_t *data, size_t n) {
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(master_, data + done, n - done);
        if (w > 0) {
            done += static_cast<size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && errno != EAGAIN) return false;
        pollfd p[2] = {{master_, POLLOUT, 0}, {wake_read_, POLLIN, 0}};
        if (poll(p, 2, -1) < 0 && errno != EINTR) return false;
        if (p[1].revents) return false;
    }
    return true;
}

bool Pty::pause(uint32_t ms) {
    pollfd p{wake_read_, POLLIN, 0};
    const int r = poll(&p, 1, static_cast<int>(ms > 0x7fffffffu ? 0x7fffffffu : ms));
    return r == 0 || (r < 0 && errno == EINTR);
}

void Pty::wake() {
    const char byte = 1;
    if (wake_write_ >= 0) (void)!::write(wake_write_, &byte, 1);
}

void Pty::close() {
    close_fd(&slave_);
    close_fd(&master_);
}

}  // namespace ksw::sim
