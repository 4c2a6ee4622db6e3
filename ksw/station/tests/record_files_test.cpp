// The record files on a real disk: the dated data file and its roll-over, whole lines after a
// failed write, the server file's lock protocol with a competing writer, and the faults that
// must leave every record somewhere (an unwritable folder, a server folder that is gone).
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <chrono>
#include <filesystem>
#include <thread>

#include "resources/messages.h"
#include "station/record_files.h"
#include "temp_dir.h"

namespace ksw {
namespace {

using testing::read_text;
using testing::TempDir;
using testing::write_text;

const LocalStamp kDay1{2026, 12, 8, 23, 0, 0};
const LocalStamp kDay2{2026, 12, 9, 6, 0, 0};

struct Reports {
    std::vector<RecordFailure> seen;
    RecordReport sink() {
        return [this](const RecordFailure &f) { seen.push_back(f); };
    }
};

TEST(DataFile, ANewDayBelowTheLimitKeepsAppendingToTheOldFile) {
    TempDir dir;
    Reports reports;
    std::string stamp;
    const std::string folder = dir.path() + "/";
    ASSERT_EQ(append_data_line(folder, "", &stamp, 1000, kDay1, "first\r\n", reports.sink()), 0);
    EXPECT_EQ(stamp, "20261208");
    ASSERT_EQ(append_data_line(folder, "", &stamp, 1000, kDay2, "second\r\n", reports.sink()), 0);
    EXPECT_EQ(stamp, "20261208");
    EXPECT_EQ(read_text(dir.file("data20261208.txt")), "first\r\nsecond\r\n");
    EXPECT_TRUE(reports.seen.empty());
}

TEST(DataFile, ALargerFileIsReplacedOnlyOnALaterDay) {
    TempDir dir;
    Reports reports;
    std::string stamp = "20261208";
    const std::string folder = dir.path() + "/";
    const std::string big(40, 'x');
    ASSERT_EQ(append_data_line(folder, "log.csv", &stamp, 10, kDay1, big + "\r\n", reports.sink()), 0);
    ASSERT_EQ(append_data_line(folder, "log.csv", &stamp, 10, kDay1, "same day\r\n", reports.sink()), 0);
    EXPECT_EQ(stamp, "20261208");  // past the limit within the day: still the same file
    ASSERT_EQ(append_data_line(folder, "log.csv", &stamp, 10, kDay2, "next day\r\n", reports.sink()), 0);
    EXPECT_EQ(stamp, "20261209");
    EXPECT_EQ(read_text(dir.file("log20261208.csv")), big + "\r\nsame day\r\n");
    EXPECT_EQ(read_text(dir.file("log20261209.csv")), "next day\r\n");
}

TEST(DataFile, AnUnwritableFolderIsReportedWithThePath) {
    TempDir dir;
    Reports reports;
    std::string stamp = "20261209";
    const std::string folder = dir.path() + "/missing/";
    EXPECT_EQ(append_data_line(folder, "", &stamp, 1000, kDay2, "x\r\n", reports.sink()), kMsgCantOpenFile);
    ASSERT_EQ(reports.seen.size(), 1u);
    EXPECT_EQ(reports.seen[0].argument, folder + "data20261209.txt");
    EXPECT_EQ(reports.seen[0].caption, "Data saving");
    // A folder where the file should be is refused, not written into.
    std::filesystem::create_directory(dir.file("data20261209.txt"));
    EXPECT_EQ(append_data_line(dir.path() + "/", "", &stamp, 1000, kDay2, "x\r\n", reports.sink()), kMsgCantOpenFile);
}

TEST(DataFile, AFullDiskLeavesNoTornLine) {
    TempDir dir;
    Reports reports;
    // A file-size limit stands in for a full disk: the line that does not fit is taken back.
    std::string stamp = "20261209";
    write_text(dir.file("data20261209.txt"), "old\r\n");
    const pid_t child = fork();
    if (child == 0) {
        rlimit limit{10, 10};
        setrlimit(RLIMIT_FSIZE, &limit);
        signal(SIGXFSZ, SIG_IGN);
        const int rc = append_data_line(dir.path() + "/", "", &stamp, 1000, kDay2, "a line too long\r\n", nullptr);
        _exit(rc == kMsgCantWriteFile ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(read_text(dir.file("data20261209.txt")), "old\r\n");
}

class ServerFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(dir.file("server"));
        std::filesystem::create_directory(dir.file("local"));
        files = server_files(dir.file("server/LINE"), dir.file("local"));
        write_text(files.lock, "0");
    }
    void queue_record(char fill) {
        write_text(files.local, read_text(files.local) + "@@0250$LIN11" + std::string(242, fill) + "\r\n");
    }

    TempDir dir;
    ServerFiles files;
    Reports reports;
    ServerTimings quick{600, 20};
};

TEST_F(ServerFileTest, NamesOfTheThreeFiles) {
    EXPECT_EQ(files.lock, dir.file("server/LINE.DOC"));
    EXPECT_EQ(files.data, dir.file("server/LINE.TXT"));
    EXPECT_EQ(files.local, dir.file("local/LINE.TXT"));
}

TEST_F(ServerFileTest, ATransferMovesTheLocalRecordsAndPutsTheLockBack) {
    queue_record('a');
    queue_record('b');
    ASSERT_EQ(transfer_server_file(files, reports.sink(), quick), 0);
    EXPECT_EQ(read_text(files.data).size(), 512u);
    EXPECT_FALSE(std::filesystem::exists(files.local));
    EXPECT_EQ(read_text(files.lock), "0");
}

TEST_F(ServerFileTest, WaitsWhileACompetingWriterHoldsTheLock) {
    write_text(files.lock, "1");
    queue_record('a');
    std::thread other([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        write_text(files.data, std::string(254, 'o') + "\r\n");  // the other writer's record
        write_text(files.lock, "0");
    });
    const int rc = transfer_server_file(files, reports.sink(), quick);
    other.join();
    ASSERT_EQ(rc, 0);
    const std::string data = read_text(files.data);
    ASSERT_EQ(data.size(), 512u);
    EXPECT_EQ(data[0], 'o');  // ours came after the other writer's, none overwritten
    EXPECT_EQ(data[256 + 12], 'a');
    EXPECT_EQ(read_text(files.lock), "0");
}

TEST_F(ServerFileTest, AnEmptyLockFileIsBusyNotBroken) {
    write_text(files.lock, "");  // its holder is rewriting it
    queue_record('a');
    EXPECT_EQ(transfer_server_file(files, reports.sink(), quick), kMsgCantOpenFile);
    EXPECT_EQ(read_text(files.local).size(), 256u);
    write_text(files.lock, "0");
    EXPECT_EQ(transfer_server_file(files, reports.sink(), quick), 0);
}

TEST_F(ServerFileTest, ALockHeldTooLongGivesUpAndKeepsTheLocalFile) {
    write_text(files.lock, "1");
    queue_record('a');
    EXPECT_EQ(transfer_server_file(files, reports.sink(), quick), kMsgCantOpenFile);
    ASSERT_EQ(reports.seen.size(), 1u);
    EXPECT_EQ(reports.seen[0].caption, "Server Cont.");
    EXPECT_EQ(read_text(files.local).size(), 256u);
    EXPECT_EQ(read_text(files.lock), "1");  // the holder's mark is not touched
    // The holder lets go: the next transfer sends what waited.
    write_text(files.lock, "0");
    queue_record('b');
    ASSERT_EQ(transfer_server_file(files, reports.sink(), quick), 0);
    EXPECT_EQ(read_text(files.data).size(), 512u);
}

TEST_F(ServerFileTest, AServerFolderThatIsGoneKeepsEveryRecordLocal) {
    queue_record('a');
    std::filesystem::remove_all(dir.file("server"));
    EXPECT_EQ(transfer_server_file(files, reports.sink(), quick), kMsgCantOpenFile);
    EXPECT_EQ(read_text(files.local).size(), 256u);
}

TEST_F(ServerFileTest, ATornRecordIsSetAsideAndTheWholeOnesGoOn) {
    const std::string good = "@@0250$LIN11" + std::string(242, 'g') + "\r\n";
    const std::string torn = "@@0250$LIN11" + std::string(50, 't');  // cut by a power failure
    write_text(files.local, good + torn + good);
    EXPECT_EQ(transfer_server_file(files, reports.sink(), quick), 0);
    EXPECT_EQ(read_text(files.data), good + good);
    EXPECT_EQ(read_text(files.local + ".bad"), torn);
    ASSERT_EQ(reports.seen.size(), 1u);
    EXPECT_EQ(reports.seen[0].message, kMsgFileAbnormal);
    EXPECT_EQ(read_text(files.lock), "0");
}

TEST_F(ServerFileTest, TooManyRecordsAreAbnormalAndStay) {
    write_text(files.local, "");
    std::filesystem::resize_file(files.local, 100001 * 256);  // more than 100000 records
    EXPECT_EQ(transfer_server_file(files, reports.sink(), quick), kMsgFileAbnormal);
    EXPECT_FALSE(std::filesystem::exists(files.data));
    EXPECT_TRUE(std::filesystem::exists(files.local));
    EXPECT_EQ(read_text(files.lock), "3");
}

TEST_F(ServerFileTest, ADataFileThatCannotBeOpenedMarksTheLockWithThree) {
    queue_record('a');
    std::filesystem::create_directory(files.data);  // a folder where the data file should be
    EXPECT_EQ(transfer_server_file(files, reports.sink(), quick), kMsgCantOpenFile);
    ASSERT_FALSE(reports.seen.empty());
    EXPECT_EQ(reports.seen.back().caption, "Server File");
    EXPECT_EQ(read_text(files.lock), "3");
    EXPECT_EQ(read_text(files.local).size(), 256u);
}

}  // namespace
}  // namespace ksw
