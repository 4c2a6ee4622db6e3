// Whole-file reading and atomic replacement against paths that are not what they should be:
// FIFOs, devices, oversized files, chains and loops of links, and links planted at the names of
// temporary files. (Permissions, owner and the file-size limit are tested on the real program.)
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/raw_file.h"
#include "temp_dir.h"

namespace ksw::platform {
namespace {

namespace fs = std::filesystem;

using ksw::testing::read_text;
using ksw::testing::TempDir;
using ksw::testing::write_text;

TEST(ReadFile, RefusesWhatIsNotARegularFileOfAFittingSize) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    write_text(dir.file("ten"), "0123456789");
    const struct {
        std::string path;
        int code;
        std::string error;
    } cases[] = {
        {dir.file("fifo"), EINVAL, "cannot open " + dir.file("fifo") + ": is not a regular file"},  // no waiting
        {"/dev/zero", EINVAL, "cannot open /dev/zero: is not a regular file"},
        {dir.path(), EISDIR, "cannot open " + dir.path() + ": is a folder"},
        {dir.file("ten"), EFBIG, "cannot read " + dir.file("ten") + ": too large (10 bytes; at most 9)"},
    };
    for (const auto &c : cases) {
        std::string out = "stale", error;
        int code = 0;
        EXPECT_FALSE(read_file(c.path, &out, &error, &code, 9)) << c.path;
        EXPECT_EQ(code, c.code) << c.path;
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(out, "");
    }
    std::string out;
    EXPECT_TRUE(read_file(dir.file("ten"), &out, nullptr, nullptr, 10));
    EXPECT_EQ(out, "0123456789");
}

TEST(WriteFileAtomic, FollowsChainsOfLinksAndRefusesWhatItCannotReplace) {
    TempDir dir;
    fs::create_directories(dir.file("a/b"));
    fs::create_symlink("b/real.ini", dir.file("a/middle"));
    fs::create_symlink(dir.file("a/middle"), dir.file("link.ini"));
    std::string error;
    ASSERT_TRUE(write_file_atomic(dir.file("link.ini"), "made", &error)) << error;  // the target did not exist
    ASSERT_TRUE(write_file_atomic(dir.file("link.ini"), "replaced", &error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir.file("link.ini")) && fs::is_symlink(dir.file("a/middle")));
    EXPECT_EQ(read_text(dir.file("a/b/real.ini")), "replaced");

    fs::create_symlink("loop2", dir.file("loop1"));
    fs::create_symlink("loop1", dir.file("loop2"));
    fs::create_symlink("/dev/null", dir.file("device"));
    for (const auto &[name, error_text] : {
             std::pair{"loop1", "cannot follow the link " + dir.file("loop1") + ": Too many levels of symbolic links"},
             std::pair{"device", "cannot replace " + dir.file("device") + ": is not a regular file"},
             std::pair{"a", "cannot replace " + dir.file("a") + ": is a folder"},
             std::pair{"gone/x", "cannot create a temporary file beside " + dir.file("gone/x") + ": No such file or directory"},
         }) {
        EXPECT_FALSE(write_file_atomic(dir.file(name), "x", &error)) << name;
        EXPECT_EQ(error, error_text);
    }
    EXPECT_TRUE(fs::is_symlink(dir.file("device")));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 5);
}

TEST(WriteFileAtomic, NeverFollowsALinkPlantedAtATemporaryName) {
    TempDir dir;
    const std::string file = dir.file("ksw.ini"), victim = dir.file("victim");
    write_text(file, "old");
    write_text(victim, "precious");
    const std::string stem = file + ".tmp." + std::to_string(::getpid());
    fs::create_symlink(victim, stem);
    fs::create_symlink(victim, stem + ".0");
    std::string error;
    ASSERT_TRUE(write_file_atomic(file, "new", &error)) << error;
    EXPECT_EQ(read_text(file), "new");
    EXPECT_EQ(read_text(victim), "precious");
    EXPECT_TRUE(fs::is_symlink(stem + ".0"));  // not ours to remove
}

TEST(AppendFile, WritesAtTheEndOfRegularFilesAndRefusesOtherThings) {
    TempDir dir;
    const std::string log = dir.file("log.txt");
    for (const char *line : {"one\n", "two\n"}) {
        const int fd = open_append_file(log);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(write_all(fd, line, 4));
        ASSERT_TRUE(close_file(fd));
    }
    EXPECT_EQ(read_text(log), "one\ntwo\n");
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    fs::create_directory(dir.file("folder"));
    for (const char *name : {"fifo", "folder", "missing/x.txt"}) {
        std::string error;
        EXPECT_EQ(open_append_file(dir.file(name), &error), -1) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
    EXPECT_EQ(open_append_file("/dev/null"), -1);
}

}  // namespace
}  // namespace ksw::platform
