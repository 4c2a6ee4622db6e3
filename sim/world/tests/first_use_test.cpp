// The world of a process that has not touched it yet comes from the scenario that
// KSW_SIM_SCENARIO names. A program of its own, so that no earlier test created the world.
#include <gtest/gtest.h>

#include <string>

#include "jigsim.h"
#include "temp_dir.h"

namespace {

TEST(FirstUse, ReadsTheScenarioNamedByTheEnvironment) {
    ksw::testing::TempDir dir;
    ksw::testing::write_text(dir.file("env.ini"), "[ports]\nSysPort0=30,32,34,36\n");
    ksw::testing::ScopedEnv env("KSW_SIM_SCENARIO", dir.file("env.ini"));
    char buf[64];
    EXPECT_EQ(jigsim_port_setting("SysPort0", buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "30,32,34,36");
    EXPECT_EQ(jigsim_ppi_board_count(), 3);
    EXPECT_EQ(jigsim_scenario_path(buf, sizeof buf), 0);
    EXPECT_EQ(std::string(buf), dir.file("env.ini"));
    jigsim_load(nullptr);
}

}  // namespace
