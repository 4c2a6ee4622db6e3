// The eight analog outputs of the product as the jig's A/D converter samples them. Each channel
// is a raw count, optionally per range, or a samples file returned in turn; plus a linear term of
// one EVR cell's RAM value (so adjusting the EVR moves the reading) and uniform noise; gated by a
// relay (an sw bit) and by the product's power. Samples are clamped to the converter's 12 bits.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "evr_memory.h"

namespace jigsim {

constexpr int kAdcChannels = 8;
constexpr int kAdcRanges = 7;
constexpr int kAdcMax = 4095;

struct ChannelConfig {
    int counts = 0;
    std::array<std::optional<int>, kAdcRanges> range_counts{};  // none: use counts
    bool has_evr = false;
    int evr_cell = 0;       // page * 256 + address
    double per_step = 1.0;  // counts per unit of the cell's RAM value
    int gate_sw = -1;       // an sw bit that must be on, -1 none
    bool needs_power = false;
    int noise = 0;             // uniform +-noise counts
    std::vector<int> samples;  // returned in turn, cyclically; empty: none
    std::vector<int> wave;     // a generated waveform, played from its start at every conversion start; empty: none
};

// One piece of a generated waveform: over samples [start, end) of the wave, level + amplitude *
// sin(2 pi i / period + phase) with i the sample's index in the wave.
struct WaveSegment {
    int start = 0;
    int end = 0;
    double level = 0;
    double amplitude = 0;
    double period = 4;
    double phase_degrees = 0;
};

// The `length` samples of a wave: `base` where no segment lies, else the last segment that covers
// the sample.
std::vector<int> generate_wave(int length, double base, const std::vector<WaveSegment> &segments);

using OutputPorts = std::array<uint16_t, 32>;

// True when sw bit `b` (0-511) is on in the output ports.
bool sw_on(const OutputPorts &ports, int b);
// True when all nine product power relays (output port 28 bits 0-8) are on.
bool product_powered(const OutputPorts &ports);

class AdcChannels {
public:
    void configure(const std::array<ChannelConfig, kAdcChannels> &channels, uint64_t seed);
    // The next sample of `channel` (0-7) on `range` (0-7; 7 has no counts of its own), 0..4095.
    // The gates come first (a gated channel reads 0 and neither draws noise nor moves on in its
    // samples); then the range's counts, else the next of the samples, else the counts; plus the
    // EVR term and the noise.
    int sample(int channel, int range, const OutputPorts &ports, const EvrMemory &evr);
    // Range -1: the plain counts (the samples are dropped); 0-6: the counts on that range.
    void set_counts(int channel, int range, int counts);
    // A conversion started: every generated wave plays from its first sample again.
    void restart_waves() { wave_cursor_.fill(0); }

private:
    int noise(int amplitude);
    std::array<ChannelConfig, kAdcChannels> channels_{};
    std::array<size_t, kAdcChannels> cursor_{};
    std::array<size_t, kAdcChannels> wave_cursor_{};
    uint64_t rng_ = 0;
};

}  // namespace jigsim
