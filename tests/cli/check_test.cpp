// `ksw --check PROGRAM.ks`: the tool engineers run on every program before it reaches a line.
#include <gtest/gtest.h>

#include <filesystem>

#include "run_ksw.h"

namespace ksw {
namespace {

using testing::run_ksw;
using testing::TempDir;
using testing::write_text;

TEST(KswCheck, AGoodProgramReportsItsStepsAndLeavesNoFilesBehind) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("progs"));
    write_text(dir.file("progs/main.ks"), "#include lib.ks\nstep 2\ncheck,dc_volt(1,+-0.1)\n");
    write_text(dir.file("progs/lib.ks"), "step 1\nno_operation\n");
    const auto run = run_ksw(dir, "--check progs/main.ks");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output, "compiled: 2 steps\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("progs/temp0001.$$$")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("ksw.ini")));  // a check changes no settings
}

TEST(KswCheck, ErrorsNameFileLineStepAndStatement) {
    TempDir dir;
    write_text(dir.file("main.ks"), "step 4\nno_operation\n#include sub.ks\n");
    write_text(dir.file("sub.ks"), "\n\nstep 5\ncheck,dc_volt(1,2)\n");
    auto run = run_ksw(dir, "--check main.ks");
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.output, "s005: Compile error\nStep 5 - 0\n[check,dc_volt(1,2)]\ne001: Wrong style of argument\n"
                          "at sub.ks line 4\n");

    write_text(dir.file("main.ks"), "#macro M\nM\n#endm\n");
    run = run_ksw(dir, "--check main.ks");
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.output, "s008: PreProcess error\nLine 2 File main.ks\n[M]\ne064: Macro duplicated\n");
}

TEST(KswCheck, DefinitionsOfTheSettingsAndSwitchesAreHonoured) {
    TempDir dir;
    write_text(dir.file("ksw.ini"), "[Program]\r\nDefine=FROMINI\r\n");
    write_text(dir.file("main.ks"), "#ifdef FROMINI\nstep 1\nno_operation\n#endif\n#ifdef FROMF\nstep 2\nno_operation\n#endif\n");
    auto run = run_ksw(dir, "--check main.ks -FFROMF");
    EXPECT_EQ(run.output, "compiled: 2 steps\n");
    run = run_ksw(dir, "--check");
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_NE(run.output.find("needs a test program"), std::string::npos);
}

}  // namespace
}  // namespace ksw
