// The results database: every recorded run as one row of "runs" and its measured steps as rows
// of "steps" (schema in docs/results.md), in an SQLite file in WAL mode, one transaction per
// run. Used by the record writer's thread only; the reading side (ksw-results) opens the file
// on its own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "station/result_records.h"

struct sqlite3;

namespace ksw {

class ResultsDatabase {
public:
    ResultsDatabase() = default;
    ~ResultsDatabase();
    ResultsDatabase(const ResultsDatabase &) = delete;
    ResultsDatabase &operator=(const ResultsDatabase &) = delete;

    // Opens (creating) the file and its tables. False with the reason in `*error`.
    bool open(const std::string &path, std::string *error);
    bool is_open() const { return db_ != nullptr; }
    // Writes one run and its steps in one transaction; false with the reason (a locked or
    // read-only file, a full disk ...); the transaction is then rolled back whole.
    bool record(const RunRecord &run, std::string *error);
    void close();

    // How long a write waits for another process's lock before it gives up.
    static constexpr int kBusyWaitMs = 2000;

private:
    bool exec(const char *sql, std::string *error);
    sqlite3 *db_ = nullptr;
};

// The reading side's queries (ksw-results). Dates are "YYYY-MM-DD"; a range includes both ends.
struct YieldRow {
    std::string day, program;
    int ok = 0, ng = 0;
};
struct WorstStepRow {
    std::string program;
    int step = 0;
    int ng = 0, total = 0;
};
struct ResultsQuery {
    std::string from = "0000-00-00", to = "9999-99-99";
};
bool query_yield(const std::string &path, const ResultsQuery &q, std::vector<YieldRow> *rows, std::string *error);
bool query_worst_steps(const std::string &path, const ResultsQuery &q, int limit, std::vector<WorstStepRow> *rows,
                       std::string *error);
// Every run of the range with its steps, as CSV (one line per step; a run without steps gives one
// line with empty step fields) or as a JSON array of runs.
bool export_runs(const std::string &path, const ResultsQuery &q, bool json, std::string *out, std::string *error);

// "YYYY-MM-DD hh:mm:ss" of `stamp`.
std::string iso_text(const LocalStamp &stamp);

}  // namespace ksw
