// rs232c( and rscom( against the simulated product over a pseudo-terminal.
#include <chrono>
#include <thread>

#include "serial_fixture.h"

namespace ksw {
namespace {

using sim::PeerMode;

class SerialCommands : public testing::SerialCommandTest {};

long elapsed_ms(std::chrono::steady_clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count());
}

TEST_F(SerialCommands, SetOpensTheRecordsPortAndRefusesSettingsAndPortsItCannotUse) {
    attach(PeerMode::echo);
    ASSERT_EQ(run(make(kRowRs232c, kRsSet, {19200, 7, 2, 2})), kOk);
    EXPECT_TRUE(link.is_open());
    EXPECT_EQ(link.record().baud_rate, 19200);
    EXPECT_EQ(link.record().byte_size, 7);
    EXPECT_EQ(link.record().parity, 2);
    EXPECT_EQ(link.record().stop_bits, 2);
    // A baud rate taken from ad[] is checked at run time; the open port stays as it was.
    const int handle = link.handle();
    ad(5) = 14400;
    EXPECT_EQ(run(make(kRowRs232c, kRsSet, {5, 8, 0, 0}, {}, kMaskIntSlot(0))), kErrOutOfRange);
    EXPECT_EQ(link.handle(), handle);
    // "com" names the port of the next "set"; one that does not open leaves the port closed.
    ASSERT_EQ(run(make(kRowRs232c, kRsPort, {7})), kOk);
    EXPECT_EQ(link.port_name(), "COM7");
    SerialOptions options = link.options();
    options.devices.push_back({"COM7", dir.file("no-such-line")});
    link.configure(options);
    EXPECT_EQ(run(make(kRowRs232c, kRsSet, {9600, 8, 0, 0})), kErrSerialCantOpen);
    EXPECT_FALSE(link.is_open());
    ad(6) = 10;
    EXPECT_EQ(run(make(kRowRs232c, kRsPort, {6}, {}, kMaskIntSlot(0))), kErrOutOfRange);
    EXPECT_EQ(link.port_name(), "COM7");
}

TEST_F(SerialCommands, EverythingButOpeningNeedsAnOpenPortUnlessTheLinkIsIgnored) {
    attach(PeerMode::sink);
    EXPECT_EQ(run(make(kRowRs232c, kRsReset, {})), kOk);  // closing a closed port is no error
    EXPECT_EQ(run(make(kRowRs232c, kRsStatus, {0})), kErrSerialNotOpen);
    EXPECT_EQ(run(make(kRowRs232c, kRsClear, {})), kErrSerialNotOpen);
    EXPECT_EQ(run(make(kRowRs232c, kRsTimeout, {}, {1, -1})), kErrSerialNotOpen);
    EXPECT_EQ(run(make(kRowRscom, kRscomFixedTx, {0, 1})), kErrSerialNotOpen);
    EXPECT_EQ(run(make(kRowRscom, kRscomRetry, {1})), kErrSerialNotOpen);
    EXPECT_EQ(run(make_with_text(kRowSendmicon, kSendmiconSend, {}, dir.file("x"))), kErrSerialNotOpen);

    // "Ignore": the port commands succeed and nothing reaches the line; the download does not.
    SerialOptions options = link.options();
    options.ignore = true;
    link.configure(options);
    EXPECT_EQ(run(make(kRowRs232c, kRsSet, {9600, 8, 0, 0})), kOk);
    EXPECT_FALSE(link.is_open());
    EXPECT_EQ(run(make(kRowRscom, kRscomFixedTx, {0, 1})), kOk);
    EXPECT_EQ(run(make_with_text(kRowSendmicon, kSendmiconSend, {}, dir.file("x"))), kErrSerialNotOpen);
    EXPECT_EQ(peer->received_count(), 0u);
}

TEST_F(SerialCommands, FixedBlocksSendLowBytesAndStoreRepliesZeroExtended) {
    connect(PeerMode::echo);
    ad(0) = 0x141;
    ad(1) = 0x42;
    ad(2) = 0xFF43;
    ad(12) = 0x5555;
    ASSERT_EQ(run(make(kRowRscom, kRscomFixedTxRx, {0, 3, 10, 2}, {0.5})), kOk);
    EXPECT_EQ(peer_got(3), "ABC");
    EXPECT_EQ(ad(10), 0x41);
    EXPECT_EQ(ad(11), 0x42);
    // The third echoed byte is still queued; "frx" takes it, "sta" counted it.
    ASSERT_EQ(run(make(kRowRs232c, kRsStatus, {20})), kOk);
    EXPECT_EQ(ad(20), 1);
    ASSERT_EQ(run(make(kRowRscom, kRscomFixedRx, {0, 0, 12, 1})), kOk);
    EXPECT_EQ(ad(12), 0x43);
    // "ftx" and "cle": sent bytes come back and are thrown away.
    ASSERT_EQ(run(make(kRowRscom, kRscomFixedTx, {0, 2})), kOk);
    peer->wait_received(5, 2000);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(run(make(kRowRs232c, kRsClear, {})), kOk);
    ASSERT_EQ(run(make(kRowRs232c, kRsStatus, {20})), kOk);
    EXPECT_EQ(ad(20), 0);
}

TEST_F(SerialCommands, BlocksOutsideTheRegistersOrTooLongAreRefusedBeforeAnythingIsSent) {
    connect(PeerMode::sink);
    ad(3) = 4097;
    EXPECT_EQ(run(make(kRowRscom, kRscomFixedTx, {0, 3}, {}, kMaskIntSlot(1))), kErrOutOfRange);
    EXPECT_EQ(run(make(kRowRscom, kRscomFixedTx, {7998, 3})), kErrOutOfRange);
    EXPECT_EQ(run(make(kRowRscom, kRscomFixedTxRx, {0, 1, 7999, 2})), kErrOutOfRange);
    // "vrx" takes at least the two bytes of a packet's head.
    EXPECT_EQ(run(make(kRowRscom, kRscomPacketRx, {0, 0, 10, 1})), kErrOutOfRange);
    // A length above 255 cannot go into the length byte; a packet must end inside ad[].
    ad(101) = 256;
    EXPECT_EQ(run(make(kRowRscom, kRscomPacketTx, {100})), kErrOutOfRange);
    ad(7991) = 10;
    EXPECT_EQ(run(make(kRowRscom, kRscomPacketTx, {7990})), kErrOutOfRange);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(peer->received_count(), 0u);
}

TEST_F(SerialCommands, PacketRepliesFillOnlyTheRegistersTheyReach) {
    sim::SerialPeerConfig config;
    config.packet_reply = std::string("\x06\x02ok", 4);
    connect(PeerMode::packet, config);
    ad(0) = 0x10;
    ad(1) = 1;
    ad(2) = 0x20;
    for (int i = 50; i < 60; ++i) ad(i) = 0xEEEE;
    ad(3) = 0x99;  // past the packet: not sent
    ASSERT_EQ(run(make(kRowRscom, kRscomPacketTxRx, {0, 0, 50, 10}, {0.5})), kOk);
    EXPECT_EQ(peer_got(3), std::string("\x10\x01\x20", 3));
    EXPECT_EQ(ad(50), 0x06);
    EXPECT_EQ(ad(51), 2);
    EXPECT_EQ(ad(52), 'o');
    EXPECT_EQ(ad(53), 'k');
    EXPECT_EQ(ad(54), 0xEEEE);  // past the packet: untouched
    // NR shorter than the packet: only NR bytes are stored.
    ASSERT_EQ(run(make(kRowRscom, kRscomPacketTx, {0})), kOk);
    ASSERT_EQ(run(make(kRowRscom, kRscomPacketRx, {0, 0, 60, 3})), kOk);
    EXPECT_EQ(ad(62), 'o');
    EXPECT_EQ(ad(63), 0);
}

TEST_F(SerialCommands, AReceiveTimeoutIsE092AfterTheSetTimeAndLeavesTheRegistersAlone) {
    connect(PeerMode::sink);
    ASSERT_EQ(run(make(kRowRs232c, kRsTimeout, {}, {0.2, -1})), kOk);
    uint32_t receive = 0, send = 0;
    ASSERT_TRUE(RSGetTimeout(link.handle(), &receive, &send));
    EXPECT_EQ(receive, 200u);
    EXPECT_EQ(send, 1000u);  // a negative time keeps the port's
    ad(30) = 0x1234;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run(make(kRowRscom, kRscomFixedRx, {0, 0, 30, 4})), 92);
    EXPECT_GE(elapsed_ms(start), 190);
    EXPECT_LT(elapsed_ms(start), 1000);
    EXPECT_EQ(ad(30), 0x1234);
    // The exchange's own time replaces the receive time-out for that call only.
    EXPECT_EQ(run(make(kRowRscom, kRscomFixedTxRx, {0, 1, 30, 1}, {0.05})), 92);
    ASSERT_TRUE(RSGetTimeout(link.handle(), &receive, &send));
    EXPECT_EQ(receive, 200u);
    // Times beyond 4294967295 ms are refused and change nothing.
    EXPECT_EQ(run(make(kRowRs232c, kRsTimeout, {}, {1, 5e6})), kErrOutOfRange);
    ASSERT_TRUE(RSGetTimeout(link.handle(), &receive, &send));
    EXPECT_EQ(receive, 200u);
    EXPECT_EQ(send, 1000u);
}

TEST_F(SerialCommands, RetCountsAttemptsInAllSoOneAttemptMeansNoRetry) {
    connect(PeerMode::sink);
    ASSERT_EQ(run(make(kRowRscom, kRscomRetry, {1}, {0.01})), kOk);
    ad(0) = 'Q';
    EXPECT_EQ(run(make(kRowRscom, kRscomFixedTxRx, {0, 1, 10, 1}, {0.1})), 92);
    EXPECT_EQ(peer_got(1), "Q");
    peer->clear_received();
    ASSERT_EQ(run(make(kRowRscom, kRscomRetry, {3}, {0.01})), kOk);
    EXPECT_EQ(run(make(kRowRscom, kRscomFixedTxRx, {0, 1, 10, 1}, {0.1})), 92);
    EXPECT_EQ(peer_got(3), "QQQ");
    EXPECT_EQ(run(make(kRowRscom, kRscomRetry, {0}, {0.01})), kErrOutOfRange);
    EXPECT_EQ(run(make(kRowRscom, kRscomRetry, {1}, {-1})), kErrOutOfRange);
}

TEST_F(SerialCommands, ALineThatDropsGivesTheMiscErrorAndNeverHangs) {
    sim::SerialPeerConfig config;
    config.fault = sim::PeerFault::drop;
    connect(PeerMode::echo, config);
    ad(0) = 'A';
    const auto start = std::chrono::steady_clock::now();
    const int rc = run(make(kRowRscom, kRscomFixedTxRx, {0, 1, 10, 1}, {0.5}));
    EXPECT_TRUE(rc == 92 || rc == 97) << rc;  // the hang-up may come before or after the wait
    ASSERT_TRUE(peer->line_dropped());
    EXPECT_EQ(run(make(kRowRscom, kRscomFixedTx, {0, 1})), 97);
    EXPECT_LT(elapsed_ms(start), 3000);
}

TEST(SerialErrors, LibraryCodesMapOntoTheProgramsSerialMessages) {
    EXPECT_EQ(serial_error(0), 0);
    EXPECT_EQ(serial_error(RS_SEND_FAILED), 91);
    EXPECT_EQ(serial_error(RS_RECEIVE_FAILED), 92);
    EXPECT_EQ(serial_error(RS_PORT_FAILED), 97);
    EXPECT_EQ(serial_error(-1), 97);
    EXPECT_EQ(serial_error(42), 97);
}

}  // namespace
}  // namespace ksw
