// The simulated GPIB board through its entry points, as the station calls them, with the bus set
// up from scenarios; what the instruments received is read back through the test interface.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "gpib_board.h"
#include "gpib_sim.h"
#include "jigsim.h"
#include "temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

class GpibBus : public ::testing::Test {
protected:
    void TearDown() override {
        jigsim_load(nullptr);
        gpib_sim_reset();
    }
    // A fresh world and bus from `scenario`; returns the problems reported (their text in messages).
    int load(const std::string &scenario) {
        ksw::testing::write_text(dir.file("world.ini"), scenario);
        jigsim_load(dir.file("world.ini").c_str());
        ::testing::internal::CaptureStderr();
        const int problems = gpib_sim_reset();
        messages = ::testing::internal::GetCapturedStderr();
        return problems;
    }
    // Board 0 initialised, its time-out set to `tenths`.
    void start(int tenths = 1) {
        ASSERT_EQ(PciGpibExInitBoard(0, nullptr), 0);
        ASSERT_EQ(PciGpibExSetConfig(0, ("/TMO=" + std::to_string(tenths)).c_str()), 0);
    }
    int32_t send(int address, const std::string &text) {
        const int32_t list[2] = {address, -1};
        return PciGpibExMastSendData(0, list, static_cast<int32_t>(text.size()), text.data(), 0);
    }
    // A receive from `address` with `room` bytes; the reply (or "rc=N" for an error).
    std::string receive(int address, int32_t room = GPIB_RECEIVE_ROOM) {
        const int32_t list[2] = {address, -1};
        char buffer[GPIB_RECEIVE_ROOM + 1] = {};
        int32_t length = room;
        const int32_t rc = PciGpibExMastRecvData(0, list, &length, buffer, 0);
        return rc < 0 ? "rc=" + std::to_string(rc) : std::string(buffer, static_cast<size_t>(length));
    }
    static long elapsed_ms(Clock::time_point since) {
        return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
    }

    ksw::testing::TempDir dir;
    std::string messages;
};

TEST_F(GpibBus, InstrumentsAnswerTheirRepliesWithoutTheEndOfMessageCharacters) {
    ASSERT_EQ(load("[gpib.3]\nreply=\"  +1.234E-3\\r\\n\"\n[gpib.30]\nreply=OK\n"), 0) << messages;
    start();
    EXPECT_EQ(receive(3), "  +1.234E-3");
    EXPECT_EQ(receive(30), "OK");
    EXPECT_EQ(receive(3, 4), "  +1");  // cut to the room given
    EXPECT_EQ(gpib_sim_reads(3), 2);
    EXPECT_EQ(receive(4), "rc=-14");   // nobody at the address
}

TEST_F(GpibBus, AVoltmeterReadsTheProductsOutputThroughTheWorld) {
    ASSERT_EQ(load("[adc.2]\ncounts=1000\n[gpib.7]\nfollows=adc.2\nscale=0.0025\nformat=%+.4E\n"
                   "[gpib.8]\nfollows=ADC.2\n"),
              0)
        << messages;
    start();
    EXPECT_EQ(receive(7), "+2.5000E+00");
    EXPECT_EQ(receive(8), "+1.000000E+03");  // scale 1, the default format
    ASSERT_EQ(jigsim_set_adc_counts(2, -1, 2000), 0);
    EXPECT_EQ(receive(7), "+5.0000E+00");
}

TEST_F(GpibBus, BadValuesAreReportedAndKeepTheirDefaults) {
    EXPECT_EQ(load("[gpib]\nboards=0,16\ntmo=-1\n[gpib.1]\nreply=\"\\q\"\nformat=%d\nfollows=adc.8\n"
                   "[gpib.2]\nformat=%s%f\nerror=5\ndelay_ms=x\n[gpib.3]\nformat=%1000f\n"),
              9);
    EXPECT_NE(messages.find("[gpib] boards: \"0,16\" is not a list of board numbers from 0 to 15; the default stays"),
              std::string::npos)
        << messages;
    EXPECT_NE(messages.find("[gpib.1] format: \"%d\" is not a format for one number"), std::string::npos) << messages;
    EXPECT_NE(messages.find("[gpib.2] error: \"5\" is not a whole number from -2147483648 to 0"), std::string::npos)
        << messages;
    start();
    EXPECT_EQ(receive(1), "");  // present, with the default (empty) reply
}

TEST_F(GpibBus, BoardsMustBePresentAndInitialised) {
    ASSERT_EQ(load("[gpib]\nboards=0, 2\n[gpib.1]\nreply=1\n"), 0) << messages;
    const int32_t list[2] = {1, -1};
    char buffer[8];
    int32_t length = 8;
    EXPECT_EQ(PciGpibExMastRecvData(0, list, &length, buffer, 0), -999);
    EXPECT_EQ(PciGpibExSetRen(2), -999);
    EXPECT_EQ(PciGpibExInitBoard(1, nullptr), -1);
    EXPECT_EQ(PciGpibExInitBoard(16, nullptr), -2);
    ASSERT_EQ(PciGpibExInitBoard(2, nullptr), 0);
    ASSERT_EQ(PciGpibExSetIfc(2, 2), 0);
    ASSERT_EQ(PciGpibExSetRen(2), 0);
    EXPECT_EQ(PciGpibExSetConfig(2, "/TMO=25"), 0);
    EXPECT_EQ(PciGpibExSetConfig(2, "/TMO=65536"), -3);
    EXPECT_EQ(PciGpibExSetConfig(2, "/EOI"), -3);
    EXPECT_EQ(PciGpibExSetConfig(2, nullptr), -2);
    gpib_sim_board_state state{};
    ASSERT_EQ(gpib_sim_board(2, &state), 0);
    EXPECT_EQ(state.present, 1);
    EXPECT_EQ(state.initialised, 1);
    EXPECT_EQ(state.remote, 1);
    EXPECT_EQ(state.timeout_tenths, 25);
    EXPECT_EQ(state.clears, 1);
    ASSERT_EQ(PciGpibExResetRen(2), 0);
    ASSERT_EQ(PciGpibExFinishBoard(2), 0);
    ASSERT_EQ(gpib_sim_board(2, &state), 0);
    EXPECT_EQ(state.initialised, 0);
    EXPECT_EQ(state.remote, 0);
    EXPECT_EQ(state.finishes, 1);
    EXPECT_EQ(PciGpibExFinishBoard(2), -999);

    // A scenario whose board does not initialise.
    ASSERT_EQ(load("[gpib]\ninit_error=-999\n"), 0);
    EXPECT_EQ(PciGpibExInitBoard(0, nullptr), -999);
    ASSERT_EQ(gpib_sim_board(0, &state), 0);
    EXPECT_EQ(state.initialised, 0);
}

TEST_F(GpibBus, AddressListsAndLengthsAreChecked) {
    ASSERT_EQ(load("[gpib.1]\nreply=1\n[gpib.2]\nreply=2\n[gpib.5]\nerror=-12\n"), 0) << messages;
    start();
    int32_t length = 8;
    char buffer[8];
    const int32_t two[3] = {1, 2, -1}, bad[2] = {31, -1}, empty[1] = {-1};
    int32_t endless[40];
    for (int32_t &a : endless) a = 1;
    EXPECT_EQ(PciGpibExMastRecvData(0, two, &length, buffer, 0), -2);  // one talker only
    EXPECT_EQ(PciGpibExMastRecvData(0, bad, &length, buffer, 0), -3);
    EXPECT_EQ(PciGpibExMastRecvData(0, empty, &length, buffer, 0), -2);
    EXPECT_EQ(PciGpibExMastRecvData(0, endless, &length, buffer, 0), -2);
    EXPECT_EQ(PciGpibExMastRecvData(0, nullptr, &length, buffer, 0), -2);
    EXPECT_EQ(PciGpibExMastRecvData(0, two + 1, nullptr, buffer, 0), -3);
    length = -1;
    EXPECT_EQ(PciGpibExMastRecvData(0, two + 1, &length, buffer, 0), -3);
    EXPECT_EQ(PciGpibExMastSendData(0, two, 3, nullptr, 0), -3);
    EXPECT_EQ(PciGpibExMastSendData(0, two, 3, "ABC", 0), 0);  // both listen
    EXPECT_EQ(gpib_sim_sent_count(), 2u);
    EXPECT_EQ(send(5, "X"), -12);
    EXPECT_EQ(receive(5), "rc=-12");
    EXPECT_EQ(send(6, "X"), -14);
    EXPECT_EQ(gpib_sim_sent_count(), 2u);  // refused commands reach nobody
}

TEST_F(GpibBus, AReplyLaterThanTheTimeOutComesWithALaterRead) {
    ASSERT_EQ(load("[gpib.9]\nreply=+5\ndelay_ms=250\n"), 0) << messages;
    start(1);  // 100 ms
    ASSERT_EQ(send(9, "READ?"), 0);
    const Clock::time_point asked = Clock::now();
    EXPECT_EQ(receive(9), "rc=-14");
    EXPECT_GE(elapsed_ms(asked), 100);
    EXPECT_EQ(receive(9), "rc=-14");
    EXPECT_EQ(receive(9), "+5");  // ready 250 ms after the command
    EXPECT_GE(elapsed_ms(asked), 250);
    EXPECT_LT(elapsed_ms(asked), 400);
    // Without a command the measurement starts with the first read.
    ASSERT_EQ(PciGpibExSetConfig(0, "/TMO=5"), 0);
    const Clock::time_point read_at = Clock::now();
    EXPECT_EQ(receive(9), "+5");
    EXPECT_GE(elapsed_ms(read_at), 250);
}

TEST_F(GpibBus, SilentInstrumentsTimeOut) {
    ASSERT_EQ(load("[gpib.4]\nreply=1\nsilent_after=2\n[gpib.6]\nsilent=1\n"), 0) << messages;
    start(1);
    EXPECT_EQ(receive(4), "1");
    EXPECT_EQ(receive(4), "1");
    const Clock::time_point start_at = Clock::now();
    EXPECT_EQ(receive(4), "rc=-14");
    EXPECT_GE(elapsed_ms(start_at), 100);
    EXPECT_EQ(receive(6), "rc=-14");
    EXPECT_EQ(send(6, "*RST"), 0);  // it still listens
    ASSERT_EQ(gpib_sim_set_silent(4, 0), 0);
    EXPECT_EQ(receive(4), "1");
    ASSERT_EQ(gpib_sim_set_error(4, -16), 0);
    EXPECT_EQ(receive(4), "rc=-16");
    EXPECT_EQ(gpib_sim_set_silent(12, 1), -1);  // nobody there
    ASSERT_EQ(gpib_sim_set_reply(12, "12"), 0);
    EXPECT_EQ(receive(12), "12");
}

TEST_F(GpibBus, CommandsAreLoggedInOrderAndReported) {
    ASSERT_EQ(load("[report]\nstate=state.txt\n[gpib.1]\nreply=1\n[gpib.22]\nreply=2\n"), 0) << messages;
    start();
    ASSERT_EQ(send(22, "*RST"), 0);
    ASSERT_EQ(send(1, std::string("CONF:VOLT\\DC\r\n\x01", 15)), 0);
    ASSERT_EQ(send(22, ""), 0);
    ASSERT_EQ(gpib_sim_sent_count(), 3u);
    int address = -1;
    char text[8];
    EXPECT_EQ(gpib_sim_sent(1, &address, text, sizeof text), 15);
    EXPECT_EQ(address, 1);
    EXPECT_STREQ(text, "CONF:VO");
    EXPECT_EQ(gpib_sim_sent(3, &address, text, sizeof text), -1);
    ASSERT_EQ(jigsim_write_report(), 0);
    const std::string report = ksw::testing::read_text(dir.file("state.txt"));
    EXPECT_NE(report.find("\ngpib.22.sent=*RST\ngpib.1.sent=CONF:VOLT\\\\DC\\r\\n\\x01\ngpib.22.sent=\n"), std::string::npos)
        << report;
    gpib_sim_clear_sent();
    EXPECT_EQ(gpib_sim_sent_count(), 0u);
}

}  // namespace
