// Whole programs on the simulated jig: ksw --headless --sim=SCENARIO, end to end.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <regex>

#include "run_ksw.h"

namespace ksw {
namespace {

using testing::dumped;
using testing::read_text;
using testing::run_ksw;
using testing::TempDir;
using testing::write_text;

std::string demo(const std::string &file) { return std::string(KSW_SOURCE_DIR) + "/examples/jig/" + file; }

TEST(KswJig, TheDemoPowersTheProductAndReadsItsVoltages) {
    TempDir dir;
    const auto run = run_ksw(dir, "--headless --sim=" + demo("world.ini") + " " + demo("demo.ks") +
                                      " --jig-trace=trace.txt --dump='rd[1-3]'");
    ASSERT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output.substr(0, 5), "<OK>\n");
    EXPECT_EQ(dumped(run.output, "rd[1]"), 12.0);  // 2400 counts, no noise
    EXPECT_NEAR(dumped(run.output, "rd[2]"), 5.0, 0.02);
    EXPECT_NEAR(dumped(run.output, "rd[3]"), 3.3, 0.02);
    // The trace tells what the program did to the jig, step by step.
    const std::string trace = read_text(dir.file("trace.txt"));
    for (const char *line : {R"(step 0 \+[0-9.]+ms cables ok)", R"(step 1 \+[0-9.]+ms psu1 11\.998V 0\.500A)",
                             R"(step 1 \+[0-9.]+ms out\[28\]=0x01FF)", R"(step 1 \+[0-9.]+ms sw 66=1)",
                             R"(step 2 \+[0-9.]+ms ad ch1 r6 x8 -> 0x0[0-9A-F]{3} .*)",
                             R"(step 5006 \+[0-9.]+ms out\[28\]=0x0000)"})
        EXPECT_TRUE(std::regex_search(trace, std::regex(std::string("(^|\n)") + line + "\n"))) << line << "\n" << trace;
}

TEST(KswJig, AMissingCableIsAskedAboutAndNoEndsTheHeadlessStation) {
    TempDir dir;
    write_text(dir.file("w.ini"), "[jig]\ncable1=0\ncable2=0\n");
    write_text(dir.file("p.ks"), "step 1\nno_operation\npower(on)\n");
    auto run = run_ksw(dir, "--headless --sim=w.ini p.ks --answer=no");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output, "[Error] e023: Cable-1 not connected\nOperate without jig -> no\ne023: Cable-1 not connected\n");
    // Yes: the station goes on without the jig, and the program's jig commands are refused.
    run = run_ksw(dir, "--headless --sim=w.ini p.ks --answer=yes");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output, "[Error] e023: Cable-1 not connected\nOperate without jig -> yes\n"
                          "STEP1S:e031: Not allowed using jig(debugmode)\n");
}

TEST(KswJig, JigFaultsEndTheStepWithTheirErrors) {
    TempDir dir;
    write_text(dir.file("off.ini"), "[jig]\npower=0\n");
    write_text(dir.file("stuck.ini"), "[jig]\nadc_stuck=1\n");
    write_text(dir.file("p.ks"), "step 1\nno_operation\ngetad2(rea,0,0,100,1,12,0.3)\n");
    auto run = run_ksw(dir, "--headless --sim=off.ini p.ks");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output, "STEP1S:e037: Jig Power is off\n");  // the channel selection writes port 1
    run = run_ksw(dir, "--headless --sim=stuck.ini p.ks");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output, "STEP1S:e036: Timeout when reading AD channel\n");
}

TEST(KswJig, TheScenariosPortsAreUsedButNeverSaved) {
    TempDir dir;
    write_text(dir.file("w.ini"), "[ports]\nSysPort0=30,32,34,36\nSysPort1=31,33,35,37\n[adc.0]\ncounts=1234\n");
    write_text(dir.file("p.ks"), "step 1\nno_operation\ngetad2(nor,0,0,1,1,12)\n");
    const auto run = run_ksw(dir, "--headless --sim=w.ini p.ks --dump='ad[1]'");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output, "<OK>\nad[1]=1234\n");  // the converter answered on the board in slot 3
    const std::string saved = read_text(dir.file("ksw.ini")) + read_text(dir.file("cfg/Orvane/KSW/registry.ini"));
    EXPECT_EQ(saved.find("30,32,34,36"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("31,33,35,37"), std::string::npos) << saved;
}

TEST(KswJig, ScenariosAndTracesThatAreNoFilesEndTheStartUp) {
    TempDir dir;
    write_text(dir.file("p.ks"), "step 1\nno_operation\n");
    write_text(dir.file("w.ini"), "[jig]\n");
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    auto run = run_ksw(dir, "--headless --sim=missing.ini p.ks");
    EXPECT_EQ(run.exit_code, 3);
    EXPECT_NE(run.output.find("ksw: --sim=missing.ini: "), std::string::npos) << run.output;
    run = run_ksw(dir, "--headless --sim=fifo p.ks");
    EXPECT_EQ(run.exit_code, 3);
    EXPECT_NE(run.output.find("is not a regular file"), std::string::npos) << run.output;
    run = run_ksw(dir, "--headless --sim=w.ini --jig-trace=fifo p.ks");
    EXPECT_EQ(run.exit_code, 3);
    EXPECT_NE(run.output.find("cannot write the jig trace fifo: is a FIFO that nobody reads"), std::string::npos)
        << run.output;
    run = run_ksw(dir, "--headless --sim=w.ini --jig-trace=. p.ks");
    EXPECT_EQ(run.exit_code, 3);
    EXPECT_NE(run.output.find("is a folder"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace ksw
