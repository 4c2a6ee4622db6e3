#include "platform/io_ports.h"

#include <array>
#include <atomic>
#include <cerrno>

#include "platform/files.h"

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define KSW_HAVE_PORT_IO 1
#else
#define KSW_HAVE_PORT_IO 0
#endif

namespace ksw::platform {
namespace {

constexpr unsigned kPorts = 65536;
constexpr unsigned kWordBits = 64;
// ioperm covers the first 0x400 ports only; the rest needs iopl.
constexpr unsigned kIopermLimit = 0x400;

// One bit per port that may be used. Written by the main thread at start-up, read by any thread.
std::array<std::atomic<uint64_t>, kPorts / kWordBits> granted{};
std::atomic<bool> whole_space{false};

void grant(uint16_t port) { granted[port / kWordBits].fetch_or(uint64_t{1} << (port % kWordBits), std::memory_order_release); }

}  // namespace

bool io_port_granted(uint16_t port) {
    if (whole_space.load(std::memory_order_acquire)) return true;
    return (granted[port / kWordBits].load(std::memory_order_acquire) >> (port % kWordBits)) & 1u;
}

bool request_io_ports(std::span<const uint16_t> ports, std::string *error) {
#if KSW_HAVE_PORT_IO
    if (whole_space.load(std::memory_order_acquire)) return true;
    if (::iopl(3) == 0) {
        whole_space.store(true, std::memory_order_release);
        return true;
    }
    int reason = errno;
    bool all = true;
    for (const uint16_t port : ports) {
        if (io_port_granted(port)) continue;
        if (port < kIopermLimit && ::ioperm(port, 1, 1) == 0) {
            grant(port);
            continue;
        }
        if (port < kIopermLimit) reason = errno;
        all = false;
    }
    if (!all && error) *error = "iopl/ioperm: " + errno_text(reason);
    return all;
#else
    if (error) *error = "this processor has no I/O-port space";
    return ports.empty();
#endif
}

uint8_t io_port_in(uint16_t port) {
#if KSW_HAVE_PORT_IO
    if (io_port_granted(port)) return ::inb(port);
#endif
    (void)port;
    return 0xFF;
}

void io_port_out(uint16_t port, uint8_t value) {
#if KSW_HAVE_PORT_IO
    if (io_port_granted(port)) ::outb(value, port);
#endif
    (void)port;
    (void)value;
}

void release_io_ports() {
#if KSW_HAVE_PORT_IO
    if (whole_space.exchange(false, std::memory_order_acq_rel)) (void)::iopl(0);
    for (unsigned word = 0; word < granted.size(); ++word) {
        uint64_t bits = granted[word].exchange(0, std::memory_order_acq_rel);
        for (unsigned bit = 0; bits; ++bit, bits >>= 1)
            if (bits & 1u) (void)::ioperm(word * kWordBits + bit, 1, 0);
    }
#endif
}

}  // namespace ksw::platform
