// The link on the simulated board: binding and initialisation, the transfer and its results,
// numbers from replies, and the measuring step's sample with its retries.
#include <gtest/gtest.h>

#include <thread>

#include "resources/error_codes.h"
#include "runtime/run_context.h"
#include "sim_gpib.h"

namespace ksw {
namespace {

using Clock = std::chrono::steady_clock;

class GpibLinkTest : public testing::SimGpibTest {};

TEST_F(GpibLinkTest, TheFirstUseBindsTheLibraryAndInitialisesTheBoard) {
    EXPECT_FALSE(link.library.loaded());
    ASSERT_EQ(gpib_transfer(link, kGpibClear, 0), kOk);
    EXPECT_NE(link.library.path().find("libgpc4304.so"), std::string::npos) << link.library.path();
    EXPECT_TRUE(link.initialised);
    const gpib_sim_board_state b = board(0);
    EXPECT_EQ(b.inits, 1);
    EXPECT_EQ(b.remote, 1);
    EXPECT_EQ(b.clears, 2);  // the initialisation's and the command's
    ASSERT_EQ(gpib_transfer(link, kGpibSetTimeout, 37), kOk);
    EXPECT_EQ(board(0).timeout_tenths, 37);
    EXPECT_EQ(board(0).inits, 1);  // once bound, the board stays initialised
}

TEST_F(GpibLinkTest, ABoardThatDoesNotInitialiseFailsEveryUseUntilAnotherBoardIsTaken) {
    load("[gpib]\nboards=1\n[gpib.2]\nreply=+7\n");
    std::string reply;
    EXPECT_EQ(gpib_transfer(link, kGpibReceive, 2, {}, &reply), kErrGpibMisc);  // board 0 is not there
    EXPECT_TRUE(link.library.loaded());
    EXPECT_EQ(gpib_transfer(link, kGpibReceive, 2, {}, &reply), kErrGpibMisc);
    EXPECT_EQ(change_gpib_board(link, 5), kErrGpibNoBoard);
    ASSERT_EQ(change_gpib_board(link, 1), kOk);
    ASSERT_EQ(gpib_transfer(link, kGpibReceive, 2, {}, &reply), kOk);
    EXPECT_EQ(reply, "+7");
    // Changing again finishes the board in use first.
    ASSERT_EQ(change_gpib_board(link, 1), kOk);
    EXPECT_EQ(board(1).finishes, 1);
    EXPECT_EQ(board(1).inits, 2);
    finish_gpib(link);
    EXPECT_EQ(board(1).initialised, 0);
    EXPECT_EQ(board(1).remote, 0);
}

TEST_F(GpibLinkTest, TheBoardsResultsBecomeTheStationsErrors) {
    // An instrument whose every transfer fails, an address the board does not take, and one with
    // nobody there.
    load("[gpib.4]\nerror=-16\n");
    EXPECT_EQ(gpib_transfer(link, kGpibSend, 4, "X"), kErrGpibCleared);
    ASSERT_EQ(gpib_sim_set_error(4, -10), 0);
    EXPECT_EQ(gpib_transfer(link, kGpibSend, 4, "X"), kErrGpibStatusTimeout);
    ASSERT_EQ(gpib_sim_set_error(4, -4), 0);  // a code the station does not know
    EXPECT_EQ(gpib_transfer(link, kGpibSend, 4, "X"), kErrGpibMisc);
    EXPECT_EQ(gpib_transfer(link, kGpibSend, 31, "X"), kErrGpibParameter);
    std::string reply = "old";
    EXPECT_EQ(gpib_transfer(link, kGpibReceive, 9, {}, &reply), kErrGpibTimeout);
    EXPECT_EQ(reply, "");
}

TEST_F(GpibLinkTest, SentTextsReachTheirInstrumentWithoutATerminator) {
    load("[gpib.12]\nreply=1\n");
    ASSERT_EQ(gpib_transfer(link, kGpibSend, 12, "CONF:VOLT:DC 10"), kOk);
    ASSERT_EQ(gpib_transfer(link, kGpibSend, 12, std::string_view("A\0B", 3)), kOk);
    char text[8];
    EXPECT_EQ(gpib_sim_sent(1, nullptr, text, sizeof text), 3);  // the zero byte went too
    EXPECT_EQ(sent().substr(0, 19), "12:CONF:VOLT:DC 10\n");
}

// A board library that claims to have received more than the room it was given.
int32_t overlong_receive(int32_t, const int32_t *, int32_t *length, char *buffer, int32_t) {
    std::fill(buffer, buffer + *length, '7');
    *length = 4000;
    return 0;
}

TEST_F(GpibLinkTest, ARepliesLengthIsHeldToTheRoomGiven) {
    ASSERT_EQ(gpib_ready(link), kOk);
    link.api.receive = &overlong_receive;
    std::string reply;
    ASSERT_EQ(gpib_transfer(link, kGpibReceive, 1, {}, &reply), kOk);
    EXPECT_EQ(reply, std::string(125, '7'));
}

TEST_F(GpibLinkTest, NumbersAreReadFromTheFirstSignOrDigit) {
    const struct {
        const char *reply;
        int rc;
        double value;
    } kReplies[] = {
        {"  +1.234E-3", kOk, 0.001234},   {"VDC -0.5", kOk, -0.5},        {"1.5V", kOk, 1.5},
        {"+2.5E-1\r\nrest", kOk, 0.25},    {"-0.5,+3", kOk, -0.5},         {"+1.2E+0 VDC", kErrWrongStyle, 1.2},
        {"OVLD", kErrGpibReceive, 0},     {"", kErrGpibReceive, 0},       {" \r+1", kErrGpibReceive, 0},
        {"E\n5", kErrGpibReceive, 0},
    };
    for (const auto &r : kReplies) {
        double value = -99;
        EXPECT_EQ(gpib_read_number(r.reply, &value), r.rc) << r.reply;
        if (r.rc == kOk) EXPECT_DOUBLE_EQ(value, r.value) << r.reply;
        else EXPECT_EQ(value, -99) << r.reply;  // nothing is stored on failure
    }
    double value = 0;
    EXPECT_EQ(gpib_read_number(std::string_view("\0+1", 3), &value), kErrGpibReceive);
}

TEST_F(GpibLinkTest, ASampleSendsTheQueryWaitsAndReadsTheReply) {
    load("[adc.1]\ncounts=2000\n[gpib.22]\nfollows=adc.1\nscale=0.001\nformat=\"  %+.4E\"\n");
    configure_gpib(link, GpibOptions{0, 120, false, nullptr});
    const Clock::time_point start = Clock::now();
    double value = 0;
    ASSERT_EQ(gpib_sample(link, GpibQuery{22, 0, "MEAS:VOLT?"}, &value), kOk);
    EXPECT_GE(ms_since(start), 120);  // "MesDelay" after the query
    EXPECT_DOUBLE_EQ(value, 2.0);
    EXPECT_EQ(sent(), "22:MEAS:VOLT?\n");
    // Without a query nothing is sent and nothing waited.
    const Clock::time_point again = Clock::now();
    ASSERT_EQ(gpib_sample(link, GpibQuery{22, 0, ""}, &value), kOk);
    EXPECT_LT(ms_since(again), 100);
    EXPECT_EQ(gpib_sim_sent_count(), 1u);
}

TEST_F(GpibLinkTest, TimeOutsAreRetriedUntilTheReplyWaitHasPassed) {
    load("[gpib]\ntmo=1\n[gpib.3]\nreply=1\nsilent=1\n[gpib.4]\nreply=+4.5\ndelay_ms=250\n");
    double value = 0;
    Clock::time_point start = Clock::now();
    EXPECT_EQ(gpib_sample(link, GpibQuery{3, 350, ""}, &value), kErrGpibTimeout);
    EXPECT_GE(ms_since(start), 350);
    EXPECT_LT(ms_since(start), 350 + 200);  // the time-out that ran past the wait, and some slack
    // A reply wait of 0: one time-out ends the sample.
    start = Clock::now();
    EXPECT_EQ(gpib_sample(link, GpibQuery{3, 0, ""}, &value), kErrGpibTimeout);
    EXPECT_GE(ms_since(start), 100);
    EXPECT_LT(ms_since(start), 190);
    // A reply slower than the board's time-out arrives within the wait.
    ASSERT_EQ(gpib_sample(link, GpibQuery{4, 1000, "READ?"}, &value), kOk);
    EXPECT_EQ(value, 4.5);
    // Another error is not retried.
    ASSERT_EQ(gpib_sim_set_error(4, -12), 0);
    start = Clock::now();
    EXPECT_EQ(gpib_sample(link, GpibQuery{4, 1000, ""}, &value), kErrGpibReceive);
    EXPECT_LT(ms_since(start), 100);
}

TEST_F(GpibLinkTest, AnAbortEndsTheSamplesWaits) {
    load("[gpib]\ntmo=1\n[gpib.3]\nreply=1\nsilent=1\n");
    configure_gpib(link, GpibOptions{0, 5000, false, nullptr});
    RunContext context;
    double value = 0;
    std::thread aborter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(80));
        context.gate.abort();
    });
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(gpib_sample(link, GpibQuery{3, 60000, "READ?"}, &value, &context), kErrBreakedByUser);
    aborter.join();
    EXPECT_LT(ms_since(start), 1000);  // neither the delay nor the reply wait ran out
    // Aborted while the reply is retried.
    context.gate.reset();
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        context.gate.abort();
    });
    EXPECT_EQ(gpib_sample(link, GpibQuery{3, 60000, ""}, &value, &context), kErrBreakedByUser);
    late.join();
}

}  // namespace
}  // namespace ksw
