// The waveform analyses on sample blocks made here: windows, levels, the subcarrier's amplitude
// and phase, edges and periods.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "runtime/measure/waveform.h"

namespace ksw::waveform {
namespace {

// `n` samples of level + amplitude * sin(2 pi i / period + phase degrees).
std::vector<uint16_t> sine(size_t n, double level, double amplitude, double period, double phase) {
    std::vector<uint16_t> s(n);
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<uint16_t>(std::lround(level + amplitude * std::sin(2 * std::numbers::pi * i / period + phase * std::numbers::pi / 180)));
    return s;
}

TEST(Waveform, WindowsAreClippedAndAnUndeclaredOneTakesTheDefaultLength) {
    EXPECT_EQ(window_of(-1, 0, 2048, 500).length, 500u);
    EXPECT_EQ(window_of(10, 0, 2048, 500).start, 0u);  // no length: not declared
    EXPECT_EQ(window_of(-1, 0, 300, 500).length, 300u);
    const Window w = window_of(2000, 100, 2048, 500);
    EXPECT_EQ(w.start, 2000u);
    EXPECT_EQ(w.length, 48u);
    EXPECT_EQ(window_of(5000, 10, 2048, 500).length, 0u);
    EXPECT_EQ(level(std::vector<uint16_t>(2048, 7), window_of(5000, 10, 2048, 500), kMean), 0.0);
}

TEST(Waveform, LevelsOfAWindowByKind) {
    const std::vector<uint16_t> s{1, 9, 4, 100, 2, 6, 0};
    const Window w{1, 5};  // 9, 4, 100, 2, 6
    EXPECT_DOUBLE_EQ(level(s, w, kMean), 24.2);
    EXPECT_DOUBLE_EQ(level(s, w, kPeakToPeak), 98.0);
    EXPECT_DOUBLE_EQ(level(s, w, kPeak), 100.0);
    EXPECT_DOUBLE_EQ(level(s, w, kBottom), 2.0);
}

TEST(Waveform, TheBottomAveragesASubcarrierCycle) {
    // A sync tip at 150 with the subcarrier on it (+-20), blank at 300 around it.
    std::vector<uint16_t> s(100, 300);
    const std::vector<uint16_t> tip = sine(40, 150, 20, 4, 0);
    std::copy(tip.begin(), tip.end(), s.begin() + 30);
    EXPECT_DOUBLE_EQ(bottom(s, Window{0, 100}), 150.0);
    EXPECT_DOUBLE_EQ(bottom(s, Window{0, 3}), 300.0);
}

TEST(Waveform, TheSubcarrierIsDemodulatedOverWholeCycles) {
    Subcarrier sc;
    const std::vector<uint16_t> s = sine(203, 500, 80, 4, 30);
    ASSERT_TRUE(subcarrier(s, Window{0, 203}, &sc));
    EXPECT_NEAR(sc.amplitude, 80.0, 0.5);
    EXPECT_NEAR(sc.phase, 30.0, 0.5);
    // A window that starts two samples later sees the subcarrier half a cycle on.
    ASSERT_TRUE(subcarrier(s, Window{2, 200}, &sc));
    EXPECT_NEAR(sc.phase, -150.0, 0.5);
    EXPECT_FALSE(subcarrier(s, Window{0, 3}, &sc));
}

TEST(Waveform, EdgesAndPeriodsAtTheHalfLevel) {
    std::vector<uint16_t> s(400, 100);
    std::fill(s.begin() + 200, s.begin() + 300, 600);
    double at = 0;
    ASSERT_TRUE(first_rising_crossing(s, Window{150, 100}, &at));
    EXPECT_DOUBLE_EQ(at, 199.5);
    EXPECT_FALSE(first_rising_crossing(s, Window{210, 100}, &at));  // only a falling edge
    double period = 0;
    ASSERT_TRUE(mean_period(sine(1000, 500, 200, 40, 0), Window{0, 1000}, &period));
    EXPECT_NEAR(period, 40.0, 0.01);
    EXPECT_FALSE(mean_period(s, Window{0, 400}, &period));  // a single edge has no period
}

TEST(Waveform, AnglesWrapIntoAHalfOpenCircle) {
    EXPECT_DOUBLE_EQ(wrap_degrees(190.0), -170.0);
    EXPECT_DOUBLE_EQ(wrap_degrees(-180.0), 180.0);
    EXPECT_DOUBLE_EQ(wrap_degrees(720.5), 0.5);
}

}  // namespace
}  // namespace ksw::waveform
