// Serial lines over termios. The only file of the library that includes the OS headers.
//
// The descriptor is non-blocking and every wait is a poll() with a deadline, so a line that
// stops answering or disappears ends a call within its time-out instead of blocking it.
// VMIN = 1 keeps read() == 0 for a hung-up line only (a live raw line with nothing queued
// gives EAGAIN).
#include "serial_line.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "platform/tick.h"

namespace comkit {
namespace {

using ksw::platform::sleep_ms;
using ksw::platform::tick_count;
using ksw::platform::ticks_since;

// The kernel's own termios record, which carries any baud rate (BOTHER). <asm/termbits.h>
// clashes with <termios.h>, so the layout and the two flags are repeated here, for the
// architectures that share the generic layout; TCGETS2/TCSETS2 take the record's size.
#if defined(__linux__) && defined(TCSETS2) && \
    (defined(__x86_64__) || defined(__i386__) || defined(__aarch64__) || defined(__arm__) || defined(__riscv))
constexpr tcflag_t BOTHER = 0010000;
constexpr int IBSHIFT = 16;
struct termios2 {
    tcflag_t c_iflag, c_oflag, c_cflag, c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
    speed_t c_ispeed, c_ospeed;
};
#define COMKIT_ANY_BAUD 1
#endif

struct StandardRate {
    int32_t rate;
    speed_t code;
};
constexpr StandardRate kStandardRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

bool standard_rate(int32_t rate, speed_t *code) {
    for (const StandardRate &r : kStandardRates) {
        if (r.rate == rate) {
            *code = r.code;
            return true;
        }
    }
    return false;
}

// A rate termios has no constant for (14400 from the settings dialog, for one).
bool set_other_rate(int fd, int32_t rate) {
#ifdef COMKIT_ANY_BAUD
    termios2 t2{};
    if (ioctl(fd, TCGETS2, &t2) != 0) return false;
    t2.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    t2.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t2.c_ispeed = t2.c_ospeed = static_cast<speed_t>(rate);
    return ioctl(fd, TCSETS2, &t2) == 0;
#else
    (void)fd;
    (void)rate;
    return false;
#endif
}

// Raw mode with the record's frame: no echo, no line editing, no CR/NL translation, no
// software flow control, breaks and parity errors arrive as bytes. Other bits stay as they were.
bool frame_bits(const LineSettings &s, bool cts_flow, termios *t) {
    tcflag_t size = 0;
    switch (s.byte_size) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: return false;
    }
    tcflag_t parity = 0;
    switch (s.parity) {
    case 0: break;
    case 1: parity = PARENB | PARODD; break;
    case 2: parity = PARENB; break;
    case 3: parity = PARENB | CMSPAR | PARODD; break;
    case 4: parity = PARENB | CMSPAR; break;
    default: return false;
    }
    if (s.stop_bits > 2) return false;
    // The UART sends 1.5 stop bits for "two" when the frame has five data bits.
    const tcflag_t stop = s.stop_bits == 0 ? 0 : CSTOPB;

    t->c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                         IXOFF | IXANY | IMAXBEL | IUTF8);
    t->c_iflag |= INPCK;
    t->c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t->c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN | NOFLSH | TOSTOP);
    t->c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t->c_cflag |= CREAD | CLOCAL | size | parity | stop | (cts_flow ? CRTSCTS : 0);
    t->c_cc[VMIN] = 1;
    t->c_cc[VTIME] = 0;
    return true;
}

bool read_counters(int fd, LineCounters *out) {
    serial_icounter_struct c{};
    if (ioctl(fd, TIOCGICOUNT, &c) != 0) return false;
    out->frame = static_cast<uint32_t>(c.frame);
    out->overrun = static_cast<uint32_t>(c.overrun);
    out->parity = static_cast<uint32_t>(c.parity);
    out->brk = static_cast<uint32_t>(c.brk);
    out->buffer_overrun = static_cast<uint32_t>(c.buf_overrun);
    return true;
}

bool configure(int fd, const LineSettings &s, bool modem) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return false;
    if (s.baud_rate <= 0 || !frame_bits(s, modem, &t)) return false;
    speed_t code = B0;
    const bool standard = standard_rate(s.baud_rate, &code);
    if (standard && (cfsetispeed(&t, code) != 0 || cfsetospeed(&t, code) != 0)) return false;
    if (tcsetattr(fd, TCSANOW, &t) != 0) {
        // Some adapters refuse hardware flow control as a whole; the line works without it.
        if (!modem) return false;
        t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
        if (tcsetattr(fd, TCSANOW, &t) != 0) return false;
    }
    return standard || set_other_rate(fd, s.baud_rate);
}

// Polls for `events` up to `ms`; ready when one came, failed on hang-up or error without it.
Wait wait_for(int fd, short events, uint32_t ms) {
    const uint32_t start = tick_count();
    for (;;) {
        const uint32_t elapsed = ticks_since(start);
        const uint32_t left = elapsed >= ms ? 0 : ms - elapsed;
        pollfd p{fd, events, 0};
        const int r = poll(&p, 1, left > INT_MAX ? INT_MAX : static_cast<int>(left));
        if (r < 0) {
            if (errno == EINTR) continue;
            return Wait::failed;
        }
        if (r == 0) {
            if (left == 0 || ticks_since(start) >= ms) return Wait::timed_out;
            continue;  // woken early by the clock's granularity
        }
        if (p.revents & events) return Wait::ready;
        return Wait::failed;  // POLLHUP, POLLERR or POLLNVAL alone
    }
}

bool would_block(int err) { return err == EAGAIN || err == EWOULDBLOCK; }

// Moves n bytes with `io` (a read or a write of the rest, given the count done), waiting for
// `events` while the line would block, at most `bound_ms` in all. A call that returns 0 or
// fails otherwise is a hung-up or broken line.
template <class Io>
Transfer transfer(int fd, short events, size_t n, uint32_t bound_ms, Io io) {
    Transfer t;
    const uint32_t start = tick_count();
    while (t.done < n) {
        const ssize_t r = io(t.done);
        if (r > 0) {
            t.done += static_cast<size_t>(r);
            continue;
        }
        if (r < 0 && errno == EINTR) continue;
        if (r == 0 || !would_block(errno)) {
            t.failed = true;
            break;
        }
        const uint32_t elapsed = ticks_since(start);
        if (elapsed >= bound_ms) break;
        const Wait w = wait_for(fd, events, bound_ms - elapsed);
        if (w == Wait::timed_out) break;
        if (w == Wait::failed) {
            t.failed = true;
            break;
        }
    }
    return t;
}

}  // namespace

bool line_open(const char *path, const LineSettings &settings, Line *line) {
    const int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    termios probe{};
    // No sharing: one open at a time, also between copies of the program. (A device whose
    // file system keeps no locks is not refused for that.)
    if (tcgetattr(fd, &probe) != 0 || (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)) {
        ::close(fd);
        return false;
    }
    int status = 0;
    const bool modem = ioctl(fd, TIOCMGET, &status) == 0;
    if (!configure(fd, settings, modem)) {
        ::close(fd);
        return false;
    }
    ioctl(fd, TIOCEXCL);
    if (modem) {
        int lines = TIOCM_DTR | TIOCM_RTS;
        ioctl(fd, TIOCMBIS, &lines);  // a line that refuses keeps its levels
    }
    tcflush(fd, TCIOFLUSH);
    Line opened;
    opened.descriptor = fd;
    opened.has_modem_status = modem;
    opened.has_counters = read_counters(fd, &opened.seen);
    *line = opened;
    return true;
}

void line_close(Line *line, uint32_t drain_ms) {
    if (line->descriptor < 0) return;
    const int fd = line->descriptor;
    const uint32_t start = tick_count();
    int queued = 0;
    while (ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0 && !ksw::platform::ticks_elapsed(start, drain_ms)) sleep_ms(5);
    // Whatever is left would make close() wait for it, perhaps for ever with CTS off.
    tcflush(fd, TCOFLUSH);
    ioctl(fd, TIOCNXCL);
    ::close(fd);
    line->descriptor = -1;
}

bool line_reapply(const Line &line) {
    termios t{};
    return tcgetattr(line.descriptor, &t) == 0 && tcsetattr(line.descriptor, TCSANOW, &t) == 0;
}

int line_take_error(Line *line) {
    if (!line->has_counters) return 0;
    LineCounters now;
    if (!read_counters(line->descriptor, &now)) return 9;
    const LineCounters was = line->seen;
    line->seen = now;
    if (now.frame != was.frame) return 6;
    if (now.overrun != was.overrun) return 7;
    if (now.parity != was.parity) return 8;
    if (now.brk != was.brk || now.buffer_overrun != was.buffer_overrun) return 9;
    return 0;
}

int line_queued(const Line &line) {
    int queued = 0;
    if (ioctl(line.descriptor, FIONREAD, &queued) != 0) return -1;
    if (queued == 0) {
        // An empty queue on a hung-up line is a line that has gone.
        pollfd p{line.descriptor, POLLIN, 0};
        if (poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return -1;
    }
    return queued;
}

bool line_discard_input(const Line &line) { return tcflush(line.descriptor, TCIFLUSH) == 0; }

Cts line_cts(const Line &line) {
    int status = 0;
    if (ioctl(line.descriptor, TIOCMGET, &status) != 0) return Cts::failed;
    return (status & TIOCM_CTS) ? Cts::on : Cts::off;
}

Wait line_wait_readable(const Line &line, uint32_t ms) { return wait_for(line.descriptor, POLLIN, ms); }

Transfer line_read(const Line &line, uint8_t *buffer, size_t n, uint32_t bound_ms) {
    return transfer(line.descriptor, POLLIN, n, bound_ms,
                    [&](size_t done) { return ::read(line.descriptor, buffer + done, n - done); });
}

Transfer line_write(const Line &line, const uint8_t *data, size_t n, uint32_t bound_ms) {
    return transfer(line.descriptor, POLLOUT, n, bound_ms,
                    [&](size_t done) { return ::write(line.descriptor, data + done, n - done); });
}

}  // namespace comkit
