// The [serial] section of a scenario, and the ksw-serialpeer program that runs it.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/stat.h>
#include <thread>

#include "comkit32.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "serial_peer.h"
#include "temp_dir.h"

namespace ksw::sim {
namespace {

bool parse(const std::string &text, SerialPeerConfig *c, std::string *error = nullptr) {
    platform::IniFile ini;
    ini.parse(text);
    return parse_serial_scenario(ini, c, error);
}

TEST(SerialScenario, EveryKeyIsRead) {
    SerialPeerConfig c;
    std::string error;
    ASSERT_TRUE(parse("[jig]\nx=1\n[serial]\nmode = Text\nrequest1 = \"ID?\\r\"\nreply1 = \" KSW 100\\r\"\n"
                      "Request2=\\x02A\nreply2=\\0\nunknown_reply=\"?\\r\"\npacket_reply=\\x81\\x01\\xff\n"
                      "download_file=out/dl.hex\ndownload_idle_ms=50\nfault=garbage\ndrop_after=7\n"
                      "reply_delay_ms=5\nbyte_delay_ms=6\ngarbage_seed=99\nline=cooked\n",
                      &c, &error))
        << error;
    EXPECT_EQ(c.mode, PeerMode::text);
    ASSERT_EQ(c.replies.size(), 2u);
    EXPECT_EQ(c.replies[0].first, "ID?\r");
    EXPECT_EQ(c.replies[0].second, " KSW 100\r") << "quotes keep the blanks";
    EXPECT_EQ(c.replies[1].first, "\x02" "A");
    EXPECT_EQ(c.replies[1].second, std::string(1, '\0'));
    EXPECT_EQ(c.unknown_reply, "?\r");
    EXPECT_EQ(c.packet_reply, "\x81\x01\xff");
    EXPECT_EQ(c.download_file, "out/dl.hex");
    EXPECT_EQ(c.download_idle_ms, 50u);
    EXPECT_EQ(c.fault, PeerFault::garbage);
    EXPECT_EQ(c.drop_after, 7u);
    EXPECT_EQ(c.reply_delay_ms, 5u);
    EXPECT_EQ(c.byte_delay_ms, 6u);
    EXPECT_EQ(c.garbage_seed, 99u);
    EXPECT_TRUE(c.cooked_line);

    SerialPeerConfig defaults;
    ASSERT_TRUE(parse("[other]\nmode=text\n", &defaults));
    EXPECT_EQ(defaults.mode, PeerMode::echo);
    EXPECT_TRUE(defaults.packet_reply.empty());
    ASSERT_TRUE(parse("[serial]\npacket_reply=echo\n", &defaults));
    EXPECT_TRUE(defaults.packet_reply.empty());
}

// Every "[serial]" example of the simulator page is a scenario the peer accepts.
TEST(SerialScenario, TheDocumentedExamplesParse) {
    const std::string page = testing::read_text(KSW_SOURCE_DIR "/docs/simulator.md");
    int examples = 0;
    // Fenced blocks: a line that begins with ``` opens one (whatever its language) and the next
    // such line closes it.
    std::string block;
    bool inside = false;
    size_t line_start = 0;
    while (line_start < page.size()) {
        size_t line_end = page.find('\n', line_start);
        if (line_end == std::string::npos) line_end = page.size();
        const std::string line = page.substr(line_start, line_end - line_start);
        line_start = line_end + 1;
        if (line.rfind("```", 0) == 0) {
            if (inside && block.find("[serial]") != std::string::npos) {
                SerialPeerConfig c;
                std::string error;
                EXPECT_TRUE(parse(block, &c, &error)) << block << error;
                ++examples;
            }
            inside = !inside;
            block.clear();
        } else if (inside) {
            block += line + "\n";
        }
    }
    EXPECT_GE(examples, 2);
}

TEST(SerialScenario, MistakesAreNamed) {
    const struct {
        const char *text;
        const char *named;
    } cases[] = {
        {"[serial]\nmodus=echo\n", "modus"},
        {"[serial]\nrequest=A\nreply=B\n", "request"},
        {"[serial]\nmode=loud\n", "mode"},
        {"[serial]\nfault=fire\n", "fault"},
        {"[serial]\nrequest1=A\n", "request1"},
        {"[serial]\nreply3=A\n", "reply3"},
        {"[serial]\nrequest1=\nreply1=x\n", "request1"},
        {"[serial]\nrequest1=\\q\nreply1=x\n", "request1"},
        {"[serial]\nrequest1=a\nreply1=\\x4\n", "reply1"},
        {"[serial]\nunknown_reply=abc\\\n", "unknown_reply"},
        {"[serial]\nreply_delay_ms=-1\n", "reply_delay_ms"},
        {"[serial]\nbyte_delay_ms=10ms\n", "byte_delay_ms"},
        {"[serial]\ndownload_idle_ms=99999999999\n", "download_idle_ms"},
        {"[serial]\ngarbage_seed=4294967296\n", "garbage_seed"},
        {"[serial]\npacket_reply=\\x01\\x05\\x00\n", "packet_reply"},
        {"[serial]\nline=half\n", "line"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        SerialPeerConfig config;
        std::string error;
        EXPECT_FALSE(parse(c.text, &config, &error));
        EXPECT_NE(error.find(c.named), std::string::npos) << error;
    }
}

TEST(SerialScenario, OnlyARegularFileIsLoaded) {
    testing::TempDir dir;
    SerialPeerConfig c;
    std::string error;
    EXPECT_FALSE(load_serial_scenario(dir.file("missing.ini"), &c, &error));
    EXPECT_FALSE(load_serial_scenario(dir.path(), &c, &error));
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(load_serial_scenario(dir.file("fifo"), &c, &error)) << "a FIFO must not block the load";
    testing::write_text(dir.file("big.ini"), std::string(2 << 20, ';'));
    EXPECT_FALSE(load_serial_scenario(dir.file("big.ini"), &c, &error));
    testing::write_text(dir.file("ok.ini"), "[serial]\r\nmode=sink\r\n");
    EXPECT_TRUE(load_serial_scenario(dir.file("ok.ini"), &c, &error)) << error;
    EXPECT_EQ(c.mode, PeerMode::sink);
}

// The program prints the device and answers on it until it is told to stop.
TEST(SerialPeerProgram, PrintsTheDeviceAndAnswersOnIt) {
    const char *binary_dir = std::getenv("KSW_TEST_BINARY_DIR");
    ASSERT_NE(binary_dir, nullptr);
    testing::TempDir dir;
    testing::write_text(dir.file("s.ini"), "[serial]\nmode=text\nrequest1=\"V?\\r\"\nreply1=\"V 1.0\\r\"\n");
    const std::string out = dir.file("out.txt");
    const int pid = platform::start_process(
        {"/bin/sh", "-c", "exec '" + std::string(binary_dir) + "/bin/ksw-serialpeer' '" + dir.file("s.ini") + "' > '" + out + "'"});
    ASSERT_GT(pid, 0);
    std::string printed;
    for (int i = 0; i < 300 && printed.find('\n') == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        printed = testing::read_text(out);
    }
    ASSERT_NE(printed.find('\n'), std::string::npos);
    RSPortSettings s{};
    std::snprintf(s.port, sizeof s.port, "%s", printed.substr(0, printed.find('\n')).c_str());
    s.baud_rate = 9600;
    s.byte_size = 8;
    const int h = Open232C(&s);
    EXPECT_NE(h, -1) << s.port;
    char reply[RS_TEXT_BUFFER_SIZE] = {};
    EXPECT_EQ(RSPutGetsData(h, "V?\r", reply, 0), 0);
    EXPECT_STREQ(reply, "V 1.0");
    Close232C(h);
    kill(pid, SIGTERM);
    EXPECT_EQ(platform::wait_process(pid), 0);

    testing::write_text(dir.file("bad.ini"), "[serial]\nmode=loud\n");
    const int bad = platform::start_process(
        {std::string(binary_dir) + "/bin/ksw-serialpeer", dir.file("bad.ini")});
    EXPECT_EQ(platform::wait_process(bad), 1);
}

}  // namespace
}  // namespace ksw::sim
