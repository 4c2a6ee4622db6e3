// rwfile( on real files, the file mutex every copy shares, and the front-end's clipboard.
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

#include "platform/lockfile.h"
#include "runtime/serial/register_text.h"
#include "serial_fixture.h"

namespace ksw {
namespace {

class RegisterFiles : public testing::SerialCommandTest {
protected:
    // rwfile(access, class, first, count, per line, file)
    CommandRecord &rwfile(int access, int register_class, int32_t first, int32_t count, int32_t per_line,
                          const std::string &file) {
        const bool writes = access >= kRwfileFastWrite;
        return make_with_text(kRowRwfile, register_class, {access, first, count, per_line, writes ? 1 : 0}, file);
    }
    double &rd(int n) { return rd_mut(n); }
    std::string path(const std::string &name) const { return dir.file(name); }
};

TEST_F(RegisterFiles, ValuesWrittenReadBackExactlyInEveryClass) {
    const double reals[] = {0.1, -2.5e-300, 1e300, 123456789.123456789, -0.0, 3};
    for (int i = 0; i < 6; ++i) rd(i) = reals[i];
    rd(6) = std::numeric_limits<double>::infinity();
    const uint16_t words[] = {0, 1, 0x7FFF, 0xFFFF, 0xABCD};
    for (int i = 0; i < 5; ++i) ad(100 + i) = words[i];
    ASSERT_EQ(run(rwfile(kRwfileWrite, kRwfileRd, 0, 7, 4, path("rd.txt"))), kOk);
    ASSERT_EQ(run(rwfile(kRwfileFastWrite, kRwfileAd, 100, 5, 0, path("ad.txt"))), kOk);
    ASSERT_EQ(run(rwfile(kRwfileWrite, kRwfileDecimalAd, 100, 5, 2, path("dad.txt"))), kOk);
    EXPECT_EQ(testing::read_text(path("rd.txt")), "0.1,-2.5e-300,1e+300,123456789.12345679\r\n-0,3,inf\r\n");
    EXPECT_EQ(testing::read_text(path("ad.txt")), "0000,0001,7FFF,FFFF,ABCD\r\n");
    EXPECT_EQ(testing::read_text(path("dad.txt")), "0,1\r\n32767,65535\r\n43981\r\n");

    ASSERT_EQ(run(rwfile(kRwfileRead, kRwfileRd, 20, 7, 0, path("rd.txt"))), kOk);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(std::memcmp(&rd(20 + i), &reals[i], sizeof(double)), 0) << i;
    EXPECT_TRUE(std::isinf(rd(26)));
    ASSERT_EQ(run(rwfile(kRwfileFastRead, kRwfileAd, 200, 5, 0, path("ad.txt"))), kOk);
    ASSERT_EQ(run(rwfile(kRwfileRead, kRwfileDecimalAd, 300, 5, 0, path("dad.txt"))), kOk);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(ad(200 + i), words[i]);
        EXPECT_EQ(ad(300 + i), words[i]);
    }
}

TEST_F(RegisterFiles, AppendingAddsLinesAndWritingReplacesTheFile) {
    ad(0) = 1;
    ad(1) = 2;
    ASSERT_EQ(run(rwfile(kRwfileAppend, kRwfileDecimalAd, 0, 2, 0, path("log.txt"))), kOk);
    ASSERT_EQ(run(rwfile(kRwfileFastAppend, kRwfileDecimalAd, 1, 1, 0, path("log.txt"))), kOk);
    EXPECT_EQ(testing::read_text(path("log.txt")), "1,2\r\n2\r\n");
    ASSERT_EQ(run(rwfile(kRwfileWrite, kRwfileDecimalAd, 0, 0, 0, path("log.txt"))), kOk);
    EXPECT_EQ(testing::read_text(path("log.txt")), "\r\n");
    // A block that runs past ad[7999] writes nothing.
    EXPECT_EQ(run(rwfile(kRwfileWrite, kRwfileAd, 7990, 11, 0, path("log.txt"))), kErrTooManyData);
    EXPECT_EQ(testing::read_text(path("log.txt")), "\r\n");
}

TEST_F(RegisterFiles, ReadingSkipsLeadingFieldsStopsAtCommentsAndFillsOnlyTheCount) {
    testing::write_text(path("in.txt"),
                        "name,unit ; header words skipped by count\r\n"
                        "1.5\t 2.5,,3.5\r\n"
                        "{ block comment 9 9 9\n"
                        "\"quoted\" 9\n"
                        "4.5 ;9\n"
                        "5.5,6.5\n");
    rd(14) = -7;
    ASSERT_EQ(run(rwfile(kRwfileRead, kRwfileRd, 10, 4, 2, path("in.txt"))), kOk);
    EXPECT_EQ(rd(10), 1.5);
    EXPECT_EQ(rd(11), 2.5);
    EXPECT_EQ(rd(12), 3.5);
    EXPECT_EQ(rd(13), 4.5);
    EXPECT_EQ(rd(14), -7);  // the count was filled before 5.5
    // Hexadecimal fields may carry 0x; values keep their low 16 bits; a last line needs no LF.
    testing::write_text(path("hex.txt"), "0x1f,-1,12345,ff");
    ASSERT_EQ(run(rwfile(kRwfileRead, kRwfileAd, 0, 7999, 0, path("hex.txt"))), kOk);
    EXPECT_EQ(ad(0), 0x1F);
    EXPECT_EQ(ad(1), 0xFFFF);
    EXPECT_EQ(ad(2), 0x2345);
    EXPECT_EQ(ad(3), 0xFF);
}

TEST_F(RegisterFiles, ContentsThatDoNotFitAreRefusedAfterTheValuesBeforeThem) {
    testing::write_text(path("bad.txt"), "1,2,x3,4\n");
    EXPECT_EQ(run(rwfile(kRwfileRead, kRwfileDecimalAd, 0, 10, 0, path("bad.txt"))), kErrWrongFileContents);
    EXPECT_EQ(ad(0), 1);
    EXPECT_EQ(ad(1), 2);
    EXPECT_EQ(ad(2), 0);
    // A line longer than 259 bytes would be cut inside a number: refused.
    testing::write_text(path("long.txt"), "7\n" + std::string(256, ' ') + "1234\n");
    EXPECT_EQ(run(rwfile(kRwfileRead, kRwfileDecimalAd, 10, 10, 0, path("long.txt"))), kErrWrongFileContents);
    EXPECT_EQ(ad(10), 7);
    // The default count of the reading words runs to ad[7999] and no further.
    testing::write_text(path("many.txt"), "1,2,3,4\n");
    EXPECT_EQ(run(rwfile(kRwfileRead, kRwfileDecimalAd, 7997, 7999, 0, path("many.txt"))), kErrTooManyData);
    EXPECT_EQ(ad(7999), 3);
}

TEST_F(RegisterFiles, FilesThatCannotBeOpenedAreE107WithoutWaiting) {
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    std::filesystem::create_directory(path("folder"));
    EXPECT_EQ(run(rwfile(kRwfileRead, kRwfileRd, 0, 1, 0, path("missing.txt"))), kErrOpenFile);
    for (const char *name : {"fifo", "folder"}) {
        EXPECT_EQ(run(rwfile(kRwfileRead, kRwfileRd, 0, 1, 0, path(name))), kErrOpenFile) << name;
        EXPECT_EQ(run(rwfile(kRwfileAppend, kRwfileRd, 0, 1, 0, path(name))), kErrOpenFile) << name;
    }
    EXPECT_EQ(run(rwfile(kRwfileWrite, kRwfileRd, 0, 1, 0, path("folder"))), kErrOpenFile);
    EXPECT_EQ(run(rwfile(kRwfileWrite, kRwfileRd, 0, 1, 0, path("no/such/folder.txt"))), kErrOpenFile);
}

TEST_F(RegisterFiles, AFileMutexHeldByAnotherCopyIsWaitedForThenGivesE107) {
    platform::NamedFileMutex other;
    ASSERT_TRUE(other.open("KSWFileMutexSystem"));
    ASSERT_TRUE(other.acquire(0));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run(rwfile(kRwfileWrite, kRwfileRd, 0, 1, 0, path("x.txt"))), kErrOpenFile);
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(waited.count(), 2100);
    EXPECT_LT(waited.count(), 4000);
    EXPECT_FALSE(std::filesystem::exists(path("x.txt")));
    // Released meanwhile: the write goes through.
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        other.release();
    });
    EXPECT_EQ(run(rwfile(kRwfileWrite, kRwfileRd, 0, 1, 0, path("x.txt"))), kOk);
    release.join();
    EXPECT_EQ(testing::read_text(path("x.txt")), "0\r\n");
}

TEST_F(RegisterFiles, TheClipboardTakesTextAppendsAndGivesItBack) {
    ad(0) = 0x12;
    ad(1) = 0x34;
    ASSERT_EQ(run(rwfile(kRwfileWrite, kRwfileAd, 0, 2, 0, "clipboard")), kOk);
    ASSERT_EQ(run(rwfile(kRwfileAppend, kRwfileAd, 1, 1, 0, "Clipboard")), kOk);
    EXPECT_EQ(frontend.clipboard, "0012,0034\r\n0034\r\n");
    ASSERT_EQ(run(rwfile(kRwfileRead, kRwfileAd, 10, 3, 0, "clipboard")), kOk);
    EXPECT_EQ(ad(10), 0x12);
    EXPECT_EQ(ad(11), 0x34);
    EXPECT_EQ(ad(12), 0x34);
    frontend.clipboard = "12,abc";
    EXPECT_EQ(run(rwfile(kRwfileRead, kRwfileDecimalAd, 20, 3, 0, "clipboard")), kErrWrongFileContents);
    EXPECT_EQ(ad(20), 12);
}

TEST_F(RegisterFiles, AClipboardThatDoesNotOpenIsTriedTenTimesThenE149) {
    frontend.clipboard_refused = true;
    EXPECT_EQ(run(rwfile(kRwfileRead, kRwfileRd, 0, 1, 0, "clipboard")), kErrCantOpenClipboard);
    EXPECT_EQ(frontend.clipboard_opens, 10);
    frontend.clipboard_opens = 0;
    EXPECT_EQ(run(rwfile(kRwfileWrite, kRwfileRd, 0, 1, 0, "clipboard")), kErrCantOpenClipboard);
    EXPECT_EQ(frontend.clipboard_opens, 10);
    frontend.clipboard_refused = false;
    frontend.clipboard.reset();  // open, but no text on it
    EXPECT_EQ(run(rwfile(kRwfileRead, kRwfileRd, 0, 1, 0, "clipboard")), kErrCantOpenClipboard);
}

TEST(RegisterText, TextThatArrivesInPiecesIsSplitAtLineFeedsNotAtThePieces) {
    Registers registers;
    ASSERT_EQ(allocate_registers(registers), kOk);
    EXPECT_EQ(format_registers(registers, RegisterText::decimal_ad, 0, 4, 2), "0,0\r\n0,0\r\n");  // no empty line
    RegisterTextReader reader(registers, RegisterText::decimal_ad, 100, 3, 0);
    ASSERT_EQ(reader.take_text("1"), kOk);
    ASSERT_EQ(reader.take_text("2,3"), kOk);
    ASSERT_EQ(reader.take_text("4\n5"), kOk);
    ASSERT_EQ(reader.finish(), kOk);
    EXPECT_EQ((*registers.ad)[100], 12);
    EXPECT_EQ((*registers.ad)[101], 34);
    EXPECT_EQ((*registers.ad)[102], 5);
    EXPECT_TRUE(reader.done());
}

}  // namespace
}  // namespace ksw
