// The jig's start-up and shut-down states of the chips, the cable monitors, the line-sequencer
// lines and the remote-control switches.
#include <mutex>

#include "runtime/jig/jig_access.h"

namespace ksw {

using namespace jig_detail;

namespace {

constexpr uint32_t kZeroingPauseMs = 20;

bool uses_ports(const JigPorts &jig) { return access_mode(jig) != kAccessNoPortIo; }

}  // namespace

int CheckCables(JigPorts &jig) {
    TraceScope scope(jig);
    const auto text = [] { return std::string("cables"); };
    std::lock_guard<PortLock> hold(jig.lock);
    if (!chip_configured(jig, kChipSys0)) return scope.end(kErrCable1, text);
    if (!chip_configured(jig, kChipSys1)) return scope.end(kErrCable2, text);
    const bool cable2_missing = (in(jig, kChipSys1, kPortC) & 0x10) != 0;
    const bool cable1_missing = (in(jig, kChipSys0, kPortB) & 0x10) != 0;
    if (cable1_missing) return scope.end(kErrCable1, text);
    return scope.end(cable2_missing ? kErrCable2 : kOk, text, cable2_missing ? "" : " ok");
}

void SetPortsDefault(JigPorts &jig) {
    TraceScope scope(jig);
    if (!uses_ports(jig)) return;
    std::lock_guard<PortLock> hold(jig.lock);
    if (chip_configured(jig, kChipExt0)) out(jig, kChipExt0, kPortControl, 0x9B);
    if (chip_configured(jig, kChipExt1)) {
        out(jig, kChipExt1, kPortControl, 0x89);
        out(jig, kChipExt1, kPortA, 0xFF);  // strobes, read enables and start high
    }
    if (chip_configured(jig, kChipSys0)) out(jig, kChipSys0, kPortControl, 0x9B);
    if (chip_configured(jig, kChipSys1)) {
        out(jig, kChipSys1, kPortControl, 0x88);
        if (access_mode(jig) == kAccessJig) {
            out(jig, kChipSys1, kPortB, 0x40);
            out(jig, kChipSys1, kPortC, 0x01);
            out(jig, kChipSys1, kPortA, 0x70);
        }
    }
    scope.end(kOk, [] { return std::string("ports default"); });
}

void SetPortsInput(JigPorts &jig) {
    TraceScope scope(jig);
    if (!uses_ports(jig)) return;
    std::lock_guard<PortLock> hold(jig.lock);
    for (int chip = 0; chip < kJigChips; ++chip)
        if (chip_configured(jig, chip)) out(jig, chip, kPortControl, 0x9B);
    scope.end(kOk, [] { return std::string("ports input"); });
}

void ResetJigOutputs(JigPorts &jig) {
    for (auto &port : jig.output_ports) port.store(0, std::memory_order_relaxed);
    for (auto &latch : jig.latches) latch.store(0, std::memory_order_relaxed);
    SetPortsDefault(jig);
}

int ZeroJigOutputs(JigPorts &jig, const JigWaiter &waiter) {
    TraceScope scope(jig);
    const auto text = [] { return std::string("outputs zeroed"); };
    int first_error = kOk;
    const auto note = [&first_error](int rc) {
        if (first_error == kOk) first_error = rc;
    };
    for (int latch = 0; latch < kLatches; ++latch) {
        jig.latches[static_cast<size_t>(latch)].store(1, std::memory_order_relaxed);  // so that the write happens
        note(WriteLatch(jig, latch, 0));
        if (!waiter.wait(kZeroingPauseMs)) return scope.end(kErrBreakedByUser, text);
    }
    for (int port = 0; port < kOutputPorts; ++port) {
        jig.output_ports[static_cast<size_t>(port)].store(1, std::memory_order_relaxed);
        note(WriteOutputPort(jig, port, 0));
        if (!waiter.wait(kZeroingPauseMs)) return scope.end(kErrBreakedByUser, text);
    }
    return scope.end(first_error, text);
}

int SequencerStartInput(JigPorts &jig) {
    // Without port I/O every input reads 0, which would look like a start input held forever.
    if (!uses_ports(jig)) return 0;
    const int chip = jig.e0_seq_mode ? kChipExt1 : kChipSys1;
    if (!chip_configured(jig, chip)) return 0;
    std::lock_guard<PortLock> hold(jig.lock);
    const unsigned bit = jig.e0_seq_mode ? 0x02 : 0x20;  // active 0
    return (in(jig, chip, kPortC) & bit) == 0 ? 1 : 0;
}

void SetSequencerLamps(JigPorts &jig, bool ok, bool ng) {
    TraceScope scope(jig);
    if (!chip_configured(jig, kChipSys1) || jig.e0_seq_mode) return;
    std::lock_guard<PortLock> hold(jig.lock);
    const unsigned b = in(jig, kChipSys1, kPortB) & ~0x30u;
    out(jig, kChipSys1, kPortB, b | (ok ? 0x10u : 0u) | (ng ? 0x20u : 0u));
    scope.end(kOk, [&] { return format_text("lamps ok=%d ng=%d", {ok ? 1 : 0, ng ? 1 : 0}); });
}

int ReadRemoteSwitches(JigPorts &jig) {
    if (!uses_ports(jig)) return -1;
    const int chip = jig.e0_seq_mode ? kChipExt1 : kChipSys1;
    if (!chip_configured(jig, chip)) return -1;
    std::lock_guard<PortLock> hold(jig.lock);
    // A pressed switch reads 0.
    if (jig.e0_seq_mode) return static_cast<int>((~in(jig, kChipExt1, kPortC) >> 2) & 0x0F);
    return static_cast<int>(~in(jig, kChipSys0, kPortB) & 0x0F);
}

}  // namespace ksw
