#include "runtime/measure/waveform.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ksw::waveform {
namespace {

std::span<const uint16_t> part(std::span<const uint16_t> samples, Window window) {
    if (window.start >= samples.size()) return {};
    return samples.subspan(window.start, std::min(window.length, samples.size() - window.start));
}

// The half level of a window: midway between its smallest and largest sample.
double half_level(std::span<const uint16_t> s) {
    const auto [low, high] = std::minmax_element(s.begin(), s.end());
    return (static_cast<double>(*low) + *high) / 2.0;
}

// Calls `found(position)` for every rising crossing of `threshold` in `s` (positions from the
// start of `s`, linear between the samples around the crossing) until it returns false.
template <typename Found>
void rising_crossings(std::span<const uint16_t> s, double threshold, Found found) {
    for (size_t i = 1; i < s.size(); ++i) {
        const double a = s[i - 1], b = s[i];
        if (a < threshold && b >= threshold) {
            if (!found(static_cast<double>(i - 1) + (threshold - a) / (b - a))) return;
        }
    }
}

}  // namespace

Window window_of(int32_t start, int32_t length, size_t available, size_t default_length) {
    if (start < 0 || length <= 0) return {0, std::min(default_length, available)};
    const size_t first = std::min(static_cast<size_t>(start), available);
    return {first, std::min(static_cast<size_t>(length), available - first)};
}

double level(std::span<const uint16_t> samples, Window window, int kind) {
    const std::span<const uint16_t> s = part(samples, window);
    if (s.empty()) return 0.0;
    const auto [low, high] = std::minmax_element(s.begin(), s.end());
    switch (kind) {
    case kPeakToPeak: return static_cast<double>(*high) - *low;
    case kPeak: return *high;
    case kBottom: return *low;
    default: {
        double sum = 0;
        for (const uint16_t v : s) sum += v;
        return sum / static_cast<double>(s.size());
    }
    }
}

double peak_to_peak(std::span<const uint16_t> samples, Window window) { return level(samples, window, kPeakToPeak); }

double bottom(std::span<const uint16_t> samples, Window window) {
    const std::span<const uint16_t> s = part(samples, window);
    if (s.empty()) return 0.0;
    if (s.size() < 4) return *std::min_element(s.begin(), s.end());
    double run = static_cast<double>(s[0]) + s[1] + s[2] + s[3];
    double lowest = run;
    for (size_t i = 4; i < s.size(); ++i) {
        run += static_cast<double>(s[i]) - s[i - 4];
        lowest = std::min(lowest, run);
    }
    return lowest / 4.0;
}

bool subcarrier(std::span<const uint16_t> samples, Window window, Subcarrier *out) {
    const std::span<const uint16_t> s = part(samples, window);
    const size_t cycles = s.size() / 4;
    if (cycles == 0) return false;
    double i_sum = 0, q_sum = 0;
    for (size_t m = 0; m < cycles; ++m) {
        const uint16_t *c = &s[4 * m];
        i_sum += static_cast<double>(c[0]) - c[2];
        q_sum += static_cast<double>(c[1]) - c[3];
    }
    out->amplitude = std::hypot(i_sum, q_sum) / (2.0 * static_cast<double>(cycles));
    out->phase = wrap_degrees(std::atan2(i_sum, q_sum) * 180.0 / std::numbers::pi);
    return true;
}

bool first_rising_crossing(std::span<const uint16_t> samples, Window window, double *position) {
    const std::span<const uint16_t> s = part(samples, window);
    if (s.size() < 2) return false;
    bool found = false;
    rising_crossings(s, half_level(s), [&](double at) {
        *position = static_cast<double>(window.start) + at;
        found = true;
        return false;
    });
    return found;
}

bool mean_period(std::span<const uint16_t> samples, Window window, double *samples_per_cycle) {
    const std::span<const uint16_t> s = part(samples, window);
    if (s.size() < 2) return false;
    double first = 0, last = 0;
    size_t count = 0;
    rising_crossings(s, half_level(s), [&](double at) {
        if (count++ == 0) first = at;
        last = at;
        return true;
    });
    if (count < 2) return false;
    *samples_per_cycle = (last - first) / static_cast<double>(count - 1);
    return true;
}

double wrap_degrees(double angle) {
    double a = std::fmod(angle, 360.0);
    if (a <= -180.0) a += 360.0;
    if (a > 180.0) a -= 360.0;
    return a;
}

}  // namespace ksw::waveform
