// Opening and closing ports, the nine slots, unknown handles, per-port values, line settings.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "peer_fixture.h"

namespace comkit_test {
namespace {

using ksw::sim::PeerMode;
using ksw::sim::SerialPeer;

class Ports : public PeerTest {};

TEST_F(Ports, NineSlotsThenTheTenthOpenFailsUntilOneIsFreed) {
    std::vector<std::unique_ptr<SerialPeer>> peers;
    for (int i = 0; i < 10; ++i) {
        peers.push_back(std::make_unique<SerialPeer>(peer_mode(PeerMode::echo)));
        ASSERT_TRUE(peers.back()->start());
    }
    std::vector<int> handles;
    for (int i = 0; i < 9; ++i) {
        const RSPortSettings s = settings_for(peers[i]->path());
        handles.push_back(Open232C(&s));
        ASSERT_NE(handles.back(), -1);
        EXPECT_EQ(RSGetComNo(handles.back()), i);
    }
    const RSPortSettings tenth = settings_for(peers[9]->path());
    EXPECT_EQ(Open232C(&tenth), -1);

    // Freeing slot 4 lets the tenth in, into that slot, with a handle no other port has.
    Close232C(handles[4]);
    const int h = Open232C(&tenth);
    ASSERT_NE(h, -1);
    EXPECT_EQ(RSGetComNo(h), 4);
    EXPECT_EQ(RSGetComNo(handles[4]), 9) << "a closed handle must stay unknown";
    ASSERT_EQ(RSPutc(h, 'q'), 0);
    EXPECT_EQ(RSGetc(h), 'q');
    handles[4] = h;
    for (const int each : handles) Close232C(each);
}

TEST_F(Ports, UnknownHandlesAreRefusedEverywhere) {
    connect(peer_mode(PeerMode::echo));
    const int closed = handle;
    Close232C(closed);
    handle = -1;
    for (const int bad : {-1, 0, 1, 12345, closed}) {
        SCOPED_TRACE(bad);
        uint32_t rx = 77, tx = 88;
        uint8_t packet[RS_PACKET_BUFFER_SIZE] = {1, 0};
        char text[RS_TEXT_BUFFER_SIZE] = "x\r";
        EXPECT_EQ(RSGetComNo(bad), 9);
        EXPECT_EQ(RSSetTimeout(bad, 1, 1), 0);
        EXPECT_EQ(RSGetTimeout(bad, &rx, &tx), 0);
        EXPECT_EQ(rx, 77u);
        EXPECT_EQ(tx, 88u);
        EXPECT_EQ(RSSetRetry(bad, 1, 1), 0);
        EXPECT_EQ(RSIntervalTimeout(bad, 1, 1), 0);
        EXPECT_EQ(Reset232C(bad), -1);
        EXPECT_EQ(RSClearRXBuffer(bad), 0);
        EXPECT_EQ(RSGetc(bad), -1);
        EXPECT_EQ(RSGetLastError(), 9);
        EXPECT_EQ(RSGetReceived(bad), -1);
        EXPECT_EQ(RSPutc(bad, 'a'), 9);
        EXPECT_EQ(RSSendfData(bad, "ab", 2), 9);
        EXPECT_EQ(RSGetfData(bad, text, 2), 9);
        EXPECT_EQ(RSSendGetfData(bad, "ab", 2, text, 2, 0), 9);
        EXPECT_EQ(RSGetSendfData(bad, "ab", 2, text, 2, 0), 9);
        EXPECT_EQ(RSSendnData(bad, packet), 9);
        EXPECT_EQ(RSGetnData(bad, packet), 9);
        EXPECT_EQ(RSSendGetnData(bad, packet, packet, 0), 9);
        EXPECT_EQ(RSGetSendnData(bad, packet, packet, 0), 9);
        EXPECT_EQ(RSPuts(bad, text), 9);
        EXPECT_EQ(RSGets(bad, text), 9);
        EXPECT_EQ(RSPutGetsData(bad, text, text, 0), 9);
        EXPECT_EQ(RSGetPutsData(bad, text, text, 0), 9);
        EXPECT_EQ(RSGetLastError(), 9);
        EXPECT_EQ(Close232C(bad), 0);
    }
    EXPECT_EQ(peer->received_count(), 0u) << "nothing may reach a line through a stale handle";
}

TEST_F(Ports, MissingBuffersGiveNineWithoutTouchingTheLine) {
    connect(peer_mode(PeerMode::echo));
    EXPECT_EQ(RSSendfData(handle, nullptr, 3), 9);
    EXPECT_EQ(RSSendfData(handle, nullptr, 0), 0);
    EXPECT_EQ(RSGetfData(handle, nullptr, 1), 9);
    EXPECT_EQ(RSSendnData(handle, nullptr), 9);
    EXPECT_EQ(RSPuts(handle, nullptr), 9);
    EXPECT_EQ(RSGets(handle, nullptr), 9);
    EXPECT_EQ(RSGetTimeout(handle, nullptr, nullptr), 1);
    EXPECT_FALSE(peer->wait_received(1, 100));
}

TEST_F(Ports, OpenStartsWithDefaultsAndAReopenedSlotForgetsTheOldValues) {
    connect(peer_mode(PeerMode::echo));
    uint32_t rx = 0, tx = 0;
    ASSERT_EQ(RSGetTimeout(handle, &rx, &tx), 1);
    EXPECT_EQ(rx, 1000u);
    EXPECT_EQ(tx, 1000u);
    ASSERT_EQ(RSSetTimeout(handle, 5, 6), 1);
    ASSERT_EQ(RSGetTimeout(handle, &rx, nullptr), 1);
    EXPECT_EQ(rx, 5u);
    ASSERT_EQ(RSSetRetry(handle, 3, 10), 1);
    ASSERT_EQ(RSIntervalTimeout(handle, 1, 1), 1);
    EXPECT_EQ(Reset232C(handle), 0);

    Close232C(handle);
    const RSPortSettings s = settings_for(peer->path());
    handle = Open232C(&s);
    ASSERT_NE(handle, -1);
    ASSERT_EQ(RSGetTimeout(handle, &rx, &tx), 1);
    EXPECT_EQ(rx, 1000u);
    EXPECT_EQ(tx, 1000u);
    // Retries are back to none: a silent line is asked once.
    peer->set_fault(ksw::sim::PeerFault::silence);
    RSSetTimeout(handle, 50, 1000);
    EXPECT_EQ(RSSendGetfData(handle, "ab", 2, nullptr, 0, 0), 0);
    char reply[2];
    EXPECT_EQ(RSSendGetfData(handle, "cd", 2, reply, 2, 0), 4);
    EXPECT_EQ(peer_got(4), "abcd");
}

TEST_F(Ports, OpenClearsTheLastError) {
    connect(peer_mode(PeerMode::sink));
    RSSetTimeout(handle, 10, 10);
    EXPECT_EQ(RSGetc(handle), -1);
    EXPECT_EQ(RSGetLastError(), 4);
    SerialPeer other(peer_mode(PeerMode::sink));
    ASSERT_TRUE(other.start());
    const RSPortSettings s = settings_for(other.path());
    const int h = Open232C(&s);
    EXPECT_NE(h, -1);
    EXPECT_EQ(RSGetLastError(), 0);
    Close232C(h);
}

TEST_F(Ports, WhatIsNoSerialLineIsRefusedPromptly) {
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(dir.file("plain")) << "data";
    Stopwatch clock;
    for (const std::string &name : {dir.file("missing"), dir.path(), dir.file("plain"), fifo, std::string()}) {
        SCOPED_TRACE(name);
        const RSPortSettings s = settings_for(name);
        EXPECT_EQ(Open232C(&s), -1);
    }
    EXPECT_LT(clock.ms(), 5000);
    EXPECT_EQ(Open232C(nullptr), -1);

    // A name without its terminator is not read past the record.
    connect(peer_mode(PeerMode::echo));
    RSPortSettings unterminated = settings_for(peer->path());
    std::memset(unterminated.port, 'A', sizeof unterminated.port);
    EXPECT_EQ(Open232C(&unterminated), -1);
}

TEST_F(Ports, RefusedLineSettingsOpenNothing) {
    SerialPeer line(peer_mode(PeerMode::echo));
    ASSERT_TRUE(line.start());
    struct Case {
        int32_t baud;
        uint8_t bits, stop, parity;
    };
    for (const Case c : {Case{0, 8, 0, 0}, Case{-9600, 8, 0, 0}, Case{9600, 9, 0, 0}, Case{9600, 4, 0, 0},
                         Case{9600, 8, 3, 0}, Case{9600, 8, 0, 5}}) {
        RSPortSettings s = settings_for(line.path(), c.baud);
        s.byte_size = c.bits;
        s.stop_bits = c.stop;
        s.parity = c.parity;
        EXPECT_EQ(Open232C(&s), -1) << c.baud << " " << int(c.bits) << " " << int(c.stop) << " " << int(c.parity);
    }
    // Every frame the record can describe, and a rate termios has no constant for.
    for (const Case c : {Case{14400, 7, 2, 1}, Case{115200, 5, 1, 2}, Case{1200, 6, 0, 3}, Case{300, 8, 0, 4}}) {
        RSPortSettings s = settings_for(line.path(), c.baud);
        s.byte_size = c.bits;
        s.stop_bits = c.stop;
        s.parity = c.parity;
        const int h = Open232C(&s);
        EXPECT_NE(h, -1) << c.baud;
        Close232C(h);
    }
}

TEST_F(Ports, ADeviceIsOpenedOnceAtATime) {
    connect(peer_mode(PeerMode::echo));
    const RSPortSettings s = settings_for(peer->path());
    EXPECT_EQ(Open232C(&s), -1);
    Close232C(handle);
    handle = Open232C(&s);
    EXPECT_NE(handle, -1);
}

TEST_F(Ports, ComNamesMapThroughTheRegistry) {
    peer = std::make_unique<SerialPeer>(peer_mode(PeerMode::echo));
    ASSERT_TRUE(peer->start());
    std::filesystem::create_directories(dir.path() + "/Orvane/KSW");
    ksw::testing::write_text(dir.path() + "/Orvane/KSW/registry.ini",
                             "[SerialDevices]\r\nCOM7=\"" + peer->path() + "\"\r\nCOM8=" + dir.file("none") + "\r\n");
    const RSPortSettings com7 = settings_for("com7");
    handle = Open232C(&com7);
    ASSERT_NE(handle, -1);
    ASSERT_EQ(RSSendfData(handle, "hi", 2), 0);
    char back[2];
    ASSERT_EQ(RSGetfData(handle, back, 2), 0);
    EXPECT_EQ(std::string(back, 2), "hi");
    const RSPortSettings com8 = settings_for("COM8");
    EXPECT_EQ(Open232C(&com8), -1) << "COM8 names a missing device";
}

// A line left cooked by another program (echo, CR to NL, NL to CR NL) is raw once open.
TEST_F(Ports, TheLineIsRawWhateverModeItWasLeftIn) {
    ksw::sim::SerialPeerConfig cooked = peer_mode(PeerMode::echo);
    cooked.cooked_line = true;
    connect(cooked);
    const std::string bytes("A\rB\n\x03\x7f", 6);
    ASSERT_EQ(RSSendfData(handle, bytes.data(), 6), 0);
    char back[6];
    ASSERT_EQ(RSGetfData(handle, back, 6), 0);
    EXPECT_EQ(std::string(back, 6), bytes);
    EXPECT_EQ(peer_got(6), bytes) << "the line must neither translate nor echo";
    EXPECT_EQ(RSGetReceived(handle), 0);
}

}  // namespace
}  // namespace comkit_test
