// The remote-control switches: the rules that turn polls into keys, and the poller thread on
// the simulated jig posting them to the front-end.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "model/frontend.h"
#include "recording_frontend.h"
#include "runtime/jig/remote_control.h"
#include "sim_jig.h"

namespace ksw {
namespace {

// The keys posted for a series of polls (each the set of switches read pressed).
std::vector<int> keys_for(std::initializer_list<unsigned> polls) {
    RemoteControlState state;
    std::vector<int> keys;
    for (const unsigned pressed : polls) remote_control_poll(state, pressed, [&keys](int key) { keys.push_back(key); });
    return keys;
}

using Keys = std::vector<int>;

TEST(RemoteControlRules, SwitchesZeroAndOneActWhenReleased) {
    EXPECT_EQ(keys_for({1, 1, 1, 0}), (Keys{kVkReturn}));
    EXPECT_EQ(keys_for({2, 2, 0}), (Keys{kVkEscape}));
    EXPECT_EQ(keys_for({1, 0, 1, 0}), Keys{});  // never read pressed twice in a row: not held
}

TEST(RemoteControlRules, SwitchesTwoAndThreeActAtOnceAndOnlyOnce) {
    EXPECT_EQ(keys_for({4, 4, 4, 4, 0, 0}), (Keys{kVkTab}));
    EXPECT_EQ(keys_for({8, 8, 0}), (Keys{kVkSubtract}));
    EXPECT_EQ(keys_for({12, 12, 0}), (Keys{kVkSubtract}));  // switch 3 wins over 2
    EXPECT_EQ(keys_for({9, 9, 0}), (Keys{kVkSubtract}));    // no Enter after a reported press
}

TEST(RemoteControlRules, TheZeroOneChordIsSpace) {
    EXPECT_EQ(keys_for({3, 3, 3, 0, 0}), (Keys{kVkSpace}));
    EXPECT_EQ(keys_for({1, 1, 3, 3, 1, 0}), (Keys{kVkSpace}));  // one then the other: no Enter after
    EXPECT_EQ(keys_for({2, 2, 3, 3, 0}), (Keys{kVkSpace}));
}

TEST(RemoteControlRules, AChangedSetIsSwallowedUntilEverySwitchIsReleased) {
    EXPECT_EQ(keys_for({1, 1, 5, 5, 1, 0}), Keys{});         // 0, then 0 and 2: nothing at all
    EXPECT_EQ(keys_for({7, 7, 3, 3, 0}), (Keys{kVkTab}));     // 0,1,2 posts Tab; the chord later does not
    EXPECT_EQ(keys_for({1, 1, 0, 0, 1, 1, 0}), (Keys{kVkReturn, kVkReturn}));
}

class RemoteControlThread : public testing::SimJigTest {
protected:
    void TearDown() override {
        remote.stop();  // before the jig goes
        SimJigTest::TearDown();
    }
    // Waits up to a second for `count` keys.
    Keys wait_for_keys(size_t count) {
        for (int i = 0; i < 100 && frontend.posted_keys().size() < count; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return frontend.posted_keys();
    }
    void hold(int sw, int ms) {
        jigsim_switch_press(sw);
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        jigsim_switch_release(sw);
    }
    testing::RecordingFrontend frontend;
    RemoteControl remote;
};

TEST_F(RemoteControlThread, PostsTheKeysOfTheJigsSwitches) {
    ASSERT_TRUE(remote.start(jig, frontend, 5));
    hold(0, 60);
    EXPECT_EQ(wait_for_keys(1), (Keys{kVkReturn}));
    hold(2, 60);
    EXPECT_EQ(wait_for_keys(2), (Keys{kVkReturn, kVkTab}));
    remote.stop();
    EXPECT_FALSE(remote.running());
}

TEST_F(RemoteControlThread, ReadsTheExtensionPortsWithTheExtensionHandshake) {
    start("", kAccessJig, true);
    ASSERT_TRUE(remote.start(jig, frontend, 5));
    hold(1, 60);
    EXPECT_EQ(wait_for_keys(1), (Keys{kVkEscape}));
}

TEST_F(RemoteControlThread, PollsNothingWithoutPortIo) {
    start("", kAccessNoPortIo);
    ASSERT_TRUE(remote.start(jig, frontend, 5));
    hold(0, 60);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(frontend.posted_keys().empty());
}

}  // namespace
}  // namespace ksw
