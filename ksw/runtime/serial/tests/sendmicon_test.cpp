// sendmicon( against the simulated microcontroller's loader over a pseudo-terminal.
#include <sys/stat.h>

#include <thread>

#include "serial_fixture.h"

namespace ksw {
namespace {

using sim::PeerMode;

class Sendmicon : public testing::SerialCommandTest {
protected:
    CommandRecord &sendmicon(int form, const std::string &file) { return make_with_text(kRowSendmicon, form, {}, file); }
    // The printer lock is free again (another thread can take it).
    bool printer_lock_free() {
        bool free = false;
        std::thread([&] {
            free = link.printer_lock.try_lock();
            if (free) link.printer_lock.unlock();
        }).join();
        return free;
    }
};

const std::string kHexFile = ":020000040000FA\r\n:0400000001020304F2\r\n:00000001FF\r\n";

TEST_F(Sendmicon, RunDownloadsTheFileThroughTheLoadersHandshakeAndStartsTheProgram) {
    sim::SerialPeerConfig config;
    config.download_idle_ms = 200;
    connect(PeerMode::download, config);
    testing::write_text(dir.file("prog.hex"), kHexFile);
    ASSERT_EQ(run(sendmicon(kSendmiconRun, dir.file("prog.hex"))), kOk);
    ASSERT_TRUE(peer->wait_downloads(1, 2000));
    EXPECT_EQ(peer->last_download(), kHexFile);
    // The start command follows the loader's "*".
    for (int i = 0; i < 100 && peer->start_commands().empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(peer->start_commands(), std::vector<std::string>{"TA000"});
    EXPECT_EQ(peer->received(), " L\r" + kHexFile + "TA000\r");
    EXPECT_TRUE(printer_lock_free());
}

TEST_F(Sendmicon, TheFileEndsAtItsFirstEndOfFileByte) {
    connect(PeerMode::sink);
    testing::write_text(dir.file("cut.bin"), std::string("AB\0C\x1A" "DEF\x1A", 9));
    ASSERT_EQ(run(sendmicon(kSendmiconSend, dir.file("cut.bin"))), kOk);
    EXPECT_EQ(peer_got(4), std::string("AB\0C", 4));
    // "run" with a loader that does not answer the blank sends nothing more than the blank.
    peer->clear_received();
    EXPECT_EQ(run(sendmicon(kSendmiconRun, dir.file("cut.bin"))), 92);
    EXPECT_EQ(peer_got(1), " ");
}

TEST_F(Sendmicon, AProductThatIsNotInItsLoaderIsLeftAlone) {
    sim::SerialPeerConfig config;
    config.replies = {{" ", "?"}};
    connect(PeerMode::text, config);
    testing::write_text(dir.file("prog.hex"), kHexFile);
    ASSERT_EQ(run(sendmicon(kSendmiconRun, dir.file("prog.hex"))), kOk);
    EXPECT_EQ(peer_got(1), " ");
}

TEST_F(Sendmicon, FilesThatCannotBeReadAreE107WithoutWaitingAndReleaseThePrinterLock) {
    connect(PeerMode::sink);
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.file("folder"));
    for (const std::string name : {"missing.hex", "fifo", "folder", ""}) {
        EXPECT_EQ(run(sendmicon(kSendmiconSend, name.empty() ? name : dir.file(name))), kErrOpenFile) << name;
        EXPECT_TRUE(printer_lock_free()) << name;
    }
    EXPECT_EQ(peer->received_count(), 0u);
}

TEST_F(Sendmicon, ALoaderThatNeverSaysItIsDoneEndsWithTheReceiveTimeout) {
    // The loader answers the handshake, but a download that never ends keeps it silent.
    sim::SerialPeerConfig config;
    config.download_idle_ms = 3000;
    connect(PeerMode::download, config);
    ASSERT_EQ(run(make(kRowRs232c, kRsTimeout, {}, {0.3})), kOk);
    testing::write_text(dir.file("part.hex"), ":0400000001020304F2\r\n");
    EXPECT_EQ(run(sendmicon(kSendmiconRun, dir.file("part.hex"))), 92);
    EXPECT_TRUE(peer->start_commands().empty());
    EXPECT_TRUE(printer_lock_free());
}

}  // namespace
}  // namespace ksw
