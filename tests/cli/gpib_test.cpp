// Whole programs with GPIB instruments: ksw --headless --sim=SCENARIO, whose [gpib.N] sections put
// simulated instruments on the simulated board's bus.
#include <gtest/gtest.h>

#include "run_ksw.h"

namespace ksw {
namespace {

using testing::dumped;
using testing::read_text;
using testing::run_ksw;
using testing::TempDir;
using testing::write_text;

TEST(KswGpib, AProgramConfiguresAndReadsASimulatedVoltmeter) {
    TempDir dir;
    // The voltmeter at address 22 measures the product's output on A/D channel 1.
    write_text(dir.file("w.ini"), "[adc.1]\ncounts=2000\n[gpib.22]\nfollows=adc.1\nscale=0.0025\nformat=%+.5E\n"
                                  "[gpib.5]\nreply=\"  +1.234E-3\\r\\n\"\n[report]\nstate=state.txt\n");
    write_text(dir.file("p.ks"), "step 1\nno_operation\ngpib(tim,0.5)\ngpib(wri,22,\"CONF:VOLT:DC 10\")\n"
                                 "gpib(wri,22,\"READ?\")\ngpib(rea,22,1)\ngpib(rea,5,2)\n");
    const auto run = run_ksw(dir, "--headless --sim=w.ini p.ks --dump='rd[1-2]'");
    ASSERT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output.substr(0, 5), "<OK>\n");
    EXPECT_DOUBLE_EQ(dumped(run.output, "rd[1]"), 5.0);
    EXPECT_DOUBLE_EQ(dumped(run.output, "rd[2]"), 0.001234);
    const std::string state = read_text(dir.file("state.txt"));
    EXPECT_NE(state.find("\ngpib.22.sent=CONF:VOLT:DC 10\ngpib.22.sent=READ?\n"), std::string::npos) << state;
}

// A measuring step samples the voltmeter: ",gpib_mes(" sends the step's query before each
// reading and judges the number it reads back.
TEST(KswGpib, AMeasuringStepSamplesTheVoltmeterAndJudgesIt) {
    TempDir dir;
    write_text(dir.file("w.ini"), "[adc.1]\ncounts=2000\n[gpib.22]\nfollows=adc.1\nscale=0.0025\nformat=%+.5E\n"
                                  "[report]\nstate=state.txt\n");
    write_text(dir.file("ok.ks"), "step 1\ncheck,gpib_mes(5,+-0.01)\ngpib_mes(22,0.5,\"READ?\")\naverage(3)\n");
    auto run = run_ksw(dir, "--headless --sim=w.ini ok.ks --dump='rd[0]'");
    ASSERT_EQ(run.exit_code, 0) << run.output;
    EXPECT_DOUBLE_EQ(dumped(run.output, "rd[0]"), 5.0);
    std::string state = read_text(dir.file("state.txt"));
    EXPECT_NE(state.find("gpib.22.sent=READ?\ngpib.22.sent=READ?\ngpib.22.sent=READ?\n"), std::string::npos) << state;

    write_text(dir.file("ng.ks"), "step 1\ncheck,gpib_mes(4,+-0.01)\ngpib_mes(22,0.5,\"READ?\")\nlimit(0.2,1)\n");
    run = run_ksw(dir, "--headless --sim=w.ini ng.ks");
    EXPECT_EQ(run.exit_code, 1) << run.output;
    EXPECT_NE(run.output.find("STEP1U:"), std::string::npos) << run.output;
}

TEST(KswGpib, AnInstrumentThatStopsAnsweringEndsItsStepAndTheRunModeDecidesTheRest) {
    TempDir dir;
    write_text(dir.file("w.ini"), "[gpib]\ntmo=1\n[gpib.3]\nreply=+1\nsilent_after=1\n");
    const std::string steps = "gpib(rea,3,1)\nstep 2\nno_operation\ngpib(rea,3,2)\nstep 3\nno_operation\nrd[3]=7\n";
    write_text(dir.file("ngstop.ks"), "step 1\nno_operation\n" + steps);
    write_text(dir.file("auto.ks"), "step 1\nno_operation\nglobal(aut,\"t\")\n" + steps);
    auto run = run_ksw(dir, "--headless --sim=w.ini ngstop.ks --dump='rd[1-3]'");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output, "STEP2S:e144: GPIB:RX/TX timeout\nrd[1]=1\nrd[2]=0\nrd[3]=0\n");
    // In AUTO the run goes on after the failed step; a plain step's failure does not make the run
    // NG at its end.
    run = run_ksw(dir, "--headless --sim=w.ini auto.ks --dump='rd[1-3]'");
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.output, "STEP2S:e144: GPIB:RX/TX timeout\n<OK>\nrd[1]=1\nrd[2]=0\nrd[3]=7\n");
}

TEST(KswGpib, WithoutABoardLibraryAGpibCommandFailsWithE147) {
    TempDir dir;
    write_text(dir.file("p.ks"), "step 1\nno_operation\ngpib(clr)\n");
    const auto run = run_ksw(dir, "--headless -D p.ks");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output, "STEP1S:e147: GPIB:Missing DLL\n");
}

}  // namespace
}  // namespace ksw
