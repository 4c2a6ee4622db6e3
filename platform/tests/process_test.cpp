#include <gtest/gtest.h>

#include <chrono>
#include <csignal>

#include "platform/process.h"
#include "temp_dir.h"

namespace ksw::platform {
namespace {

TEST(Process, CommandLinesSplitAtBlanksWithQuotedWords) {
    EXPECT_EQ(split_command_line("\"/usr/bin/my editor\" prog.ks"),
              (std::vector<std::string>{"/usr/bin/my editor", "prog.ks"}));
    EXPECT_EQ(split_command_line("  a\tb  \"\" c"), (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_TRUE(split_command_line("   ").empty());
}

TEST(Process, StartsAProgramAndReportsItsExit) {
    const int pid = start_process({"sh", "-c", "exit 3"});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(wait_process(pid), 3);
}

TEST(Process, AMissingProgramIsAnError) {
    std::string error;
    EXPECT_EQ(start_process({"/nonexistent/editor"}, &error), -1);
    EXPECT_NE(error.find("/nonexistent/editor"), std::string::npos);
    EXPECT_EQ(start_process({}, &error), -1);
}

TEST(Process, DefaultEditorFollowsTheEnvironment) {
    ksw::testing::ScopedEnv visual("VISUAL", "myvis");
    EXPECT_EQ(default_editor(), "myvis");
    ::unsetenv("VISUAL");
    ksw::testing::ScopedEnv editor("EDITOR", "myed");
    EXPECT_EQ(default_editor(), "myed");
}

TEST(ChildProcess, HandsOutItsLinesAndIsStoppedOnRequest) {
    ChildProcess child;
    ASSERT_TRUE(child.start({"/bin/sh", "-c", "printf 'first\\nsec'; sleep 0.2; printf 'ond\\n'; exec sleep 30"}));
    std::string line;
    ASSERT_TRUE(child.read_line(&line, 3000));
    EXPECT_EQ(line, "first");
    ASSERT_TRUE(child.read_line(&line, 3000));  // a line that comes in two pieces
    EXPECT_EQ(line, "second");
    std::string error;
    EXPECT_FALSE(child.read_line(&line, 100, 4096, &error));
    EXPECT_NE(error.find("no line within 100 ms"), std::string::npos) << error;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(child.stop(), 128 + 15);  // SIGTERM ended it; nobody waited for the 30 s
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(child.running());
    EXPECT_EQ(child.stop(), -1);
}

TEST(ChildProcess, AProgramThatEndsOrIsMissingIsReportedNotWaitedFor) {
    ChildProcess child;
    std::string error, line;
    EXPECT_FALSE(child.start({"/nonexistent/peer"}, &error));
    EXPECT_NE(error.find("/nonexistent/peer"), std::string::npos) << error;
    EXPECT_FALSE(child.running());
    ASSERT_TRUE(child.start({"/bin/sh", "-c", "printf partial; exit 4"}));
    EXPECT_FALSE(child.read_line(&line, 3000, 4096, &error));
    EXPECT_NE(error.find("ended"), std::string::npos) << error;
    EXPECT_EQ(child.stop(), 4);
    ASSERT_TRUE(child.start({"/bin/sh", "-c", "head -c 10000 /dev/zero | tr '\\0' x; sleep 5"}));
    EXPECT_FALSE(child.read_line(&line, 3000, 100, &error));
    EXPECT_NE(error.find("longer than 100"), std::string::npos) << error;
}

TEST(ChildProcess, TheChildDoesNotInheritTheStationsBlockedSignals) {
    sigset_t blocked, old;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &blocked, &old), 0);
    ChildProcess child;
    const bool started = child.start({"/bin/sh", "-c", "echo up; exec sleep 30"});
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    ASSERT_TRUE(started);
    std::string line;
    ASSERT_TRUE(child.read_line(&line, 3000));
    EXPECT_EQ(child.stop(5000), 128 + 15);  // a blocked SIGTERM would have needed the kill
}

}  // namespace
}  // namespace ksw::platform
