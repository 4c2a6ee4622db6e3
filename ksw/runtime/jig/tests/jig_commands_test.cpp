// The jig commands' run handlers on command records as the compiler stores them, against the
// simulated jig.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "commands/commands.h"
#include "model/jig_modes.h"
#include "platform/tick.h"
#include "program_builder.h"
#include "recording_frontend.h"
#include "resources/error_codes.h"
#include "runtime/run_handlers.h"
#include "sim_jig.h"
#include "zelw.h"

namespace ksw {
namespace {

class JigCommands : public testing::SimJigTest, protected ProgramBuilder {
protected:
    void SetUp() override {
        SimJigTest::SetUp();
        ASSERT_TRUE(allocate());
        step(1, kModeCheck);
        context.use_program(&program);
        context.registers = &registers;
        context.frontend = &frontend;
        context.jig = &jig;
        context.current_step = 1;
    }
    // A record of `row` in step 1; `mask` names register operands.
    CommandRecord &make(int row, int sub_mode, std::initializer_list<int32_t> ints, std::initializer_list<double> reals = {},
                        uint32_t mask = 0) {
        CommandRecord &record = command(1, row, sub_mode, ints, reals);
        record.mask = mask;
        return record;
    }
    int run(const CommandRecord &record) { return record.run(context, record); }
    uint16_t &ad(int n) { return (*registers.ad)[static_cast<size_t>(n)]; }
    StepRunState &step1() { return context.steps[1]; }

    RunContext context;
    testing::RecordingFrontend frontend;
};

TEST_F(JigCommands, SetswListsEndAtTheFirstNegativeNumber) {
    ASSERT_EQ(run(make(kRowSetsw, kSwOn, {3, 5, 300, -1, -1, -1, -1, -1})), kOk);
    EXPECT_EQ(jigsim_output_port(0), 0x0028);
    EXPECT_EQ(jigsim_output_port(5), 0x1000);  // sw 300: port 5 bit 12
    ASSERT_EQ(run(make(kRowSetsw, kSwOff, {3, -1, 5, -1, -1, -1, -1, -1})), kOk);
    EXPECT_EQ(jigsim_output_port(0), 0x0020);  // sw 5 is after the end of the list
    // A switch number from ad[] above 511 is refused at run time.
    ad(10) = 600;
    EXPECT_EQ(run(make(kRowSetsw, kSwOn, {10, -1, -1, -1, -1, -1, -1, -1}, {}, kMaskIntSlot(0))), kErrOutOfRange);
}

TEST_F(JigCommands, SetswPortFormsWriteSetClearAndReadThePortShadows) {
    ASSERT_EQ(run(make(kRowSetsw, kSwAssign, {12, 0x8001})), kOk);
    ASSERT_EQ(run(make(kRowSetsw, kSwSet, {12, 4})), kOk);
    ASSERT_EQ(run(make(kRowSetsw, kSwReset, {12, 0})), kOk);
    EXPECT_EQ(jigsim_output_port(12), 0x8010);
    ASSERT_EQ(run(make(kRowSetsw, kSwRead, {12, 7})), kOk);
    EXPECT_EQ(ad(7), 0x8010);
    EXPECT_EQ(run(make(kRowSetsw, kSwAssign, {32, 1})), kErrOutOfRange);
    EXPECT_EQ(run(make(kRowSetsw, kSwSet, {12, 16})), kErrOutOfRange);
    EXPECT_EQ(run(make(kRowSetsw, kSwRead, {12, 8000})), kErrOutOfRange);
}

TEST_F(JigCommands, TimedSwitchesClearAfterTheirTime) {
    ASSERT_EQ(run(make(kRowSetsw, kSwOn, {70, -1, -1, -1, -1, -1, -1, -1})), kOk);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(run(make(kRowSetsw, kSwRemote, {70}, {0.05})), kOk);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_EQ(jigsim_output_port(8) & 0x40, 0);
    // setfsw( rem switches the bit on first.
    ASSERT_EQ(run(make(kRowSetfsw, kSwRemote, {9}, {0.0})), kOk);
    EXPECT_EQ(jigsim_latch(1), 0);
    // sw 70 on and off, then latch 1 twice (bus and strobe up and down, each time).
    EXPECT_EQ(jigsim_port_writes(), 2u + 3 + 3);
    EXPECT_EQ(run(make(kRowSetsw, kSwRemote, {70}, {-1.0})), kErrOutOfRange);
}

TEST_F(JigCommands, SetfswWorksOnTheLatches) {
    ASSERT_EQ(run(make(kRowSetfsw, kSwOn, {8, 15, -1, -1, -1, -1, -1, -1})), kOk);
    EXPECT_EQ(jigsim_latch(1), 0x81);
    ASSERT_EQ(run(make(kRowSetfsw, kSwAssign, {20, 0xA5})), kOk);
    EXPECT_EQ(jigsim_latch(20), 0xA5);
    EXPECT_EQ(run(make(kRowSetfsw, kSwAssign, {20, 256})), kErrOutOfRange);
    EXPECT_EQ(run(make(kRowSetfsw, kSwSet, {20, 8})), kErrOutOfRange);
    EXPECT_EQ(run(make(kRowSetfsw, kSwOn, {256, -1, -1, -1, -1, -1, -1, -1})), kErrOutOfRange);
}

TEST_F(JigCommands, PowerSupplyAndExt0WordsReachTheJig) {
    ASSERT_EQ(run(make(kRowPower, 1, {})), kOk);
    EXPECT_EQ(jigsim_product_power(), 0x01FF);
    ASSERT_EQ(run(make(kRowPowerSet, 0, {2, 1024, 1000})), kOk);
    int volts = 0, amps = 0;
    EXPECT_EQ(jigsim_psu(2, &volts, &amps), 1);
    EXPECT_EQ(volts, 1024);
    EXPECT_EQ(amps, 1000);
    ASSERT_EQ(run(make(kRowPower, 0, {})), kOk);
    EXPECT_EQ(jigsim_product_power(), 0);
    ASSERT_EQ(run(make(kRowSetesw, 0, {1, 0xCAFE})), kOk);
    EXPECT_EQ(jigsim_ext0_word(1), 0xCAFE);
    EXPECT_EQ(run(make(kRowSetesw, 0, {4, 1})), kErrOutOfRange);
}

TEST_F(JigCommands, IoReadsAndWritesRawAddresses) {
    ASSERT_EQ(run(make(kRowIo, 0, {0x12, 5})), kOk);  // SysPort0 B
    int value = 0;
    jigsim_ppi_read(1, 0, 1, &value);
    EXPECT_EQ(ad(5), value);
    jigsim_trace_clear();
    ASSERT_EQ(run(make(kRowIo, 1, {0x17, 0x19B})), kOk);  // the low byte to SysPort1's control register
    EXPECT_EQ(accesses(), (std::vector<std::string>{"C1.3=9B"}));
    EXPECT_EQ(run(make(kRowIo, 0, {0x12, 8000})), kErrOutOfRange);
    // io( still reaches the chips when the jig commands are refused.
    set_port_access_mode(jig, kAccessNoJig);
    EXPECT_EQ(run(make(kRowIo, 0, {0x12, 6})), kOk);
    EXPECT_EQ(ad(6), value);
}

TEST_F(JigCommands, Getad2ReadsTheChannelIntoAdRegisters) {
    jigsim_set_adc_counts(3, 2, 1500);
    ASSERT_EQ(run(make(kRowGetad2, kGetad2Normal, {3, 2, 100, 0, 4, 12}, {1.0})), kOk);
    for (int i = 100; i < 104; ++i) EXPECT_EQ(ad(i), 1500);
    EXPECT_EQ(ad(104), 0);
    ASSERT_EQ(run(make(kRowGetad2, kGetad2Add, {3, 2, 200, 0, 2, 8})), kOk);
    EXPECT_EQ(ad(200), 1500 & 0xFF);
    const uint64_t conversions = jigsim_conversions();
    ASSERT_EQ(run(make(kRowGetad2, kGetad2Trigger, {3, 2})), kOk);
    EXPECT_EQ(jigsim_conversions(), conversions + 1);
    EXPECT_EQ(run(make(kRowGetad2, kGetad2Read, {3, 2, 7990, 0, 10, 12}, {1.0})), kErrOutOfRange);
    EXPECT_EQ(run(make(kRowGetad2, kGetad2Read, {3, 2, 100, 0, 1, 9}, {1.0})), kErrOutOfRange);
    EXPECT_EQ(run(make(kRowGetad2, kGetad2Read, {3, 2, 100, 0, 1, 12}, {-0.5})), kErrOutOfRange);
}

TEST_F(JigCommands, Getad2CheckJudgesTheStepByTheBusyLine) {
    ASSERT_EQ(run(make(kRowGetad2, kGetad2Check, {0, 0})), kOk);
    EXPECT_EQ(step1().judgement, kJudgedOk);
    jigsim_set_adc_stuck(1);
    ASSERT_EQ(run(make(kRowGetad2, kGetad2Check, {0, 0})), kOk);
    EXPECT_EQ(step1().judgement, kJudgedNg);
    EXPECT_EQ(run(make(kRowGetad2, kGetad2Read, {0, 0, 300, 0, 1, 12}, {0.2})), kErrAdTimeout);
}

TEST_F(JigCommands, Getad2WithoutPortIoReadsZerosAndSucceeds) {
    start("", kAccessNoPortIo);
    jigsim_set_adc_counts(0, -1, 777);
    for (int i = 50; i < 55; ++i) ad(i) = 0xFFFF;
    EXPECT_EQ(run(make(kRowGetad2, kGetad2Normal, {0, 6, 50, 0, 5, 12}, {1.0})), kOk);
    for (int i = 50; i < 55; ++i) EXPECT_EQ(ad(i), 0);
    EXPECT_EQ(run(make(kRowGetad2, kGetad2Check, {0, 6})), kOk);
    EXPECT_EQ(step1().judgement, kJudgedOk);
    EXPECT_TRUE(accesses().empty());
}

TEST_F(JigCommands, Getad2WaitsForTheStepsSetupTime) {
    program.steps[1]->setup_time = 120;
    context.step_start_tick = platform::tick_count();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(run(make(kRowGetad2, kGetad2Trigger, {0, 0})), kOk);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(115));
}

TEST_F(JigCommands, KeysStartAndDownSwitchesAndTheInputChannel) {
    ASSERT_EQ(run(make(kRowKey, 0, {65})), kOk);
    ASSERT_EQ(run(make(kRowKey, 1, {65})), kOk);
    EXPECT_EQ(frontend.synthesized, (std::vector<std::pair<int, bool>>{{65, false}, {65, true}}));
    EXPECT_EQ(run(make(kRowKey, 0, {256})), kErrOutOfRange);

    ASSERT_EQ(OpenKeyBuffer(16), 1);
    program.steps[1]->ok_threshold = 2;
    SaveKeyBuffer('A');
    ASSERT_EQ(run(make(kRowStartsw, kStartswCount, {})), kOk);  // not Enter: stays
    EXPECT_EQ(CheckKeyBuffer(), 'A');
    ClearKeyBuffer();
    SaveKeyBuffer(kVkReturn);
    SaveKeyBuffer(kVkReturn);
    const CommandRecord &count = make(kRowStartsw, kStartswCount, {});
    ASSERT_EQ(run(count), kOk);
    EXPECT_EQ(step1().judgement, kNotJudged);
    ASSERT_EQ(run(count), kOk);
    EXPECT_EQ(step1().judgement, kJudgedOk);
    std::thread operator_([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        SaveKeyBuffer('x');
        SaveKeyBuffer(kVkReturn);
    });
    SaveKeyBuffer(kVkReturn);  // an Enter from before the wait does not count
    ASSERT_EQ(run(make(kRowStartsw, kStartswWait, {})), kOk);
    operator_.join();
    EXPECT_EQ(GetKeyBuffer(), -1);
    CloseKeyBuffer();

    ASSERT_EQ(run(make(kRowDownsw, 0, {4999})), kOk);
    EXPECT_EQ(jig.down_switch_step.load(), 4999);
    EXPECT_EQ(run(make(kRowDownsw, 0, {5000})), kErrOutOfRange);

    jigsim_trace_clear();
    ASSERT_EQ(run(make(kRowInputCh, 0, {-1})), kOk);  // input_ch(0)
    EXPECT_TRUE(accesses().empty());
    ASSERT_EQ(run(make(kRowInputCh, 0, {0})), kOk);  // input_ch(1)
    EXPECT_EQ(jigsim_output_port(8) & 0x08, 0x08);  // sw 67
    EXPECT_EQ(jigsim_output_port(5), 0x1049);
}

TEST_F(JigCommands, AContextWithoutAJigRefusesTheJigCommands) {
    context.jig = nullptr;
    EXPECT_EQ(run(make(kRowPower, 1, {})), kErrDebugMode);
    EXPECT_EQ(run(make(kRowGetad2, kGetad2Trigger, {0, 0})), kErrDebugMode);
    EXPECT_EQ(run(make(kRowInputCh, 0, {-1})), kOk);
}

}  // namespace
}  // namespace ksw
