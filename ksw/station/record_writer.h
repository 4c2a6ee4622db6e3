// The record writer: one thread that takes finished runs from a bounded queue and writes them
// to the data file, the server's data file and the results database, so the main thread only
// copies the run's record and goes on. Failures go to the report callback (called on the
// writer's thread: it must only post to the front-end); they never stop the writer.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "station/record_files.h"
#include "station/result_records.h"
#include "station/results_database.h"

namespace ksw {

// What the writer needs from the settings, copied per run (the settings may change between runs).
struct RecordOptions {
    bool data_file = false;       // file recording on and the run's outcome selected (RecFlags)
    uint32_t rec_flags = 0;
    std::string data_path = "./";
    int64_t max_log_size = 1048576;
    bool server_record = false;   // "ServerFile" set, server recording on, a product ID of 8
    std::string server_file;
    std::string local_folder = ".";  // where the local server file lives
    ServerIdentity identity;
};

struct RecordJob {
    RunRecord record;
    RecordOptions options;
    std::string access_file;              // "AccessFile": the EVR access record (RecFlags bit 0)
    std::string access_record;            // its text, written (replacing the file) before the data line
    bool calibration = false;             // measurement mode 2: "calc.txt" is made anew
    std::string calibration_path = "calc.txt";
    std::vector<CalibrationLine> calibration_lines;
    std::string ng_ticket;                // an NG run's ticket, printed on `print_step`
    std::string print_step;               // "LPTn": through `print_command`; else a serial port
    std::string print_command = "lp";
};

// Sends an NG ticket to `device`: a name beginning with "LPT" (any case) is a printer, fed
// through the command line `print_command` (the ticket on its standard input); any other name
// is a serial port (time-outs 1000 ms). False with the reason.
bool print_ng_ticket(const std::string &device, const std::string &print_command, std::string_view ticket,
                     std::string *why);

class RecordWriter {
public:
    static constexpr size_t kQueueLimit = 256;

    // `log_date` is the data file's date stamp ("LogDate"); `database_path` empty: no database.
    RecordWriter(std::string log_date, std::string database_path, RecordReport report);
    ~RecordWriter();  // writes what is queued, then ends the thread
    RecordWriter(const RecordWriter &) = delete;
    RecordWriter &operator=(const RecordWriter &) = delete;

    // Queues a run. Waits only while kQueueLimit runs are queued (a disk far slower than the line).
    void submit(RecordJob job);
    // Waits until every queued run is written.
    void drain();
    // The date stamp as the writer left it (to be saved as "LogDate").
    std::string log_date() const;
    // Runs written to the database, and whether its failure was reported.
    int database_runs() const;

private:
    void run();
    void write(const RecordJob &job);
    void write_database(const RunRecord &record);

    RecordReport report_;
    std::string database_path_;
    ResultsDatabase database_;
    bool database_failed_ = false;  // reported once; later runs try again quietly
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<RecordJob> queue_;
    bool busy_ = false;
    bool stopping_ = false;
    std::string log_date_;
    int database_runs_ = 0;
    std::thread thread_;  // last: starts once everything above exists
};

}  // namespace ksw
