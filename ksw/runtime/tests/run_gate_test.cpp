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

// On the manual clock: a thread parks at its next checkpoint, nothing moves while it is
// parked, and the time it spent parked is taken out of the step's time, exactly.
TEST(RunGate, AHaltedThreadParksAtItsNextCheckpointAndResumes) {
    platform::use_manual_clock(true);
    RunContext context;
    std::atomic<int> passes{0};
    std::atomic<bool> running{true};
    context.step_start_tick = tick_count();
    context.item_ticks.fill(context.step_start_tick);
    const uint32_t before = context.step_start_tick;
    std::thread sequencer([&] {
        while (running && context.checkpoint()) {
            ++passes;
            std::this_thread::yield();
        }
    });
    context.gate.halt();
    wait_parked(context.gate, 1);
    const int at_halt = passes.load();
    platform::advance_manual_clock(30);  // 30 ms pass while it is parked
    for (int i = 0; i < 100; ++i) std::this_thread::yield();
    EXPECT_EQ(passes.load(), at_halt);  // nothing moves while halted
    context.gate.resume();
    while (passes.load() == at_halt) std::this_thread::yield();
    running = false;
    sequencer.join();
    EXPECT_EQ(context.step_start_tick - before, 30u);
    EXPECT_EQ(context.item_ticks[0] - before, 30u);
    platform::use_manual_clock(false);
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

    // A wait for an event, on the manual clock: 50 ms of halt do not use up a 40 ms time-out.
    platform::use_manual_clock(true);
    std::mutex mutex;
    std::condition_variable changed;
    bool signal = false;
    gate.halt();
    std::atomic<int> result{-2};
    std::thread waiter([&] { result = gate.wait_for(mutex, changed, &signal, 40); });
    wait_parked(gate, 1);
    platform::advance_manual_clock(50);
    gate.resume();
    while (gate.parked_threads() != 0) std::this_thread::yield();
    platform::advance_manual_clock(10);  // 10 of the 40 ms used while running
    {
        std::lock_guard<std::mutex> lock(mutex);
        signal = true;
    }
    changed.notify_all();
    waiter.join();
    EXPECT_EQ(result.load(), 1);
    platform::use_manual_clock(false);

    // Without the event, the time-out ends the wait.
    signal = false;
    EXPECT_EQ(gate.wait_for(mutex, changed, &signal, 20), 0);
}

}  // namespace
}  // namespace ksw
