#include <gtest/gtest.h>

#include <cstdio>

#include "platform/tick.h"
#include "program_builder.h"
#include "runtime/records/server_channel.h"
#include "station/run_control.h"
#include "runtime/sequencer.h"
#include "temp_dir.h"
#include "ui/console/console_frontend.h"

namespace ksw {
namespace {

using platform::sleep_ms;

// A station with run control on the console front-end; the test thread is the main thread.
class RunControlTest : public ::testing::Test, protected ProgramBuilder {
protected:
    ksw::testing::TempDir dir;
    std::FILE *out = std::fopen(dir.file("out.txt").c_str(), "w+");
    std::unique_ptr<ConsoleFrontend> console;
    RunContext context;
    std::unique_ptr<RunControl> control;

    void SetUp() override {
        ASSERT_TRUE(allocate());
        context.use_program(&program);
        context.registers = &registers;
    }
    void TearDown() override {
        control.reset();
        std::fclose(out);
    }
    // Questions are answered `answer_yes`.
    void start(bool answer_yes = true, RunControlOptions options = {}) {
        console = std::make_unique<ConsoleFrontend>(ConsoleFrontend::Options{out, stdin, false, answer_yes, false});
        context.frontend = console.get();
        control = std::make_unique<RunControl>(context, *console, std::move(options));
        console->set_message_handler([this](const WindowMessage &m) { return control->handle_message(m); });
    }
    bool pump_until(RunState state) {
        return console->pump([&] { return control->state() == state && !control->sequencer_running(); }, 10000);
    }
    bool pump_until_parked() {
        return console->pump([&] { return context.gate.parked_threads() == 1; }, 10000);
    }
    std::string printed() {
        std::fflush(out);
        return ksw::testing::read_text(dir.file("out.txt"));
    }
};

TEST_F(RunControlTest, OkAndNgRunsAreCountedAndTheirClosingStepsRun) {
    step(1, kModeCheck);
    command(1, kRowOkng, 0, {1});  // okng(ok,1)
    step(5000);
    count_into(5000, 1);           // after OK
    step(5003);
    count_into(5003, 2);           // after NG
    step(5006);
    count_into(5006, 3);           // always
    start();
    control->start_step0();
    ASSERT_TRUE(pump_until(kStateReady));
    for (int i = 0; i < 3; ++i) {
        control->on_operator_key(kVkReturn);
        ASSERT_TRUE(pump_until(kStateReady));
    }
    program.steps[1]->commands[0]->sub_mode = 1;  // okng(ng,1)
    control->on_operator_key(kVkReturn);
    ASSERT_TRUE(pump_until(kStateReady));
    EXPECT_EQ(control->ok_count(), 3);
    EXPECT_EQ(control->ng_count(), 1);
    EXPECT_EQ(console->status_text(0), "OK=3 NG=1( 75.00%)");
    control->clear_counts();
    EXPECT_EQ(console->status_text(0), "OK=0 NG=0");
    EXPECT_EQ(control->ok_count() + control->ng_count(), 0);
    EXPECT_EQ(rd(1), 3.0);
    EXPECT_EQ(rd(2), 1.0);
    EXPECT_EQ(rd(3), 4.0);
    EXPECT_EQ(control->last_result(), kErrStepNg);
}

TEST_F(RunControlTest, EscHaltsASecondEscAsksAndCancelResumes) {
    step(1, kModeNoOperation);
    wait_in(1, 0.3);
    count_into(1, 1);
    start(false);
    control->start_step0();
    ASSERT_TRUE(pump_until(kStateReady));
    control->on_operator_key(kVkReturn);
    EXPECT_EQ(control->state(), kStateRunning);
    control->on_operator_key(kVkEscape);
    EXPECT_EQ(control->state(), kStateHaltedByOperator);
    ASSERT_TRUE(pump_until_parked());
    EXPECT_EQ(rd(1), 0.0);
    control->on_operator_key(kVkEscape);  // "Abort program ?" is answered Cancel (the default is no)
    EXPECT_EQ(control->state(), kStateRunning);
    ASSERT_TRUE(pump_until(kStateReady));
    EXPECT_EQ(rd(1), 1.0);
    EXPECT_EQ(control->last_result(), 0);
    EXPECT_NE(printed().find("[KSW.exe - ABORT] Abort program ? -> no"), std::string::npos);
}

TEST_F(RunControlTest, AbortWhileWaitingEndsTheRunAsNgWith27AndRunsTheNgClosingSteps) {
    step(1);
    wait_in(1, 30);
    count_into(1, 1);
    step(5003);
    count_into(5003, 2);
    int jig_rested = 0;
    RunControlOptions options;
    options.rest_jig = [&] {
        EXPECT_FALSE(control->sequencer_running());  // never while the sequencer may use the jig
        ++jig_rested;
    };
    start(true, options);
    control->start_step0();
    ASSERT_TRUE(pump_until(kStateReady));
    EXPECT_EQ(jig_rested, 0);
    control->on_operator_key(kVkReturn);
    sleep_ms(20);
    const uint32_t start_tick = platform::tick_count();
    control->abort_run(true);
    ASSERT_TRUE(pump_until(kStateReady));
    EXPECT_EQ(jig_rested, 1);
    EXPECT_LT(platform::ticks_since(start_tick), 5000u);  // the 30 s wait was cut short
    EXPECT_EQ(control->last_result(), kErrBreakedByUser);
    EXPECT_EQ(control->ng_count(), 1);
    EXPECT_EQ(rd(1), 0.0);
    EXPECT_EQ(rd(2), 1.0);
    EXPECT_NE(printed().find("STEP1S:e027: Breaked by user"), std::string::npos);
}

TEST_F(RunControlTest, LineModeHaltsBeforeEveryCommandUntilEnter) {
    step(1);
    count_into(1, 1);
    count_into(1, 1);
    context.run_mode = kRunLine;
    start();
    control->start_step0();
    ASSERT_TRUE(pump_until(kStateReady));
    control->on_operator_key(kVkReturn);
    for (int expected = 0; expected < 2; ++expected) {
        ASSERT_TRUE(pump_until_parked());
        EXPECT_EQ(control->state(), kStateHaltedByProgram);
        EXPECT_EQ(rd(1), expected);
        control->on_operator_key(kVkReturn);
        console->pump([&] { return context.gate.parked_threads() == 0; }, 10000);
    }
    ASSERT_TRUE(pump_until(kStateReady));
    EXPECT_EQ(rd(1), 2.0);
}

TEST_F(RunControlTest, RepeatCountRunsAgainWithoutClosingStepsInBetween) {
    step(1);
    count_into(1, 1);
    step(5006);
    count_into(5006, 2);
    start();
    control->start_step0();
    ASSERT_TRUE(pump_until(kStateReady));
    control->set_repeat_count(3);
    control->on_operator_key(kVkReturn);
    ASSERT_TRUE(pump_until(kStateReady));
    EXPECT_EQ(rd(1), 3.0);
    EXPECT_EQ(rd(2), 1.0);
    EXPECT_EQ(control->ok_count(), 3);
}

// Every run is recorded once, the automatic repetitions too, with the day's totals that count
// it; the server hears the state changes in order; a run starts with an empty log text.
TEST_F(RunControlTest, EachRunIsRecordedOnceAndTheServerHearsTheStates) {
    step(1);
    count_into(1, 1);
    RunControlOptions options;
    std::vector<int> recorded_totals;
    std::vector<int> told;
    int launches = 0;
    options.record_run = [&](const RunContext &c, const DailyTotals &t, LocalStamp, uint32_t, bool) {
        EXPECT_TRUE(c.log.text().empty());
        recorded_totals.push_back(t.ok);
    };
    options.tell_server = [&](int kind) { told.push_back(kind); };
    options.before_launch = [&] { ++launches; };
    start(true, options);
    control->start_step0();
    ASSERT_TRUE(pump_until(kStateReady));
    (void)context.log.append("left from STEP0");
    control->set_repeat_count(2);
    control->on_operator_key(kVkReturn);
    ASSERT_TRUE(pump_until(kStateReady));
    control->on_operator_key(kVkReturn);
    ASSERT_TRUE(pump_until(kStateReady));
    EXPECT_EQ(recorded_totals, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(launches, 3);  // the record of the last run is written before each new run
    const std::vector<int> expected{kServerRun, kServerReady, kServerRun, kServerRun, kServerReady, kServerRun, kServerReady};
    EXPECT_EQ(told, expected);
}

TEST_F(RunControlTest, EnterDuringARunGoesToTheKeyBuffer) {
    step(1);
    command(1, kRowJump, 5, {2}, {}).ints[1] = kVkReturn;  // jump(2,key,13)
    wait_in(1, 0.05);
    command(1, kRowRjump, 11, {0});                         // rjump(0): this step again
    step(2);
    count_into(2, 7);
    start();
    control->start_step0();
    ASSERT_TRUE(pump_until(kStateReady));
    control->on_operator_key(kVkReturn);
    console->pump([] { return false; }, 60);
    control->on_operator_key(kVkReturn);
    ASSERT_TRUE(pump_until(kStateReady));
    EXPECT_EQ(rd(7), 1.0);
}

// +/- while the program halted the run choose the step it goes on with: the halted sequencer
// takes the choice when it is resumed, and nothing of the old step runs under the new number.
TEST_F(RunControlTest, StepSelectedWhileHaltedRunsInsteadOfTheOneItHaltedBefore) {
    for (int n = 1; n <= 3; ++n) {
        step(n);
        count_into(n, n);
    }
    context.set_run_mode(kRunStep);
    start();
    control->start_step0();
    ASSERT_TRUE(pump_until(kStateReady));
    control->on_operator_key(kVkReturn);
    ASSERT_TRUE(pump_until_parked());
    ASSERT_EQ(control->state(), kStateHaltedByProgram);
    EXPECT_EQ(context.status.step.load(), 1);
    control->on_operator_key(kVkAdd);
    control->on_operator_key(kVkAdd);
    EXPECT_EQ(context.status.step.load(), 3);  // shown at once, while still halted
    control->on_operator_key(kVkSubtract);
    control->on_operator_key(kVkAdd);
    control->on_operator_key(kVkAdd);  // past the last step: stays at 3
    EXPECT_EQ(context.status.step.load(), 3);
    control->on_operator_key(kVkReturn);
    ASSERT_TRUE(pump_until(kStateReady));
    EXPECT_EQ(rd(1), 0.0);
    EXPECT_EQ(rd(2), 0.0);
    EXPECT_EQ(rd(3), 1.0);
}

TEST_F(RunControlTest, InLineModeAStepSelectedBetweenCommandsDropsTheRestOfTheOldStep) {
    step(1);
    count_into(1, 1);
    count_into(1, 1);
    step(2);
    count_into(2, 2);
    context.set_run_mode(kRunLine);
    start();
    control->start_step0();
    ASSERT_TRUE(pump_until(kStateReady));
    control->on_operator_key(kVkReturn);
    ASSERT_TRUE(pump_until_parked());  // before step 1's first command
    control->on_operator_key(kVkReturn);
    console->pump([&] { return context.gate.parked_threads() == 0; }, 10000);
    ASSERT_TRUE(pump_until_parked());  // before its second command
    EXPECT_EQ(rd(1), 1.0);
    control->on_operator_key(kVkAdd);
    control->on_operator_key(kVkReturn);
    // Enter at every further halt, until the run has ended.
    for (int i = 0; i < 8 && control->state() != kStateReady; ++i) {
        console->pump([&] { return context.gate.parked_threads() == 0 || control->state() == kStateReady; }, 10000);
        console->pump([&] {
            return (control->state() == kStateHaltedByProgram && context.gate.parked_threads() == 1) ||
                   (control->state() == kStateReady && !control->sequencer_running());
        }, 10000);
        if (control->state() == kStateHaltedByProgram) control->on_operator_key(kVkReturn);
    }
    ASSERT_TRUE(pump_until(kStateReady));
    EXPECT_EQ(rd(1), 1.0);  // the second command of step 1 never ran
    EXPECT_EQ(rd(2), 1.0);
}

// Space and Tab pressed while the sequencer runs reach it as requests; under the thread checker
// this also shows that no field is shared without synchronisation.
TEST_F(RunControlTest, RunModeAndRecordingChangesDuringARunAreTakenAtCheckpoints) {
    step(1);
    wait_in(1, 0.002);
    command(1, kRowRjump, 11, {0});  // rjump(0): this step again, for ever
    start();
    control->start_step0();
    ASSERT_TRUE(pump_until(kStateReady));
    control->on_operator_key(kVkReturn);
    for (int i = 0; i < 25; ++i) {
        control->on_operator_key(kVkSpace);
        control->on_operator_key(kVkTab);
        console->pump([] { return false; }, 2);
    }
    EXPECT_EQ(control->run_mode(), (25 % 4));
    EXPECT_TRUE(control->file_recording());  // off at start-up, toggled 25 times
    control->on_operator_key(kVkEscape);
    control->abort_run(true);
    ASSERT_TRUE(pump_until(kStateReady));
    // The sequencer ended; what it holds is what the operator chose.
    EXPECT_EQ(context.run_mode, 25 % 4);
    EXPECT_TRUE(context.file_recording);
    EXPECT_EQ(control->last_result(), kErrBreakedByUser);
}

// The run asks the main window to halt (a send), but the main thread has stopped listening:
// closing the station must still end the sequencer instead of waiting for it for ever.
TEST_F(RunControlTest, ClosingWhileTheSequencerWaitsInASendEndsCleanly) {
    step(1);
    count_into(1, 1);
    context.set_run_mode(kRunStep);
    start();
    control->start_step0();
    ASSERT_TRUE(pump_until(kStateReady));
    control->on_operator_key(kVkReturn);
    platform::sleep_ms(20);  // the sequencer now waits in its halt request; nobody pumps
    control.reset();          // joins the sequencer
    EXPECT_EQ(rd(1), 0.0);
}

// A failing closing step is reported in a box: the sequencer sends the question, the main
// thread shows it.
TEST_F(RunControlTest, AFailingClosingStepIsShownByTheMainThread) {
    step(1);
    step(5006);
    command(5006, kRowRjump, 11, {65535 - 5006});  // back to step 0: refused with e004
    start();
    control->start_step0();
    ASSERT_TRUE(pump_until(kStateReady));
    control->on_operator_key(kVkReturn);
    ASSERT_TRUE(pump_until(kStateReady));
    EXPECT_NE(printed().find("[KSW.exe - ERROR] STEP5006S:e004"), std::string::npos) << printed();
}

}  // namespace
}  // namespace ksw
