// The record texts byte for byte: data-file lines for every RecFlags part, the file's name, the
// 256-byte server record, the calibration lines, the day's totals and the typed product ID.
#include <gtest/gtest.h>

#include "model/program_model.h"
#include "resources/error_codes.h"
#include "station/result_records.h"

namespace ksw {
namespace {

const LocalStamp kNow{2026, 12, 9, 8, 5, 7};

RunRecord measured_run(int result) {
    RunRecord r;
    r.result = result;
    r.failing_step = result ? 20 : -1;
    r.duration_ms = 1234;
    r.total_ok = 3;
    r.total_ng = 1;
    r.log_text = ",17,0042";
    r.steps = {{10, kModeCheckItem, 12.5, 0, 0, kJudgedOk, 1, 250, 0},
               {20, kModeAutoAdjustItem, 0.00123, 0, 0, kJudgedOk, 2, -1, 77}};
    return r;
}

TEST(DataLine, OkRunWithHeaderStepsAndTimes) {
    const uint32_t flags = kRecErrorLog | kRecLogHeader | kRecBaseStep | kRecStepTime;
    EXPECT_EQ(format_data_line(measured_run(0), flags, kNow),
              "<OK>,0,\"OK\",\"2026/12/09\",\"08:05:07\",\"OK\",3,1,1.23,17,0042"
              ",10,12.5000000,0.25,20,0.00123000,0.00,77\r\n");
}

TEST(DataLine, HeaderOffWritesZeroAndStepsWithoutTimes) {
    EXPECT_EQ(format_data_line(measured_run(0), kRecBaseStep, kNow), "0,17,0042,10,12.5000000,20,0.00123000,77\r\n");
    // Times alone: step number and seconds, no averages and no EVR value.
    EXPECT_EQ(format_data_line(measured_run(0), kRecStepTime, kNow), "0,17,0042,10,0.25,20,0.00\r\n");
    EXPECT_EQ(format_data_line(measured_run(0), 0, kNow), "0,17,0042\r\n");
}

TEST(DataLine, NgRunsNameTheStepWithItsSideAndMessage) {
    RunRecord below = measured_run(kErrStepNg);
    below.verdict = kJudgedNgBelow;
    EXPECT_EQ(format_data_line(below, kRecErrorLog, kNow), "<NG>,step20L,\"e028: Step NG\",0,17,0042\r\n");
    RunRecord above = measured_run(kErrStepIsNg);
    above.verdict = kJudgedNgAbove;
    EXPECT_EQ(format_data_line(above, kRecErrorLog, kNow), "<NG>,step20U,\"e113: Step is NG\",0,17,0042\r\n");
    RunRecord plain = measured_run(kErrStepNg);
    plain.verdict = kJudgedNg;
    plain.ng_message = "dc_volt low";  // the program's NG message replaces the error's text
    EXPECT_EQ(format_data_line(plain, kRecErrorLog, kNow), "<NG>,step20,\"dc_volt low\",0,17,0042\r\n");
    RunRecord system = measured_run(kErrBreakedByUser);
    system.ng_message = "ignored for a system error";
    EXPECT_EQ(format_data_line(system, kRecErrorLog | kRecLogHeader, kNow),
              "<NG>,step20S,\"e027: Breaked by user\",\"2026/12/09\",\"08:05:07\",\"NG\",3,1,1.23,17,0042\r\n");
}

TEST(DataLine, RecordFlagsSelectOkAndNgRuns) {
    EXPECT_TRUE(records_run(kRecWhenOk, true));
    EXPECT_FALSE(records_run(kRecWhenOk, false));
    EXPECT_TRUE(records_run(kRecWhenNg, false));
    EXPECT_FALSE(records_run(kRecWhenNg, true));
}

TEST(DataFileName, DateStampGoesBeforeTheExtension) {
    EXPECT_EQ(data_file_path("./", "data.txt", "20261209"), "./data20261209.txt");
    // log(fil,-1) names the file after the day: data path, the day's digits, the stamp, .csv
    EXPECT_EQ(data_file_path("/d/", "20261209.csv", "20261208"), "/d/2026120920261208.csv");
    EXPECT_EQ(data_file_path("/d/", "noext", "20261209"), "/d/noext20261209");
    // A point in a folder name is not an extension.
    EXPECT_EQ(data_file_path("/d/", "sub.v2/log", "20261209"), "/d/sub.v2/log20261209");
}

TEST(ServerRecord, EveryFieldAtItsOffset) {
    RunRecord r = measured_run(kErrStepNg);
    r.verdict = kJudgedNgBelow;
    r.product_id = "AB12CD34";
    r.program_path = "/progs/tv-line.ks";
    ServerIdentity who{"TERM1", "MACHINE-01", "L3", "P100", "FIX0001", "1.20", 7, "2.15.0"};
    const std::string rec = format_server_record(r, who, kNow);
    ASSERT_EQ(rec.size(), kServerRecordSize);
    const std::string expected = std::string("@@0250$LIN11") + "TERM1  " + "20261209080507" + "AB12CD34" +
                                 "20261209080507" + "000020" + "e028" + "L" + "Step NG" + std::string(52, ' ') + "NG" +
                                 "MACHINE-01" + "L3" + "P100" + "FIX0001" + "07" + "tv-line.ks" + std::string(10, ' ') +
                                 "2.15" + "1.20" + std::string(74, ' ') + "\r\n";
    EXPECT_EQ(rec, expected);
}

TEST(ServerRecord, OkRetriedAndUncodedMessages) {
    RunRecord ok = measured_run(0);
    ok.retried_ok = true;
    ServerIdentity who;
    who.task_no = 120;  // clamped
    const std::string rec = format_server_record(ok, who, kNow);
    EXPECT_EQ(rec.substr(55, 6), "000000");
    EXPECT_EQ(rec.substr(61, 4), "e000");
    EXPECT_EQ(rec.substr(65, 1), " ");
    EXPECT_EQ(rec.substr(66, 9), "Retry OK ");
    EXPECT_EQ(rec.substr(125, 2), "OK");
    EXPECT_EQ(rec.substr(150, 2), "99");
    RunRecord odd = measured_run(9999);  // no message text of its own: e999
    odd.failing_step = 7000;
    const std::string rec2 = format_server_record(odd, who, kNow);
    EXPECT_EQ(rec2.substr(55, 6), "005000");
    EXPECT_EQ(rec2.substr(61, 5), "e999S");
}

TEST(Calibration, OneLinePerCorrectedStep) {
    EXPECT_EQ(format_calibration({{12, 40, 0.98765}, {13, 41, -2.0}}),
              "0.9877\t;step12 rd[40]\r\n-2.0000\t;step13 rd[41]\r\n");
}

TEST(NgTicket, DateMessageStepAndEvrByte) {
    RunRecord r = measured_run(kErrStepNg);
    r.evr_byte = 0x3C;
    EXPECT_EQ(format_ng_ticket(r, kNow, "12.5000000"),
              "2026/12/09 08:05:07\r\ne028: Step NG\r\nstep20 3C:12.5000000\r\n\n\n\n\n\n");
}

TEST(DailyTotals, CountsAndStartsOverOnANewDay) {
    DailyTotals t{{2026, 12, 9}, 0, 0};
    for (int i = 0; i < 3; ++i) t.count(true, {2026, 12, 9});
    t.count(false, {2026, 12, 9});
    EXPECT_EQ(t.status_text(), "OK=3 NG=1( 75.00%)");
    t.count(false, {2026, 12, 10});
    EXPECT_EQ(t.status_text(), "OK=0 NG=1(  0.00%)");
    EXPECT_EQ(DailyTotals{}.status_text(), "OK=0 NG=0(  0.00%)");
}

TEST(ProductId, OnlyDigitsAndLettersUpperCasedLastEightKept) {
    ProductIdInput id;
    for (const char c : std::string("ab-12 cd*34")) id.key(c);
    EXPECT_EQ(id.pending(), "AB12CD34");
    id.key('z');
    EXPECT_EQ(id.pending(), "B12CD34Z");
}

}  // namespace
}  // namespace ksw
