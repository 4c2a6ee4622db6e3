// The kscode tool, run as the engineers run it.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include "temp_dir.h"
#include "zelcode.h"

namespace {

using ksw::testing::read_text;
using ksw::testing::TempDir;
using ksw::testing::write_text;

struct ToolRun {
    int status = -1;
    std::string output;  // stdout and stderr together
};

// Runs kscode with `arguments` (already quoted as needed).
ToolRun run_kscode(const std::string &arguments) {
    ToolRun run;
    const std::string command = std::string("'") + KSCODE_EXE + "' " + arguments + " 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    std::array<char, 256> buffer{};
    while (size_t got = fread(buffer.data(), 1, buffer.size(), pipe)) run.output.append(buffer.data(), got);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// `path` in single quotes for the shell.
std::string quoted(const std::string &path) { return "'" + path + "'"; }

TEST(Kscode, EncodeThenDecodeGivesTheOriginalBytes) {
    TempDir dir;
    std::string every_byte;
    for (int i = 0; i < 256; ++i) every_byte.push_back(static_cast<char>(i));
    const std::string texts[] = {"", "step1:\r\n  setsw(1)\r\n", std::string(24, 'x'), std::string(23, 'y'),
                                 "ends with blanks   ", "a mark\x1A  ", "\x1A", every_byte + every_byte};
    const std::string plain = dir.file("in.ks"), coded = dir.file("in.ksc"), back = dir.file("back.ks");
    for (const std::string &text : texts) {
        write_text(plain, text);
        const ToolRun encode = run_kscode("encode " + quoted(plain) + " " + quoted(coded));
        ASSERT_EQ(encode.status, 0) << encode.output;
        const std::string bytes = read_text(coded);
        EXPECT_EQ(bytes.substr(0, 6), std::string("\x01TYPE1", 6));
        EXPECT_EQ((bytes.size() - 6) % 24, 0u);
        EXPECT_EQ(bytes.find("setsw"), std::string::npos);  // not readable as plain text

        // The station reads the text and then the end-of-text mark.
        const ZelcodeHandle h = CreateCodedFile(coded.c_str(), ZELCODE_GENERIC_READ, ZELCODE_OPEN_EXISTING);
        std::string seen(text.size() + 1, '\0');
        ASSERT_EQ(ReadCodedFile(h, seen.data(), static_cast<int>(seen.size()), nullptr), 1);
        EXPECT_EQ(seen, text + '\x1A');
        CloseCodedFile(h, ZELCODE_GENERIC_READ);

        const ToolRun decode = run_kscode("decode " + quoted(coded) + " " + quoted(back));
        ASSERT_EQ(decode.status, 0) << decode.output;
        EXPECT_EQ(read_text(back), text);
    }
}

TEST(Kscode, BadArgumentsAndFilesGiveAMessageAndFailure) {
    TempDir dir;
    const ToolRun help = run_kscode("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("kscode encode PLAIN CODED"), std::string::npos);

    for (const std::string &arguments : {std::string(""), std::string("encode onlyone"), std::string("recode a b")}) {
        const ToolRun run = run_kscode(arguments);
        EXPECT_NE(run.status, 0) << arguments;
        EXPECT_NE(run.output.find("usage:"), std::string::npos) << arguments;
    }

    const std::string plain = dir.file("plain.ks"), coded = dir.file("c.ksc"), out = dir.file("out.ks");
    write_text(plain, "not coded at all, just a plain program\r\n");
    ToolRun run = run_kscode("encode " + quoted(dir.file("missing.ks")) + " " + quoted(coded));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("cannot read"), std::string::npos) << run.output;
    run = run_kscode("encode " + quoted(plain) + " " + quoted(dir.file("no/such/dir.ksc")));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("cannot create"), std::string::npos) << run.output;
    run = run_kscode("decode " + quoted(dir.file("missing.ksc")) + " " + quoted(out));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("cannot read"), std::string::npos) << run.output;

    write_text(plain, std::string(30, 'p'));  // the size of a coded file, but no header
    run = run_kscode("decode " + quoted(plain) + " " + quoted(out));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("not a coded file"), std::string::npos) << run.output;

    ASSERT_EQ(run_kscode("encode " + quoted(plain) + " " + quoted(coded)).status, 0);
    write_text(coded, read_text(coded).substr(0, 40));
    run = run_kscode("decode " + quoted(coded) + " " + quoted(out));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("damaged"), std::string::npos) << run.output;
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(Kscode, LibraryStaysOutOfTheStationLibraryFolder) {
    const char *binary_dir = std::getenv("KSW_TEST_BINARY_DIR");
    ASSERT_NE(binary_dir, nullptr);
    EXPECT_FALSE(std::filesystem::exists(std::string(binary_dir) + "/lib/libzelcode.so"));
    EXPECT_TRUE(std::filesystem::exists(std::string(binary_dir) + "/extras/lib/libzelcode.so"));
}

}  // namespace
