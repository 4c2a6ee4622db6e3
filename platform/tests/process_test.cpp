#include <gtest/gtest.h>

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

}  // namespace
}  // namespace ksw::platform
