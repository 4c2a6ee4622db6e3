// The measurement loop on the simulated jig, through whole programs: readings, averaging,
// corrections, consecutive OK passes, verdicts and their sides, the operator's keys, errors,
// calibration, and the hooks of the EVR front-end and the GPIB link.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <thread>
#include <vector>

#include "jigsim.h"
#include "measure_fixture.h"
#include "model/frontend.h"
#include "runtime/measure/measure_devices.h"

namespace ksw::testing {
namespace {

class MeasureLoop : public MeasureTest {
protected:
    // A scenario whose channel 1 plays `volts` in turn against a reference of 4000 counts.
    std::string playing(const std::vector<double> &volts) {
        std::string text;
        for (const double v : volts) text += std::to_string(std::lround(v * 800)) + "\n";
        write_text(file("v.txt"), text);
        return "[jig]\nadc_busy_us=0\n[adc.0]\ncounts=4000\n[adc.1]\nsamples=" + file("v.txt") + "\n";
    }
};

TEST_F(MeasureLoop, ThePassValueCombinesItsReadingsAsAverageSays) {
    // 1, 1, 1, 1, 5 V: the mean 1.8, the median 1, the mean without one reading at each end 1.
    const std::string scenario = playing({1, 1, 1, 1, 5});
    ASSERT_EQ(run(scenario, "step 1\ncheck,dc_volt(1.8,+-0.001)\naverage(5)\n"
                            "step 2\ncheck,dc_volt(1.3,+-0.001)\naverage(5,1)\ncalc(+,0.3)\n"
                            "step 3\ncheck,dc_volt(1,+-0.001)\naverage(5,3)\n"),
              kOk);
    for (int step = 1; step <= 3; ++step) {
        EXPECT_EQ(state(step).measure.readings, 5u) << step;
        EXPECT_EQ(state(step).judgement, kJudgedOk) << step;
        EXPECT_EQ(state(step).ok_tally, 1) << step;
    }
    EXPECT_DOUBLE_EQ(state(1).last_value, 5.0);  // the last reading, before the offset
    EXPECT_DOUBLE_EQ(rd(0), 1.0);
}

TEST_F(MeasureLoop, ConsecutiveOkPassesAreCountedAndTheirMeanKept) {
    // OK, OK, NG (the count starts again), then three OK passes.
    const std::string scenario = playing({5.0, 5.0, 9.0, 5.02, 4.98, 5.0});
    ASSERT_EQ(run(scenario, "step 1\ncheck,dc_volt(5,+-0.05)\nok_count(3)\n"), kOk);
    EXPECT_EQ(state(1).measure.readings, 6u);
    EXPECT_EQ(state(1).ok_counter, 3);
    EXPECT_EQ(state(1).ng_counter, 1);
    EXPECT_NEAR(rd(0), 5.0, 1e-12);  // the mean of the three OK passes
    EXPECT_DOUBLE_EQ(state(1).measure.average, 5.0);
}

TEST_F(MeasureLoop, AnNgItemWaitsForItsTimeoutAndRecordsItsSide) {
    ASSERT_EQ(run(dc_volts(5), "step 1\ncheck,dc_volt(4,+-0.1)\nlimit(0.2,1)\n"), kErrStepNg);
    EXPECT_EQ(state(1).judgement, kJudgedNgAbove);
    EXPECT_EQ(state(1).ng_tally, 1);
    EXPECT_GT(state(1).measure.readings, 1u);  // pending until the time-out
    EXPECT_EQ(context.last_limit_direction, 1);
    EXPECT_EQ(run(dc_volts(5), "step 1\ncheck,dc_volt(6,+-0.1)\nlimit(0.02,1)\n"), kErrStepNg);
    EXPECT_EQ(state(1).judgement, kJudgedNgBelow);
    // An NG jump target is taken instead; the steps between are left out.
    ASSERT_EQ(run(dc_volts(5), "step 1\ncheck,dc_volt(6,+-0.1)\nlimit(0.02,1)\nng_jmp(3)\n"
                               "step 2\nno_operation\nsetdata(5,1)\nstep 3\nno_operation\nsetdata(6,1)\n"),
              kOk);
    EXPECT_EQ(rd(5), 0.0);
    EXPECT_EQ(rd(6), 1.0);
}

TEST_F(MeasureLoop, EnterEndsTheLoopWithItsVerdictAndTheRunCountsTheSide) {
    // In AUTO an NG item measures on until the operator leaves it; the run then ends NG
    // although the item recorded its NG as "U".
    start(dc_volts(5));
    ASSERT_TRUE(load("step 1\ncheck,dc_volt(4,+-0.1)\nstep 2\nno_operation\n"));
    context.set_run_mode(kRunAuto);
    int result = -1;
    std::thread sequencer([&] { result = run_thread(context, 1); });
    while (jigsim_conversions() < 3) std::this_thread::yield();
    SaveKeyBuffer(kVkReturn);
    sequencer.join();
    EXPECT_EQ(result, kErrStepIsNg);
    EXPECT_EQ(state(1).judgement, kJudgedNgAbove);
    EXPECT_EQ(context.first_ng_step, 1);
}

TEST_F(MeasureLoop, MinusGoesBackToThePreviousStep) {
    // An adjust step reads keys in every run mode; step 1 jumps past it on its second visit.
    SaveKeyBuffer(45);
    ASSERT_EQ(run(dc_volts(5), "step 1\nno_operation\ncopy(+,7,7,1)\njump(3,=,rd[7],2)\n"
                               "step 2\nadjust,dc_volt(9,+-0.1)\nstep 3\nno_operation\n"),
              kOk);
    EXPECT_EQ(rd(7), 2.0);
    EXPECT_EQ(state(2).judgement, kNotJudged);
}

TEST_F(MeasureLoop, CorrectionsApplyInOrder) {
    // abs, x scale, then the offset; the step operand divides or adds the other step's value.
    ASSERT_EQ(run(dc_volts(5), "step 1\nno_operation\nsetdata(0,-3)\n"
                               "step 2\ncheck,rd(4.5,+-0.001)\nabs()\ncalc(/,2)\ncalc(-,-3)\n"
                               "step 3\ncheck,dc_volt(5,+-0.001)\n"
                               "step 4\ncheck,dc_volt(1,+-0.001)\ncalc(/,step[3])\n"
                               "step 5\ncheck,dc_volt(14.5,+-0.001)\ncalc(*,0.5)\ncalc(+,step[3])\ncalc(+,7)\n"),
              kOk);
    EXPECT_DOUBLE_EQ(rd(0), 14.5);  // 5 * 0.5 + step 3's 5, then the offset 7
    // A zero divisor: the other step's value, or the constant of calc( itself.
    EXPECT_EQ(run(dc_volts(0), "step 1\ncheck,dc_volt(0,+-1)\nstep 2\ncheck,dc_volt(1,+-1)\ncalc(/,step[1])\n"),
              kErrDividedByZero);
    EXPECT_EQ(state(2).ng_tally, 1);
    EXPECT_EQ(run(dc_volts(5), "step 1\ncheck,dc_volt(1,+-1)\ncalc(/,0)\n"), kErrDividedByZero);
    EXPECT_EQ(run(dc_volts(5), "step 1\ncheck,dc_volt(1,+-1)\ncalc(*,1e308)\ncalc(+,1e308)\n"), kErrTooBigSmall);
}

TEST_F(MeasureLoop, ErrorsEndTheLoopAndTheInputRelaysAreClearedWhateverHappened) {
    EXPECT_EQ(run("[jig]\nadc_stuck=1\n", "step 1\ncheck,dc_volt(5,+-1)\nsetsw(on,68,76,176)\n"), kErrAdTimeout);
    EXPECT_EQ(state(1).judgement, kJudgedNg);
    EXPECT_EQ(state(1).ng_tally, 1);
    EXPECT_EQ(jigsim_output_port(8) & 0x10, 0);  // sw 68
    EXPECT_EQ(jigsim_output_port(9) & 0x10, 0);  // sw 76
    EXPECT_EQ(jigsim_output_port(22) & 0x01, 0); // sw 176
    EXPECT_EQ(run("[jig]\nadc_busy_us=0\n", "step 1\ncheck,dc_volt(5,+-1)\n"), kErrDividedByZero);  // reference 0
    EXPECT_EQ(run("[jig]\npower=0\n", "step 1\ncheck,dc_volt(5,+-1)\n"), kErrJigPowerOff);
}

TEST_F(MeasureLoop, TheSetUpSubroutineRunsBeforeEachReading) {
    ASSERT_EQ(run(dc_volts(5), "step 1\ncheck,dc_volt(5,+-0.1)\nsetcall(100)\naverage(3)\n"
                               "step 100\nno_operation\ncopy(+,9,9,1)\nret()\n"),
              kOk);
    EXPECT_EQ(rd(9), 4.0);  // three readings, then step 100 once more in the run's own turn
}

TEST_F(MeasureLoop, CalibrationComputesTheCorrectionOfTheRdOperand) {
    context.adjust_mode = 2;
    ASSERT_EQ(run(dc_volts(4), "step 1\ncheck,dc_volt(4,+-0.1)\ncalc(+,rd[21])\n"
                               "step 2\ncheck,dc_volt(5,1,-1.1)\ncalc(*,rd[20])\n"),
              kOk);
    EXPECT_DOUBLE_EQ(state(1).correction, 0.0);
    EXPECT_DOUBLE_EQ(state(2).correction, 1.25);
    EXPECT_EQ(context.run_mode, kRunAuto);
    // A reading of 0 cannot be corrected by a factor: the operator is asked to measure again
    // (the box is shown by the front-end) and the run goes on step by step.
    ASSERT_EQ(run(dc_volts(0), "step 1\ncheck,dc_volt(0,+-0.1)\ncalc(*,rd[20])\n"), kOk);
    EXPECT_EQ(state(1).correction, DBL_MAX);
    EXPECT_EQ(context.run_mode, kRunStep);
}

// The EVR front-end as the loop sees it: it brings the reading into the window on its second NG
// pass, or reports a limit; and it answers ",digital(" from the product's EVR.
class TestAdjuster final : public AdjustmentDevice {
public:
    int begins = 0, ng_passes = 0, ends = 0;
    bool ended_ok = false, ended_at_limit = false;
    AdjustOutcome outcome = AdjustOutcome::kMeasureAgain;
    int begin(RunContext &, int, int) override { return ++begins, kOk; }
    int ng_pass(RunContext &, const AdjustPass &pass, AdjustOutcome *out) override {
        EXPECT_DOUBLE_EQ(pass.nominal, 4.0);
        EXPECT_EQ(pass.first_ng, ng_passes == 0);
        if (++ng_passes == 2) jigsim_set_adc_counts(1, 6, 3200);  // 4.0 V
        *out = outcome;
        return kOk;
    }
    void end(RunContext &, int, bool ok, bool at_limit) override {
        ++ends;
        ended_ok = ok;
        ended_at_limit = at_limit;
    }
    int read_word(RunContext &, int source, int address, int page, uint32_t *value) override {
        *value = static_cast<uint32_t>(0x1200 + source * 0x100 + address + page);
        return kOk;
    }
};

TEST_F(MeasureLoop, AnAdjustingStepHandsItsNgPassesToTheEvrFrontEnd) {
    TestAdjuster adjuster;
    context.adjuster = &adjuster;
    const std::string program = "step 1\nauto_adjust,dc_volt(4,+-0.1)\nlimit(2,1)\n";
    start(dc_volts(5));
    ASSERT_TRUE(load(program));
    state(1).adjustment.direction = 1;  // what evr_adj( leaves in the step
    ASSERT_EQ(run_thread(context, 1), kOk);
    EXPECT_EQ(adjuster.begins, 1);
    EXPECT_EQ(adjuster.ng_passes, 2);
    EXPECT_TRUE(adjuster.ended_ok);
    TestAdjuster at_limit;
    at_limit.outcome = AdjustOutcome::kLimitLow;
    context.adjuster = &at_limit;
    start(dc_volts(3));
    ASSERT_TRUE(load(program));
    state(1).adjustment.direction = 1;
    ASSERT_EQ(run_thread(context, 1), kErrStepNg);
    EXPECT_EQ(state(1).judgement, kJudgedNgBelow);
    EXPECT_EQ(at_limit.ng_passes, 1);
    EXPECT_TRUE(at_limit.ended_at_limit);
    context.adjuster = nullptr;
}

TEST_F(MeasureLoop, DevicesThatAreNotThereAreNamedByTheirErrors) {
    const std::string digital = "step 1\ncheck,digital(4871,+-0)\ndigital(ram,7,65535,0)\n";
    const std::string gpib = "step 1\ncheck,gpib_mes(1.5,+-0.01)\ngpib_mes(9,0.25,\"READ?\")\n";
    EXPECT_EQ(run(dc_volts(5), digital), kErrNotSupportedComType);
    EXPECT_EQ(format_step_message(context, 1, kErrNotSupportedComType),
              "STEP1S:e170: Not supported COM type: ,digital( from the EVR needs the EVR front-end, which this station "
              "does not have yet");
    EXPECT_EQ(run(dc_volts(5), gpib), kErrGpibMissingDll);
    EXPECT_NE(context.failure_detail.find(",gpib_mes( needs the GPIB link"), std::string::npos);
    TestAdjuster adjuster;
    context.adjuster = &adjuster;
    EXPECT_EQ(run(dc_volts(5), digital), kOk);
    context.adjuster = nullptr;
}

}  // namespace
}  // namespace ksw::testing
