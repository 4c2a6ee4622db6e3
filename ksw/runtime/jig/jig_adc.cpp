// The A/D converter behind the system ports (channel on output port 1 bits 0-2, range on
// SysPort1 A bits 4-6, start strobe SysPort1 A bit 7, busy on SysPort0 B bit 5, read strobes on
// SysPort1 C bits 1-2, the sample on the data bus) and the extension A/D converter behind the
// extension-0 ports.
#include <mutex>

#include "runtime/jig/jig_access.h"

namespace ksw {

using namespace jig_detail;

namespace {

constexpr uint32_t kBusyPollMs = 100;

bool valid_selection(int channel, int range) { return channel >= 0 && channel <= 7 && range >= 0 && range <= 6; }

// Selects the channel and range: e031, e032, e037, 0, or -1 when there is no port I/O.
int select_ad(JigPorts &jig, int channel, int range) {
    if (!valid_selection(channel, range)) return kErrOutOfRange;
    const int mode = access_mode(jig);
    if (mode == kAccessNoJig) return kErrDebugMode;
    if (mode == kAccessNoPortIo) return -1;
    if (!system_chips_configured(jig)) return kErrSystemPortUnset;
    std::lock_guard<PortLock> hold(jig.lock);
    const uint16_t port1 = jig.output_ports[1].load(std::memory_order_relaxed);
    // The channel goes to the low byte; the high byte of output port 1 becomes 0.
    if (const int rc = WriteOutputPort(jig, 1, static_cast<uint16_t>((port1 & 0xF8) | channel)); rc != kOk) return rc;
    out(jig, kChipSys1, kPortA, (in(jig, kChipSys1, kPortA) & 0x8F) | static_cast<unsigned>(range << 4));
    return kOk;
}

// One sample from the data bus after a read strobe.
uint16_t bus_sample(JigPorts &jig, int mask) {
    const unsigned high = in(jig, kChipSys0, kPortC) & static_cast<unsigned>(mask);
    return static_cast<uint16_t>((high << 8) | in(jig, kChipSys0, kPortA));
}

// Waits while `busy()` holds: e036 once more than `timeout_ms` passed, e027 when aborted. The
// caller holds the port lock; it is given back while the wait sleeps.
template <typename Busy>
int wait_while_busy(JigPorts &jig, Busy busy, uint32_t timeout_ms, const JigWaiter &waiter) {
    const uint32_t start = platform::tick_count();
    while (busy()) {
        if (platform::ticks_since(start) > timeout_ms) return kErrAdTimeout;
        bool go_on = true;
        {
            PortLockReleased released(jig.lock);
            go_on = waiter.wait(kBusyPollMs);
        }
        if (!go_on) return kErrBreakedByUser;
    }
    return kOk;
}

std::string samples_text(const char *what, int channel, int range, const uint16_t *samples, int count, int rc) {
    std::string text = format_text("%s ch%d r%d", {what, channel, range});
    if (count != 1) text += format_text(" x%d", {count});
    if (rc != kOk || count < 1) return text;
    text += " ->";
    for (int i = 0; i < count && i < 4; ++i) text += format_text(" 0x%04X", {static_cast<int>(samples[i])});
    if (count > 4) text += " ...";
    return text;
}

// What both reads share: the port lock held throughout, the channel selected (zeros without
// port I/O), the samples taken by `take`, the converter back to idle, the time of the read kept.
template <typename Take>
int read_samples(JigPorts &jig, const char *what, int channel, int range, uint16_t *samples, int count, Take take) {
    TraceScope scope(jig);
    const auto text = [&](int rc) { return samples_text(what, channel, range, samples, count, rc); };
    if (count < 0 || (count > 0 && !samples)) return scope.end(kErrOutOfRange, [&] { return text(kErrOutOfRange); });
    std::lock_guard<PortLock> hold(jig.lock);
    int rc = select_ad(jig, channel, range);
    if (rc == -1) {
        for (int i = 0; i < count; ++i) samples[i] = 0;
        rc = kOk;
    } else if (rc == kOk) {
        rc = take();
        if (rc == kOk) out(jig, kChipSys1, kPortA, 0x70);
    }
    jig.last_ad_read_tick.store(platform::tick_count(), std::memory_order_relaxed);
    return scope.end(rc, [&] { return text(rc); });
}

}  // namespace

int SelectAdChannel(JigPorts &jig, int channel, int range) {
    TraceScope scope(jig);
    return scope.end(select_ad(jig, channel, range), [&] { return format_text("ad select ch%d r%d", {channel, range}); });
}

int StartAdConversion(JigPorts &jig, int channel, int range) {
    TraceScope scope(jig);
    const auto text = [&] { return format_text("ad start ch%d r%d", {channel, range}); };
    std::lock_guard<PortLock> hold(jig.lock);
    const int rc = select_ad(jig, channel, range);
    if (rc == -1) return scope.end(kOk, text, " (no port I/O)");
    if (rc != kOk) return scope.end(rc, text);
    // The selection stays on port A while bit 7 is pulsed low-high-low.
    const unsigned a = in(jig, kChipSys1, kPortA) & 0x7F;
    for (const unsigned level : {0u, 0x80u, 0u}) {
        out(jig, kChipSys1, kPortA, a | level);
        dummy_wait();
    }
    return scope.end(kOk, text);
}

int ReadAd(JigPorts &jig, int channel, int range, uint16_t *samples, int count, uint32_t timeout_ms, int mask,
           const JigWaiter &waiter) {
    return read_samples(jig, "ad", channel, range, samples, count, [&]() -> int {
        const int rc = wait_while_busy(jig, [&] { return (in(jig, kChipSys0, kPortB) & 0x20) != 0; }, timeout_ms, waiter);
        if (rc != kOk) return rc;
        const unsigned c = in(jig, kChipSys1, kPortC);
        for (const unsigned v : {(c & ~4u) | 2u, (c & ~4u) | 6u, (c & ~4u) | 2u}) out(jig, kChipSys1, kPortC, v);
        const unsigned b = c & 0xF9;
        for (const unsigned v : {b, b | 4, b, b | 4, b | 6, b | 2}) out(jig, kChipSys1, kPortC, v);
        for (int i = 0; i < count; ++i) {
            out(jig, kChipSys1, kPortC, b | 6);
            out(jig, kChipSys1, kPortC, b | 2);  // bit 2 falling: the next sample
            samples[i] = bus_sample(jig, mask);
        }
        return kOk;
    });
}

int ReadAdFast(JigPorts &jig, int channel, int range, uint16_t *samples, int count, int mask) {
    return read_samples(jig, "ad fast", channel, range, samples, count, [&]() -> int {
        const unsigned c = in(jig, kChipSys1, kPortC);
        for (int i = 0; i < count; ++i) {
            out(jig, kChipSys1, kPortC, (c & ~4u) | 4u);
            out(jig, kChipSys1, kPortC, c & ~4u);
            samples[i] = bus_sample(jig, mask);
        }
        return kOk;
    });
}

bool AdBusy(JigPorts &jig) {
    std::lock_guard<PortLock> hold(jig.lock);
    return (in(jig, kChipSys0, kPortB) & 0x20) != 0;
}

void AdIdle(JigPorts &jig) {
    std::lock_guard<PortLock> hold(jig.lock);
    out(jig, kChipSys1, kPortA, 0x70);
}

int StartExtAd(JigPorts &jig) {
    TraceScope scope(jig);
    const auto text = [] { return std::string("ext ad start"); };
    if (access_mode(jig) == kAccessNoPortIo) return scope.end(kOk, text, " (no port I/O)");
    if (!extension_chips_configured(jig)) return scope.end(kErrPortUnset, text);
    std::lock_guard<PortLock> hold(jig.lock);
    const unsigned a = in(jig, kChipExt1, kPortA);
    for (const unsigned v : {a | 0x80u, a & ~0x80u, (a & ~0x80u) | 0x80u}) {
        out(jig, kChipExt1, kPortA, v);
        dummy_wait();
    }
    return scope.end(kOk, text);
}

int ReadExtAd(JigPorts &jig, int selector, int *value, uint32_t timeout_ms, int mask, const JigWaiter &waiter) {
    TraceScope scope(jig);
    const auto text = [&] { return format_text("ext ad sel%d -> 0x%04X", {selector, value ? *value : 0}); };
    if (!value || (selector != 0 && selector != 1)) return scope.end(kErrOutOfRange, text);
    *value = 0;
    if (access_mode(jig) == kAccessNoPortIo) return scope.end(kOk, text, " (no port I/O)");
    if (!extension_chips_configured(jig)) return scope.end(kErrPortUnset, text);
    std::lock_guard<PortLock> hold(jig.lock);
    const int rc = wait_while_busy(jig, [&] { return (in(jig, kChipExt0, kPortC) & 1) != 0; }, timeout_ms, waiter);
    if (rc != kOk) return scope.end(rc, text);
    const unsigned enable = selector == 0 ? 0x10 : 0x20;  // low active
    out(jig, kChipExt1, kPortA, in(jig, kChipExt1, kPortA) & ~enable);
    *value = static_cast<int>(((in(jig, kChipExt0, kPortB) & static_cast<unsigned>(mask)) << 8) + in(jig, kChipExt0, kPortA));
    out(jig, kChipExt1, kPortA, in(jig, kChipExt1, kPortA) | enable);
    return scope.end(kOk, text);
}

}  // namespace ksw
