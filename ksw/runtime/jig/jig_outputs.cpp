// The jig's outputs: output ports (the sw switches), extension latches (fsw), Ext0 words, the
// measuring board's registers, the product power and its supply, the input-channel routing.
#include <mutex>

#include "runtime/jig/jig_access.h"

namespace ksw {

using namespace jig_detail;

namespace {

constexpr int kLatchBusPort = 30;   // bits 0-7 data, 8-11 latch number, 14/15 strobes
constexpr int kLowLatchStrobe = 502;
constexpr int kHighLatchStrobe = 503;
constexpr int kBoardDataPort = 26;  // also the supply's volt code
constexpr int kBoardAddressPort = 27;
constexpr int kRegisterStrobe = 478;
constexpr int kShiftStrobe = 479;   // the supply's DAC chain and the register write
constexpr int kPowerPort = 28;      // bits 0-8 the product's power relays
constexpr uint16_t kPowerRelays = 0x01FF;
constexpr int kSupplyLatch[2] = {484, 485};
constexpr double kVoltCodePerVolt = 199.951171875;
constexpr double kAmpCodePerAmp = 999.755859375;

uint16_t shadow(const JigPorts &jig, int port) { return jig.output_ports[static_cast<size_t>(port)].load(std::memory_order_relaxed); }

// A 16-bit value onto a data bus: `chip` set to `mode` (its ports A and `high_port` driving),
// the shadow stored, the low byte on port A and the high byte on `high_port`, each followed by
// a yield. The caller holds the port lock.
void drive_bus(JigPorts &jig, int chip, unsigned mode, int high_port, uint16_t value, std::atomic<uint16_t> &shadow) {
    out(jig, chip, kPortControl, mode);
    shadow.store(value, std::memory_order_relaxed);
    out(jig, chip, kPortA, value & 0xFF);
    yield();
    out(jig, chip, high_port, value >> 8);
    yield();
}

// The strobed write of a value onto output port `port`; the caller holds the port lock and has
// made the checks.
void strobe_output_port(JigPorts &jig, int port, uint16_t value) {
    drive_bus(jig, kChipSys0, 0x82, kPortC, value, jig.output_ports[static_cast<size_t>(port)]);
    out(jig, kChipSys1, kPortA, (in(jig, kChipSys1, kPortA) & 0xF0) | (port & 15));
    out(jig, kChipSys1, kPortB, (in(jig, kChipSys1, kPortB) & 0xFE) | (port / 16));
    const unsigned c = in(jig, kChipSys1, kPortC);
    out(jig, kChipSys1, kPortC, c & ~8u);
    out(jig, kChipSys1, kPortC, c | 8u);
    out(jig, kChipSys1, kPortC, c & ~8u);
    out(jig, kChipSys0, kPortControl, 0x9B);  // the bus back to input
}

}  // namespace

int WriteOutputPort(JigPorts &jig, int port, uint16_t value) {
    TraceScope scope(jig);
    const auto text = [&] { return format_text("out[%d]=0x%04X", {port, static_cast<int>(value)}); };
    if (port < 0 || port >= kOutputPorts) return scope.end(kErrOutOfRange, text);
    const int mode = access_mode(jig);
    if (mode == kAccessNoJig) return scope.end(kErrDebugMode, text);
    if (mode == kAccessNoPortIo) {
        jig.output_ports[static_cast<size_t>(port)].store(value, std::memory_order_relaxed);
        return scope.end(kOk, text, " (no port I/O)");
    }
    if (!system_chips_configured(jig)) return scope.end(kErrSystemPortUnset, text);
    // The power monitor and the unchanged value are tested before the lock is taken.
    if (in(jig, kChipSys0, kPortB) & 0x80) return scope.end(kErrJigPowerOff, text);
    if (shadow(jig, port) == value) return scope.end(kOk, text, " (unchanged)");
    std::lock_guard<PortLock> hold(jig.lock);
    strobe_output_port(jig, port, value);
    return scope.end(kOk, text);
}

int SetSwitch(JigPorts &jig, int sw, bool on) {
    TraceScope scope(jig);
    const auto text = [&] { return format_text("sw %d=%d", {sw, on ? 1 : 0}); };
    if (sw < 0 || sw > kLastSwitch) return scope.end(kErrOutOfRange, text);
    const int port = switch_port(sw);
    const uint16_t bit = static_cast<uint16_t>(1u << switch_bit(sw));
    const uint16_t old = shadow(jig, port);
    return scope.end(WriteOutputPort(jig, port, on ? old | bit : old & ~bit), text);
}

int WriteLatch(JigPorts &jig, int latch, uint8_t value) {
    TraceScope scope(jig);
    const auto text = [&] { return format_text("latch[%d]=0x%02X", {latch, static_cast<int>(value)}); };
    if (latch < 0 || latch >= kLatches) return scope.end(kErrOutOfRange, text);
    std::atomic<uint8_t> &latched = jig.latches[static_cast<size_t>(latch)];
    if (latched.load(std::memory_order_relaxed) == value) return scope.end(kOk, text, " (unchanged)");
    std::lock_guard<PortLock> hold(jig.lock);
    const uint16_t bus = static_cast<uint16_t>((shadow(jig, kLatchBusPort) & 0xF000) | ((latch & 15) << 8) | value);
    int rc = WriteOutputPort(jig, kLatchBusPort, bus);
    const int strobe = latch < 16 ? kLowLatchStrobe : kHighLatchStrobe;
    for (const bool level : {false, true, false})
        if (rc == kOk) rc = SetSwitch(jig, strobe, level);
    // A latch that may not have taken the byte keeps its old shadow.
    if (rc == kOk) latched.store(value, std::memory_order_relaxed);
    return scope.end(rc, text);
}

int SetLatchBit(JigPorts &jig, int fsw, bool on) {
    TraceScope scope(jig);
    const auto text = [&] { return format_text("fsw %d=%d", {fsw, on ? 1 : 0}); };
    if (fsw < 0 || fsw > kLastLatchBit) return scope.end(kErrOutOfRange, text);
    const int latch = fsw / 8;
    const uint8_t bit = static_cast<uint8_t>(1u << (fsw % 8));
    const uint8_t old = jig.latches[static_cast<size_t>(latch)].load(std::memory_order_relaxed);
    return scope.end(WriteLatch(jig, latch, static_cast<uint8_t>(on ? old | bit : old & ~bit)), text);
}

int WriteExt0Word(JigPorts &jig, int word, uint16_t value) {
    TraceScope scope(jig);
    const auto text = [&] { return format_text("ext0[%d]=0x%04X", {word, static_cast<int>(value)}); };
    if (word < 0 || word >= kExt0Words) return scope.end(kErrOutOfRange, text);
    if (access_mode(jig) == kAccessNoPortIo) return scope.end(kOk, text, " (no port I/O)");
    if (!extension_chips_configured(jig)) return scope.end(kErrPortUnset, text);
    std::lock_guard<PortLock> hold(jig.lock);
    drive_bus(jig, kChipExt0, 0x89, kPortB, value, jig.ext0_words[static_cast<size_t>(word)]);
    const unsigned strobe = 1u << word;
    out(jig, kChipExt1, kPortA, in(jig, kChipExt1, kPortA) & ~strobe);
    yield();
    out(jig, kChipExt1, kPortA, in(jig, kChipExt1, kPortA) | strobe);
    yield();
    out(jig, kChipExt0, kPortControl, 0x9B);
    return scope.end(kOk, text);
}

int WriteBoardRegister(JigPorts &jig, int register_bits, uint16_t datum) {
    TraceScope scope(jig);
    const auto text = [&] { return format_text("reg 0x%03X=0x%02X", {register_bits, static_cast<int>(datum)}); };
    std::lock_guard<PortLock> hold(jig.lock);
    int rc = WriteOutputPort(jig, kBoardDataPort,
                             static_cast<uint16_t>((shadow(jig, kBoardDataPort) & 0x0FFF) | ((datum & 15) << 12)));
    if (rc == kOk) rc = WriteOutputPort(jig, kBoardAddressPort, static_cast<uint16_t>((datum >> 4) | register_bits));
    const struct {
        int sw;
        bool on;
    } strobes[] = {{kShiftStrobe, false}, {kRegisterStrobe, false}, {kShiftStrobe, true},
                   {kShiftStrobe, false}, {kRegisterStrobe, true}, {kRegisterStrobe, false}};
    for (const auto &strobe : strobes) {
        if (rc != kOk) break;
        rc = SetSwitch(jig, strobe.sw, strobe.on);
        if (rc == kOk && strobe.sw == kShiftStrobe && strobe.on) platform::sleep_ms(10);
    }
    return scope.end(rc, text);
}

int SetProductPower(JigPorts &jig, bool on) {
    const uint16_t relays = shadow(jig, kPowerPort);
    return WriteOutputPort(jig, kPowerPort, on ? relays | kPowerRelays : relays & ~kPowerRelays);
}

int LoadPowerSupply(JigPorts &jig, int channel, int volt_code, int amp_code) {
    TraceScope scope(jig);
    const auto text = [&] {
        return format_text("psu%d %.3fV %.3fA", {channel, volt_code / kVoltCodePerVolt, amp_code / kAmpCodePerAmp});
    };
    if (channel != 1 && channel != 2) return scope.end(kErrOutOfRange, text);
    const int latch = kSupplyLatch[channel - 1];
    std::lock_guard<PortLock> hold(jig.lock);
    int rc = SetSwitch(jig, kShiftStrobe, false);
    if (rc == kOk) rc = SetSwitch(jig, latch, false);
    if (rc == kOk)
        jig.psu_words[static_cast<size_t>(channel - 1)] = {
            static_cast<uint16_t>((volt_code & 0x0FFF) | (amp_code << 12)),
            static_cast<uint16_t>(0x0700 | ((amp_code >> 4) & 0xFF))};
    // The DAC chain shifts channel 1's stage into channel 2's: channel 2's words go out first.
    for (const int shifted : {2, 1}) {
        const auto &words = jig.psu_words[static_cast<size_t>(shifted - 1)];
        if (rc == kOk) rc = WriteOutputPort(jig, kBoardDataPort, words[0]);
        if (rc == kOk)
            rc = WriteOutputPort(jig, kBoardAddressPort,
                                 static_cast<uint16_t>((shadow(jig, kBoardAddressPort) & 0xE000) | words[1]));
        if (rc == kOk) rc = SetSwitch(jig, kShiftStrobe, true);
        if (rc == kOk) rc = SetSwitch(jig, kShiftStrobe, false);
    }
    if (rc == kOk) rc = SetSwitch(jig, latch, true);
    if (rc == kOk) rc = SetSwitch(jig, latch, false);
    return scope.end(rc, text);
}

int SelectInputChannel(JigPorts &jig, int channel) {
    TraceScope scope(jig);
    const auto text = [&] { return format_text("input ch%d", {channel}); };
    if (channel != 1 && channel != 2) return scope.end(kErrOutOfRange, text);
    const bool second = channel == 2;
    std::lock_guard<PortLock> hold(jig.lock);
    int rc = WriteOutputPort(jig, 22, static_cast<uint16_t>((shadow(jig, 22) & 0xFFF3) | (second ? 12 : 8)));
    if (rc == kOk) rc = SetSwitch(jig, second ? 75 : 67, true);
    if (rc == kOk) rc = WriteOutputPort(jig, 5, static_cast<uint16_t>((shadow(jig, 5) & 0x8F88) | (second ? 0x20D2 : 0x1049)));
    return scope.end(rc, text);
}

}  // namespace ksw
