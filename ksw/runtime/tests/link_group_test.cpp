#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "resources/error_codes.h"
#include "platform/tick.h"
#include "runtime/link_group.h"

namespace ksw {
namespace {

TEST(LinkGroupThreads, MembersRunOneCycleAtATimeAndEndWithTheirExitCode) {
    RunGate gate;
    LinkGroup group(gate);
    std::vector<int> order;
    std::mutex order_mutex;
    auto body = [&](int id, int cycles, int code) {
        return [&, id, cycles, code](MemberThread &self) {
            for (int c = 0; c < cycles; ++c) {
                {
                    std::lock_guard<std::mutex> lock(order_mutex);
                    order.push_back(id * 10 + c);
                }
                if (!self.yield()) return 99;
            }
            return code;
        };
    };
    group.start(0, body(1, 2, 0));
    group.start(1, body(2, 1, -5));
    for (int cycle = 0; cycle < 3; ++cycle) {
        for (size_t k = 0; k < 2; ++k) {
            MemberThread *m = group.member(k);
            if (m->finished()) continue;
            group.event.reset();
            m->resume();
            ASSERT_EQ(gate.wait_for(group.event.mutex, group.event.changed, &group.event.signalled, 5000), 1);
        }
    }
    EXPECT_TRUE(group.member(0)->finished());
    EXPECT_TRUE(group.member(1)->finished());
    EXPECT_EQ(group.member(0)->exit_code(), 0);
    EXPECT_EQ(group.member(1)->exit_code(), -5);
    EXPECT_EQ(order, (std::vector<int>{10, 20, 11}));
}

TEST(LinkGroupThreads, ClearingTheGroupStopsMembersThatNeverRanOrStillWait) {
    RunGate gate;
    LinkGroup group(gate);
    std::atomic<int> started{0};
    std::atomic<bool> told_to_stop{false};
    group.start(0, [&](MemberThread &) {
        ++started;
        return 0;
    });
    group.start(1, [&](MemberThread &self) {
        ++started;
        told_to_stop = !self.yield();
        return 0;
    });
    group.member(1)->resume();
    gate.wait_for(group.event.mutex, group.event.changed, &group.event.signalled, 5000);
    group.clear();  // joins both threads: no thread is left behind
    EXPECT_EQ(started.load(), 1);
    EXPECT_TRUE(told_to_stop.load());
    EXPECT_EQ(group.member(0), nullptr);
}

TEST(LinkGroupCycles, MembersTakeTurnsUntilAllHaveFinished) {
    RunGate gate;
    LinkGroup group(gate);
    std::vector<int> order;
    for (int id = 0; id < 3; ++id) {
        group.start(static_cast<size_t>(id), [&order, id](MemberThread &self) {
            for (int cycle = 0; cycle <= id; ++cycle) {
                order.push_back(id);
                if (!self.yield()) return 99;
            }
            return 0;
        });
    }
    EXPECT_EQ(run_member_cycles(gate, group, 5000), kOk);
    // One member at a time, in chain order, each cycle skipping the finished ones.
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 1, 2, 2}));
}

// On the manual clock, time passes only once the second member runs, so it is that member (and
// never a slow first one) that misses the link wait.
TEST(LinkGroupCycles, AMemberThatMissesTheLinkWaitFailsTheGroupAndLeavesNoThread) {
    platform::use_manual_clock(true);
    RunGate gate;
    LinkGroup group(gate);
    std::atomic<bool> running{false};
    std::atomic<bool> stopped{false};
    std::atomic<bool> done{false};
    group.start(0, [](MemberThread &self) { return self.yield() ? 0 : 1; });
    group.start(1, [&](MemberThread &self) {
        running = true;
        while (!self.stopping()) std::this_thread::yield();  // never yields to the head
        stopped = true;
        return 0;
    });
    std::thread clock([&] {
        while (!running) std::this_thread::yield();
        while (!done) {
            platform::advance_manual_clock(5);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    EXPECT_EQ(run_member_cycles(gate, group, 30), kErrStepTimeout);
    done = true;
    clock.join();
    group.clear();
    EXPECT_TRUE(stopped.load());
    EXPECT_TRUE(group.members.empty());
    platform::use_manual_clock(false);
}

TEST(LinkGroupCycles, AnErrorOfAMemberOrAnAbortEndsTheGroup) {
    RunGate gate;
    LinkGroup group(gate);
    group.start(0, [](MemberThread &) { return kErrStepNg; });
    EXPECT_EQ(run_member_cycles(gate, group, 5000), kErrStepNg);
    group.clear();

    group.start(0, [](MemberThread &self) {
        while (!self.stopping()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return 0;
    });
    std::thread aborter([&gate] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        gate.abort();
    });
    EXPECT_EQ(run_member_cycles(gate, group, 60000), kErrBreakedByUser);
    aborter.join();
    group.clear();
}

}  // namespace
}  // namespace ksw
