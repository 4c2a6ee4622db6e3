// Test programs run headless end to end: load, STEP0, runs, closing steps, register dump.
#include <gtest/gtest.h>

#include <filesystem>

#include "run_ksw.h"

namespace ksw {
namespace {

using testing::run_ksw;
using testing::TempDir;
using testing::write_text;

std::string examples() { return std::string(KSW_SOURCE_DIR) + "/examples"; }

// The programs here use no jig: -D runs the station without one, so it asks no cable question.

TEST(KswHeadless, TheStatisticsExampleJudgesItsReadingsOk) {
    TempDir dir;
    const auto run = run_ksw(dir, "--headless -D " + examples() + "/statistics.ks --dump='rd[20-23]'");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output,
              "<OK>\nrd[20]=2.4950000000000001\nrd[21]=2.6000000000000001\nrd[22]=2.3799999999999999\n"
              "rd[23]=0.071686043892011317\n");
}

TEST(KswHeadless, TheSubroutineExampleRunsItsLibraryThroughCalls) {
    TempDir dir;
    const auto run = run_ksw(dir, "--headless -D " + examples() + "/subroutines/main.ks --runs=2 --dump='rd[1-3]'");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output, "<OK>\n<OK>\nrd[1]=1.25\nrd[2]=2.5\nrd[3]=2.6000000000000001\n");
}

TEST(KswHeadless, TheISwitchRepeatsTheFirstRunAutomatically) {
    TempDir dir;
    write_text(dir.file("count.ks"), "step 1\nno_operation\nrd[1]=rd[1]+1\nstep 5006\nno_operation\nrd[2]=rd[2]+1\n");
    const auto run = run_ksw(dir, "--headless -D count.ks -I3 --dump='rd[1-2]'");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    // Three runs in a row; the closing steps only after the last one.
    EXPECT_EQ(run.output, "<OK>\n<OK>\n<OK>\nrd[1]=3\nrd[2]=1\n");
}

TEST(KswHeadless, AnNgRunEndsWithItsStepTextAndExitCode1) {
    TempDir dir;
    write_text(dir.file("ng.ks"), "step 1\nmode(che)\nokng(ng,1)\nstep 2\nno_operation\nrd[1]=7\n");
    auto run = run_ksw(dir, "--headless -D ng.ks --dump='rd[1]'");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output, "STEP1:e028: Step NG\nrd[1]=0\n");  // NGSTOP: the run stops at the NG step

    // In AUTO the run goes on after the NG step, and the NG is reported at its end.
    write_text(dir.file("ng.ks"), "step 1\nmode(che)\nglobal(aut,\"t\")\nokng(ng,1)\nstep 2\nno_operation\nrd[1]=7\n");
    run = run_ksw(dir, "--headless -D ng.ks --dump='rd[1]'");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output, "STEP1:e028: Step NG\nSTEP1:e113: Step is NG\nrd[1]=7\n");
}

TEST(KswHeadless, ProgramHaltsInStepModeArePassedWithoutAnOperator) {
    TempDir dir;
    write_text(dir.file("step.ks"), "step 1\nno_operation\nglobal(ste,\"t\")\nrd[1]=1\nstep 2\nno_operation\nrd[1]=rd[1]+1\n");
    const auto run = run_ksw(dir, "--headless -D step.ks --dump='rd[1]'");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output, "<OK>\nrd[1]=2\n");
}

TEST(KswHeadless, ANgStep0AsksWhetherToGoOn) {
    TempDir dir;
    write_text(dir.file("s0.ks"), "step 0\nmode(che)\nokng(ng,1)\nstep 1\nno_operation\nrd[1]=1\n");
    auto run = run_ksw(dir, "--headless -D s0.ks --answer=no --dump='rd[1]'");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output, "STEP0:e028: Step NG\n[KSW.exe - EXIT(Alt+X)] Step 0 NG\nIgnore ? -> no\nrd[1]=0\n");
    run = run_ksw(dir, "--headless -D s0.ks --answer=yes --dump='rd[1]'");
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.output, "STEP0:e028: Step NG\n[KSW.exe - EXIT(Alt+X)] Step 0 NG\nIgnore ? -> yes\n<OK>\nrd[1]=1\n");
}

TEST(KswHeadless, RegisterCommandsCompileAndRunTogether) {
    TempDir dir;
    write_text(dir.file("regs.ks"),
               "step 1\nno_operation\nsetdata(1,2.5)\ncopy(*,1,2,4)\nsetaddata(10,\"AB\")\ncopyad(=,10,20,3)\n"
               "movead(dir,3,1,10)\ncalcrd(+,1,2,4)\ncalcad(+,10,11,13)\njudge(rd,1,2,3,5)\nlimit(-1,2)\n"
               "copy(+,6,6,1)\nad[30]=ad[10]<<1\nrd[7]=10-rd[1]\n");
    const auto run = run_ksw(dir, "--headless -D regs.ks --dump='rd[1-7],ad[10-13],ad[20-22],ad[30]'");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output,
              "<OK>\nrd[1]=2.5\nrd[2]=10\nrd[3]=65\nrd[4]=12.5\nrd[5]=10\nrd[6]=2\nrd[7]=7.5\n"
              "ad[10]=65\nad[11]=66\nad[12]=0\nad[13]=131\nad[20]=65\nad[21]=66\nad[22]=0\nad[30]=130\n");
}

TEST(KswHeadless, AProgramThatDoesNotLoadEndsWithExitCode2) {
    TempDir dir;
    write_text(dir.file("bad.ks"), "step 1\nnonsense(1)\n");
    const auto run = run_ksw(dir, "--headless bad.ks");
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_NE(run.output.find("e029: Undefined command"), std::string::npos);
    EXPECT_EQ(run_ksw(dir, "--headless missing.ks").exit_code, 2);
}

}  // namespace
}  // namespace ksw
