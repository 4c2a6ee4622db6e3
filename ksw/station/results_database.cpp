#include "station/results_database.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "model/program_model.h"
#include "platform/files.h"
#include "resources/format.h"

namespace ksw {
namespace {

constexpr const char *kSchema =
    "CREATE TABLE IF NOT EXISTS runs("
    " id INTEGER PRIMARY KEY, instance INTEGER NOT NULL, program TEXT NOT NULL, product_id TEXT NOT NULL,"
    " start_time TEXT NOT NULL, end_time TEXT NOT NULL, day TEXT NOT NULL, result TEXT NOT NULL,"
    " error_code INTEGER NOT NULL, failing_step INTEGER NOT NULL, duration_ms INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS steps("
    " run_id INTEGER NOT NULL REFERENCES runs(id), step INTEGER NOT NULL, value REAL,"
    " lower REAL, upper REAL, verdict TEXT NOT NULL, tries INTEGER NOT NULL, elapsed_ms INTEGER NOT NULL,"
    " PRIMARY KEY(run_id, step));"
    "CREATE INDEX IF NOT EXISTS runs_by_day ON runs(day, program);";

std::string verdict_text(int judgement) {
    switch (judgement) {
    case kJudgedOk: return "OK";
    case kJudgedNgAbove: return "U";
    case kJudgedNgBelow: return "L";
    case kNotJudged: return "-";
    default: return "NG";
    }
}

// A prepared statement that finalises itself.
class Statement {
public:
    Statement(sqlite3 *db, const char *sql) { ok_ = sqlite3_prepare_v2(db, sql, -1, &s_, nullptr) == SQLITE_OK; }
    ~Statement() { sqlite3_finalize(s_); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    bool ok() const { return ok_; }
    sqlite3_stmt *get() { return s_; }
    void text(int i, const std::string &v) { sqlite3_bind_text(s_, i, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT); }
    void integer(int i, long long v) { sqlite3_bind_int64(s_, i, v); }
    void real(int i, double v) { sqlite3_bind_double(s_, i, v); }
    std::string column_text(int i) {
        const unsigned char *t = sqlite3_column_text(s_, i);
        return t ? reinterpret_cast<const char *>(t) : "";
    }

private:
    sqlite3_stmt *s_ = nullptr;
    bool ok_ = false;
};

std::string db_error(sqlite3 *db, const std::string &what) { return what + ": " + (db ? sqlite3_errmsg(db) : "no memory"); }

// A finite number, or null (an unbounded limit, a reading that was not a number).
void bind_finite(Statement &s, int i, double v) {
    if (v > -1e300 && v < 1e300) s.real(i, v);
    else sqlite3_bind_null(s.get(), i);
}

bool open_for_reading(const std::string &path, sqlite3 **db, std::string *error) {
    if (!platform::is_regular_file(path)) {
        *error = path + ": no results database there";
        return false;
    }
    if (sqlite3_open_v2(path.c_str(), db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        *error = db_error(*db, path);
        sqlite3_close(*db);
        *db = nullptr;
        return false;
    }
    sqlite3_busy_timeout(*db, ResultsDatabase::kBusyWaitMs);
    return true;
}

std::string json_string(const std::string &v) {
    std::string out = "\"";
    for (const char c : v) {
        if (c == '"' || c == '\\') out += '\\', out += c;
        else if (static_cast<unsigned char>(c) < 0x20) out += format_text("\\u%04x", {static_cast<int>(c)});
        else out += c;
    }
    return out + "\"";
}

std::string csv_field(const std::string &v) {
    if (v.find_first_of(",\"\r\n") == std::string::npos) return v;
    std::string out = "\"";
    for (const char c : v) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

}  // namespace

std::string iso_text(const LocalStamp &s) {
    return format_text("%04d-%02d-%02d %02d:%02d:%02d", {s.year, s.month, s.day, s.hour, s.minute, s.second});
}

ResultsDatabase::~ResultsDatabase() { close(); }

void ResultsDatabase::close() {
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
}

bool ResultsDatabase::exec(const char *sql, std::string *error) {
    char *message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    *error = std::string(message ? message : "unknown failure");
    sqlite3_free(message);
    return false;
}

bool ResultsDatabase::open(const std::string &path, std::string *error) {
    close();
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        *error = db_error(db_, path);
        close();
        return false;
    }
    sqlite3_busy_timeout(db_, kBusyWaitMs);
    if (!exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;", error) || !exec(kSchema, error)) {
        *error = path + ": " + *error;
        close();
        return false;
    }
    return true;
}

bool ResultsDatabase::record(const RunRecord &run, std::string *error) {
    if (!db_) {
        *error = "the results database is not open";
        return false;
    }
    if (!exec("BEGIN IMMEDIATE", error)) return false;
    bool ok = false;
    {
        Statement insert(db_, "INSERT INTO runs(instance, program, product_id, start_time, end_time, day, result,"
                              " error_code, failing_step, duration_ms) VALUES(?,?,?,?,?,?,?,?,?,?)");
        Statement step(db_, "INSERT INTO steps(run_id, step, value, lower, upper, verdict, tries, elapsed_ms)"
                            " VALUES(?,?,?,?,?,?,?,?)");
        if (insert.ok() && step.ok()) {
            insert.integer(1, run.instance);
            insert.text(2, std::string(platform::file_name_of(run.program_path)));
            insert.text(3, run.product_id);
            insert.text(4, iso_text(run.start));
            insert.text(5, iso_text(run.end));
            insert.text(6, iso_text(run.end).substr(0, 10));
            insert.text(7, run.ok() ? "OK" : "NG");
            insert.integer(8, run.result);
            insert.integer(9, run.ok() ? 0 : run.failing_step);
            insert.integer(10, run.duration_ms);
            ok = sqlite3_step(insert.get()) == SQLITE_DONE;
            const long long id = sqlite3_last_insert_rowid(db_);
            for (size_t i = 0; ok && i < run.steps.size(); ++i) {
                const StepResult &s = run.steps[i];
                sqlite3_reset(step.get());
                step.integer(1, id);
                step.integer(2, s.step);
                bind_finite(step, 3, s.average);
                bind_finite(step, 4, s.lower);
                bind_finite(step, 5, s.upper);
                step.text(6, verdict_text(s.judgement));
                step.integer(7, s.passes);
                step.integer(8, s.elapsed_ms);
                ok = sqlite3_step(step.get()) == SQLITE_DONE;
            }
        }
        if (!ok) *error = db_error(db_, "results database");
    }
    if (ok && exec("COMMIT", error)) return true;
    std::string ignored;
    (void)exec("ROLLBACK", &ignored);
    return false;
}

namespace {

// Runs `sql`, whose first two parameters are the range's ends and whose third (when `limit` >= 0)
// is a row limit, and hands each row to `row`. False with the reason.
bool query_range(const std::string &path, const ResultsQuery &q, const char *sql, int limit,
                 const std::function<void(Statement &)> &row, std::string *error) {
    sqlite3 *db = nullptr;
    if (!open_for_reading(path, &db, error)) return false;
    bool ok = false;
    {
        Statement s(db, sql);
        if (s.ok()) {
            s.text(1, q.from);
            s.text(2, q.to);
            if (limit >= 0) s.integer(3, limit);
            int rc;
            while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) row(s);
            ok = rc == SQLITE_DONE;
        }
        if (!ok) *error = db_error(db, path);
    }
    sqlite3_close(db);
    return ok;
}

}  // namespace

bool query_yield(const std::string &path, const ResultsQuery &q, std::vector<YieldRow> *rows, std::string *error) {
    return query_range(path, q,
                       "SELECT day, program, SUM(result='OK'), SUM(result='NG') FROM runs"
                       " WHERE day BETWEEN ? AND ? GROUP BY day, program ORDER BY day, program",
                       -1,
                       [rows](Statement &s) {
                           rows->push_back({s.column_text(0), s.column_text(1), sqlite3_column_int(s.get(), 2),
                                            sqlite3_column_int(s.get(), 3)});
                       },
                       error);
}

bool query_worst_steps(const std::string &path, const ResultsQuery &q, int limit, std::vector<WorstStepRow> *rows,
                       std::string *error) {
    return query_range(path, q,
                       "SELECT r.program, st.step, SUM(st.verdict NOT IN ('OK','-')), COUNT(*) FROM steps st"
                       " JOIN runs r ON r.id = st.run_id WHERE r.day BETWEEN ? AND ?"
                       " GROUP BY r.program, st.step HAVING SUM(st.verdict NOT IN ('OK','-')) > 0"
                       " ORDER BY 3 DESC, 1, 2 LIMIT ?",
                       std::max(limit, 0),
                       [rows](Statement &s) {
                           rows->push_back({s.column_text(0), sqlite3_column_int(s.get(), 1),
                                            sqlite3_column_int(s.get(), 2), sqlite3_column_int(s.get(), 3)});
                       },
                       error);
}

bool export_runs(const std::string &path, const ResultsQuery &q, bool json, std::string *out, std::string *error) {
    constexpr int kColumns = 17;
    if (!json) out->append("run,instance,program,product_id,start,end,result,error_code,failing_step,duration_ms,"
                           "step,value,lower,upper,verdict,tries,elapsed_ms\n");
    else out->append("[");
    long long last = -1;
    const bool ok = query_range(
        path, q,
        "SELECT r.id, r.instance, r.program, r.product_id, r.start_time, r.end_time, r.result,"
        " r.error_code, r.failing_step, r.duration_ms, st.step, st.value, st.lower, st.upper,"
        " st.verdict, st.tries, st.elapsed_ms FROM runs r LEFT JOIN steps st ON st.run_id = r.id"
        " WHERE r.day BETWEEN ? AND ? ORDER BY r.id, st.step",
        -1,
        [&](Statement &s) {
            std::vector<std::string> c;
            for (int i = 0; i < kColumns; ++i) c.push_back(s.column_text(i));
            if (!json) {
                for (int i = 0; i < kColumns; ++i) out->append((i ? "," : "") + csv_field(c[static_cast<size_t>(i)]));
                out->append("\n");
                return;
            }
            const long long id = sqlite3_column_int64(s.get(), 0);
            const bool has_step = sqlite3_column_type(s.get(), 10) != SQLITE_NULL;
            if (id != last) {
                if (last >= 0) out->append("]},");
                out->append(format_text("\n{\"run\":%s,\"instance\":%s,\"program\":%s,\"product_id\":%s,\"start\":%s,"
                                        "\"end\":%s,\"result\":%s,\"error_code\":%s,\"failing_step\":%s,"
                                        "\"duration_ms\":%s,\"steps\":[",
                                        {c[0], c[1], json_string(c[2]), json_string(c[3]), json_string(c[4]),
                                         json_string(c[5]), json_string(c[6]), c[7], c[8], c[9]}));
            } else if (has_step) {
                out->append(",");
            }
            if (has_step)
                out->append(format_text("{\"step\":%s,\"value\":%s,\"lower\":%s,\"upper\":%s,\"verdict\":%s,"
                                        "\"tries\":%s,\"elapsed_ms\":%s}",
                                        {c[10], c[11].empty() ? "null" : c[11], c[12].empty() ? "null" : c[12],
                                         c[13].empty() ? "null" : c[13], json_string(c[14]), c[15], c[16]}));
            last = id;
        },
        error);
    if (ok && json) out->append(last >= 0 ? "]}\n]\n" : "]\n");
    return ok;
}

}  // namespace ksw
