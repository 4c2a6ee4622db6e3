// gpib( and gpib_mes( on command records as the compiler stores them, against the simulated board.
#include <gtest/gtest.h>

#include "program_builder.h"
#include "resources/error_codes.h"
#include "runtime/run_handlers.h"
#include "sim_gpib.h"

namespace ksw {
namespace {

// The sub-modes of gpib(: its choice words in order.
enum { kRea = 0, kWri = 1, kTim = 2, kClr = 3, kBoa = 4 };

class GpibCommands : public testing::SimGpibTest, protected ProgramBuilder {
protected:
    void SetUp() override {
        SimGpibTest::SetUp();
        ASSERT_TRUE(allocate());
        step(1, kModeCheck);
        program.steps[1]->measure = std::make_unique<MeasureBlock>();
        program.steps[1]->measure->gpib_text = "READ?";
        context.use_program(&program);
        context.registers = &registers;
        context.gpib = &link;
        context.current_step = 1;
    }
    int gpib(int word, std::initializer_list<int32_t> ints = {}, std::initializer_list<double> reals = {},
             const std::string &text = "", uint32_t mask = 0) {
        CommandRecord &record = command(1, kRowGpib, word, ints, reals);
        record.text = text;
        record.has_text = !text.empty();
        record.mask = mask;
        return record.run(context, record);
    }

    RunContext context;
};

TEST_F(GpibCommands, ReadStoresTheRepliesNumberInRd) {
    load("[gpib.31]\nreply=x\n[gpib.5]\nreply=\"  +1.234E-3\"\n[gpib.6]\nreply=OVLD\n");
    ASSERT_EQ(gpib(kRea, {5, 7999}), kOk);
    EXPECT_DOUBLE_EQ(rd(7999), 0.001234);
    rd_mut(3) = 42;
    EXPECT_EQ(gpib(kRea, {6, 3}), kErrGpibReceive);
    EXPECT_EQ(rd(3), 42);  // nothing stored
    // Address and register from ad[]: checked at run time.
    (*registers.ad)[10] = 32;
    EXPECT_EQ(gpib(kRea, {10, 3}, {}, "", kMaskIntSlot(0)), kErrOutOfRange);
    (*registers.ad)[10] = 8000;
    EXPECT_EQ(gpib(kRea, {5, 10}, {}, "", kMaskIntSlot(1)), kErrOutOfRange);
    EXPECT_EQ(gpib(kRea, {31, 3}), kErrGpibParameter);  // the board has no instrument address 31
}

TEST_F(GpibCommands, WriteSendsTheCommandsText) {
    load("[gpib.8]\nreply=1\n");
    ASSERT_EQ(gpib(kWri, {8}, {}, "*RST;*CLS"), kOk);
    EXPECT_EQ(sent(), "8:*RST;*CLS\n");
    EXPECT_EQ(gpib(kWri, {-1}, {}, "X"), kErrOutOfRange);
    EXPECT_EQ(gpib(kWri, {9}, {}, "X"), kErrGpibTimeout);  // nobody listens there
}

TEST_F(GpibCommands, TheTimeOutIsGivenInTenthsOfASecond) {
    EXPECT_EQ(gpib(kTim, {}, {0.05}), kErrOutOfRange);
    ASSERT_EQ(gpib(kTim, {}, {0.1}), kOk);
    EXPECT_EQ(board(0).timeout_tenths, 1);
    ASSERT_EQ(gpib(kTim, {}, {0.29}), kOk);
    EXPECT_EQ(board(0).timeout_tenths, 2);  // truncated
    ASSERT_EQ(gpib(kTim, {}, {6553.5}), kOk);
    EXPECT_EQ(board(0).timeout_tenths, 65535);
    EXPECT_EQ(gpib(kTim, {}, {6553.6}), kErrOutOfRange);
    EXPECT_EQ(gpib(kTim, {}, {-1}), kErrOutOfRange);
}

TEST_F(GpibCommands, ClearAndBoardChange) {
    load("[gpib]\nboards=0,3\n[gpib.1]\nreply=+1\n");
    ASSERT_EQ(gpib(kClr), kOk);
    EXPECT_EQ(board(0).clears, 2);
    EXPECT_EQ(gpib(kBoa, {7}), kErrOutOfRange);
    EXPECT_EQ(gpib(kBoa, {2}), kErrGpibNoBoard);  // not in the machine: every use fails from now on
    EXPECT_EQ(board(0).initialised, 0);           // the old board was finished
    EXPECT_EQ(gpib(kRea, {1, 0}), kErrGpibMisc);
    ASSERT_EQ(gpib(kBoa, {3}), kOk);
    ASSERT_EQ(gpib(kRea, {1, 0}), kOk);
    EXPECT_EQ(rd(0), 1.0);
    EXPECT_EQ(link.board, 3);
}

TEST_F(GpibCommands, ABoardThatFailedAtFirstUseIsTakenBackByBoa) {
    load("[gpib]\nboards=1\n[gpib.1]\nreply=+2\n");
    EXPECT_EQ(gpib(kRea, {1, 0}), kErrGpibMisc);
    ASSERT_EQ(gpib(kBoa, {1}), kOk);
    ASSERT_EQ(gpib(kRea, {1, 0}), kOk);
    EXPECT_EQ(rd(0), 2.0);
}

TEST_F(GpibCommands, IgnoreSkipsEveryGpibCommand) {
    configure_gpib(link, GpibOptions{0, 0, true, nullptr});
    EXPECT_EQ(gpib(kRea, {1, 0}), kOk);
    EXPECT_EQ(gpib(kTim, {}, {0.0}), kOk);  // not even checked
    EXPECT_FALSE(link.library.loaded());
    context.gpib = nullptr;  // a station without the link
    EXPECT_EQ(gpib(kClr), kErrGpibMissingDll);
}

TEST_F(GpibCommands, GpibMesSetsTheStepsInstrumentAndReplyWait) {
    CommandRecord &record = command(1, kRowGpibMes, 0, {17}, {2.5});
    ASSERT_EQ(record.run(context, record), kOk);
    const GpibQuery query = step_gpib_query(*context.state(1));
    EXPECT_EQ(query.address, 17);
    EXPECT_EQ(query.reply_wait_ms, 2500u);
    EXPECT_EQ(query.text, "READ?");
    CommandRecord &far = command(1, kRowGpibMes, 0, {32}, {1});
    EXPECT_EQ(far.run(context, far), kErrOutOfRange);
    CommandRecord &negative = command(1, kRowGpibMes, 0, {1}, {-0.5});
    EXPECT_EQ(negative.run(context, negative), kErrOutOfRange);
    CommandRecord &huge = command(1, kRowGpibMes, 0, {1}, {4294968.0});
    EXPECT_EQ(huge.run(context, huge), kErrOutOfRange);
    EXPECT_EQ(step_gpib_query(*context.state(1)).reply_wait_ms, 2500u);  // unchanged by the refusals
}

}  // namespace
}  // namespace ksw
