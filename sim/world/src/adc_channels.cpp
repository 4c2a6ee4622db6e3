#include "adc_channels.h"

#include <algorithm>
#include <cmath>

namespace jigsim {

bool sw_on(const OutputPorts &ports, int b) {
    if (b < 256) return (ports[static_cast<size_t>(b / 8)] >> (b % 8)) & 1;
    return (ports[static_cast<size_t>(b / 8 - 32)] >> (b % 8 + 8)) & 1;
}

bool product_powered(const OutputPorts &ports) { return (ports[28] & 0x1FF) == 0x1FF; }

std::vector<int> generate_wave(int length, double base, const std::vector<WaveSegment> &segments) {
    constexpr double kTwoPi = 6.283185307179586;
    std::vector<int> wave(static_cast<size_t>(std::max(length, 0)));
    for (int i = 0; i < length; ++i) {
        double v = base;
        for (const WaveSegment &s : segments) {
            if (i < s.start || i >= s.end) continue;
            v = s.level + s.amplitude * std::sin(kTwoPi * i / s.period + s.phase_degrees * kTwoPi / 360.0);
        }
        wave[static_cast<size_t>(i)] = static_cast<int>(std::lround(v));
    }
    return wave;
}

void AdcChannels::configure(const std::array<ChannelConfig, kAdcChannels> &channels, uint64_t seed) {
    channels_ = channels;
    cursor_.fill(0);
    wave_cursor_.fill(0);
    rng_ = seed;
}

// splitmix64: small, fast and the same on every platform, so a seed repeats a run exactly.
int AdcChannels::noise(int amplitude) {
    uint64_t z = (rng_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    const uint64_t span = 2 * static_cast<uint64_t>(amplitude) + 1;
    return static_cast<int>(z % span) - amplitude;
}

int AdcChannels::sample(int channel, int range, const OutputPorts &ports, const EvrMemory &evr) {
    ChannelConfig &c = channels_[static_cast<size_t>(channel)];
    if (c.gate_sw >= 0 && !sw_on(ports, c.gate_sw)) return 0;
    if (c.needs_power && !product_powered(ports)) return 0;
    long long value = c.counts;
    if (range >= 0 && range < kAdcRanges && c.range_counts[static_cast<size_t>(range)]) {
        value = *c.range_counts[static_cast<size_t>(range)];
    } else if (!c.wave.empty()) {
        size_t &at = wave_cursor_[static_cast<size_t>(channel)];
        value = c.wave[at % c.wave.size()];
        at = (at + 1) % c.wave.size();
    } else if (!c.samples.empty()) {
        size_t &at = cursor_[static_cast<size_t>(channel)];
        value = c.samples[at % c.samples.size()];
        at = (at + 1) % c.samples.size();
    }
    if (c.has_evr) {  // bounded first: a huge per_step must not overflow the sum
        value += std::llround(std::clamp(c.per_step * evr.get(kRam, c.evr_cell), -1e9, 1e9));
    }
    if (c.noise > 0) value += noise(c.noise);
    return static_cast<int>(std::clamp<long long>(value, 0, kAdcMax));
}

void AdcChannels::set_counts(int channel, int range, int counts) {
    ChannelConfig &c = channels_[static_cast<size_t>(channel)];
    if (range < 0) {
        c.counts = counts;
        c.samples.clear();
        c.wave.clear();
    } else {
        c.range_counts[static_cast<size_t>(range)] = counts;
    }
}

}  // namespace jigsim
