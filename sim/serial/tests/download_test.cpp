// The microcontroller download, driven through the serial library as the station drives it:
// " " answered " ", "L" and CR echoed, the file byte by byte up to its end or 0x1A, "*" back,
// then the start command "TA000".
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "comkit32.h"
#include "serial_peer.h"
#include "temp_dir.h"

namespace ksw::sim {
namespace {

class Download : public ::testing::Test {
protected:
    testing::TempDir dir;
    std::unique_ptr<SerialPeer> peer;
    int handle = -1;

    void connect(uint32_t idle_ms = 300) {
        SerialPeerConfig c;
        c.mode = PeerMode::download;
        c.download_file = dir.file("downloaded.hex");
        c.download_idle_ms = idle_ms;
        peer = std::make_unique<SerialPeer>(c);
        ASSERT_TRUE(peer->start());
        RSPortSettings s{};
        std::snprintf(s.port, sizeof s.port, "%s", peer->path().c_str());
        s.baud_rate = 9600;
        s.byte_size = 8;
        handle = Open232C(&s);
        ASSERT_NE(handle, -1);
    }
    void TearDown() override { Close232C(handle); }

    // The station's side of the download; the error code, or 0.
    int run_download(const std::string &file) {
        RSClearRXBuffer(handle);
        if (int e = RSPutc(handle, ' ')) return e;
        if (RSGetc(handle) != ' ') return 100;
        RSClearRXBuffer(handle);
        for (const char c : std::string("L\r")) {
            if (int e = RSPutc(handle, c)) return e;
            if (RSGetc(handle) != c) return 101;
        }
        for (const char c : file) {
            if (c == 0x1A) break;
            if (int e = RSPutc(handle, c)) return e;
        }
        for (;;) {
            const int c = RSGetc(handle);
            if (c < 0) return RSGetLastError();
            if (c == '*') break;
        }
        const int e = RSPuts(handle, "TA000\r");
        RSClearRXBuffer(handle);
        return e;
    }
};

TEST_F(Download, AnIntelHexFileEndsAtItsEndRecord) {
    connect(60000);  // the end record, not a pause, must finish it
    const std::string hex = ":0400000001020304F2\r\n:00000001FF\r\n";
    EXPECT_EQ(run_download(hex), 0);
    ASSERT_TRUE(peer->wait_downloads(1, 3000));
    EXPECT_EQ(peer->last_download(), hex);
    EXPECT_EQ(testing::read_text(dir.file("downloaded.hex")), hex);
    for (int i = 0; i < 300 && peer->start_commands().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(peer->start_commands(), std::vector<std::string>{"TA000"});
}

TEST_F(Download, AnSRecordFileAndAPauseEndDownloadsToo) {
    connect(150);
    const std::string srec = "S1070000AABBCCDD6A\rS9030000FC\r";
    EXPECT_EQ(run_download(srec), 0);
    const std::string plain = "no end record here\n";
    EXPECT_EQ(run_download(plain), 0);
    ASSERT_TRUE(peer->wait_downloads(2, 3000));
    EXPECT_EQ(peer->last_download(), plain);
    EXPECT_EQ(testing::read_text(dir.file("downloaded.hex")), plain);
}

TEST_F(Download, SendingStopsAtAnEndOfFileByte) {
    connect(150);
    EXPECT_EQ(run_download(std::string(":00000001FF\r\n\x1A:garbage after the end\r\n")), 0);
    EXPECT_EQ(peer->last_download(), ":00000001FF\r\n");
}

TEST_F(Download, ASilentMicrocontrollerIsNotDownloadedTo) {
    connect();
    peer->set_fault(PeerFault::silence);
    RSSetTimeout(handle, 100, 1000);
    EXPECT_EQ(run_download(":00000001FF\r\n"), 100);
    EXPECT_TRUE(peer->wait_received(1, 3000));
    EXPECT_FALSE(peer->wait_received(2, 100));
    EXPECT_EQ(peer->downloads(), 0);
    EXPECT_EQ(peer->received(), " ");
}

TEST(SerialPeerFaults, GarbageReplacesEveryReplyByte) {
    SerialPeerConfig c;
    c.mode = PeerMode::echo;
    c.fault = PeerFault::garbage;
    SerialPeer peer(c);
    ASSERT_TRUE(peer.start());
    RSPortSettings s{};
    std::snprintf(s.port, sizeof s.port, "%s", peer.path().c_str());
    s.baud_rate = 9600;
    s.byte_size = 8;
    const int h = Open232C(&s);
    ASSERT_NE(h, -1);
    const std::string sent(64, 'A');
    char back[64];
    EXPECT_EQ(RSSendGetfData(h, sent.data(), 64, back, 64, 0), 0);
    EXPECT_NE(std::string(back, 64), sent);
    // The count moves once the write has returned, which may be after the bytes arrived.
    for (int i = 0; i < 300 && peer.sent_count() < 64; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(peer.sent_count(), 64u);
    Close232C(h);
}

}  // namespace
}  // namespace ksw::sim
