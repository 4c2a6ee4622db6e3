// Whole-file reading and atomic replacement against files that are not what they should be:
// FIFOs, devices, oversized files, links, planted temporary names and the file-size limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/files.h"
#include "temp_dir.h"

namespace ksw::platform {
namespace {

namespace fs = std::filesystem;

using ksw::testing::read_text;
using ksw::testing::TempDir;
using ksw::testing::write_text;

mode_t mode_of(const std::string &path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// Names in `folder` apart from `keep`.
std::vector<std::string> others(const std::string &folder, const std::vector<std::string> &keep) {
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (std::find(keep.begin(), keep.end(), name) == keep.end()) names.push_back(name);
    }
    return names;
}

TEST(ReadFile, RefusesWhatIsNotARegularFileOfAFittingSize) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    write_text(dir.file("ten"), "0123456789");
    const struct {
        std::string path;
        size_t limit;
        int code;
        std::string reason;
    } cases[] = {
        {dir.file("fifo"), kReadFileLimit, EINVAL, "is not a regular file"},  // no writer: must not wait
        {"/dev/zero", kReadFileLimit, EINVAL, "is not a regular file"},
        {dir.path(), kReadFileLimit, EISDIR, "is a folder"},
        {dir.file("missing"), kReadFileLimit, ENOENT, "No such file or directory"},
        {dir.file("ten"), 9, EFBIG, "too large (10 bytes; at most 9)"},
    };
    for (const auto &c : cases) {
        std::string out = "stale", error;
        int code = 0;
        EXPECT_FALSE(read_file(c.path, &out, &error, &code, c.limit)) << c.path;
        EXPECT_EQ(code, c.code) << c.path;
        EXPECT_EQ(error, "cannot " + std::string(c.code == EFBIG ? "read " : "open ") + c.path + ": " + c.reason);
        EXPECT_EQ(out, "");
    }
    std::string out;
    int code = -1;
    EXPECT_TRUE(read_file(dir.file("ten"), &out, nullptr, &code, 10));
    EXPECT_EQ(out, "0123456789");
    EXPECT_EQ(code, 0);
}

TEST(WriteFileAtomic, KeepsPermissionsAndWritesThroughLinks) {
    TempDir dir;
    const std::string file = dir.file("ksw.ini");
    write_text(file, "old");
    for (const mode_t mode : {0600, 0640, 0755}) {
        ASSERT_EQ(::chmod(file.c_str(), mode), 0);
        ASSERT_TRUE(write_file_atomic(file, "new"));
        EXPECT_EQ(mode_of(file), mode);
    }

    // A chain of links, relative and absolute: the last target is replaced, every link stays.
    fs::create_directories(dir.file("a/b"));
    write_text(dir.file("a/b/real.ini"), "old");
    ASSERT_EQ(::chmod(dir.file("a/b/real.ini").c_str(), 0604), 0);
    fs::create_symlink("b/real.ini", dir.file("a/middle"));
    fs::create_symlink(dir.file("a/middle"), dir.file("link.ini"));
    std::string error;
    ASSERT_TRUE(write_file_atomic(dir.file("link.ini"), "through", &error)) << error;
    EXPECT_TRUE(fs::is_symlink(dir.file("link.ini")));
    EXPECT_TRUE(fs::is_symlink(dir.file("a/middle")));
    EXPECT_EQ(read_text(dir.file("a/b/real.ini")), "through");
    EXPECT_EQ(mode_of(dir.file("a/b/real.ini")), 0604u);
    EXPECT_TRUE(others(dir.file("a/b"), {"real.ini"}).empty());

    // A link to a file not made yet makes it; a new file is not private.
    fs::create_symlink("a/b/fresh.ini", dir.file("fresh.ini"));
    const mode_t umask = ::umask(022);
    const bool written = write_file_atomic(dir.file("fresh.ini"), "fresh");
    ::umask(umask);
    ASSERT_TRUE(written);
    EXPECT_EQ(read_text(dir.file("a/b/fresh.ini")), "fresh");
    EXPECT_TRUE(fs::is_symlink(dir.file("fresh.ini")));
    EXPECT_EQ(mode_of(dir.file("a/b/fresh.ini")), 0644u);
}

TEST(WriteFileAtomic, RefusesTargetsThatAreNotRegularFiles) {
    TempDir dir;
    fs::create_symlink("loop2", dir.file("loop1"));
    fs::create_symlink("loop1", dir.file("loop2"));
    fs::create_symlink("/dev/null", dir.file("device"));
    fs::create_directory(dir.file("folder"));
    const struct {
        std::string name;
        std::string error;
    } cases[] = {
        {"loop1", "cannot follow the link " + dir.file("loop1") + ": Too many levels of symbolic links"},
        {"device", "cannot replace " + dir.file("device") + ": is not a regular file"},
        {"folder", "cannot replace " + dir.file("folder") + ": is a folder"},
        {"gone/file", "cannot create a temporary file beside " + dir.file("gone/file") + ": No such file or directory"},
    };
    for (const auto &c : cases) {
        std::string error;
        EXPECT_FALSE(write_file_atomic(dir.file(c.name), "x", &error)) << c.name;
        EXPECT_EQ(error, c.error);
    }
    EXPECT_TRUE(fs::is_symlink(dir.file("device")));
    EXPECT_TRUE(others(dir.path(), {"loop1", "loop2", "device", "folder"}).empty());
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
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
}

TEST(WriteFileAtomic, KeepsTheOwner) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another owner";
    TempDir dir;
    const std::string file = dir.file("ksw.ini");
    write_text(file, "old");
    ASSERT_EQ(::chown(file.c_str(), 4242, 4343), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0660), 0);
    ASSERT_TRUE(write_file_atomic(file, "new"));
    struct stat st{};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4242u);
    EXPECT_EQ(st.st_gid, 4343u);
    EXPECT_EQ(st.st_mode & 07777, 0660u);
}

// In a child limited to files of `limit` bytes (SIGXFSZ as a shell leaves it), replaces `path`
// with `size` bytes. Exit code 0: the write failed with "File too large"; 1: it succeeded;
// 2: it failed for another reason. A signal means the process was killed.
int write_past_file_size_limit(const std::string &path, rlim_t limit, size_t size) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_DFL);
        const rlimit small{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &small);
        std::string error;
        if (write_file_atomic(path, std::string(size, 'n'), &error)) ::_exit(1);
        ::_exit(error == "cannot write " + path + ": File too large" ? 0 : 2);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(WriteFileAtomic, PastTheFileSizeLimitFailsWithTheOldFileIntact) {
    TempDir dir;
    const std::string file = dir.file("ksw.ini");
    write_text(file, "old settings");
    EXPECT_EQ(write_past_file_size_limit(file, 100, 1000), 0);
    EXPECT_EQ(read_text(file), "old settings");
    EXPECT_TRUE(others(dir.path(), {"ksw.ini"}).empty());
    EXPECT_EQ(write_past_file_size_limit(file, 100, 100), 1);
    EXPECT_EQ(read_text(file), std::string(100, 'n'));
}

}  // namespace
}  // namespace ksw::platform
