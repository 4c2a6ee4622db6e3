// What the files of the port layer share: byte access by chip and port, the pauses that time
// the strobes, and the trace scope that lets only a thread's outermost operation write a line.
#pragma once

#include <string>

#include "platform/tick.h"
#include "resources/error_codes.h"
#include "resources/format.h"
#include "runtime/jig/jig_ports.h"
#include "runtime/jig/jig_trace.h"

namespace ksw::jig_detail {

inline uint8_t in(JigPorts &jig, int chip, int port) {
    return PortIn(jig, jig.chips[static_cast<size_t>(chip)][static_cast<size_t>(port)]);
}
inline void out(JigPorts &jig, int chip, int port, unsigned value) {
    PortOut(jig, jig.chips[static_cast<size_t>(chip)][static_cast<size_t>(port)], static_cast<uint8_t>(value));
}

inline int access_mode(const JigPorts &jig) { return jig.access_mode.load(std::memory_order_relaxed); }
inline bool system_chips_configured(const JigPorts &jig) {
    return chip_configured(jig, kChipSys0) && chip_configured(jig, kChipSys1);
}
inline bool extension_chips_configured(const JigPorts &jig) {
    return chip_configured(jig, kChipExt0) && chip_configured(jig, kChipExt1);
}

// A zero-length sleep between the two data bytes of a write: gives up the time slice.
inline void yield() { platform::sleep_ms(0); }
// A call with no work of its own: its only effect is the time the call takes (strobe width).
void dummy_wait();

// Counts the nesting of jig operations on this thread; only the outermost writes a trace line.
class TraceScope {
public:
    explicit TraceScope(const JigPorts &jig);
    ~TraceScope();
    TraceScope(const TraceScope &) = delete;
    TraceScope &operator=(const TraceScope &) = delete;

    // Writes the line `text()` (+ `note`, + " -> eNNN" for a failure) when this is the outermost
    // operation and a trace is written; returns `rc`.
    template <typename Text>
    int end(int rc, Text text, const char *note = "") {
        if (trace_) write(text(), rc, note);
        return rc;
    }

private:
    void write(std::string text, int rc, const char *note);
    JigTrace *trace_;
};

}  // namespace ksw::jig_detail
