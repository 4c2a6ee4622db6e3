// The results database and the record writer: runs and steps in, yield, worst steps and the
// exports out; a database locked by another process is reported once while the data file
// stays complete.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "model/program_model.h"
#include "resources/error_codes.h"
#include "station/record_writer.h"
#include "station/results_database.h"
#include "temp_dir.h"

namespace ksw {
namespace {

using testing::read_text;
using testing::TempDir;

RunRecord run_on(int day, int result, const std::string &program = "tv.ks") {
    RunRecord r;
    r.instance = 1;
    r.result = result;
    r.failing_step = result ? 20 : -1;
    r.program_path = "/p/" + program;
    r.product_id = "AB12CD34";
    r.start = r.end = LocalStamp{2026, 12, day, 10, 0, 0};
    r.steps = {{10, kModeCheckItem, 1.5, 1.0, 2.0, kJudgedOk, 1, 100, 0},
               {20, kModeCheckItem, 3.5, 1.0, 2.0, result ? kJudgedNgAbove : kJudgedOk, 3, 200, 0}};
    return r;
}

TEST(ResultsDatabase, YieldWorstStepsAndExports) {
    TempDir dir;
    const std::string path = dir.file("results.db");
    ResultsDatabase db;
    std::string why;
    ASSERT_TRUE(db.open(path, &why)) << why;
    for (const RunRecord &r : {run_on(8, 0), run_on(8, kErrStepNg), run_on(9, 0), run_on(9, 0, "other.ks")})
        ASSERT_TRUE(db.record(r, &why)) << why;
    std::vector<YieldRow> yield;
    ASSERT_TRUE(query_yield(path, {}, &yield, &why)) << why;
    ASSERT_EQ(yield.size(), 3u);
    EXPECT_EQ(yield[0].day, "2026-12-08");
    EXPECT_EQ(yield[0].ok, 1);
    EXPECT_EQ(yield[0].ng, 1);
    EXPECT_EQ(yield[2].program, "tv.ks");
    std::vector<WorstStepRow> worst;
    ASSERT_TRUE(query_worst_steps(path, {}, 5, &worst, &why)) << why;
    ASSERT_EQ(worst.size(), 1u);
    EXPECT_EQ(worst[0].step, 20);
    EXPECT_EQ(worst[0].ng, 1);
    EXPECT_EQ(worst[0].total, 3);
    std::string csv;
    ASSERT_TRUE(export_runs(path, {"2026-12-09", "2026-12-09"}, false, &csv, &why)) << why;
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 5);  // header + 2 runs x 2 steps
    EXPECT_NE(csv.find("3,1,tv.ks,AB12CD34,2026-12-09 10:00:00"), std::string::npos) << csv;
    std::string json;
    ASSERT_TRUE(export_runs(path, {"2026-12-08", "2026-12-08"}, true, &json, &why)) << why;
    EXPECT_NE(json.find("\"verdict\":\"U\""), std::string::npos) << json;
    EXPECT_EQ(json.front(), '[');
    std::string none;
    ASSERT_TRUE(export_runs(path, {"2027-01-01", "2027-01-02"}, true, &none, &why));
    EXPECT_EQ(none, "[]\n");
}

TEST(ResultsDatabase, ReadingAMissingFileSaysSo) {
    TempDir dir;
    std::vector<YieldRow> rows;
    std::string why;
    EXPECT_FALSE(query_yield(dir.file("none.db"), {}, &rows, &why));
    EXPECT_NE(why.find("none.db"), std::string::npos);
}

// Holds an exclusive lock on the database from another process for `ms`.
pid_t lock_from_another_process(const std::string &path, int ms) {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        sqlite3 *db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
        (void)!write(ready[1], "x", 1);
        usleep(static_cast<useconds_t>(ms) * 1000);
        _exit(0);
    }
    char c;
    (void)!read(ready[0], &c, 1);
    close(ready[0]);
    close(ready[1]);
    return child;
}

TEST(RecordWriter, ALockedDatabaseIsReportedOnceAndTheDataFileStaysComplete) {
    TempDir dir;
    const std::string db_path = dir.file("results.db");
    {
        ResultsDatabase db;
        std::string why;
        ASSERT_TRUE(db.open(db_path, &why)) << why;
    }
    const pid_t holder = lock_from_another_process(db_path, 6000);
    ASSERT_GT(holder, 0);
    std::atomic<int> database_reports{0};
    {
        RecordWriter writer("", db_path, [&](const RecordFailure &f) {
            if (f.caption == "Results database") ++database_reports;
        });
        for (int i = 0; i < 2; ++i) {
            RecordJob job;
            job.record = run_on(9, 0);
            job.options.data_file = true;
            job.options.rec_flags = kRecErrorLog;
            job.options.data_path = dir.path() + "/";
            writer.submit(job);
        }
        writer.drain();
        EXPECT_EQ(writer.database_runs(), 0);
    }
    EXPECT_EQ(database_reports.load(), 1);
    EXPECT_EQ(read_text(dir.file("data20261209.txt")), "<OK>,0,\"OK\",0\r\n<OK>,0,\"OK\",0\r\n");
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
}

TEST(RecordWriter, WritesDataFileServerFileAndDatabaseInOrder) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("srv"));
    testing::write_text(dir.file("srv/LINE.DOC"), "0");
    std::vector<RecordFailure> failures;
    std::mutex failures_lock;
    {
        RecordWriter writer("", dir.file("results.db"), [&](const RecordFailure &f) {
            std::lock_guard<std::mutex> hold(failures_lock);
            failures.push_back(f);
        });
        for (int i = 0; i < 20; ++i) {
            RecordJob job;
            job.record = run_on(9, i % 4 ? 0 : kErrStepNg);
            job.record.log_text = "," + std::to_string(i);
            job.options.data_file = true;
            job.options.data_path = dir.path() + "/";
            job.options.server_record = true;
            job.options.server_file = dir.file("srv/LINE");
            job.options.local_folder = dir.path();
            writer.submit(job);
        }
        writer.drain();
        EXPECT_EQ(writer.database_runs(), 20);
        EXPECT_EQ(writer.log_date(), "20261209");
    }
    EXPECT_TRUE(failures.empty());
    std::string expected;
    for (int i = 0; i < 20; ++i) expected += "0," + std::to_string(i) + "\r\n";
    EXPECT_EQ(read_text(dir.file("data20261209.txt")), expected);
    EXPECT_EQ(read_text(dir.file("srv/LINE.TXT")).size(), 20 * kServerRecordSize);
    EXPECT_FALSE(std::filesystem::exists(dir.file("LINE.TXT")));
}

}  // namespace
}  // namespace ksw
