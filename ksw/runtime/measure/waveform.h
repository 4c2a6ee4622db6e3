// The analyses of captured waveforms behind the video items and ",peak_peak(". Samples are the
// measuring board's 10-bit counts, 512 counts a volt. The board samples the video inputs at four
// times the colour subcarrier (dgtz_clk( "4fs"), so one subcarrier cycle is exactly four
// samples: two windows whose starts differ by a multiple of four see the subcarrier in the same
// phase, which is what makes a phase between them meaningful.
//
// A window is a part of one block of samples: [start, start + length). Windows come from the
// step's detection windows (level(, interval(); a window not declared falls back to the start
// of the block with the default length the loop prepared (500 samples).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace ksw::waveform {

constexpr double kVoltsPerCount = 0.001953125;  // 1/512 V

struct Window {
    size_t start = 0;
    size_t length = 0;
};

// The window [start, start + length) clipped to `available` samples; a start below 0 or a
// length of 0 or less gives [0, min(default_length, available)).
Window window_of(int32_t start, int32_t length, size_t available, size_t default_length);

// Level kinds of level( ("a", "pp", "p", "b").
enum LevelKind : int { kMean = 0, kPeakToPeak = 1, kPeak = 2, kBottom = 3 };

// The window's level of `kind`, in counts: the mean, the peak-to-peak span, the largest or the
// smallest sample. 0 for an empty window.
double level(std::span<const uint16_t> samples, Window window, int kind);

// Largest minus smallest sample of the window, in counts.
double peak_to_peak(std::span<const uint16_t> samples, Window window);

// The bottom level (a sync tip): the lowest mean of four samples in a row in the window, so a
// subcarrier cycle and noise on a flat bottom average out (the smallest sample of a window
// shorter than four).
double bottom(std::span<const uint16_t> samples, Window window);

// The colour subcarrier in a window, demodulated synchronously over whole cycles of four
// samples: with I the sum of s[4m] - s[4m+2] and Q the sum of s[4m+1] - s[4m+3] over the M whole
// cycles, amplitude = sqrt(I^2 + Q^2) / 2M counts and phase = atan2(I, Q) in degrees. False
// when the window holds no whole cycle.
struct Subcarrier {
    double amplitude = 0;  // counts, peak
    double phase = 0;      // degrees, -180 < phase <= 180
};
bool subcarrier(std::span<const uint16_t> samples, Window window, Subcarrier *out);

// The first rising crossing of the window's half level (midway between its smallest and largest
// sample), as a fractional sample index counted from the start of the block (linear between the
// two samples around it). False when the window never rises through that level.
bool first_rising_crossing(std::span<const uint16_t> samples, Window window, double *position);

// The mean distance between consecutive rising crossings of the window's half level, in
// samples. False with fewer than two crossings.
bool mean_period(std::span<const uint16_t> samples, Window window, double *samples_per_cycle);

// An angle in degrees brought into -180 < angle <= 180.
double wrap_degrees(double angle);

}  // namespace ksw::waveform
