// The A/D converters driven against the simulated jig: selection, conversion, the busy wait and
// its time-out, the samples read back.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/tick.h"
#include "resources/error_codes.h"
#include "sim_jig.h"

namespace ksw {
namespace {

using testing::SimJigTest;

class JigAdc : public SimJigTest {};

TEST_F(JigAdc, SelectingAChannelRewritesOutputPort1WithAZeroHighByte) {
    ASSERT_EQ(WriteOutputPort(jig, 1, 0xAB4D), kOk);
    ASSERT_EQ(SelectAdChannel(jig, 3, 5), kOk);
    EXPECT_EQ(jigsim_output_port(1), 0x004B);
    int channel = -1, range = -1;
    jigsim_adc_selection(&channel, &range);
    EXPECT_EQ(channel, 3);
    EXPECT_EQ(range, 5);
    EXPECT_EQ(SelectAdChannel(jig, 8, 0), kErrOutOfRange);
    EXPECT_EQ(SelectAdChannel(jig, 0, 7), kErrOutOfRange);
}

TEST_F(JigAdc, AConversionIsReadBackWithTheConvertersMask) {
    jigsim_set_adc_counts(2, -1, 0x0ABC);
    jigsim_set_adc_counts(2, 4, 0x0123);
    const uint64_t started = jigsim_conversions();
    ASSERT_EQ(StartAdConversion(jig, 2, 6), kOk);
    EXPECT_EQ(jigsim_conversions(), started + 1);
    std::array<uint16_t, 3> samples{};
    ASSERT_EQ(ReadAd(jig, 2, 6, samples.data(), 3, 1000, ad_high_byte_mask(12)), kOk);
    EXPECT_EQ(samples, (std::array<uint16_t, 3>{0x0ABC, 0x0ABC, 0x0ABC}));
    ASSERT_EQ(ReadAd(jig, 2, 4, samples.data(), 1, 1000, ad_high_byte_mask(12)), kOk);
    EXPECT_EQ(samples[0], 0x0123);
    ASSERT_EQ(ReadAdFast(jig, 2, 6, samples.data(), 2, ad_high_byte_mask(10)), kOk);
    EXPECT_EQ(samples[0], 0x02BC);  // 10 bits: two bits of the high byte
    ASSERT_EQ(ReadAdFast(jig, 2, 6, samples.data(), 1, ad_high_byte_mask(8)), kOk);
    EXPECT_EQ(samples[0], 0x00BC);
    EXPECT_EQ(ad_high_byte_mask(16), 0xFF);
}

TEST_F(JigAdc, AStuckConverterTimesOutAfterItsTimeOutAndStillMarksTheRead) {
    jigsim_set_adc_stuck(1);
    std::array<uint16_t, 1> sample{};
    jig.last_ad_read_tick.store(0);
    const uint32_t start = platform::tick_count();
    EXPECT_EQ(ReadAd(jig, 0, 0, sample.data(), 1, 250, 0x0F), kErrAdTimeout);
    const uint32_t took = platform::ticks_since(start);
    EXPECT_GE(took, 250u);
    EXPECT_LT(took, 1000u);
    EXPECT_LE(platform::ticks_since(jig.last_ad_read_tick.load()), 50u);
    jigsim_set_adc_stuck(0);
    EXPECT_EQ(ReadAd(jig, 0, 0, sample.data(), 1, 250, 0x0F), kOk);
}

TEST_F(JigAdc, WithoutPortIoTheSamplesAreZero) {
    start("", kAccessNoPortIo);
    jigsim_set_adc_counts(0, -1, 999);
    std::array<uint16_t, 4> samples{1, 2, 3, 4};
    EXPECT_EQ(SelectAdChannel(jig, 0, 0), -1);
    EXPECT_EQ(StartAdConversion(jig, 0, 0), kOk);
    EXPECT_EQ(ReadAd(jig, 0, 0, samples.data(), 3, 100, 0x0F), kOk);
    EXPECT_EQ(samples, (std::array<uint16_t, 4>{0, 0, 0, 4}));
    EXPECT_TRUE(accesses().empty());
}

TEST_F(JigAdc, JigPowerOffStopsTheSelectionBeforeAnyConversion) {
    jigsim_set_power(0);
    std::array<uint16_t, 1> sample{7};
    EXPECT_EQ(ReadAd(jig, 1, 1, sample.data(), 1, 100, 0x0F), kErrJigPowerOff);
    EXPECT_EQ(sample[0], 7);
    EXPECT_EQ(StartAdConversion(jig, 1, 1), kErrJigPowerOff);
    EXPECT_EQ(jigsim_conversions(), 0u);
}

TEST_F(JigAdc, TheExtensionConverterReadsTheSelectedSelector) {
    jigsim_set_ext_adc(0, 1000);
    jigsim_set_ext_adc(1, 0x0FFF);
    ASSERT_EQ(StartExtAd(jig), kOk);
    int value = -1;
    ASSERT_EQ(ReadExtAd(jig, 1, &value, 500, 0x0F), kOk);
    EXPECT_EQ(value, 0x0FFF);
    ASSERT_EQ(ReadExtAd(jig, 0, &value, 500, 0x03), kOk);
    EXPECT_EQ(value, 1000);
    EXPECT_EQ(ReadExtAd(jig, 2, &value, 500, 0x03), kErrOutOfRange);
}

// The busy wait gives the port lock back while it sleeps: another thread reaches the jig
// meanwhile, and an abort ends the wait at once.
TEST_F(JigAdc, TheBusyWaitLetsOtherThreadsInAndEndsOnAnAbort) {
    jigsim_set_adc_stuck(1);
    std::atomic<bool> stop{false};
    JigWaiter waiter{[](void *flag, uint32_t ms) {
                         platform::sleep_ms(ms);
                         return !static_cast<std::atomic<bool> *>(flag)->load();
                     },
                     &stop};
    std::atomic<int> result{-100};
    std::thread reader([&] {
        std::array<uint16_t, 1> sample{};
        result = ReadAd(jig, 0, 0, sample.data(), 1, 60000, 0x0F, waiter);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const auto before = std::chrono::steady_clock::now();
    EXPECT_GE(ReadRemoteSwitches(jig), 0);  // takes the port lock
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(90));
    EXPECT_EQ(result.load(), -100);
    stop = true;
    reader.join();
    EXPECT_EQ(result.load(), kErrBreakedByUser);
    EXPECT_FALSE(jig.lock.held_here());
}

}  // namespace
}  // namespace ksw
