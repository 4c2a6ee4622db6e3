// Reading lines from descriptors, and file-name splitting.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "temp_dir.h"
#include "zelw.h"

namespace {

// Opens a file holding bytes for reading; the descriptor closes with the object.
class LineFile {
public:
    LineFile(const ksw::testing::TempDir &dir, const std::string &bytes) {
        const std::string path = dir.file("lines.txt");
        ksw::testing::write_text(path, bytes);
        fd_ = ::open(path.c_str(), O_RDONLY);
    }
    ~LineFile() { ::close(fd_); }
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

// The next line as a string, or "<null>" when fGets returns null.
std::string next_line(int fd, int len = 16) {
    char buf[64];
    const char *line = fGets(buf, len, fd);
    return line ? std::string(line) : std::string("<null>");
}

TEST(FGets, LineEnds) {
    ksw::testing::TempDir dir;
    LineFile file(dir, "ab\r\ncd\ref\ngh");
    EXPECT_EQ(next_line(file.fd()), "ab\r\n");
    EXPECT_EQ(next_line(file.fd()), "cd\r");  // the byte after the CR is given back
    EXPECT_EQ(next_line(file.fd()), "ef\ngh");  // a lone LF ends nothing; end of file ends it
    char buf[8] = "zzz";
    EXPECT_EQ(fGets(buf, 4, file.fd()), nullptr);
    EXPECT_EQ(buf[0], '\0');

    LineFile ends_in_cr(dir, "x\r");
    EXPECT_EQ(next_line(ends_in_cr.fd()), "x\r");
    EXPECT_EQ(next_line(ends_in_cr.fd()), "<null>");
}

TEST(FGets, LengthLimit) {
    ksw::testing::TempDir dir;
    LineFile file(dir, "abcdef\r\nabc\r\nz");
    EXPECT_EQ(next_line(file.fd(), 4), "abcd");
    EXPECT_EQ(next_line(file.fd(), 4), "ef\r\n");
    EXPECT_EQ(next_line(file.fd(), 4), "abc\r\n");  // CR as the len-th byte: len + 1 bytes
    EXPECT_EQ(next_line(file.fd(), 0), "");
    EXPECT_EQ(next_line(file.fd(), 4), "z");
    EXPECT_EQ(next_line(file.fd(), -1), "<null>");
    EXPECT_EQ(next_line(-1), "<null>");
    EXPECT_EQ(fGets(nullptr, 4, file.fd()), nullptr);
}

TEST(FGets, PipeKeepsTheByteAfterACr) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ASSERT_EQ(::write(fds[1], "a\rb\r", 4), 4);
    ::close(fds[1]);
    EXPECT_EQ(next_line(fds[0]), "a\r");
    EXPECT_EQ(next_line(fds[0]), "b\r");
    EXPECT_EQ(next_line(fds[0]), "<null>");
    ::close(fds[0]);
}

TEST(FileNames, ExtensionAndName) {
    EXPECT_STREQ(GetExtention("dir.x\\name"), "");
    EXPECT_STREQ(GetExtention("dir.x/name"), "");
    EXPECT_STREQ(GetExtention("a.tar.gz"), ".gz");
    EXPECT_STREQ(GetExtention(".profile"), ".profile");
    EXPECT_STREQ(GetExtention("noext"), "");
    EXPECT_STREQ(GetExtention(""), "");
    const char *path = "dir\\test.ks";
    EXPECT_EQ(GetExtention(path), path + 8);
    EXPECT_EQ(GetExtention(nullptr), nullptr);

    EXPECT_STREQ(GetFilename("a\\b\\c.txt"), "c.txt");
    EXPECT_STREQ(GetFilename("a/b/c"), "c");
    EXPECT_STREQ(GetFilename("c"), "c");
    EXPECT_STREQ(GetFilename("dir\\"), "");
    EXPECT_EQ(GetFilename(nullptr), nullptr);
}

}  // namespace
