// The texts a run leaves behind: the data-file line, the server record, the calibration lines
// and the NG ticket. A RunRecord is a snapshot taken on the main thread when the run's result
// is shown; everything here formats it without touching a file, so the writer thread and the
// tests use the same functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "station/settings.h"

namespace ksw {

struct RunContext;

// A local date and time.
struct LocalStamp {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool operator==(const LocalStamp &) const = default;
};
LocalStamp local_stamp_now();
// "YYYYMMDD" of `stamp`.
std::string date_digits(const LocalStamp &stamp);

// What a measuring step (mode 3, 4 or 5) left for the data file and the database.
struct StepResult {
    int step = 0;
    int mode = 0;
    double average = 0.0;
    double lower = 0.0, upper = 0.0;  // the limits it was judged against
    int judgement = -1;              // Judgement of the step (-1 not judged)
    int passes = 0;                  // NG passes before the verdict + 1 (its tries)
    int32_t elapsed_ms = -1;         // -1: not measured
    uint32_t adjusted_value = 0;     // mode 5 only
};

struct RunRecord {
    int instance = -1;
    int result = 0;                // 0 OK; 28 and 113 a step NG; else a system error
    int failing_step = -1;
    int verdict = -1;              // the failing step's judgement: 4 above, 5 below
    std::string ng_message;        // set by the program for a step NG
    bool retried_ok = false;       // accepted on retry
    uint32_t duration_ms = 0;
    LocalStamp start, end;
    int total_ok = 0, total_ng = 0;  // the day's totals with this run counted
    std::string log_text;
    std::vector<StepResult> steps;
    std::string product_id;
    std::string program_path;      // the test program
    std::string data_file_name;    // log(fil; empty: "data.txt"
    uint32_t evr_byte = 0;         // the failing step's EVR byte (NG ticket)

    bool ok() const { return result == 0; }
    bool step_ng() const;          // 28 or 113
    // "L", "U", "" or "S" for an NG run (see the data line), "" for an OK run.
    std::string_view suffix() const;
};

// Takes the record of the run that just ended from the run context (main thread, sequencer
// joined). Steps come in step order; `start` is when the run began.
RunRecord capture_run(const RunContext &context, LocalStamp start, uint32_t duration_ms);

// Which runs are written: RecFlags bit 7 ("Rec when ok") selects OK runs, bit 8 ("Rec when ng")
// NG runs, as the settings pages and the -O switches name them.
bool records_run(uint32_t rec_flags, bool ok);

// The data-file line for `record` (CR LF included), built from the RecFlags parts.
std::string format_data_line(const RunRecord &record, uint32_t rec_flags, const LocalStamp &now);

// The data file's path: `data_path` + the name without its extension + `stamp` + the extension.
std::string data_file_path(std::string_view data_path, std::string_view name, std::string_view stamp);

// The 256-byte server record (CR LF at its end).
struct ServerIdentity {
    std::string terminal_id, machine_id, line_no, process_code, fixture_code, program_ver;
    int task_no = 0;
    std::string file_version;  // this program's version: its leading digits and points are used
};
ServerIdentity server_identity(const Settings &s, std::string_view file_version);
constexpr size_t kServerRecordSize = 256;
std::string format_server_record(const RunRecord &record, const ServerIdentity &who, const LocalStamp &now);

// The calibration file's lines: one per step with a correction register.
struct CalibrationLine {
    int step = 0;
    int register_index = 0;
    double correction = 0.0;
};
std::string format_calibration(const std::vector<CalibrationLine> &lines);

// The NG ticket's bytes.
std::string format_ng_ticket(const RunRecord &record, const LocalStamp &now, std::string_view average);

// The day's totals with their date: a run of a new day starts both from 0.
struct DailyTotals {
    CalendarDate date;
    int ok = 0, ng = 0;
    void count(bool ok_run, CalendarDate today);
    std::string status_text() const;  // "OK=%d NG=%d(%6.2f%%)"
};

// The product ID typed into the main window: only 0-9 and A-Z count (upper-cased), at most 8.
class ProductIdInput {
public:
    void key(char c);
    const std::string &pending() const { return pending_; }
    void clear() { pending_.clear(); }

private:
    std::string pending_;
};

}  // namespace ksw
