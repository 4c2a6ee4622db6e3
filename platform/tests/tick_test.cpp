#include <gtest/gtest.h>

#include "platform/tick.h"

namespace ksw::platform {
namespace {

TEST(Tick, DifferencesAcrossTheWrapAreCorrect) {
    EXPECT_EQ(ticks_between(0xFFFFFFF0u, 0x00000010u), 0x20u);
    EXPECT_EQ(ticks_between(100u, 100u), 0u);
    EXPECT_EQ(ticks_between(0u, 0xFFFFFFFFu), 0xFFFFFFFFu);
}

TEST(Tick, ClockRunsAcrossTheWrapWithoutLosingTime) {
    set_tick_offset(0);
    const uint32_t raw = tick_count();
    // Place the counter 20 ms before its wrap.
    set_tick_offset(0xFFFFFFFFu - raw - 19u);
    const uint32_t start = tick_count();
    EXPECT_GT(start, 0xFFFFFF00u);
    sleep_ms(60);
    const uint32_t now = tick_count();
    EXPECT_LT(now, start) << "the counter should have wrapped";
    EXPECT_GE(ticks_between(start, now), 60u);
    EXPECT_LT(ticks_between(start, now), 2000u);
    EXPECT_TRUE(ticks_elapsed(start, 60));
    EXPECT_FALSE(ticks_elapsed(start, 5000));
    set_tick_offset(0);
}

// On the manual clock a sleep moves time by exactly what it asked for: zero only yields.
TEST(Tick, SleepZeroOnlyYields) {
    use_manual_clock(true);
    const uint32_t start = tick_count();
    for (int i = 0; i < 100; ++i) sleep_ms(0);
    EXPECT_EQ(ticks_since(start), 0u);
    sleep_ms(7);
    EXPECT_EQ(ticks_since(start), 7u);
    advance_manual_clock(3);
    EXPECT_EQ(ticks_since(start), 10u);
    use_manual_clock(false);
}

}  // namespace
}  // namespace ksw::platform
