// The waveform items. Each captures (or reuses) the samples of the video inputs and reduces
// them to one value with an analysis of waveform.h:
//
//   ",v_level("        level of window 1 (by its kind: mean, peak-to-peak, peak, bottom), volts
//   ",v_level_level("  level of window 1 minus level of window 2, volts
//   ",chroma_det("     subcarrier amplitude in window 1 minus that in window 2, volts
//   ",chroma_gain("    subcarrier amplitude in window 2 over that in window 1, percent
//   ",chroma_phase("   subcarrier phase in window 2 minus that in window 1, degrees
//   ",interval("       time from the first rising edge in window 1 to that in window 2, us
//   ",bottom("         bottom (sync tip) level of window 1, volts
//   ",phase("          the counter's delay between the two inputs as a part of input 1's
//                      period (found in the capture), degrees
//
// An edge or a period is looked for only in a window that swings by the slice level at least;
// a window without one gives e002.
//   ",peak_peak("      largest minus smallest sample of window 1 of its own 2048 samples, volts
//
// Levels and amplitudes are divided by the gain of the routed input (",bottom(" is not); the
// capture is block 0 (channel 4) unless said otherwise.
#include "runtime/measure/video_items.h"

#include <cmath>
#include <mutex>
#include <span>

#include "resources/error_codes.h"
#include "runtime/measure/board_ports.h"
#include "runtime/measure/waveform.h"

namespace ksw {
namespace {

constexpr int kCaptureRange = 5;
constexpr int kMask10 = 0x03;
constexpr uint32_t kCaptureTimeoutMs = 5000;
constexpr size_t kBlock = 2048;
constexpr double kNtscSubcarrier = 3579545.0;
constexpr double kPalSubcarrier = 4433618.75;

// Fills the board's capture buffer: a conversion on channel 4, then a block of 2048 samples of
// each of channels 4-7 (or, with global( option 1, one block of 5048 of channel 4). A step
// marked by input_ch(0) analyses what was captured before instead.
int capture(ItemContext &item) {
    MeasureBoard &board = item.run.board;
    if (item.state.measure.reuse_capture && board.captured != 0) return kOk;
    if (board.capture.size() != MeasureBoard::kCaptureWords) board.clear_capture();
    board.captured = 0;
    JigPorts &jig = item.jig();
    const bool single = item.analysis.capture_length == MeasureBoard::kSingleCapture;
    std::lock_guard<PortLock> hold(jig.lock);
    if (const int rc = StartAdConversion(jig, 4, kCaptureRange); rc != kOk) return rc;
    const int blocks = single ? 1 : 4;
    const size_t length = single ? MeasureBoard::kSingleCapture : kBlock;
    for (int b = 0; b < blocks; ++b) {
        uint16_t *into = board.capture.data() + b * kBlock;
        const int rc = ReadAd(jig, 4 + b, kCaptureRange, into, static_cast<int>(length), kCaptureTimeoutMs, kMask10,
                              item.waiter);
        if (rc != kOk) return rc;
        item.raw.add(into[0]);
    }
    board.captured = item.analysis.capture_length;
    return kOk;
}

// Block `n` of the capture (0: channel 4 ... 3: channel 7); empty when it was not captured.
std::span<const uint16_t> block(const ItemContext &item, int n) {
    const MeasureBoard &board = item.run.board;
    if (board.captured == MeasureBoard::kSingleCapture)
        return n == 0 ? std::span<const uint16_t>(board.capture.data(), board.captured) : std::span<const uint16_t>();
    if (board.captured != MeasureBoard::kCaptureWords) return {};
    return std::span<const uint16_t>(board.capture.data() + static_cast<size_t>(n) * kBlock, kBlock);
}

// Detection window `w` (0..3) of the step over `samples`.
waveform::Window window(const ItemContext &item, int w, std::span<const uint16_t> samples) {
    const MeasureBlock &m = item.block();
    return waveform::window_of(m.window_start[static_cast<size_t>(w)], m.window_length[static_cast<size_t>(w)],
                               samples.size(), item.analysis.default_window);
}

double window_level(const ItemContext &item, int w, std::span<const uint16_t> samples) {
    return waveform::level(samples, window(item, w, samples), item.block().window_kind[static_cast<size_t>(w)]);
}

// Counts of the routed input in volts at the product, its gain taken out.
double input_volts(const ItemContext &item, double counts) {
    return counts * waveform::kVoltsPerCount / board::input_gain(item.jig());
}

// True when window `w` swings enough to hold an edge.
bool has_swing(const ItemContext &item, std::span<const uint16_t> samples, waveform::Window w) {
    return waveform::peak_to_peak(samples, w) >= item.analysis.slice;
}

// The subcarrier in windows 1 and 2 of the captured channel 4.
int two_subcarriers(ItemContext &item, waveform::Subcarrier *first, waveform::Subcarrier *second) {
    if (const int rc = capture(item); rc != kOk) return rc;
    const std::span<const uint16_t> s = block(item, 0);
    if (!waveform::subcarrier(s, window(item, 0, s), first) || !waveform::subcarrier(s, window(item, 1, s), second))
        return kErrTooBigSmall;
    return kOk;
}

}  // namespace

double digitiser_rate(const JigPorts &jig, int video_standard) {
    static constexpr double kRates[6] = {0.0, 20e6, 10e6, 4e6, 1e6, 50e3};
    const int clock = board::shadow(jig, board::kClockPort) & 0x0F;
    if (clock >= 1 && clock <= 5) return kRates[clock];
    return 4.0 * (video_standard == 1 ? kPalSubcarrier : kNtscSubcarrier);
}

int setup_video(ItemContext &item) { return board::update_port(item.jig(), board::kInputSelectPort, 0xFFFF, 0x0070); }

int measure_peak_peak(ItemContext &item, double *value) {
    JigPorts &jig = item.jig();
    item.work.resize(kBlock);
    {
        std::lock_guard<PortLock> hold(jig.lock);
        if (const int rc = StartAdConversion(jig, 4, kCaptureRange); rc != kOk) return rc;
        const int rc = ReadAd(jig, 4, kCaptureRange, item.work.data(), static_cast<int>(kBlock), 1000, kMask10, item.waiter);
        if (rc != kOk) return rc;
    }
    item.raw.add(item.work[0]);
    const std::span<const uint16_t> s(item.work);
    *value = input_volts(item, waveform::peak_to_peak(s, window(item, 0, s)));
    return kOk;
}

int measure_phase(ItemContext &item, double *value) {
    double delay = 0, cycle = 0;
    if (const int rc = read_counter_seconds(item, &delay); rc != kOk) return rc;
    if (const int rc = capture(item); rc != kOk) return rc;
    const std::span<const uint16_t> s = block(item, 0);
    const waveform::Window w = window(item, 0, s);
    if (!has_swing(item, s, w) || !waveform::mean_period(s, w, &cycle)) return kErrTooBigSmall;
    const double period = cycle / digitiser_rate(item.jig(), item.record.video_standard);
    *value = waveform::wrap_degrees(360.0 * delay / period);
    return kOk;
}

int measure_chroma_gain(ItemContext &item, double *value) {
    waveform::Subcarrier burst, chroma;
    if (const int rc = two_subcarriers(item, &burst, &chroma); rc != kOk) return rc;
    if (!(burst.amplitude > 0.0)) return kErrDividedByZero;
    *value = 100.0 * chroma.amplitude / burst.amplitude;
    return kOk;
}

int measure_chroma_phase(ItemContext &item, double *value) {
    waveform::Subcarrier burst, chroma;
    if (const int rc = two_subcarriers(item, &burst, &chroma); rc != kOk) return rc;
    *value = waveform::wrap_degrees(chroma.phase - burst.phase);
    return kOk;
}

int measure_chroma_det(ItemContext &item, double *value) {
    waveform::Subcarrier first, second;
    if (const int rc = two_subcarriers(item, &first, &second); rc != kOk) return rc;
    *value = input_volts(item, first.amplitude - second.amplitude);
    return kOk;
}

// A time between two edges does not scale with the input's gain, so this one is not divided.
int measure_interval(ItemContext &item, double *value) {
    if (const int rc = capture(item); rc != kOk) return rc;
    const std::span<const uint16_t> s = block(item, 0);
    const waveform::Window first = window(item, 0, s), second = window(item, 1, s);
    double from = 0, to = 0;
    if (!has_swing(item, s, first) || !has_swing(item, s, second) || !waveform::first_rising_crossing(s, first, &from) ||
        !waveform::first_rising_crossing(s, second, &to))
        return kErrTooBigSmall;
    *value = (to - from) / digitiser_rate(item.jig(), item.record.video_standard) * 1e6;
    return kOk;
}

int measure_v_level(ItemContext &item, double *value) {
    if (const int rc = capture(item); rc != kOk) return rc;
    *value = input_volts(item, window_level(item, 0, block(item, 0)));
    return kOk;
}

int measure_v_level_level(ItemContext &item, double *value) {
    if (const int rc = capture(item); rc != kOk) return rc;
    const std::span<const uint16_t> s = block(item, 0);
    *value = input_volts(item, window_level(item, 0, s) - window_level(item, 1, s));
    return kOk;
}

int measure_bottom(ItemContext &item, double *value) {
    if (const int rc = capture(item); rc != kOk) return rc;
    const std::span<const uint16_t> s = block(item, 0);
    *value = waveform::bottom(s, window(item, 0, s)) * waveform::kVoltsPerCount;
    return kOk;
}

}  // namespace ksw
