#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/tick.h"
#include "runtime/run_context.h"

namespace ksw {
namespace {

using platform::sleep_ms;
using platform::tick_count;
using platform::ticks_since;

// Waits until `n` threads are parked at the gate.
void wait_parked(const RunGate &gate, int n) {
    const uint32_t start = tick_count();
    while (gate.parked_threads() < n && ticks_since(start) < 5000) sleep_ms(1);
    ASSERT_EQ(gate.parked_threads(), n);
}

TEST(RunGate, AHaltedThreadParksAtItsNextCheckpointAndResumes) {
    RunContext context;
    std::atomic<int> passes{0};
    std::atomic<bool> running{true};
    std::thread sequencer([&] {
        while (running && context.checkpoint()) ++passes;
    });
    context.gate.halt();
    wait_parked(context.gate, 1);
    const int at_halt = passes.load();
    sleep_ms(20);
    EXPECT_EQ(passes.load(), at_halt);  // nothing moves while halted
    context.step_start_tick = tick_count();
    const uint32_t before = context.step_start_tick;
    sleep_ms(30);
    context.gate.resume();
    while (passes.load() == at_halt) sleep_ms(1);
    running = false;
    sequencer.join();
    // The halted time is taken out of the step's time.
    EXPECT_GE(context.step_start_tick - before, 25u);
}

TEST(RunGate, AbortUnwindsAParkedOrSleepingThread) {
    RunContext context;
    bool result = true;
    std::thread parked([&] {
        context.gate.halt();
        result = context.checkpoint();
    });
    wait_parked(context.gate, 1);
    context.gate.abort();
    parked.join();
    EXPECT_FALSE(result);

    context.gate.reset();
    const uint32_t start = tick_count();
    std::thread sleeper([&] { result = context.gate.sleep(10000); });
    sleep_ms(20);
    context.gate.abort();
    sleeper.join();
    EXPECT_FALSE(result);
    EXPECT_LT(ticks_since(start), 5000u);
}

TEST(RunGate, SleepCountsHaltedTimeAndWaitsDoNot) {
    RunGate gate;
    const uint32_t start = tick_count();
    EXPECT_TRUE(gate.sleep(30));
    EXPECT_GE(ticks_since(start), 30u);

    // A wait for an event: 50 ms of halt do not use up a 40 ms time-out.
    std::mutex mutex;
    std::condition_variable changed;
    bool signal = false;
    gate.halt();
    std::thread releaser([&] {
        sleep_ms(50);
        gate.resume();
        sleep_ms(10);
        {
            std::lock_guard<std::mutex> lock(mutex);
            signal = true;
        }
        changed.notify_all();
    });
    EXPECT_EQ(gate.wait_for(mutex, changed, &signal, 40), 1);
    releaser.join();
    signal = false;
    EXPECT_EQ(gate.wait_for(mutex, changed, &signal, 20), 0);
}

}  // namespace
}  // namespace ksw
