// Line faults: a peer that closes mid-reply, never answers, or answers slowly.
#include "peer_fixture.h"

namespace comkit_test {
namespace {

using ksw::sim::PeerFault;
using ksw::sim::PeerMode;
using ksw::sim::SerialPeerConfig;

class Faults : public PeerTest {};

SerialPeerConfig dropping_after(uint64_t bytes) {
    SerialPeerConfig c = peer_mode(PeerMode::packet);
    c.fault = PeerFault::drop;
    c.drop_after = bytes;
    return c;
}

TEST_F(Faults, APeerClosingMidReplyFailsTheReceiveWithinItsTimeOut) {
    connect(dropping_after(3));
    RSSetTimeout(handle, 4000, 1000);
    RSSetRetry(handle, 1, 100);
    const uint8_t request[] = {0x31, 4, 1, 2, 3, 4};
    uint8_t reply[RS_PACKET_BUFFER_SIZE];
    Stopwatch clock;
    EXPECT_EQ(RSSendGetnData(handle, request, reply, 0), 9);
    EXPECT_LT(clock.ms(), 4000) << "a vanished line must not be waited for";
    EXPECT_TRUE(peer->line_dropped());
    EXPECT_EQ(RSGetLastError(), 9);

    // Everything after it fails the same way, at once.
    clock = Stopwatch();
    EXPECT_EQ(RSPutc(handle, 'x'), 9);
    EXPECT_EQ(RSGetc(handle), -1);
    EXPECT_EQ(RSGetLastError(), 9);
    EXPECT_EQ(RSGetReceived(handle), -1);
    EXPECT_EQ(RSGetLastError(), 9);
    EXPECT_EQ(RSPuts(handle, "x\r"), 9);
    EXPECT_LT(clock.ms(), 3000);
    EXPECT_EQ(Close232C(handle), 0);
    handle = -1;
}

TEST_F(Faults, APeerClosingBeforeAnyReplyFailsTheFixedExchange) {
    connect(dropping_after(0));
    RSSetTimeout(handle, 4000, 1000);
    char reply[2];
    Stopwatch clock;
    // The packet peer wants two bytes before it answers (and drops).
    EXPECT_EQ(RSSendGetfData(handle, "\x01\x00", 2, reply, 2, 0), 9);
    EXPECT_LT(clock.ms(), 4000);
}

TEST_F(Faults, ASilentPeerGivesTheReceiveErrorAfterTheTimeOut) {
    SerialPeerConfig c = peer_mode(PeerMode::echo);
    c.fault = PeerFault::silence;
    connect(c);
    RSSetTimeout(handle, 300, 1000);
    Stopwatch clock;
    EXPECT_EQ(RSGetc(handle), -1);
    EXPECT_EQ(RSGetLastError(), 4);
    EXPECT_GE(clock.ms(), 290);
    EXPECT_LT(clock.ms(), 5000);
    // The line itself is fine: the requests did arrive.
    EXPECT_EQ(RSPutc(handle, 'k'), 0);
    EXPECT_TRUE(peer->wait_received(1, 3000));
}

TEST_F(Faults, ASlowReplyNeedsALongEnoughReceiveTimeOut) {
    SerialPeerConfig c = peer_mode(PeerMode::echo);
    c.reply_delay_ms = 400;
    connect(c);
    char reply[2];
    EXPECT_EQ(RSSendGetfData(handle, "ab", 2, reply, 2, 100), 4);
    Stopwatch clock;
    while (peer->sent_count() < 2 && clock.ms() < 3000) {
    }
    RSClearRXBuffer(handle);  // the late reply to the first request
    EXPECT_EQ(RSSendGetfData(handle, "cd", 2, reply, 2, 3000), 0);
    EXPECT_EQ(std::string(reply, 2), "cd");
}

// Once the first byte is in, the rest must come within the per-byte bound.
TEST_F(Faults, BytesTrickleInWithinOrBeyondThePerByteBound) {
    SerialPeerConfig c = peer_mode(PeerMode::echo);
    c.byte_delay_ms = 150;
    connect(c);
    char reply[4];
    ASSERT_EQ(RSIntervalTimeout(handle, 10, 100), 1);
    EXPECT_EQ(RSSendGetfData(handle, "abcd", 4, reply, 4, 0), 4);
    peer->wait_received(4, 1000);
    while (RSGetc(handle) >= 0) {
    }
    ASSERT_EQ(RSIntervalTimeout(handle, 1000, 100), 1);
    EXPECT_EQ(RSSendGetfData(handle, "efgh", 4, reply, 4, 0), 0);
    EXPECT_EQ(std::string(reply, 4), "efgh");
}

}  // namespace
}  // namespace comkit_test
