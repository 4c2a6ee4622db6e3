// The measure operations of the items that read the A/D converter, the counters, the extension
// converter, a digital word, a GPIB instrument or a register. The waveform items are in
// video_items.cpp.
#include <cmath>
#include <mutex>

#include "model/command_row.h"
#include "resources/error_codes.h"
#include "runtime/gpib/gpib_link.h"
#include "runtime/measure/board_ports.h"
#include "runtime/measure/measure_devices.h"
#include "runtime/measure/measure_item.h"
#include "runtime/measure/video_items.h"
#include "values/registers.h"

namespace ksw {

namespace board {

double input_gain(const JigPorts &jig) {
    static constexpr double kGain[8] = {0.15, 0.375, 0.75, 1.5, 3.75, 7.5, 1.0, 1.0};
    const int routed = shadow(jig, kInputSelectPort) & 7;
    if (routed != 1 && routed != 2) return 1.0;
    const int range = (shadow(jig, routed == 1 ? kInput1Port : kInput2Port) >> 5) & 7;
    return kGain[range];
}

}  // namespace board

namespace {

using board::shadow;

constexpr int kMask12 = 0x0F;  // high-byte masks of a 12-bit and a 10-bit sample
constexpr int kMask10 = 0x03;

// One sample of `channel` on `range`, kept among the reading's raw samples.
int read_sample(ItemContext &item, int channel, int range, uint32_t timeout_ms, int mask, uint16_t *value) {
    const int rc = ReadAd(item.jig(), channel, range, value, 1, timeout_ms, mask, item.waiter);
    if (rc == kOk) item.raw.add(*value);
    return rc;
}

// A conversion on channel 0 and the two samples of channels 0 and 1 it gives.
int read_pair(ItemContext &item, int range, uint32_t timeout_ms, uint16_t *ch0, uint16_t *ch1) {
    JigPorts &jig = item.jig();
    std::lock_guard<PortLock> hold(jig.lock);
    if (const int rc = StartAdConversion(jig, 0, range); rc != kOk) return rc;
    if (const int rc = read_sample(item, 0, range, timeout_ms, kMask12, ch0); rc != kOk) return rc;
    return read_sample(item, 1, range, timeout_ms, kMask12, ch1);
}

// ",dc_volt(" and ",peak(": channel 1 against the reference on channel 0, range 6: v * 5.0 / r.
int voltage_ratio(ItemContext &item, double *value) {
    uint16_t r = 0, v = 0;
    if (const int rc = read_pair(item, 6, 1000, &r, &v); rc != kOk) return rc;
    if (r == 0) return kErrDividedByZero;
    *value = v * 5.0 / r;
    return kOk;
}

int setup_dc_volt(ItemContext &item) {
    if (const int rc = SetSwitch(item.jig(), 67, false); rc != kOk) return rc;
    return SetSwitch(item.jig(), 75, false);
}

int measure_dc_volt(ItemContext &item, double *value) { return voltage_ratio(item, value); }

int setup_dc_volt2(ItemContext &item) { return SetSwitch(item.jig(), 179, false); }

// The 10-bit converter behind range 5, offset by the gain that port 22 bits 12-14 select.
int measure_dc_volt2(ItemContext &item, double *value) {
    JigPorts &jig = item.jig();
    const int g = ((shadow(jig, board::kModePort) >> 12) & 7) * 2 - 6;
    uint16_t raw = 0;
    {
        std::lock_guard<PortLock> hold(jig.lock);
        if (const int rc = StartAdConversion(jig, 0, 5); rc != kOk) return rc;
        if (const int rc = read_sample(item, 0, 5, 1000, kMask10, &raw); rc != kOk) return rc;
    }
    *value = raw * 0.0078125 + 8.0 - g * 3.0;
    return kOk;
}

// The peak hold (sw 305) keeps the input's peak for the ratio reading.
int setup_peak(ItemContext &item) { return SetSwitch(item.jig(), 305, true); }

int measure_peak(ItemContext &item, double *value) {
    if (const int rc = voltage_ratio(item, value); rc != kOk) return rc;
    *value /= board::input_gain(item.jig());
    return kOk;
}

}  // namespace

// The counter: channel 0 the low 12 bits and channel 1 the high bits of count - 1, counted with
// the clock that port 10 bits 8-10 select, after a prescaler of 2^k (k = port 11 bits 8-12,
// less 7, at least 0). Seconds.
int read_counter_seconds(ItemContext &item, double *seconds) {
    static constexpr double kSecondsPerCount[8] = {2.5e-07, 1e-07, 1.6e-06, 5e-08, 1e-06, 1e-06, 1e-06, 1e-06};
    uint16_t low = 0, high = 0;
    if (const int rc = read_pair(item, 6, 2000, &low, &high); rc != kOk) return rc;
    JigPorts &jig = item.jig();
    const double count = static_cast<double>(high) * 4096.0 + low + 1.0;
    const double clock = kSecondsPerCount[(shadow(jig, board::kClockPort) >> 8) & 7];
    const int k = std::max(0, ((shadow(jig, board::kPrescalePort) >> 8) & 0x1F) - 7);
    *seconds = count * clock / std::ldexp(1.0, k);
    return kOk;
}

namespace {

int measure_pulse_width(ItemContext &item, double *value) { return read_counter_seconds(item, value); }

int measure_period(ItemContext &item, double *value) {
    if (const int rc = read_counter_seconds(item, value); rc != kOk) return rc;
    *value *= 2.0;
    return kOk;
}

// Half the inverse of the pulse width: the pulse is half a period.
int measure_frequency(ItemContext &item, double *value) {
    double width = 0;
    if (const int rc = read_counter_seconds(item, &width); rc != kOk) return rc;
    if (!(width > 0.0)) return kErrDividedByZero;
    *value = 0.5 / width;
    return kOk;
}

// ",digital(" from an I/O port routes the input group (the address's low nibble) to it first.
int setup_digital(ItemContext &item) {
    const DigitalSetup &d = item.state.measure.digital;
    if (d.source != 4) return kOk;
    const uint16_t group = static_cast<uint16_t>((d.address & 0x0F) << 8);
    if (const int rc = board::update_port(item.jig(), board::kSelectorPort, 0xF0FF, group); rc != kOk) return rc;
    return SetSwitch(item.jig(), 30, true);
}

// The low eight bits of `v` in the opposite order (the serial converter shifts LSB first).
uint32_t reversed_low_byte(uint32_t v) {
    uint32_t r = 0;
    for (int bit = 0; bit < 8; ++bit)
        if (v & (1u << bit)) r |= 0x80u >> bit;
    return (v & ~0xFFu) | r;
}

int read_digital_word(ItemContext &item, uint32_t *word) {
    const DigitalSetup &d = item.state.measure.digital;
    JigPorts &jig = item.jig();
    switch (d.source) {
    case 0:
    case 1:
        if (!item.run.adjuster) {
            item.run.failure_detail = ",digital( from the EVR needs the EVR front-end, which this station does not have yet";
            return kErrNotSupportedComType;
        }
        return item.run.adjuster->read_word(item.run, d.source, d.address, d.cell, word);
    case 2: {
        const int channel = 7 - d.address;
        if (channel < 0 || channel > 7) return kErrOutOfRange;
        uint16_t v = 0;
        std::lock_guard<PortLock> hold(jig.lock);
        if (const int rc = StartAdConversion(jig, 4, 6); rc != kOk) return rc;
        if (const int rc = read_sample(item, channel, 6, 1000, kMask12, &v); rc != kOk) return rc;
        *word = reversed_low_byte(v);
        return kOk;
    }
    case 3: {
        uint16_t v = 0;
        std::lock_guard<PortLock> hold(jig.lock);
        if (const int rc = StartAdConversion(jig, 0, 1); rc != kOk) return rc;
        if (const int rc = read_sample(item, 0, 1, 1000, kMask12, &v); rc != kOk) return rc;
        *word = v;
        return kOk;
    }
    case 4: {
        std::lock_guard<PortLock> hold(jig.lock);
        *word = PortIn(jig, static_cast<uint32_t>(d.address));
        item.raw.add(*word);
        return kOk;
    }
    default: return kErrInvalidMode;
    }
}

int measure_digital(ItemContext &item, double *value) {
    uint32_t word = 0;
    if (const int rc = read_digital_word(item, &word); rc != kOk) return rc;
    *value = static_cast<double>(word & static_cast<uint32_t>(item.state.measure.digital.mask) & 0xFFFF);
    return kOk;
}

// The extension converter: a voltage ratio, or (Ext0 word 1 bit 0 set) a counter with its own
// clock (word 3 bits 4-6) and scaling exponent (word 2 bits 0-2 and 4-5).
int measure_extention(ItemContext &item, double *value) {
    static constexpr double kSecondsPerCount[8] = {2e-07, 5e-08, 1e-07, 4e-07, 1.6e-06, 6.4e-06, 2.56e-05, 0.0001024};
    JigPorts &jig = item.jig();
    int high = 0, low = 0;
    {
        std::lock_guard<PortLock> hold(jig.lock);
        if (const int rc = StartExtAd(jig); rc != kOk) return rc;
        if (const int rc = ReadExtAd(jig, 1, &high, 2000, kMask12, item.waiter); rc != kOk) return rc;
        if (const int rc = ReadExtAd(jig, 0, &low, 2000, kMask12, item.waiter); rc != kOk) return rc;
    }
    item.raw.add(static_cast<uint32_t>(high));
    item.raw.add(static_cast<uint32_t>(low));
    const auto word = [&jig](int n) { return jig.ext0_words[static_cast<size_t>(n)].load(std::memory_order_relaxed); };
    if (!(word(1) & 1)) {
        if (low == 0) return kErrDividedByZero;
        *value = high * 5.0 / low;
        if (!(word(0) & 1)) *value *= 2.0;
        return kOk;
    }
    const double count = static_cast<double>((high << 12) + low + 1);
    const double p = 2.0 * count * kSecondsPerCount[(word(3) >> 4) & 7];
    const int e = (word(2) & 7) + ((word(2) >> 4) & 3) * 8 - 7;
    *value = std::ldexp(1.0, e) / p;
    return kOk;
}

int measure_gpib(ItemContext &item, double *value) {
    if (!item.run.gpib) {
        item.run.failure_detail = ",gpib_mes( needs the GPIB link, which this station does not have yet";
        return kErrGpibMissingDll;
    }
    return gpib_sample(*item.run.gpib, step_gpib_query(item.state), value, &item.run);
}

// ",rd(": the value already in the result register.
int measure_rd(ItemContext &item, double *value) {
    *value = (*item.run.registers->rd)[static_cast<size_t>(item.result_register)];
    return kOk;
}

constexpr MeasureItem kDcVolt{&setup_dc_volt, &measure_dc_volt};
constexpr MeasureItem kDcVolt2{&setup_dc_volt2, &measure_dc_volt2};
constexpr MeasureItem kPeak{&setup_peak, &measure_peak};
constexpr MeasureItem kPeakPeak{nullptr, &measure_peak_peak, true};
constexpr MeasureItem kPulseWidth{nullptr, &measure_pulse_width};
constexpr MeasureItem kPeriod{nullptr, &measure_period};
constexpr MeasureItem kFrequency{nullptr, &measure_frequency};
constexpr MeasureItem kPhase{&setup_video, &measure_phase, true};
constexpr MeasureItem kDigital{&setup_digital, &measure_digital};
constexpr MeasureItem kExtention{nullptr, &measure_extention};
constexpr MeasureItem kGpibMes{nullptr, &measure_gpib};
constexpr MeasureItem kRd{nullptr, &measure_rd};
constexpr MeasureItem kChromaGain{&setup_video, &measure_chroma_gain, true};
constexpr MeasureItem kChromaPhase{&setup_video, &measure_chroma_phase, true};
constexpr MeasureItem kInterval{&setup_video, &measure_interval, true};
constexpr MeasureItem kVLevel{&setup_video, &measure_v_level, true};
constexpr MeasureItem kVLevelLevel{&setup_video, &measure_v_level_level, true};
constexpr MeasureItem kChromaDet{&setup_video, &measure_chroma_det, true};
constexpr MeasureItem kBottom{&setup_video, &measure_bottom, true};

}  // namespace

const MeasureItem *measure_item(int row) {
    switch (row) {
    case kRowItemDcVolt: return &kDcVolt;
    case kRowItemDcVolt2: return &kDcVolt2;
    case kRowItemPeak: return &kPeak;
    case kRowItemPeakPeak: return &kPeakPeak;
    case kRowItemPulseWidth: return &kPulseWidth;
    case kRowItemPeriod: return &kPeriod;
    case kRowItemFrequency: return &kFrequency;
    case kRowItemPhase: return &kPhase;
    case kRowItemDigital: return &kDigital;
    case kRowItemExtention: return &kExtention;
    case kRowItemGpibMes: return &kGpibMes;
    case kRowItemRd: return &kRd;
    case kRowItemChromaGain: return &kChromaGain;
    case kRowItemChromaPhase: return &kChromaPhase;
    case kRowItemInterval: return &kInterval;
    case kRowItemVLevel: return &kVLevel;
    case kRowItemVLevelLevel: return &kVLevelLevel;
    case kRowItemChromaDet: return &kChromaDet;
    case kRowItemBottom: return &kBottom;
    default: return nullptr;
    }
}

}  // namespace ksw
