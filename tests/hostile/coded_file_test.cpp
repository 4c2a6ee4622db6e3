// The real ksw and kscode programs against coded and plain files that are cut, strange or far
// too large, each case in a scratch folder of its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <tuple>

#include "child_run.h"

namespace ksw::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kProgram = "step 1\r\nno_operation\r\nstep 2\r\nno_operation\r\n";

ChildRun kscode(const TempDir &dir, const std::string &command, const std::string &from, const std::string &to,
                const ChildLimits &limits = {}) {
    return run_child(dir, {built("bin/kscode"), command, from, to}, {}, limits);
}

TEST(HostileCodedFiles, ACutCodedProgramIsRefusedNamingTheFile) {
    TempDir dir;
    write_text(dir.file("p.ks"), std::string(kProgram));
    ASSERT_TRUE(kscode(dir, "encode", "p.ks", "whole.ksc").exited_with(0));
    const std::string whole = read_text(dir.file("whole.ksc"));
    ASSERT_EQ(whole.size(), 6u + 2 * 24);
    const std::vector<std::string> env{"XDG_CONFIG_HOME=" + dir.file("cfg"), "XDG_RUNTIME_DIR=" + dir.file("run"),
                                       "KSW_LIBRARY_PATH=" + built("extras/lib")};
    EXPECT_EQ(run_child(dir, {built("bin/ksw"), "--check", "whole.ksc"}, env).output, "compiled: 2 steps\n");

    for (const size_t length : {40, 6, 20}) {  // in the last block, no block left, in the first block
        write_text(dir.file("cut.ksc"), whole.substr(0, length));
        const ChildRun run = run_child(dir, {built("bin/ksw"), "--check", "cut.ksc"}, env);
        EXPECT_TRUE(run.exited_with(2)) << length << ": " << run.output;
        EXPECT_EQ(run.output.rfind("s007: [cut.ksc]\n", 0), 0u) << length << ": " << run.output;
    }
    const ChildRun run = kscode(dir, "decode", "cut.ksc", "back.ks");
    EXPECT_TRUE(run.exited_with(1));
    EXPECT_EQ(run.output, "kscode: cut.ksc: cannot read: damaged coded file: its last block is cut short (14 of 24 bytes)\n");
    EXPECT_FALSE(fs::exists(dir.file("back.ks")));
}

TEST(HostileCodedFiles, KscodeAnswersFoldersFifosPlainAndHugeFilesWithAMessage) {
    TempDir dir;
    fs::create_directory(dir.file("folder"));
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    write_text(dir.file("plain.ks"), std::string(kProgram));  // 46 bytes: not the size of a coded file
    write_text(dir.file("huge.ks"), "");
    fs::resize_file(dir.file("huge.ks"), std::uintmax_t{3} << 30);  // sparse: costs no disk
    ChildLimits limits{.alarm_seconds = 10};
    if (!kSanitized) limits.address_space = rlim_t{1} << 30;  // far less than the huge file
    const struct {
        std::string command, from, to, message;
    } cases[] = {
        {"encode", "folder", "out", "folder: cannot read: is a folder"},
        {"encode", "fifo", "out", "fifo: cannot read: is not a regular file"},
        {"decode", "fifo", "out", "fifo: cannot read: is not a regular file"},
        {"decode", "plain.ks", "out", "plain.ks: cannot read: not a coded file"},
        {"encode", "huge.ks", "out", "huge.ks: too large to code (3221225472 bytes; at most 2147483646)"},
        {"encode", "plain.ks", "folder", "folder: cannot write the coded file: Is a directory"},
    };
    for (const auto &c : cases) {
        const ChildRun run = kscode(dir, c.command, c.from, c.to, limits);
        EXPECT_TRUE(run.exited_with(1)) << c.from << " signal " << run.signal << "\n" << run.output;
        EXPECT_EQ(run.output, "kscode: " + c.message + "\n");
    }
    EXPECT_FALSE(fs::exists(dir.file("out")));
}

TEST(HostileCodedFiles, KscodePastTheFileSizeLimitKeepsTheOldOutput) {
    TempDir dir;
    write_text(dir.file("p.ks"), std::string(kProgram));
    write_text(dir.file("long.ks"), std::string(4000, 'x'));
    ASSERT_TRUE(kscode(dir, "encode", "p.ks", "p.ksc").exited_with(0));
    ASSERT_TRUE(kscode(dir, "decode", "p.ksc", "back.ks").exited_with(0));
    ASSERT_TRUE(kscode(dir, "encode", "long.ks", "long.ksc").exited_with(0));
    const std::string coded = read_text(dir.file("p.ksc"));
    for (const auto &[command, from, to] :
         {std::tuple{"encode", "long.ks", "p.ksc"}, std::tuple{"decode", "long.ksc", "back.ks"}}) {
        const ChildRun run = kscode(dir, command, from, to, {.file_size = 1000});
        EXPECT_TRUE(run.exited_with(1)) << command << " signal " << run.signal << "\n" << run.output;
        EXPECT_NE(run.output.find("File too large"), std::string::npos) << run.output;
    }
    EXPECT_EQ(read_text(dir.file("p.ksc")), coded);
    EXPECT_EQ(read_text(dir.file("back.ks")), kProgram);
    for (const auto &entry : fs::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().string().find(".tmp."), std::string::npos) << entry.path();
    }
}

}  // namespace
}  // namespace ksw::testing
