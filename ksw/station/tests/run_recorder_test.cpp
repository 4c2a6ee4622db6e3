// The station's side of the records: the product ID settled before a run (typed, kept, or asked
// for), what decides whether a server record is written, and the NG ticket on a printer command.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "resources/error_codes.h"
#include "runtime/run_context.h"
#include "station/run_recorder.h"
#include "temp_dir.h"
#include "ui/console/console_frontend.h"

namespace ksw {
namespace {

using testing::read_text;
using testing::TempDir;

class RunRecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        config.server_file = dir.file("LINE");
        config.flags = kFlagCheckId;
        config.data_path = dir.path() + "/";
        config.results_database = "-";
    }
    void TearDown() override {
        recorder.reset();
        std::fclose(out);
    }
    // A recorder whose questions are answered `yes` and whose Product ID box gets `answers`.
    void start(bool yes, std::vector<std::string> answers = {}) {
        console = std::make_unique<ConsoleFrontend>(ConsoleFrontend::Options{out, stdin, false, yes, false, {}, answers});
        recorder = std::make_unique<RunRecorder>(*console, config, 0, "1.0");
    }
    std::string printed() {
        std::fflush(out);
        return read_text(dir.file("out.txt"));
    }
    void type(const std::string &keys) {
        for (const char c : keys) recorder->typed().key(c);
    }

    TempDir dir;
    std::FILE *out = std::fopen(dir.file("out.txt").c_str(), "w+");
    Settings config;
    std::unique_ptr<ConsoleFrontend> console;
    std::unique_ptr<RunRecorder> recorder;
};

TEST_F(RunRecorderTest, EightTypedCharactersBecomeTheIdWithoutAQuestion) {
    start(true);
    type("ab12cd34");
    recorder->product_id_step();
    EXPECT_EQ(recorder->product_id(), "AB12CD34");
    EXPECT_EQ(printed().find("s026"), std::string::npos);
}

TEST_F(RunRecorderTest, AShortIdAsksToKeepTheOldOne) {
    start(true);
    type("ab12cd34");
    recorder->product_id_step();
    type("x1");
    recorder->product_id_step();  // Yes: the old ID of 8 stays
    EXPECT_EQ(recorder->product_id(), "AB12CD34");
    EXPECT_NE(printed().find("s026: No ID input. Use old ID ?"), std::string::npos);
}

TEST_F(RunRecorderTest, NoKeepsNothingAndTheBoxAsks) {
    start(false, {"zz99yy88"});
    type("x1");
    recorder->product_id_step();
    EXPECT_EQ(recorder->product_id(), "ZZ99YY88");
}

TEST_F(RunRecorderTest, WithoutCheckIdAnyTypedIdIsTakenAndAShortOneWritesNoServerRecord) {
    config.flags = 0;
    start(true);
    type("x1");
    recorder->product_id_step();
    EXPECT_EQ(recorder->product_id(), "X1");
    testing::write_text(dir.file("LINE.DOC"), "0");
    RunContext context;
    recorder->record(context, DailyTotals{}, local_stamp_now(), 10, false);
    recorder->drain();
    EXPECT_FALSE(std::filesystem::exists(dir.file("LINE.TXT")));  // an ID shorter than 8: no record
}

TEST_F(RunRecorderTest, TheEvrAccessRecordGoesBeforeTheDataLineWhenItsFlagIsSet) {
    config.rec_flags = kDefaultRecFlags | kRecAccessRecord;
    config.access_file = dir.file("access.txt");
    start(true);
    recorder->evr_access_record = [](const RunContext &) { return std::string("{ROM Write\r\nFFFF,FFFF\r\n\r\n"); };
    RunContext context;
    context.set_file_recording(true);
    recorder->record(context, DailyTotals{}, local_stamp_now(), 10, false);
    recorder->drain();
    EXPECT_EQ(read_text(dir.file("access.txt")), "{ROM Write\r\nFFFF,FFFF\r\n\r\n");
    // Without the flag the file is left alone.
    std::filesystem::remove(dir.file("access.txt"));
    config.rec_flags = kDefaultRecFlags;
    recorder->record(context, DailyTotals{}, local_stamp_now(), 10, false);
    recorder->drain();
    EXPECT_FALSE(std::filesystem::exists(dir.file("access.txt")));
}

TEST_F(RunRecorderTest, WithoutAServerFileNothingIsAsked) {
    config.server_file.clear();
    start(false);
    type("x1");
    recorder->product_id_step();
    EXPECT_EQ(recorder->product_id(), "");
    EXPECT_EQ(printed().find("s026"), std::string::npos);
}

TEST(NgTicket, APrinterCommandGetsTheTicketOnItsInput) {
    TempDir dir;
    std::string why;
    const std::string command = "sh -c \"cat > '" + dir.file("printed") + "'\"";
    ASSERT_TRUE(print_ng_ticket("lpt1", command, "ticket\r\n", &why)) << why;
    EXPECT_EQ(read_text(dir.file("printed")), "ticket\r\n");
    EXPECT_FALSE(print_ng_ticket("LPT1", "false", "ticket", &why));
    EXPECT_NE(why.find("status 1"), std::string::npos) << why;
    EXPECT_FALSE(print_ng_ticket("LPT1", "no-such-printer-command", "ticket", &why));
    EXPECT_FALSE(print_ng_ticket(dir.file("no-serial-line"), "lp", "ticket", &why));
    EXPECT_NE(why.find("no-serial-line"), std::string::npos) << why;
}

}  // namespace
}  // namespace ksw
