// Coded files through the exported functions: layout, pending blocks, header check, round trips
// with seeks, damaged files and FIFOs, handles and failed writes.
#include "zelcode.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "block_coding.h"
#include "temp_dir.h"

namespace {

using ksw::testing::read_text;
using ksw::testing::TempDir;
using ksw::testing::write_text;

constexpr std::string_view kHeader("\x01TYPE1", 6);

// Writes `text` as a coded file in one call and closes it; true when both succeeded.
bool write_coded(const std::string &path, std::string_view text) {
    const ZelcodeHandle h = CreateCodedFile(path.c_str(), ZELCODE_GENERIC_WRITE, ZELCODE_CREATE_ALWAYS);
    if (h == ZELCODE_INVALID_HANDLE) return false;
    int written = -1;
    const bool wrote = WriteCodedFile(h, text.data(), static_cast<int>(text.size()), &written) == 1;
    return CloseCodedFile(h, ZELCODE_GENERIC_WRITE) == 1 && wrote && written == static_cast<int>(text.size());
}

// Opens `path` for reading.
ZelcodeHandle open_for_reading(const std::string &path) {
    return CreateCodedFile(path.c_str(), ZELCODE_GENERIC_READ, ZELCODE_OPEN_EXISTING);
}

// Reads up to `count` bytes; the text read, and the result in `result`.
std::string read_some(ZelcodeHandle h, int count, int *result = nullptr) {
    std::string out(static_cast<size_t>(count), '\0');
    int got = -1;
    const int r = ReadCodedFile(h, out.data(), count, &got);
    if (result) *result = r;
    out.resize(static_cast<size_t>(std::max(got, 0)));
    return out;
}

// `text` padded with blanks to whole blocks (one block at least), as a reader sees it.
std::string padded(std::string text) {
    const size_t blocks = std::max<size_t>(1, (text.size() + 23) / 24);
    text.resize(blocks * 24, ' ');
    return text;
}

// The number of descriptors this process has open.
int open_descriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

TEST(ZelcodeCodedFile, LayoutIsHeaderAndWholeBlocks) {
    TempDir dir;
    const std::string path = dir.file("a.ks");
    EXPECT_EQ(CodeGetVersion(), 0x100);
    for (size_t length : {0, 1, 23, 24, 25, 47, 48, 49}) {
        ASSERT_TRUE(write_coded(path, std::string(length, 'x')));
        const std::string bytes = read_text(path);
        EXPECT_EQ(bytes.size(), 6 + 24 * std::max<size_t>(1, (length + 23) / 24)) << length;
        EXPECT_EQ(bytes.substr(0, 6), kHeader);
    }
    // "AB" and 22 blanks: block 0 holds the running sums 0x41, 0x83, 0xA3 ... in the group order.
    ASSERT_TRUE(write_coded(path, "AB"));
    const std::string bytes = read_text(path);
    zelcode::Block coded{};
    std::copy(bytes.begin() + 6, bytes.end(), coded.begin());
    const zelcode::Block sums = zelcode::unpermute_groups(coded);
    EXPECT_EQ(sums[0], 0x41);
    EXPECT_EQ(sums[1], 0x83);
    EXPECT_EQ(sums[2], 0xA3);
    EXPECT_EQ(sums[23], static_cast<uint8_t>(0x83 + 0x20 * 22));
}

TEST(ZelcodeCodedFile, FullBlockStaysPendingUntilMoreTextOrClose) {
    TempDir dir;
    const std::string path = dir.file("p.ks");
    ZelcodeHandle h = CreateCodedFile(path.c_str(), ZELCODE_GENERIC_WRITE, ZELCODE_CREATE_ALWAYS);
    ASSERT_NE(h, ZELCODE_INVALID_HANDLE);
    int written = 0;
    ASSERT_EQ(WriteCodedFile(h, std::string(24, 'a').data(), 24, &written), 1);
    EXPECT_EQ(written, 24);
    EXPECT_EQ(read_text(path).size(), 6u);
    ASSERT_EQ(WriteCodedFile(h, "b", 1, nullptr), 1);
    EXPECT_EQ(read_text(path).size(), 30u);
    EXPECT_EQ(SetCodedFilePointer(h, 0, ZELCODE_FILE_CURRENT), 25);
    // A negative count writes the pending block now; the close adds no blank block after it.
    ASSERT_EQ(WriteCodedFile(h, nullptr, -1, &written), 1);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(read_text(path).size(), 54u);
    ASSERT_EQ(CloseCodedFile(h, ZELCODE_GENERIC_WRITE), 1);
    EXPECT_EQ(read_text(path).size(), 54u);

    // An empty text is one block of blanks.
    h = CreateCodedFile(path.c_str(), ZELCODE_GENERIC_WRITE, ZELCODE_CREATE_ALWAYS);
    ASSERT_EQ(CloseCodedFile(h, ZELCODE_GENERIC_WRITE), 1);
    h = open_for_reading(path);
    EXPECT_EQ(read_some(h, 100), std::string(24, ' '));
    EXPECT_EQ(CloseCodedFile(h, ZELCODE_GENERIC_READ), 1);
}

TEST(ZelcodeCodedFile, HeaderAndOpenArgumentsAreChecked) {
    TempDir dir;
    const std::string path = dir.file("h.ks");
    ASSERT_TRUE(write_coded(path, "step"));
    const std::string good = read_text(path);
    const int descriptors = open_descriptors();
    auto opens = [&](std::string bytes) {
        write_text(path, bytes);
        const ZelcodeHandle h = open_for_reading(path);
        return h != ZELCODE_INVALID_HANDLE && CloseCodedFile(h, ZELCODE_GENERIC_READ) == 1;
    };
    EXPECT_TRUE(opens(good));
    EXPECT_TRUE(opens("\x01TYPE9" + good.substr(6)));
    EXPECT_FALSE(opens("\x01TYPE0" + good.substr(6)));
    EXPECT_STREQ(CodeGetErrorText(), "not a coded file");
    EXPECT_FALSE(opens("\x01TYPEA" + good.substr(6)));
    EXPECT_FALSE(opens("\x02TYPE1" + good.substr(6)));
    EXPECT_FALSE(opens("\x01type1" + good.substr(6)));
    EXPECT_FALSE(opens(good.substr(0, 5)));
    EXPECT_FALSE(opens(""));
    write_text(path, good);
    EXPECT_EQ(open_for_reading(dir.file("missing.ks")), ZELCODE_INVALID_HANDLE);
    EXPECT_STREQ(CodeGetErrorText(), "No such file or directory");
    EXPECT_EQ(open_for_reading(dir.path()), ZELCODE_INVALID_HANDLE);
    EXPECT_STREQ(CodeGetErrorText(), "is a folder");
    EXPECT_EQ(CreateCodedFile(nullptr, ZELCODE_GENERIC_READ, ZELCODE_OPEN_EXISTING), ZELCODE_INVALID_HANDLE);
    EXPECT_EQ(CreateCodedFile(path.c_str(), 0, ZELCODE_CREATE_ALWAYS), ZELCODE_INVALID_HANDLE);
    EXPECT_EQ(CreateCodedFile(path.c_str(), 4, ZELCODE_CREATE_ALWAYS), ZELCODE_INVALID_HANDLE);
    EXPECT_EQ(CreateCodedFile(path.c_str(), ZELCODE_GENERIC_WRITE, 9), ZELCODE_INVALID_HANDLE);
    EXPECT_EQ(CreateCodedFile(path.c_str(), ZELCODE_GENERIC_WRITE, ZELCODE_CREATE_NEW), ZELCODE_INVALID_HANDLE);
    EXPECT_EQ(CreateCodedFile(path.c_str(), ZELCODE_GENERIC_READ, ZELCODE_TRUNCATE_EXISTING), ZELCODE_INVALID_HANDLE);
    EXPECT_EQ(read_text(path), good);
    EXPECT_EQ(CreateCodedFile(dir.path().c_str(), ZELCODE_GENERIC_WRITE, ZELCODE_OPEN_ALWAYS), ZELCODE_INVALID_HANDLE);
    EXPECT_EQ(open_descriptors(), descriptors);
}

TEST(ZelcodeCodedFile, RoundTripsReadBackWithSeeksToAnyPosition) {
    TempDir dir;
    const std::string path = dir.file("r.ks");
    std::mt19937 random(99);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int length = 0; length <= 80; ++length) {
        std::string text;
        for (int i = 0; i < length; ++i) text.push_back(static_cast<char>(byte(random) < 40 ? '\r' : byte(random)));
        // Written in chunks of random size.
        ZelcodeHandle h = CreateCodedFile(path.c_str(), ZELCODE_GENERIC_WRITE, ZELCODE_CREATE_ALWAYS);
        for (int at = 0; at < length;) {
            const int part = std::min(length - at, byte(random) % 30);
            ASSERT_EQ(WriteCodedFile(h, text.data() + at, part, nullptr), 1);
            at += part;
        }
        ASSERT_EQ(CloseCodedFile(h, ZELCODE_GENERIC_WRITE), 1);

        const std::string expected = padded(text);
        const int size = static_cast<int>(expected.size());
        h = open_for_reading(path);
        ASSERT_NE(h, ZELCODE_INVALID_HANDLE);
        int result = -1;
        EXPECT_EQ(read_some(h, size + 5, &result), expected) << length;
        EXPECT_EQ(result, 0);
        for (int at = 0; at <= size; ++at) {
            ASSERT_EQ(SetCodedFilePointer(h, at, ZELCODE_FILE_BEGIN), at);
            EXPECT_EQ(read_some(h, size - at, &result), expected.substr(at)) << length << " " << at;
            EXPECT_EQ(result, 1);
            // Back again from the end, across blocks, relative to the current position.
            ASSERT_EQ(SetCodedFilePointer(h, at - size, ZELCODE_FILE_CURRENT), at);
            EXPECT_EQ(read_some(h, 1), expected.substr(at, 1));
            ASSERT_EQ(SetCodedFilePointer(h, at - size, ZELCODE_FILE_END), at);
            EXPECT_EQ(read_some(h, 2), expected.substr(at, 2));
        }
        ASSERT_EQ(CloseCodedFile(h, ZELCODE_GENERIC_READ), 1);
    }
}

TEST(ZelcodeCodedFile, FailedSeeksKeepThePosition) {
    TempDir dir;
    const std::string path = dir.file("s.ks");
    ASSERT_TRUE(write_coded(path, "0123456789"));
    const ZelcodeHandle h = open_for_reading(path);
    EXPECT_EQ(read_some(h, 4), "0123");
    EXPECT_EQ(SetCodedFilePointer(h, -1, ZELCODE_FILE_BEGIN), -1);
    EXPECT_EQ(SetCodedFilePointer(h, -5, ZELCODE_FILE_CURRENT), -1);
    EXPECT_EQ(SetCodedFilePointer(h, -25, ZELCODE_FILE_END), -1);
    EXPECT_EQ(SetCodedFilePointer(h, 0, 3), -1);
    EXPECT_EQ(SetCodedFilePointer(h, 0, ZELCODE_FILE_CURRENT), 4);
    EXPECT_EQ(read_some(h, 2), "45");
    // Past the end is a position; nothing is read there.
    EXPECT_EQ(SetCodedFilePointer(h, 100, ZELCODE_FILE_END), 124);
    int result = -1;
    EXPECT_EQ(read_some(h, 1, &result), "");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(CloseCodedFile(h, ZELCODE_GENERIC_READ), 1);
}

TEST(ZelcodeCodedFile, DamagedFilesAreRefusedWhenOpened) {
    TempDir dir;
    const std::string path = dir.file("d.ks");
    const std::string text(60, 'z');
    ASSERT_TRUE(write_coded(path, text));
    const std::string whole = read_text(path);
    int result = -1;

    // A cut last block, or no block at all, would read as a shorter text: refused whole.
    write_text(path, whole.substr(0, 6 + 24 + 10));
    EXPECT_EQ(open_for_reading(path), ZELCODE_INVALID_HANDLE);
    EXPECT_STREQ(CodeGetErrorText(), "damaged coded file: its last block is cut short (10 of 24 bytes)");
    write_text(path, whole.substr(0, 6));
    EXPECT_EQ(open_for_reading(path), ZELCODE_INVALID_HANDLE);
    EXPECT_STREQ(CodeGetErrorText(), "damaged coded file: it has no blocks");

    // A file cut after it was opened ends reading at the cut block.
    write_text(path, whole);
    ZelcodeHandle h = open_for_reading(path);
    ASSERT_NE(h, ZELCODE_INVALID_HANDLE);
    std::filesystem::resize_file(path, 6 + 24 + 10);
    EXPECT_EQ(read_some(h, 100, &result), text.substr(0, 24));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(read_some(h, 1, &result), "");
    CloseCodedFile(h, ZELCODE_GENERIC_READ);

    // Any whole blocks after a good header decode without reading past the end; anything else
    // is refused.
    std::mt19937 random(7);
    for (int length = 0; length < 100; ++length) {
        std::string junk(whole.substr(0, 6));
        for (int i = 0; i < length; ++i) junk.push_back(static_cast<char>(random()));
        write_text(path, junk);
        h = open_for_reading(path);
        if (length == 0 || length % 24 != 0) {
            EXPECT_EQ(h, ZELCODE_INVALID_HANDLE) << length;
            continue;
        }
        ASSERT_NE(h, ZELCODE_INVALID_HANDLE) << length;
        EXPECT_EQ(read_some(h, 200, &result).size(), static_cast<size_t>(length));
        EXPECT_EQ(result, 0);
        EXPECT_EQ(SetCodedFilePointer(h, -1, ZELCODE_FILE_END), length - 1);
        CloseCodedFile(h, ZELCODE_GENERIC_READ);
    }
}

TEST(ZelcodeCodedFile, FifosAreNeverWaitedOn) {
    TempDir dir;
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(open_for_reading(fifo), ZELCODE_INVALID_HANDLE);
    EXPECT_STREQ(CodeGetErrorText(), "is not a regular file");
    // Nobody reads the FIFO, so there is nowhere to write.
    EXPECT_EQ(CreateCodedFile(fifo.c_str(), ZELCODE_GENERIC_WRITE, ZELCODE_OPEN_EXISTING), ZELCODE_INVALID_HANDLE);
    EXPECT_STREQ(CodeGetErrorText(), "No such device or address");
}

TEST(ZelcodeCodedFile, HandlesBelongToTheirFile) {
    TempDir dir;
    const std::string plain = dir.file("in.ks"), coded = dir.file("out.ks");
    ASSERT_TRUE(write_coded(plain, "in"));
    const ZelcodeHandle reader = open_for_reading(plain);
    const ZelcodeHandle writer = CreateCodedFile(coded.c_str(), ZELCODE_GENERIC_WRITE, ZELCODE_CREATE_ALWAYS);
    ASSERT_NE(reader, ZELCODE_INVALID_HANDLE);
    ASSERT_NE(writer, ZELCODE_INVALID_HANDLE);
    EXPECT_NE(reader, writer);
    char byte = 0;
    int count = -1;
    EXPECT_EQ(ReadCodedFile(writer, &byte, 1, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(WriteCodedFile(reader, "x", 1, &count), 0);
    EXPECT_EQ(SetCodedFilePointer(writer, 3, ZELCODE_FILE_BEGIN), -1);
    EXPECT_EQ(ReadCodedFile(reader, nullptr, 1, &count), 0);
    EXPECT_EQ(ReadCodedFile(reader, &byte, -1, &count), 0);
    EXPECT_EQ(WriteCodedFile(writer, nullptr, 1, &count), 0);
    EXPECT_EQ(WriteCodedFile(writer, nullptr, 0, &count), 1);
    for (ZelcodeHandle bogus : {ZelcodeHandle{0}, ZELCODE_INVALID_HANDLE, ZelcodeHandle{12345}}) {
        EXPECT_EQ(ReadCodedFile(bogus, &byte, 1, &count), 0);
        EXPECT_EQ(WriteCodedFile(bogus, "x", 1, &count), 0);
        EXPECT_EQ(SetCodedFilePointer(bogus, 0, ZELCODE_FILE_CURRENT), -1);
        EXPECT_EQ(CloseCodedFile(bogus, ZELCODE_GENERIC_READ), 0);
    }
    EXPECT_EQ(CloseCodedFile(reader, ZELCODE_GENERIC_READ), 1);
    EXPECT_EQ(CloseCodedFile(reader, ZELCODE_GENERIC_READ), 0);
    EXPECT_EQ(ReadCodedFile(reader, &byte, 1, &count), 0);
    EXPECT_EQ(CloseCodedFile(writer, ZELCODE_GENERIC_WRITE), 1);
}

TEST(ZelcodeCodedFile, SecondOpenCompletesTheFirstAndRewritesLeaveNoStaleBlocks) {
    TempDir dir;
    const std::string first = dir.file("1.ks"), second = dir.file("2.ks");
    const int descriptors = open_descriptors();
    const ZelcodeHandle a = CreateCodedFile(first.c_str(), ZELCODE_GENERIC_WRITE, ZELCODE_CREATE_ALWAYS);
    ASSERT_EQ(WriteCodedFile(a, "first", 5, nullptr), 1);
    const ZelcodeHandle b = CreateCodedFile(second.c_str(), ZELCODE_GENERIC_WRITE, ZELCODE_CREATE_ALWAYS);
    ASSERT_EQ(WriteCodedFile(b, "second", 6, nullptr), 1);
    EXPECT_EQ(WriteCodedFile(a, "more", 4, nullptr), 0);
    EXPECT_EQ(CloseCodedFile(b, ZELCODE_GENERIC_WRITE), 1);
    EXPECT_EQ(CloseCodedFile(a, ZELCODE_GENERIC_WRITE), 0);
    EXPECT_EQ(open_descriptors(), descriptors);
    const ZelcodeHandle r = open_for_reading(first);
    EXPECT_EQ(read_some(r, 100), padded("first"));
    const ZelcodeHandle r2 = open_for_reading(second);
    EXPECT_EQ(read_some(r, 100), "");  // the first reader was closed by the second open
    EXPECT_EQ(read_some(r2, 100), padded("second"));
    EXPECT_EQ(CloseCodedFile(r2, ZELCODE_GENERIC_READ), 1);
    EXPECT_EQ(open_descriptors(), descriptors);

    // Rewriting a longer file without emptying it cuts it to the new text.
    ASSERT_TRUE(write_coded(first, std::string(100, 'L')));
    const ZelcodeHandle w = CreateCodedFile(first.c_str(), ZELCODE_GENERIC_WRITE, ZELCODE_OPEN_EXISTING);
    ASSERT_EQ(WriteCodedFile(w, "short", 5, nullptr), 1);
    ASSERT_EQ(CloseCodedFile(w, ZELCODE_GENERIC_WRITE), 1);
    EXPECT_EQ(read_text(first).size(), 30u);
}

// In a child limited to files of `limit` bytes, writes 49 bytes in two calls and closes.
// Exit code: bit 0 the first write failed, bit 1 the second succeeded, bit 2 a later write
// succeeded, bit 3 the close succeeded. 0 means every failure was reported.
int write_with_file_size_limit(const std::string &path, rlim_t limit) {
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{limit, limit};
        setrlimit(RLIMIT_FSIZE, &small);
        const ZelcodeHandle h = CreateCodedFile(path.c_str(), ZELCODE_GENERIC_WRITE, ZELCODE_CREATE_ALWAYS);
        int written = -1, code = 0;
        if (WriteCodedFile(h, std::string(48, 'q').data(), 48, &written) != 1 || written != 48) code |= 1;
        if (WriteCodedFile(h, "q", 1, &written) != 0 || written != 0) code |= 2;
        if (WriteCodedFile(h, "q", 1, &written) != 0) code |= 4;
        if (CloseCodedFile(h, ZELCODE_GENERIC_WRITE) != 0) code |= 8;
        _exit(code);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ZelcodeCodedFile, FailedBlockWriteIsReportedUntilTheClose) {
    TempDir dir;
    EXPECT_EQ(write_with_file_size_limit(dir.file("full.ks"), 6 + 24), 0);
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(CreateCodedFile("/dev/full", ZELCODE_GENERIC_WRITE, ZELCODE_OPEN_EXISTING), ZELCODE_INVALID_HANDLE);
    }
}

}  // namespace
