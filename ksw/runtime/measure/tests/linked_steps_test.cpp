// Linked steps: each member measures on its own thread, one pass at a time, and the group is
// judged when all have ended; halting parks them all, aborting ends them all.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "jigsim.h"
#include "measure_fixture.h"
#include "model/frontend.h"

namespace ksw::testing {
namespace {

using namespace std::chrono_literals;

constexpr const char *kGroup = "step 10\ncheck,dc_volt(5,+-0.1)\nlink(11)\nlink(12)\n"
                               "step 11\ncheck,dc_volt(5,+-0.2)\nsetsw(on,68)\n";

class LinkedSteps : public MeasureTest {
protected:
    // Waits (from another thread than the run's, so through the jig) until every step of the
    // group has taken readings: the members take turns, one conversion a reading.
    static bool all_measuring() {
        for (int i = 0; i < 500; ++i) {
            if (jigsim_conversions() >= 6) return true;
            std::this_thread::sleep_for(2ms);
        }
        return false;
    }
};

TEST_F(LinkedSteps, EveryMemberMeasuresAndTheGroupIsJudgedByAll) {
    ASSERT_EQ(run(dc_volts(5), std::string(kGroup) + "step 12\ncheck,dc_volt(5,+-0.3)\n"), kOk);
    for (int step = 10; step <= 12; ++step) EXPECT_EQ(state(step).judgement, kJudgedOk) << step;
    EXPECT_DOUBLE_EQ(rd(2), 5.0);
    EXPECT_EQ(jigsim_output_port(8) & 0x10, 0);  // sw 68, cleared when member 11's loop ended
    // One member below its window: it ends NG at its time-out, the others once it has ended.
    ASSERT_EQ(run(dc_volts(5), std::string(kGroup) + "step 12\ncheck,dc_volt(6,+-0.1)\nlimit(0.05,1)\n"), kErrStepNg);
    EXPECT_EQ(state(12).judgement, kJudgedNgBelow);
    EXPECT_EQ(state(11).judgement, kJudgedOk);
    EXPECT_EQ(state(10).judgement, kJudgedNg);
    EXPECT_EQ(context.first_ng_step, 12);
    // A member's error ends the group with it, naming the member.
    EXPECT_EQ(run(dc_volts(5), std::string(kGroup) + "step 12\ncheck,digital(0)\ndigital(evr,1)\n"), kErrNotSupportedComType);
    EXPECT_EQ(context.first_ng_step, 12);
}

TEST_F(LinkedSteps, AMemberSlowerThanTheLinkWaitEndsTheGroupAndIsStopped) {
    // Every reading waits one 100 ms poll for the converter; the head waits 30 ms for a member.
    const auto begun = std::chrono::steady_clock::now();
    EXPECT_EQ(run("[jig]\nadc_busy_us=1000\n[adc.0]\ncounts_r6=4000\n[adc.1]\ncounts_r6=4000\n",
                  "step 10\ncheck,dc_volt(5,+-0.1)\ncheck_time(30)\nlink(11)\nlink(12)\n"
                  "step 11\ncheck,dc_volt(5,+-0.2)\nstep 12\ncheck,dc_volt(5,+-0.1)\n"),
              kErrStepTimeout);
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 2s);  // the member was not waited for to its end
    EXPECT_EQ(context.first_ng_step, 10);
}

TEST_F(LinkedSteps, EnterEndsEveryMemberOfAnAdjustingGroup) {
    // With an adjust step in the group the members measure on after their OK counts, until the
    // operator presses Enter once.
    start(dc_volts(5));
    ASSERT_TRUE(load("step 10\nadjust,dc_volt(5,+-0.1)\nlink(11)\nlink(12)\nstep 11\ncheck,dc_volt(5,+-0.1)\n"
                     "step 12\ncheck,dc_volt(5,+-0.1)\n"));
    std::atomic<int> result{-1};
    std::thread sequencer([&] { result = run_thread(context, 1); });
    ASSERT_TRUE(all_measuring());
    SaveKeyBuffer(kVkReturn);
    for (int i = 0; i < 2500 && result == -1; ++i) std::this_thread::sleep_for(2ms);
    if (result == -1) context.gate.abort();  // a member that did not leave would measure for ever
    sequencer.join();
    EXPECT_EQ(result, kOk);
    for (int step = 10; step <= 12; ++step) EXPECT_EQ(state(step).judgement, kJudgedOk) << step;
}

TEST_F(LinkedSteps, HaltingParksEveryMemberAndAbortingEndsThem) {
    // Step 12 never reaches its window and has no time-out: the group measures until stopped.
    start(dc_volts(5));
    ASSERT_TRUE(load(std::string(kGroup) + "step 12\ncheck,dc_volt(9,+-0.1)\n"));
    int result = -1;
    std::thread sequencer([&] { result = run_thread(context, 1); });
    ASSERT_TRUE(all_measuring());
    context.gate.halt();
    std::this_thread::sleep_for(50ms);  // the member that was measuring reaches its checkpoint
    const uint64_t converted = jigsim_conversions();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(jigsim_conversions(), converted);
    EXPECT_GE(context.gate.parked_threads(), 1);
    context.gate.resume();
    std::this_thread::sleep_for(50ms);
    EXPECT_GT(jigsim_conversions(), converted);
    context.gate.abort();
    sequencer.join();
    EXPECT_EQ(result, kErrBreakedByUser);
    EXPECT_EQ(jigsim_output_port(8) & 0x10, 0);  // every loop cleared the relays on its way out
}

}  // namespace
}  // namespace ksw::testing
