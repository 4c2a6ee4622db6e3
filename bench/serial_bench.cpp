// The serial library over a pseudo-terminal: request/reply exchanges per second against the
// simulated product, download bytes per second, and the library's own cost per byte measured
// against bare write()/read() calls on the same line.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "comkit32.h"
#include "serial_peer.h"

namespace {

int open_port(const std::string &path) {
    RSPortSettings s{};
    std::snprintf(s.port, sizeof s.port, "%s", path.c_str());
    s.baud_rate = 115200;
    s.byte_size = 8;
    return Open232C(&s);
}

// Reads exactly n bytes from a descriptor, waiting as needed.
bool read_exactly(int fd, char *buffer, size_t n) {
    size_t done = 0;
    while (done < n) {
        const ssize_t r = read(fd, buffer + done, n - done);
        if (r > 0) {
            done += static_cast<size_t>(r);
        } else if (r < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 2000) <= 0) return false;
        } else {
            return false;
        }
    }
    return true;
}

// A pseudo-terminal whose far end is the benchmark itself. The near end is open twice: once
// plainly (the bare calls) and once through the library.
class Line {
public:
    Line() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        char name[128];
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0)
            std::abort();
        bare_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
        handle_ = open_port(name);
        if (bare_ < 0 || handle_ < 0) std::abort();
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~Line() {
        Close232C(handle_);
        close(bare_);
        close(master_);
    }
    int master() const { return master_; }
    int bare() const { return bare_; }
    int handle() const { return handle_; }

private:
    int master_ = -1, bare_ = -1, handle_ = -1;
};

void set_bytes(benchmark::State &state, size_t per_iteration) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * per_iteration));
}

// How the near end moves n bytes: plainly, or through the library.
using Mover = bool (*)(const Line &line, char *bytes, size_t n);

bool bare_send(const Line &line, char *bytes, size_t n) {
    return write(line.bare(), bytes, n) == static_cast<ssize_t>(n);
}
bool library_send(const Line &line, char *bytes, size_t n) {
    return RSSendfData(line.handle(), bytes, static_cast<uint32_t>(n)) == 0;
}
bool bare_receive(const Line &line, char *bytes, size_t n) { return read_exactly(line.bare(), bytes, n); }
bool library_receive(const Line &line, char *bytes, size_t n) {
    return RSGetfData(line.handle(), bytes, static_cast<uint32_t>(n)) == 0;
}
bool library_putc(const Line &line, char *bytes, size_t) { return RSPutc(line.handle(), bytes[0]) == 0; }
bool library_getc(const Line &line, char *bytes, size_t) {
    const int c = RSGetc(line.handle());
    bytes[0] = static_cast<char>(c);
    return c >= 0;
}

// Waits until n bytes are queued for reading on the near end.
bool wait_queued(const Line &line, size_t n) {
    for (int spins = 0; spins < 1000000; ++spins) {
        int queued = 0;
        if (ioctl(line.bare(), FIONREAD, &queued) != 0) return false;
        if (static_cast<size_t>(queued) >= n) return true;
        pollfd p{line.bare(), POLLIN, 0};
        poll(&p, 1, 1);
    }
    return false;
}

// Only the near end's call is timed: the pseudo-terminal hands bytes across on a kernel
// worker, and that hand-over (the far end's reads and writes) is left out of the figures.

// The near end sends range(0) bytes.
void BM_Send(benchmark::State &state, Mover send) {
    Line line;
    const size_t n = static_cast<size_t>(state.range(0));
    std::vector<char> data(n, 'S'), sink(n);
    for (auto _ : state) {
        if (!send(line, data.data(), n)) state.SkipWithError("send");
        state.PauseTiming();
        if (!read_exactly(line.master(), sink.data(), n)) state.SkipWithError("far end");
        state.ResumeTiming();
    }
    set_bytes(state, n);
}

// The near end receives range(0) bytes that are already queued.
void BM_Receive(benchmark::State &state, Mover receive) {
    Line line;
    const size_t n = static_cast<size_t>(state.range(0));
    std::vector<char> data(n, 'R'), sink(n);
    for (auto _ : state) {
        state.PauseTiming();
        if (write(line.master(), data.data(), n) != static_cast<ssize_t>(n) || !wait_queued(line, n))
            state.SkipWithError("far end");
        state.ResumeTiming();
        if (!receive(line, sink.data(), n)) state.SkipWithError("receive");
    }
    set_bytes(state, n);
}

// ---- against the simulated product ----

void BM_PacketRequestReply(benchmark::State &state) {
    ksw::sim::SerialPeerConfig config;
    config.mode = ksw::sim::PeerMode::packet;
    ksw::sim::SerialPeer peer(config);
    if (!peer.start()) return state.SkipWithError("peer");
    const int h = open_port(peer.path());
    const uint8_t request[] = {0x10, 6, 1, 2, 3, 4, 5, 6};
    uint8_t reply[RS_PACKET_BUFFER_SIZE];
    for (auto _ : state) {
        if (RSSendGetnData(h, request, reply, 0) != 0) state.SkipWithError("exchange");
    }
    state.SetItemsProcessed(state.iterations());
    Close232C(h);
}

void BM_TextRequestReply(benchmark::State &state) {
    ksw::sim::SerialPeerConfig config;
    config.mode = ksw::sim::PeerMode::text;
    config.replies = {{"MEAS?\r", "+1.234567E+00\r"}};
    ksw::sim::SerialPeer peer(config);
    if (!peer.start()) return state.SkipWithError("peer");
    const int h = open_port(peer.path());
    char reply[RS_TEXT_BUFFER_SIZE];
    for (auto _ : state) {
        if (RSPutGetsData(h, "MEAS?\r", reply, 0) != 0) state.SkipWithError("exchange");
    }
    state.SetItemsProcessed(state.iterations());
    Close232C(h);
}

// The whole download handshake with a file of range(0) bytes sent byte by byte.
void BM_Download(benchmark::State &state) {
    ksw::sim::SerialPeerConfig config;
    config.mode = ksw::sim::PeerMode::download;
    ksw::sim::SerialPeer peer(config);
    if (!peer.start()) return state.SkipWithError("peer");
    const int h = open_port(peer.path());
    const std::string end = ":00000001FF\r\n";
    std::string file;
    while (file.size() + end.size() < static_cast<size_t>(state.range(0))) file += ":10000000000102030405060708090A0B0C0D0E0F78\r\n";
    file += end;
    for (auto _ : state) {
        RSClearRXBuffer(h);
        bool ok = RSPutc(h, ' ') == 0 && RSGetc(h) == ' ' && RSPutc(h, 'L') == 0 && RSGetc(h) == 'L' &&
                  RSPutc(h, '\r') == 0 && RSGetc(h) == '\r';
        for (size_t i = 0; ok && i < file.size(); ++i) ok = RSPutc(h, file[i]) == 0;
        while (ok) {
            const int c = RSGetc(h);
            ok = c >= 0;
            if (c == '*') break;
        }
        ok = ok && RSPuts(h, "TA000\r") == 0;
        if (!ok) state.SkipWithError("download");
    }
    set_bytes(state, file.size());
    Close232C(h);
}

}  // namespace

// One byte at a time is how the download and RSGets move them.
BENCHMARK_CAPTURE(BM_Send, bare, bare_send)->Arg(1)->Arg(16)->Arg(256)->Arg(4095);
BENCHMARK_CAPTURE(BM_Send, library, library_send)->Arg(1)->Arg(16)->Arg(256)->Arg(4095);
BENCHMARK_CAPTURE(BM_Send, library_putc, library_putc)->Arg(1);
BENCHMARK_CAPTURE(BM_Receive, bare, bare_receive)->Arg(1)->Arg(16)->Arg(256)->Arg(4095);
BENCHMARK_CAPTURE(BM_Receive, library, library_receive)->Arg(1)->Arg(16)->Arg(256)->Arg(4095);
BENCHMARK_CAPTURE(BM_Receive, library_getc, library_getc)->Arg(1);
BENCHMARK(BM_PacketRequestReply)->UseRealTime();
BENCHMARK(BM_TextRequestReply)->UseRealTime();
BENCHMARK(BM_Download)->Arg(16384)->UseRealTime();
