#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "sequencer/link_group.h"

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

}  // namespace
}  // namespace ksw
