// The line-server link through real sockets in a scratch folder: instance numbers, the message
// texts with their zero byte, replies (time-out, empty, longer than the buffer), and task( as
// a test program runs it.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "platform/datagram.h"
#include "resources/error_codes.h"
#include "runtime/run_handlers.h"
#include "station/server_link.h"
#include "temp_dir.h"
#include "values/registers.h"

namespace ksw {
namespace {

using testing::TempDir;

// A line server as small as a test needs: receives on the server socket.
struct TestServer {
    explicit TestServer(const TempDir &dir) { EXPECT_TRUE(socket.bind(dir.file("JigServerRxSlot"))); }
    std::string next(uint32_t timeout_ms = 2000) {
        if (socket.wait(timeout_ms) != 1) return "<none>";
        char buffer[512];
        const long n = socket.receive(buffer, sizeof buffer);
        return n < 0 ? "<error>" : std::string(buffer, static_cast<size_t>(n));
    }
    void reply(int instance, std::string_view text) {
        platform::send_datagram(folder + "/Jig" + std::to_string(instance) + "ServerTxSlot", text);
    }
    platform::DatagramReceiver socket;
    std::string folder;
};

TEST(ServerLink, ThirdCopyTakesInstanceTwoAndAFreedNumberIsReused) {
    TempDir dir;
    ServerLink a, b, c;
    EXPECT_EQ(a.open(dir.path()), 0);
    EXPECT_EQ(b.open(dir.path()), 1);
    EXPECT_EQ(c.open(dir.path()), 2);
    EXPECT_EQ(c.own_socket(), dir.file("Jig2ServerTxSlot"));
    a.close();
    ServerLink d;
    EXPECT_EQ(d.open(dir.path()), 0);
}

TEST(ServerLink, SeventeenthCopyGetsNoNumber) {
    TempDir dir;
    std::vector<std::unique_ptr<ServerLink>> links;
    for (int i = 0; i < kInstanceCount; ++i) {
        links.push_back(std::make_unique<ServerLink>());
        ASSERT_EQ(links.back()->open(dir.path()), i);
    }
    ServerLink extra;
    std::string why;
    EXPECT_EQ(extra.open(dir.path(), &why), -1);
    EXPECT_FALSE(why.empty());
}

TEST(ServerLink, WithoutAServerEverySendIsMissingServer) {
    TempDir dir;
    ServerLink link;
    ASSERT_EQ(link.open(dir.path()), 0);
    EXPECT_EQ(link.send(kServerReady, {}), kErrTaskMissingServer);
    EXPECT_EQ(link.send(kServerSet, "1,2"), kErrTaskMissingServer);
    ServerLink closed;
    EXPECT_EQ(closed.send(kServerReady, {}), kErrTaskMissingServer);
    EXPECT_EQ(closed.receive(nullptr, 0), kErrTaskCantComm);
    EXPECT_EQ(closed.flush(), kErrTaskCantComm);
}

TEST(ServerLink, AnythingButASocketAtTheServersNameIsNoServer) {
    TempDir dir;
    ServerLink link;
    ASSERT_EQ(link.open(dir.path()), 0);
    testing::write_text(dir.file("JigServerRxSlot"), "not a socket");
    EXPECT_EQ(link.send(kServerReady, {}), kErrTaskMissingServer);
    std::filesystem::remove(dir.file("JigServerRxSlot"));
    std::filesystem::create_directory(dir.file("JigServerRxSlot"));
    EXPECT_EQ(link.send(kServerReady, {}), kErrTaskMissingServer);
    // A server that is listening gets the message; once it closes, its name is gone with it.
    {
        platform::DatagramReceiver dead;
        std::filesystem::remove(dir.file("JigServerRxSlot"));
        ASSERT_TRUE(dead.bind(dir.file("JigServerRxSlot")));
        EXPECT_EQ(link.send(kServerReady, {}), kOk);
    }
    EXPECT_EQ(link.send(kServerReady, {}), kErrTaskMissingServer);
}

TEST(ServerLink, MessagesCarryTheInstanceAndTheirZeroByte) {
    TempDir dir;
    TestServer server(dir);
    ServerLink first, link;
    ASSERT_EQ(first.open(dir.path()), 0);
    ASSERT_EQ(link.open(dir.path()), 1);
    link.tell(kServerReady);
    EXPECT_EQ(server.next(), std::string("01READY\0", 8));
    EXPECT_EQ(link.send(kServerFocus, "07"), kOk);
    EXPECT_EQ(server.next(), std::string("01FOCUS07\0", 10));
    EXPECT_EQ(link.send(kServerKey, "3,13"), kOk);
    EXPECT_EQ(server.next(), std::string("01KEY3,13\0", 10));
}

TEST(ServerLink, RepliesTimeOutAreCutToTheBufferAndEmptyOnesFail) {
    TempDir dir;
    TestServer server(dir);
    server.folder = dir.path();
    ServerLink link;
    ASSERT_EQ(link.open(dir.path()), 0);
    std::string reply;
    EXPECT_EQ(link.receive(&reply, 50), kErrTaskRxTimeout);
    server.reply(0, std::string(300, '7'));
    ASSERT_EQ(link.receive(&reply, 1000), kOk);
    EXPECT_EQ(reply.size(), kServerReplyBuffer - 1);
    server.reply(0, "");
    EXPECT_EQ(link.receive(&reply, 1000), kErrTaskCantComm);
    server.reply(0, "a");
    server.reply(0, "b");
    EXPECT_EQ(link.flush(), kOk);
    EXPECT_EQ(link.receive(&reply, 50), kErrTaskRxTimeout);
}

class TaskCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(allocate_registers(regs), kOk);
        context.registers = &regs;
        server.folder = dir.path();
        ASSERT_EQ(link.open(dir.path()), 0);
        context.server = &link;
    }
    static CommandRecord task(int word, int32_t a = 0, int32_t b = 0) {
        CommandRecord c;
        c.sub_mode = word;
        c.ints[0] = a;
        c.ints[1] = b;
        return c;
    }
    TempDir dir;
    TestServer server{dir};
    ServerLink link;
    Registers regs;
    RunContext context;
};

TEST_F(TaskCommandTest, ReadStoresTheNumberAfterThreeCharacters) {
    std::thread peer([this] {
        EXPECT_EQ(server.next(), std::string("00GET42\0", 8));
        server.reply(0, "03=123");
        EXPECT_EQ(server.next(), std::string("00GET43\0", 8));
        server.reply(0, "03123");  // the first three characters are skipped whatever they are
        EXPECT_EQ(server.next(), std::string("00GET44\0", 8));
        server.reply(0, "03");     // nothing after them: 0
    });
    EXPECT_EQ(run_task(context, task(2, 42, 100)), kOk);
    EXPECT_EQ((*regs.ad)[100], 123);
    EXPECT_EQ(run_task(context, task(2, 43, 101)), kOk);
    EXPECT_EQ((*regs.ad)[101], 23);
    (*regs.ad)[102] = 9;
    EXPECT_EQ(run_task(context, task(2, 44, 102)), kOk);
    EXPECT_EQ((*regs.ad)[102], 0);
    peer.join();
}

TEST_F(TaskCommandTest, RangesAreCheckedBeforeAnythingIsSent) {
    EXPECT_EQ(run_task(context, task(0, 16)), kErrOutOfRange);
    EXPECT_EQ(run_task(context, task(1, 256, 1)), kErrOutOfRange);
    EXPECT_EQ(run_task(context, task(1, 1, 65536)), kErrOutOfRange);
    EXPECT_EQ(run_task(context, task(2, 1, 8000)), kErrOutOfRange);
    EXPECT_EQ(run_task(context, task(3, 15, 256)), kErrOutOfRange);
    EXPECT_EQ(server.next(50), "<none>");
}

TEST_F(TaskCommandTest, SetFocusKeyAndClearSpeakTheProtocol) {
    EXPECT_EQ(run_task(context, task(1, 5, 65535)), kOk);
    EXPECT_EQ(server.next(), std::string("00SET5,65535\0", 13));
    EXPECT_EQ(run_task(context, task(0, 3)), kOk);
    EXPECT_EQ(server.next(), std::string("00FOCUS03\0", 10));
    EXPECT_EQ(run_task(context, task(3, 2, 13)), kOk);
    EXPECT_EQ(server.next(), std::string("00KEY2,13\0", 10));
    server.reply(0, "stale");
    EXPECT_EQ(run_task(context, task(4)), kOk);
    std::string reply;
    EXPECT_EQ(link.receive(&reply, 50), kErrTaskRxTimeout);
}

TEST_F(TaskCommandTest, NoServerAndNoLinkAreReported) {
    server.socket.close();
    EXPECT_EQ(run_task(context, task(1, 1, 1)), kErrTaskMissingServer);
    EXPECT_EQ(run_task(context, task(2, 1, 1)), kErrTaskMissingServer);
    context.server = nullptr;
    EXPECT_EQ(run_task(context, task(0, 1)), kErrTaskMissingServer);
    EXPECT_EQ(run_task(context, task(4)), kErrTaskCantComm);
}

TEST_F(TaskCommandTest, AnAbortEndsTheWaitForAReply) {
    std::thread stopper([this] {
        EXPECT_NE(server.next(), "<none>");
        context.gate.abort();
    });
    EXPECT_EQ(run_task(context, task(2, 1, 1)), kErrBreakedByUser);
    stopper.join();
}

}  // namespace
}  // namespace ksw
