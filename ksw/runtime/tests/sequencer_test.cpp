#include <gtest/gtest.h>

#include <cmath>

#include "model/command_row.h"
#include "model/jump_condition.h"
#include "runtime/run_handlers.h"
#include "model/program_model.h"
#include "resources/error_codes.h"
#include "runtime/sequencer.h"
#include "model/register_modes.h"
#include "values/registers.h"
#include "program_builder.h"

namespace ksw {
namespace {

// Builds programs by hand: steps and command records as the compiler makes them.
class Sequencer : public ::testing::Test, protected ProgramBuilder {
protected:
    RunContext context;
    void SetUp() override {
        ASSERT_TRUE(allocate());
        context.use_program(&program);
        context.registers = &registers;
    }
};

TEST_F(Sequencer, PassesRepeatAndAStepWithoutJudgementIsError14) {
    step(1, kModeCheck).repetition_count = 3;
    count_into(1, 0);
    step(2);
    count_into(2, 1);
    context.run_mode = kRunNgStop;
    EXPECT_EQ(run_steps(context, 1), kErrNoOkNg);
    EXPECT_EQ(rd(0), 3.0);
    EXPECT_EQ(rd(1), 0.0);
    EXPECT_EQ(context.first_ng_step, 1);
    // A no-operation step needs no judgement.
    program.steps[1]->mode = kModeNoOperation;
    context.first_ng_step = -1;
    EXPECT_EQ(run_steps(context, 1), kJump);
    EXPECT_EQ(rd(0), 6.0);
    EXPECT_EQ(rd(1), 1.0);
    EXPECT_EQ(context.current_step, 5000);
}

TEST_F(Sequencer, NgStopEndsAtTheFirstNgOtherModesGoOnToStep5009) {
    step(1, kModeCheck);
    command(1, kRowOkng, 1, {1});  // okng(ng,1)
    step(2);
    count_into(2, 5);
    context.run_mode = kRunNgStop;
    EXPECT_EQ(run_steps(context, 1), kErrStepNg);
    EXPECT_EQ(context.current_step, 1);
    EXPECT_EQ(rd(5), 0.0);

    context.run_mode = kRunAuto;
    context.first_ng_step = -1;
    program.steps[2]->mode = kModeCheck;
    command(2, kRowOkng, 1, {1});
    EXPECT_EQ(run_steps(context, 1), kErrStepNg);
    EXPECT_EQ(context.current_step, kPastLastStep);  // the NG was in the last step
    EXPECT_EQ(rd(5), 1.0);
    EXPECT_EQ(context.first_ng_step, 1);
    EXPECT_EQ(format_step_message(context, 1, kErrStepNg), "STEP1:e028: Step NG");
    EXPECT_EQ(format_step_message(context, 7, kErrStepTimeout), "STEP7S:e026: Step timeout");
    context.ng_detail = "dc_volt low";
    context.steps[1].judgement = kJudgedNgBelow;
    EXPECT_EQ(format_step_message(context, 1, kErrStepIsNg), "STEP1L:dc_volt low");
}

TEST_F(Sequencer, JumpsCallsAndReturns) {
    // step 1: call(10); jump(-1) ... step 10: rd[1]+=1; ret()  step 20: never reached
    step(1);
    command(1, kRowCall, 11, {10});
    count_into(1, 2);
    command(1, kRowJump, 11, {-1});
    step(10);
    count_into(10, 1);
    command(10, kRowRet, 0);
    step(20);
    count_into(20, 3);
    EXPECT_EQ(run_steps(context, 1), kJump);
    EXPECT_EQ(rd(1), 1.0);  // the sub-routine ran once; jump(-1) ended the program
    EXPECT_EQ(rd(2), 1.0);
    EXPECT_EQ(rd(3), 0.0);
    EXPECT_EQ(context.call_depth, 0);
    // Outside a call ret( does nothing: the run goes on to step 20.
    EXPECT_EQ(run_steps(context, 10), kJump);
    EXPECT_EQ(rd(1), 2.0);
    EXPECT_EQ(rd(3), 1.0);
}

TEST_F(Sequencer, EndOfProgramInsideACallEndsEveryLevel) {
    step(1);
    command(1, kRowCall, 11, {10});
    count_into(1, 1);
    step(10);
    command(10, kRowCall, 11, {20});
    step(20);
    command(20, kRowJump, 11, {-1});
    EXPECT_EQ(run_steps(context, 1), kJump);
    EXPECT_EQ(rd(1), 0.0);
    EXPECT_EQ(context.jump_target, -1);
    EXPECT_EQ(context.call_depth, 0);
}

// Step 1 calls 2, which calls 3, ... : a hundred nested calls work, the 101st is e009.
TEST_F(Sequencer, AHundredNestedCallsWorkAndThe101stFails) {
    step(1);
    command(1, kRowCall, kCondAlways, {2});
    command(1, kRowJump, kCondAlways, {-1});
    for (int k = 2; k <= 100; ++k) {
        step(k);
        command(k, kRowCall, kCondAlways, {k + 1});
        command(k, kRowRet, 0);
    }
    step(101);
    count_into(101, 2);
    command(101, kRowRet, 0);
    context.run_mode = kRunNgStop;
    EXPECT_EQ(run_steps(context, 1), kJump);
    EXPECT_EQ(rd(2), 1.0);
    EXPECT_EQ(context.call_depth, 0);

    // One level more: step 101 calls 102 as the 101st nested call.
    program.steps[101]->commands.clear();
    command(101, kRowCall, kCondAlways, {102});
    step(102);
    count_into(102, 3);
    context.use_program(&program);
    EXPECT_EQ(run_steps(context, 1), kErrNestTooDeep);
    EXPECT_EQ(rd(3), 0.0);
    EXPECT_EQ(context.call_depth, 0);
}

// The ends of the step numbers are targets too: jump(5008) and jump(-1).
TEST_F(Sequencer, JumpsToTheLastClosingStepAndToTheEnd) {
    step(5006);
    command(5006, kRowJump, kCondAlways, {5008});
    step(5007);
    count_into(5007, 5);
    step(5008);
    count_into(5008, 4);
    command(5008, kRowJump, kCondAlways, {-1});
    count_into(5008, 6);
    context.run_mode = kRunNgStop;
    EXPECT_EQ(run_steps(context, 5006), kJump);
    EXPECT_EQ(rd(4), 1.0);
    EXPECT_EQ(rd(5), 0.0);  // passed over
    EXPECT_EQ(rd(6), 0.0);  // jump(-1) ended the steps
}

// jump(t, ok, below, above): an OK step jumps to t; an NG below the limits takes the "below"
// target, one above them the "above" target (both relative to the current step).
TEST_F(Sequencer, AnOkJumpTakesTheBelowOrAboveTargetForAnNg) {
    StepRecord &record = step(1, kModeCheck);
    record.lower_limit = 10;
    record.upper_limit = 20;
    CommandRecord &check = command(1, kRowCheck, 1, {0});           // check(ad,0)
    CommandRecord &jump = command(1, kRowJump, kCondOk, {30, 3, 5});  // jump(30,ok,3,5)
    context.current_step = 1;
    const struct {
        uint16_t value;
        int target;
    } cases[] = {{15, 30}, {9, 1 + 3}, {21, 1 + 5}, {10, 30}, {20, 30}};
    for (const auto &c : cases) {
        reset_step(context.steps[1]);
        context.last_limit_direction = 0;
        (*registers.ad)[0] = c.value;
        ASSERT_EQ(run_check(context, check), kOk);
        context.jump_target = 0;
        EXPECT_EQ(run_jump(context, jump), kJump) << c.value;
        EXPECT_EQ(context.jump_target, c.target) << c.value;
    }
}

// The limits themselves are OK: check(rd) and check(ard) at exactly the lower and the upper
// limit, with the step's scale and offset and the calc registers applied first.
TEST_F(Sequencer, RealChecksAcceptTheLimitsThemselves) {
    StepRecord &record = step(1, kModeCheck);
    record.item_target = 10;
    record.lower_bound = -1;  // 9 .. 12
    record.upper_bound = 2;
    record.calc_register_a = 50;  // multiplier
    record.calc_register_b = 51;  // addend
    rd_mut(50) = 2;
    rd_mut(51) = 1;
    context.current_step = 1;
    for (const int mode : {2, 4}) {                // "rd" and "ard"
        for (const double limit : {9.0, 12.0}) {
            CommandRecord &check = command(1, kRowCheck, mode, {7});
            StepRunState &state = context.steps[1];
            reset_step(state);
            state.scale = 0.5;
            state.offset = 0.5;
            rd_mut(7) = ((limit - 0.5 - 1) / 2) / 0.5;  // so that scale, rd multiplier, offset, addend give `limit`
            ASSERT_EQ(run_check(context, check), kOk);
            EXPECT_EQ(state.judgement, kJudgedOk) << mode << " " << limit;
            EXPECT_EQ(context.last_limit_direction, 0);
            // Just outside is NG.
            reset_step(state);
            state.scale = 0.5;
            state.offset = 0.5;
            rd_mut(7) = ((limit + (limit < 10 ? -1e-9 : 1e-9) - 0.5 - 1) / 2) / 0.5;
            ASSERT_EQ(run_check(context, check), kOk);
            EXPECT_EQ(state.judgement, kJudgedNg) << mode << " " << limit;
        }
    }
}

// judge(rd, a, b, c, d): rd[a] exactly 0 counts as not negative and takes b.
TEST_F(Sequencer, JudgeTakesTheFirstChoiceWhenTheValueIsExactlyZero) {
    step(1);
    CommandRecord &judge = command(1, kRowJudge, 0, {1, 2, 3, 4});
    rd_mut(2) = 22;
    rd_mut(3) = 33;
    for (const double v : {0.0, -0.0}) {
        rd_mut(1) = v;
        rd_mut(4) = 0;
        ASSERT_EQ(run_judge(context, judge), kOk);
        EXPECT_EQ(rd(4), 22.0) << v;
    }
    rd_mut(1) = -1e-300;
    ASSERT_EQ(run_judge(context, judge), kOk);
    EXPECT_EQ(rd(4), 33.0);
}

// global( retries: a run that failed with an error is run again, one judged NG is not.
TEST_F(Sequencer, RetriesRepeatAnErrorButNotAnNgJudgement) {
    program.global.retry_count = 2;
    step(1);
    count_into(1, 1);
    command(1, kRowRjump, kCondAlways, {65535});  // rjump(-1): to step 0, refused with e004
    context.run_mode = kRunNgStop;
    EXPECT_EQ(run_thread(context, 1), kErrOutOfRange);
    EXPECT_EQ(rd(1), 3.0);  // the first run and two retries

    program.steps[1]->commands.clear();
    program.steps[1]->mode = kModeCheck;
    count_into(1, 2);
    command(1, kRowOkng, 1, {1});  // okng(ng,1)
    context.use_program(&program);
    EXPECT_EQ(run_thread(context, 1), kErrStepNg);
    EXPECT_EQ(rd(2), 1.0);  // an NG is not retried
}

TEST_F(Sequencer, RelativeJumpsCountFromTheCurrentStep) {
    step(5);
    count_into(5, 1);
    command(5, kRowJump, 6, {7}, {2.0, 2.0});   // jump(7,=,2,2): to step 7
    step(6);
    count_into(6, 2);
    step(7);
    count_into(7, 3);
    // rjump(65535,<,rd[3],2): back one step while rd[3] < 2
    command(7, kRowRjump, 9, {65535}, {3.0, 2.0}).mask = kMaskRealSlot(0);
    EXPECT_EQ(run_steps(context, 5), kJump);
    EXPECT_EQ(rd(1), 1.0);
    EXPECT_EQ(rd(2), 1.0);
    EXPECT_EQ(rd(3), 2.0);

    step(8);
    command(8, kRowRjump, 11, {65535 - 7});  // back to step 0: refused
    context.run_mode = kRunNgStop;
    EXPECT_EQ(run_steps(context, 8), kErrOutOfRange);
}

TEST_F(Sequencer, ATimeLimitCutsALongStepAtTheNextCommand) {
    step(1, kModeCheck).time_limit = 30;
    command(1, kRowWait, 2, {}, {0.1});  // wait(0.1)
    count_into(1, 4);
    context.run_mode = kRunNgStop;
    EXPECT_EQ(run_steps(context, 1), kErrStepTimeout);
    EXPECT_EQ(context.steps[1].judgement, kJudgedNg);
    EXPECT_EQ(rd(4), 0.0);
}

TEST_F(Sequencer, CheckCountsConsecutiveOrAccumulatedOks) {
    StepRecord &record = step(1, kModeCheck);
    record.ok_threshold = 3;
    record.lower_limit = 10;
    record.upper_limit = 20;
    StepRunState &s = context.steps[1];
    (*registers.ad)[0] = 15;
    CommandRecord &check = command(1, kRowCheck, 1, {0});  // check(ad,0)
    context.current_step = 1;
    reset_step(s);
    EXPECT_EQ(run_check(context, check), kOk);
    EXPECT_EQ(run_check(context, check), kOk);
    (*registers.ad)[0] = 21;
    EXPECT_EQ(run_check(context, check), kOk);
    EXPECT_EQ(context.last_limit_direction, 1);
    EXPECT_EQ(s.judgement, 1);
    EXPECT_EQ(s.ok_counter, 0);  // "ad" needs consecutive OKs
    (*registers.ad)[0] = 20;     // the upper limit itself is OK
    reset_step(s);
    check.sub_mode = 3;          // "aad": OKs accumulate
    EXPECT_EQ(run_check(context, check), kOk);
    EXPECT_EQ(run_check(context, check), kOk);
    (*registers.ad)[0] = 9;
    record.ng_threshold = 2;
    EXPECT_EQ(run_check(context, check), kOk);
    EXPECT_EQ(context.last_limit_direction, -1);
    EXPECT_EQ(s.judgement, -1);
    (*registers.ad)[0] = 12;
    EXPECT_EQ(run_check(context, check), kOk);
    EXPECT_EQ(s.judgement, 0);
    EXPECT_EQ(s.ok_tally, 1);
}

TEST_F(Sequencer, SelectStepSkipsLinkMembersAndTheOtherClosingBlock) {
    step(3);
    step(4).link_count = 0;
    step(6);
    step(5001);
    step(5004);
    step(5007);
    context.current_step = 3;
    EXPECT_EQ(select_step(context, 1), 1);
    EXPECT_EQ(context.current_step, 6);
    EXPECT_EQ(select_step(context, 1), 1);
    EXPECT_EQ(context.current_step, 6);  // nothing further
    EXPECT_EQ(select_step(context, -3), 1);
    EXPECT_EQ(context.current_step, 3);
    EXPECT_EQ(select_step(context, -10), 1);  // from step 1 backwards there is nothing
    EXPECT_EQ(context.current_step, 3);
    context.current_step = 5001;
    select_step(context, 1);
    EXPECT_EQ(context.current_step, 5007);
    context.current_step = 0;
    EXPECT_EQ(select_step(context, 1), 0);
    EXPECT_EQ(context.current_step, 0);
}

// check(value, n): good, good, bad, good reaches a threshold of 3, since the single-value form
// lets its OKs accumulate.
TEST_F(Sequencer, TheSingleValueCheckLetsItsOksAccumulate) {
    StepRecord &record = step(1, kModeCheck);
    record.ok_threshold = 3;
    record.ng_threshold = 5;
    CommandRecord &check = command(1, kRowCheck, 5, {0, 7});  // check(7, 0)
    context.current_step = 1;
    StepRunState &s = context.steps[1];
    reset_step(s);
    for (const uint16_t v : {7, 7, 8, 7}) {
        (*registers.ad)[0] = v;
        ASSERT_EQ(run_check(context, check), kOk);
    }
    EXPECT_EQ(s.judgement, kJudgedOk);
    EXPECT_EQ(s.ok_counter, 3);
    EXPECT_EQ(s.ng_counter, 1);
}

// A time limit read from a register that holds no number is refused, never cast.
TEST_F(Sequencer, ALimitFromANonFiniteRegisterIsOutOfRange) {
    step(1);
    CommandRecord &limit = command(1, kRowLimit, 0, {1}, {5});  // limit(rd[5], 1)
    limit.mask = kMaskRealSlot(0);
    context.current_step = 1;
    for (const double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
        (*registers.rd)[5] = bad;
        EXPECT_EQ(run_limit(context, limit), kErrOutOfRange);
    }
    (*registers.rd)[5] = 0.25;
    EXPECT_EQ(run_limit(context, limit), kOk);
    EXPECT_EQ(context.steps[1].time_limit, 250);
}

}  // namespace
}  // namespace ksw
