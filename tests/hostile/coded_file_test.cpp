// Coded programs and the kscode tool against damaged, strange and oversized files: the real
// ksw and kscode programs run in a scratch folder of their own for every case.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "child_run.h"

namespace ksw::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kProgram = "step 1\r\nno_operation\r\nstep 2\r\nno_operation\r\n";

ChildRun kscode(const TempDir &dir, const std::vector<std::string> &arguments, ChildLimits limits = {}) {
    return run_child(dir, binary_dir() + "/bin/kscode", arguments, {}, limits);
}

// `ksw --check program` with the coded-file library in reach, so programs are read coded.
ChildRun check_coded(const TempDir &dir, const std::string &program) {
    return run_child(dir, binary_dir() + "/bin/ksw", {"--check", program},
                     {{"XDG_CONFIG_HOME", dir.file("cfg")},
                      {"XDG_RUNTIME_DIR", dir.file("run")},
                      {"KSW_LIBRARY_PATH", binary_dir() + "/extras/lib"}});
}

TEST(HostileCodedFiles, TruncatedCodedProgramIsRefusedNamingTheFile) {
    TempDir dir;
    write_text(dir.file("p.ks"), std::string(kProgram));
    ASSERT_TRUE(kscode(dir, {"encode", "p.ks", "whole.ksc"}).exited_with(0));
    const std::string whole = read_text(dir.file("whole.ksc"));
    ASSERT_EQ(whole.size(), 6u + 2 * 24);
    ChildRun run = check_coded(dir, "whole.ksc");
    ASSERT_TRUE(run.exited_with(0)) << run.output;
    EXPECT_EQ(run.output, "compiled: 2 steps\n");

    // Cut inside the last block, at a block boundary with no block left, and inside the first.
    for (const size_t length : {size_t{40}, size_t{6}, size_t{20}}) {
        write_text(dir.file("cut.ksc"), whole.substr(0, length));
        run = check_coded(dir, "cut.ksc");
        EXPECT_TRUE(run.exited_with(2)) << length << ": " << run.output;
        EXPECT_NE(run.output.find("cut.ksc"), std::string::npos) << length << ": " << run.output;
        EXPECT_EQ(run.output.find("compiled:"), std::string::npos) << length << ": " << run.output;
    }
    // kscode names the damage.
    write_text(dir.file("cut.ksc"), whole.substr(0, 40));
    run = kscode(dir, {"decode", "cut.ksc", "back.ks"});
    EXPECT_TRUE(run.exited_with(1)) << run.output;
    EXPECT_NE(run.output.find("cut.ksc: cannot read: damaged coded file: its last block is cut short"),
              std::string::npos)
        << run.output;
    EXPECT_FALSE(fs::exists(dir.file("back.ks")));
}

TEST(HostileCodedFiles, KscodeRefusesFoldersFifosAndPlainFilesWithAMessage) {
    TempDir dir;
    fs::create_directory(dir.file("folder"));
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    write_text(dir.file("plain.ks"), std::string(kProgram));  // 46 bytes: not the size of a coded file
    ChildLimits limits;
    limits.alarm_seconds = 10;
    const struct {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {{"encode", "folder", "out.ksc"}, "kscode: folder: cannot read: is a folder\n"},
        {{"encode", "fifo", "out.ksc"}, "kscode: fifo: cannot read: is not a regular file\n"},
        {{"decode", "folder", "out.ks"}, "kscode: folder: cannot read: is a folder\n"},
        {{"decode", "fifo", "out.ks"}, "kscode: fifo: cannot read: is not a regular file\n"},
        {{"decode", "plain.ks", "out.ks"}, "kscode: plain.ks: cannot read: not a coded file\n"},
        {{"encode", "plain.ks", "folder"}, "kscode: folder: cannot write the coded file: Is a directory\n"},
    };
    for (const auto &c : cases) {
        const ChildRun run = kscode(dir, c.arguments, limits);
        EXPECT_TRUE(run.exited_with(1)) << c.arguments[1] << " signal " << run.signal << "\n" << run.output;
        EXPECT_EQ(run.output, c.message);
    }
    EXPECT_FALSE(fs::exists(dir.file("out.ksc")));
    EXPECT_FALSE(fs::exists(dir.file("out.ks")));
    EXPECT_TRUE(fs::is_directory(dir.file("folder")));
}

TEST(HostileCodedFiles, KscodeChecksTheSizeBeforeReading) {
    TempDir dir;
    const std::string huge = dir.file("huge.ks");
    write_text(huge, "");
    fs::resize_file(huge, std::uintmax_t{3} << 30);  // sparse: costs no disk
    ChildLimits limits;
    limits.alarm_seconds = 20;
    if (!kSanitized) limits.address_space = rlim_t{1} << 30;  // far less than the file
    const ChildRun run = kscode(dir, {"encode", "huge.ks", "huge.ksc"}, limits);
    EXPECT_TRUE(run.exited_with(1)) << "signal " << run.signal << "\n" << run.output;
    EXPECT_EQ(run.output, "kscode: huge.ks: too large to code (3221225472 bytes; at most 2147483646)\n");
    EXPECT_FALSE(fs::exists(dir.file("huge.ksc")));
}

TEST(HostileCodedFiles, KscodePastTheFileSizeLimitKeepsTheOldOutput) {
    TempDir dir;
    write_text(dir.file("p.ks"), std::string(kProgram));
    ASSERT_TRUE(kscode(dir, {"encode", "p.ks", "p.ksc"}).exited_with(0));
    ASSERT_TRUE(kscode(dir, {"decode", "p.ksc", "back.ks"}).exited_with(0));
    const std::string coded = read_text(dir.file("p.ksc"));
    write_text(dir.file("long.ks"), std::string(4000, 'x'));
    ASSERT_TRUE(kscode(dir, {"encode", "long.ks", "long.ksc"}).exited_with(0));
    ChildLimits limits;
    limits.file_size = 1000;
    for (const std::vector<std::string> &arguments :
         {std::vector<std::string>{"encode", "long.ks", "p.ksc"}, std::vector<std::string>{"decode", "long.ksc", "back.ks"}}) {
        const ChildRun run = kscode(dir, arguments, limits);
        EXPECT_TRUE(run.exited_with(1)) << arguments[0] << " signal " << run.signal << "\n" << run.output;
        EXPECT_NE(run.output.find("File too large"), std::string::npos) << run.output;
    }
    EXPECT_EQ(read_text(dir.file("p.ksc")), coded);
    EXPECT_EQ(read_text(dir.file("back.ks")), kProgram);
    for (const auto &entry : fs::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp."), std::string::npos) << entry.path();
    }
}

}  // namespace
}  // namespace ksw::testing
