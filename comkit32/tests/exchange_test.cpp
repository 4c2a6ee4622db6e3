// The framed exchanges against a simulated product: what goes on the line, what comes back.
#include <string>
#include <vector>

#include "peer_fixture.h"

namespace comkit_test {
namespace {

using ksw::sim::PeerFault;
using ksw::sim::PeerMode;
using ksw::sim::SerialPeerConfig;

class Exchanges : public PeerTest {};

SerialPeerConfig text_peer(std::vector<std::pair<std::string, std::string>> replies) {
    SerialPeerConfig c = peer_mode(PeerMode::text);
    c.replies = std::move(replies);
    return c;
}

TEST_F(Exchanges, PacketsSendTheirLengthPlusTwoBytes) {
    connect(peer_mode(PeerMode::sink));
    const uint8_t empty[] = {0x41, 0x00, 0x99, 0x99};
    EXPECT_EQ(RSSendnData(handle, empty), 0);
    EXPECT_EQ(peer_got(2), std::string("\x41\x00", 2));
    peer->clear_received();
    const uint8_t three[] = {0x05, 0x03, 'a', 'b', 'c', 'X'};
    EXPECT_EQ(RSSendnData(handle, three), 0);
    EXPECT_EQ(peer_got(5), "\x05\x03" "abc");
}

TEST_F(Exchanges, PutsSendsThroughCrOrTerminatorAndRefusesEndlessText) {
    connect(peer_mode(PeerMode::sink));
    // Exactly 4096 bytes with neither: nothing is read past them, nothing is sent.
    const std::vector<char> endless(RS_TEXT_BUFFER_SIZE, 'A');
    EXPECT_EQ(RSPuts(handle, endless.data()), 5);
    EXPECT_EQ(RSGetLastError(), 5);
    EXPECT_FALSE(peer->wait_received(1, 200));

    EXPECT_EQ(RSPuts(handle, "AB"), 0);
    EXPECT_EQ(peer_got(3), std::string("AB\0", 3));
    peer->clear_received();
    EXPECT_EQ(RSPuts(handle, "AB\rCD"), 0);
    EXPECT_EQ(peer_got(3), "AB\r");
    peer->clear_received();

    // The 4096th byte may still be the CR.
    std::vector<char> longest(RS_TEXT_BUFFER_SIZE, 'x');
    longest.back() = '\r';
    EXPECT_EQ(RSPuts(handle, longest.data()), 0);
    EXPECT_EQ(peer_got(RS_TEXT_BUFFER_SIZE), std::string(longest.begin(), longest.end()));
}

TEST_F(Exchanges, GetsReadsOneLineAndLeavesTheNextQueued) {
    connect(text_peer({{"ID?\r", std::string("OK\rMORE\0", 8)}}));
    char reply[RS_TEXT_BUFFER_SIZE];
    ASSERT_EQ(RSPuts(handle, "ID?\r"), 0);
    EXPECT_EQ(RSGets(handle, reply), 0);
    EXPECT_STREQ(reply, "OK");
    EXPECT_EQ(RSGets(handle, reply), 0);
    EXPECT_STREQ(reply, "MORE");

    EXPECT_EQ(RSPutGetsData(handle, "ID?\r", reply, 0), 0);
    EXPECT_STREQ(reply, "OK");
}

TEST_F(Exchanges, GetsStopsAfter4095BytesWithinItsBuffer) {
    connect(peer_mode(PeerMode::echo));
    const std::string long_line(5000, 'z');
    ASSERT_EQ(RSSendfData(handle, long_line.data(), 2500), 0);
    ASSERT_EQ(RSSendfData(handle, long_line.data(), 2500), 0);
    std::vector<char> buffer(RS_TEXT_BUFFER_SIZE, '#');  // exactly the size the caller owes
    EXPECT_EQ(RSGets(handle, buffer.data()), 0);
    EXPECT_EQ(std::string(buffer.data()), std::string(4095, 'z'));
    std::vector<char> rest(905);
    EXPECT_EQ(RSGetfData(handle, rest.data(), 905), 0);
}

TEST_F(Exchanges, AGetsThatTimesOutKeepsItsBytesUnterminated) {
    connect(peer_mode(PeerMode::echo));
    RSSetTimeout(handle, 150, 1000);
    ASSERT_EQ(RSSendfData(handle, "AB", 2), 0);
    char buffer[RS_TEXT_BUFFER_SIZE];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(RSGets(handle, buffer), 4);
    EXPECT_EQ(std::string(buffer, 3), "AB#");
}

TEST_F(Exchanges, FixedLengthRequestAndReply) {
    connect(text_peer({{"PING", "PONG!"}}));
    char reply[4] = {};
    EXPECT_EQ(RSSendGetfData(handle, "PING", 4, reply, 4, 0), 0);
    EXPECT_EQ(std::string(reply, 4), "PONG");
    char rest = 0;
    EXPECT_EQ(RSGetfData(handle, &rest, 1), 0);
    EXPECT_EQ(rest, '!');
    EXPECT_EQ(RSGetfData(handle, reply, 0), 0) << "nothing to read succeeds at once";
}

TEST_F(Exchanges, PacketRequestAndReply) {
    connect(peer_mode(PeerMode::packet));
    const uint8_t request[] = {0x10, 3, 1, 2, 3};
    uint8_t reply[RS_PACKET_BUFFER_SIZE] = {};
    EXPECT_EQ(RSSendGetnData(handle, request, reply, 0), 0);
    EXPECT_EQ(std::vector<uint8_t>(reply, reply + 5), std::vector<uint8_t>(request, request + 5));

    // The longest packet fills the 257-byte buffer to its end.
    std::vector<uint8_t> longest(RS_PACKET_BUFFER_SIZE);
    longest[0] = 0x7e;
    longest[1] = 255;
    for (size_t i = 2; i < longest.size(); ++i) longest[i] = static_cast<uint8_t>(i);
    std::vector<uint8_t> back(RS_PACKET_BUFFER_SIZE);
    EXPECT_EQ(RSSendGetnData(handle, longest.data(), back.data(), 0), 0);
    EXPECT_EQ(back, longest);
}

TEST_F(Exchanges, FixedPacketReplyIsReadByItsLength) {
    SerialPeerConfig c = peer_mode(PeerMode::packet);
    c.packet_reply = std::string("\x81\x00", 2);
    connect(c);
    const uint8_t request[] = {0x01, 1, 0x55};
    uint8_t reply[RS_PACKET_BUFFER_SIZE];
    std::memset(reply, 0xEE, sizeof reply);
    EXPECT_EQ(RSSendGetnData(handle, request, reply, 0), 0);
    EXPECT_EQ(reply[0], 0x81);
    EXPECT_EQ(reply[1], 0);
    EXPECT_EQ(reply[2], 0xEE);
}

// The answering side: the echo peer hands back what was sent, as if a device had asked.
TEST_F(Exchanges, AnsweringSideReceivesThenSends) {
    connect(peer_mode(PeerMode::echo));
    char got[5];
    ASSERT_EQ(RSSendfData(handle, "HELLO", 5), 0);
    EXPECT_EQ(RSGetSendfData(handle, "ACK", 3, got, 5, 0), 0);
    EXPECT_EQ(std::string(got, 5), "HELLO");
    ASSERT_EQ(RSGetfData(handle, got, 3), 0);
    EXPECT_EQ(std::string(got, 3), "ACK");

    const uint8_t question[] = {0x20, 1, 0x42};
    const uint8_t answer[] = {0x21, 2, 0x43, 0x44};
    uint8_t buffer[RS_PACKET_BUFFER_SIZE];
    ASSERT_EQ(RSSendnData(handle, question), 0);
    EXPECT_EQ(RSGetSendnData(handle, answer, buffer, 10), 0);
    EXPECT_EQ(buffer[2], 0x42);
    ASSERT_EQ(RSGetnData(handle, buffer), 0);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 4), std::vector<uint8_t>(answer, answer + 4));

    char line[RS_TEXT_BUFFER_SIZE];
    ASSERT_EQ(RSSendfData(handle, "REQ\r", 4), 0);
    EXPECT_EQ(RSGetPutsData(handle, "RES\r", line, 0), 0);
    EXPECT_STREQ(line, "REQ");
    ASSERT_EQ(RSGets(handle, line), 0);
    EXPECT_STREQ(line, "RES");
}

TEST_F(Exchanges, SingleBytesAndTheReceiveQueue) {
    connect(peer_mode(PeerMode::echo));
    EXPECT_EQ(RSPutc(handle, 0x1FF), 0);
    EXPECT_EQ(RSGetc(handle), 0xFF);
    EXPECT_EQ(RSGetLastError(), 0);

    ASSERT_EQ(RSSendfData(handle, "xyz", 3), 0);
    Stopwatch clock;
    while (RSGetReceived(handle) < 3 && clock.ms() < 3000) {
    }
    EXPECT_EQ(RSGetReceived(handle), 3);
    EXPECT_NE(RSClearRXBuffer(handle), 0);
    EXPECT_EQ(RSGetReceived(handle), 0);

    RSSetTimeout(handle, 100, 1000);
    EXPECT_EQ(RSGetc(handle), -1);
    EXPECT_EQ(RSGetLastError(), 4);
}

// A request that discards the receive queue first: stale bytes never pass for the reply.
TEST_F(Exchanges, SendingAPacketOrTextDropsStaleInput) {
    SerialPeerConfig c = text_peer({{"Q\r", "A\r"}});
    c.unknown_reply = "STALE\r";
    connect(c);
    ASSERT_EQ(RSSendfData(handle, "junk\r", 5), 0);
    Stopwatch clock;
    while (RSGetReceived(handle) < 6 && clock.ms() < 3000) {
    }
    char reply[RS_TEXT_BUFFER_SIZE];
    EXPECT_EQ(RSPutGetsData(handle, "Q\r", reply, 0), 0);
    EXPECT_STREQ(reply, "A");
}

TEST_F(Exchanges, AReceiveTimeOutForOneCallIsRestoredAfterIt) {
    connect(peer_mode(PeerMode::sink));
    ASSERT_EQ(RSSetTimeout(handle, 20000, 1000), 1);
    char reply[4];
    Stopwatch clock;
    EXPECT_EQ(RSSendGetfData(handle, "ping", 4, reply, 4, 200), 4);
    EXPECT_GE(clock.ms(), 190);
    EXPECT_LT(clock.ms(), 10000);
    uint32_t rx = 0;
    RSGetTimeout(handle, &rx, nullptr);
    EXPECT_EQ(rx, 20000u);
}

TEST_F(Exchanges, RetriesRepeatTheWholePairAndSleepBetween) {
    connect(peer_mode(PeerMode::sink));
    ASSERT_EQ(RSSetTimeout(handle, 100, 1000), 1);
    ASSERT_EQ(RSSetRetry(handle, 2, 250), 1);
    char reply[4];
    Stopwatch clock;
    EXPECT_EQ(RSSendGetfData(handle, "ping", 4, reply, 4, 0), 4);
    // Three sends, two intervals, three receive time-outs.
    EXPECT_GE(clock.ms(), 2 * 250 + 3 * 100 - 20);
    EXPECT_LT(clock.ms(), 10000);
    EXPECT_EQ(peer_got(12), "pingpingping");
    EXPECT_EQ(RSGetLastError(), 4);

    // A success ends the retries: one send only.
    peer->clear_received();
    EXPECT_EQ(RSSendfData(handle, "once", 4), 0);
    EXPECT_EQ(peer_got(4), "once");
}

TEST_F(Exchanges, RetriedTextAndPacketExchangesSendOncePerAttempt) {
    connect(peer_mode(PeerMode::sink));
    RSSetTimeout(handle, 30, 1000);
    RSSetRetry(handle, 1, 0);
    char text[RS_TEXT_BUFFER_SIZE];
    EXPECT_EQ(RSPutGetsData(handle, "T\r", text, 0), 4);
    EXPECT_EQ(peer_got(4), "T\rT\r");
    peer->clear_received();
    const uint8_t packet[] = {9, 0};
    uint8_t reply[RS_PACKET_BUFFER_SIZE];
    EXPECT_EQ(RSSendGetnData(handle, packet, reply, 0), 4);
    EXPECT_EQ(peer_got(4), std::string("\x09\x00\x09\x00", 4));
}

}  // namespace
}  // namespace comkit_test
