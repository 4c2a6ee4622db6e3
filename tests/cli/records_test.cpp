// Records of whole runs: the data file and the results database written by the real station,
// the faults that must not stop it, and a station killed again and again during its runs.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>

#include "platform/process.h"
#include "run_ksw.h"

namespace ksw {
namespace {

using testing::read_text;
using testing::run_ksw;
using testing::TempDir;
using testing::write_text;

// Runs in a row that each log a counter; "fil" turns file recording on.
constexpr const char *kCounting = "step 1\nno_operation\nglobal(aut,\"t\",fil)\nrd[1]=rd[1]+1\nlog(rd,1,1)\n";

std::vector<std::string> data_lines(const std::string &folder) {
    std::vector<std::string> lines;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("data", 0) != 0 || entry.path().extension() != ".txt") continue;
        const std::string text = read_text(entry.path().string());
        size_t at = 0;
        while (at < text.size()) {
            size_t end = text.find("\r\n", at);
            if (end == std::string::npos) {
                lines.push_back("TORN:" + text.substr(at));
                break;
            }
            lines.push_back(text.substr(at, end - at));
            at = end + 2;
        }
    }
    return lines;
}

// The rows of `query`, one line each with the columns joined by "|" ("?" when it cannot be read).
std::string database_rows(const std::string &path, const char *query) {
    sqlite3 *db = nullptr;
    std::string rows = "?";
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db, query, -1, &s, nullptr) == SQLITE_OK) {
            rows.clear();
            while (sqlite3_step(s) == SQLITE_ROW) {
                for (int c = 0; c < sqlite3_column_count(s); ++c) {
                    const unsigned char *text = sqlite3_column_text(s, c);
                    rows += (c ? "|" : "") + std::string(text ? reinterpret_cast<const char *>(text) : "NULL");
                }
                rows += "\n";
            }
        }
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    return rows;
}

int database_runs(const std::string &path) {
    const std::string rows = database_rows(path, "SELECT COUNT(*) FROM runs");
    return rows == "?" || rows.empty() ? -1 : std::atoi(rows.c_str());
}

TEST(KswRecords, EachRunIsALineAndADatabaseRow) {
    TempDir dir;
    write_text(dir.file("count.ks"), "step 1\nno_operation\nglobal(aut,\"t\",fil)\nrd[1]=rd[1]+1\nlog(rd,1,1)\n");
    const auto run = run_ksw(dir, "--headless -D count.ks --runs=3");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output, "<OK>\n<OK>\n<OK>\n");
    const std::vector<std::string> lines = data_lines(dir.path());
    ASSERT_EQ(lines.size(), 3u);
    const std::regex line(R"re("\d{4}/\d\d/\d\d","\d\d:\d\d:\d\d","OK",(\d+),0,\d+\.\d\d,(\d)\.0+)re");
    for (size_t i = 0; i < lines.size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[i], m, line)) << lines[i];
        EXPECT_EQ(m[1], std::to_string(i + 1));  // the day's OK total
        EXPECT_EQ(m[2], std::to_string(i + 1));  // the logged counter
    }
    EXPECT_EQ(database_runs(dir.file("results.db")), 3);
    // ksw-results reads it back.
    const std::string tool = std::string(std::getenv("KSW_TEST_BINARY_DIR")) + "/bin/ksw-results --db='" +
                             dir.file("results.db") + "' ";
    ASSERT_EQ(std::system((tool + "yield > '" + dir.file("yield.txt") + "'").c_str()), 0);
    const std::string yield = read_text(dir.file("yield.txt"));
    EXPECT_NE(yield.find("count.ks                    3        0  100.00%"), std::string::npos) << yield;
    ASSERT_EQ(std::system((tool + "json > '" + dir.file("runs.json") + "'").c_str()), 0);
    const std::string json = read_text(dir.file("runs.json"));
    EXPECT_EQ(std::count(json.begin(), json.end(), '{'), 3) << json;
    EXPECT_NE(std::system((tool + "--from=2020-01-01 bogus 2> /dev/null").c_str()), 0);
    EXPECT_NE(std::system((tool.substr(0, tool.find("--db")) + "--db=/nonexistent.db yield 2> /dev/null").c_str()), 0);
    // The totals and the date stamp are kept in the settings file.
    const std::string ini = read_text(dir.file("ksw.ini"));
    EXPECT_NE(ini.find("TotalOk=3"), std::string::npos) << ini;
    EXPECT_NE(ini.find("LogDate=2"), std::string::npos) << ini;
}

TEST(KswRecords, TheDatabaseKeepsTheLimitsEachStepWasJudgedAgainst) {
    // Tolerance, percentage and asymmetric windows of the measuring demo on its simulated jig.
    TempDir dir;
    const std::string examples = std::string(KSW_SOURCE_DIR) + "/examples/measure/";
    const auto run = run_ksw(dir, "--headless --sim=" + examples + "world.ini " + examples + "demo.ks");
    ASSERT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(database_rows(dir.file("results.db"), "SELECT step, lower, upper, verdict FROM steps WHERE step IN (1, 11, 12)"),
              "1|4.95|5.05|OK\n11|4.9|5.1|OK\n12|4.8|5.1|OK\n");
}

TEST(KswRecords, WithoutFileRecordingOnlyTheDatabaseGetsTheRun) {
    TempDir dir;
    write_text(dir.file("quiet.ks"), "step 1\nno_operation\nrd[1]=1\n");
    const auto run = run_ksw(dir, "--headless -D quiet.ks");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_TRUE(data_lines(dir.path()).empty());
    EXPECT_EQ(database_runs(dir.file("results.db")), 1);
}

TEST(KswRecords, AnUnwritableDataFolderIsReportedAndTheRunStaysOk) {
    TempDir dir;
    write_text(dir.file("ksw.ini"), "[RS232C]\r\nOpenRSFirst=0\r\n[Program]\r\nDataPath=" + dir.file("gone") + "/\r\n");
    write_text(dir.file("count.ks"), kCounting);
    const auto run = run_ksw(dir, "--headless -D count.ks --runs=2");
    // The database goes into the data folder too: both failures are shown, the runs stand.
    EXPECT_NE(run.output.find("Results database"), std::string::npos) << run.output;
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_NE(run.output.find("s007: [" + dir.file("gone") + "/data"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.rfind("<OK>\n", 0), 0u) << run.output;
    EXPECT_NE(run.output.find("<OK>\n", 5), std::string::npos) << run.output;
    // The database's failure is told once; the data file's with every run.
    EXPECT_EQ(run.output.find("Results database"), run.output.rfind("Results database")) << run.output;
}

// Starts ksw in `dir` in the background (as run_ksw does, whose files must be there already),
// kills it after `ms`, and returns what it printed.
std::string run_and_kill(const TempDir &dir, const std::string &arguments, int ms) {
    const std::string command = "cd '" + dir.path() + "' && (XDG_CONFIG_HOME='" + dir.path() + "/cfg' XDG_RUNTIME_DIR='" +
                                dir.path() + "/run' exec '" + std::getenv("KSW_TEST_BINARY_DIR") + "/bin/ksw' " + arguments +
                                " > out.txt 2>&1 < /dev/null) & echo $! > pid; sleep " + std::to_string(ms / 1000.0) +
                                "; kill -KILL $(cat pid); wait";
    (void)!std::system(command.c_str());
    return read_text(dir.file("out.txt"));
}

TEST(KswRecords, KilledAgainAndAgainLeavesNoTornLineAndLosesNoWrittenRun) {
    TempDir dir;
    write_text(dir.file("count.ks"), "step 1\nno_operation\nglobal(aut,\"t\",fil)\nrd[1]=rd[1]+1\nlog(rd,1,1)\n");
    ASSERT_EQ(run_ksw(dir, "--headless -D count.ks").exit_code, 0);  // the settings files, and a first run
    int printed = 1;
    constexpr int kKills = 5;
    for (int round = 0; round < kKills; ++round) {
        const std::string output = run_and_kill(dir, "--headless -D count.ks --runs=100000", 500 + 97 * round);
        for (size_t at = 0; (at = output.find("<OK>", at)) != std::string::npos; ++at) ++printed;
    }
    const std::vector<std::string> lines = data_lines(dir.path());
    for (const std::string &l : lines) EXPECT_EQ(l.rfind("TORN:", 0), std::string::npos) << l;
    const int rows = database_runs(dir.file("results.db"));
    ASSERT_GT(rows, kKills);
    // A kill may come between a run's line and its row; and a run whose result was shown may not
    // be written yet (the next run starts only once it is), so each kill loses at most that one.
    EXPECT_GE(static_cast<int>(lines.size()), rows);
    EXPECT_LE(static_cast<int>(lines.size()), rows + kKills);
    EXPECT_GE(static_cast<int>(lines.size()), printed - kKills);
}

TEST(KswRecords, TaskTalksToTheLineServerPeer) {
    TempDir dir;
    write_text(dir.file("task.ks"), "step 1\nno_operation\ntask(=,7,321)\ntask(rea,5,10)\ntask(rea,7,11)\n");
    ASSERT_TRUE(platform::set_environment("XDG_RUNTIME_DIR", dir.file("run")));
    platform::ChildProcess server;
    std::string line;
    ASSERT_TRUE(server.start({std::string(std::getenv("KSW_TEST_BINARY_DIR")) + "/bin/ksw-lineserver", "--value=5=123"}));
    ASSERT_TRUE(server.read_line(&line, 5000));
    EXPECT_EQ(line, "listening on " + dir.file("run") + "/ksw/JigServerRxSlot");
    const auto run = run_ksw(dir, "--headless -D task.ks --dump='ad[10-11]'");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output, "<OK>\nad[10]=123\nad[11]=321\n");
    std::vector<std::string> seen;
    while (server.read_line(&line, 500)) seen.push_back(line);
    const std::vector<std::string> expected{"00 RUN", "00 READY", "00 RUN", "00 SET7,321", "00 GET5", "00 GET7", "00 READY", "00 WAIT"};
    EXPECT_EQ(seen, expected);
}

TEST(KswRecords, WithoutAServerTaskFailsAndTheStationGoesOn) {
    TempDir dir;
    write_text(dir.file("task.ks"), "step 1\nno_operation\ntask(key,1,13)\n");
    const auto run = run_ksw(dir, "--headless -D task.ks");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output, "STEP1S:e152: TASK:Missing Server\n");
}

}  // namespace
}  // namespace ksw
