// The station's side of the records: at the end of each run it takes the run's record from
// the run context and hands it to the record writer (data file, server file, database,
// calibration file, NG ticket); at the start of a run it settles the product ID. Main thread
// only; the writer's failures reach the operator as posted message boxes.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "model/frontend.h"
#include "station/record_writer.h"
#include "station/result_records.h"
#include "station/settings.h"

namespace ksw {

class ServerLink;

// The database file the settings name: "ResultsDatabase", else "results.db" in the data
// folder; empty for "-" (no database).
std::string results_database_path(const Settings &s);

class RunRecorder {
public:
    // `instance` is the station's instance number; `file_version` this program's version.
    RunRecorder(Frontend &frontend, const Settings &settings, int instance, std::string file_version);
    ~RunRecorder();

    // The run whose result is being shown (or an automatic repetition) ended: record it.
    void record(const RunContext &context, const DailyTotals &totals, LocalStamp start, uint32_t duration_ms,
                bool retried_ok);
    // Enter in the ready state, before the run: with a server file and server recording on, the
    // typed ID (8 characters, or any when "Check ID" is off) becomes the product ID; otherwise
    // "s026: No ID input. Use old ID ?" and, unless the old ID is kept, the "Product ID" box.
    void product_id_step();
    ProductIdInput &typed() { return typed_; }
    const std::string &product_id() const { return product_id_; }
    // "DB ON/OFF(Ctrl-B)": server recording, on at start.
    bool server_recording = true;
    // The EVR front-end's access record (the cells written and read in this run, as its file
    // holds them); written to "AccessFile" before the data line when RecFlags bit 0 is set.
    // Empty: this station has no EVR front-end, and no access record is written.
    std::function<std::string(const RunContext &)> evr_access_record;

    // Waits until everything queued is written; the data file's date stamp for "LogDate".
    void drain() { writer_.drain(); }
    std::string log_date() const { return writer_.log_date(); }
    int database_runs() const { return writer_.database_runs(); }

private:
    Frontend &frontend_;
    const Settings &settings_;
    int instance_;
    std::string file_version_;
    ProductIdInput typed_;
    std::string product_id_;
    RecordWriter writer_;  // last: its thread reports through frontend_
};

}  // namespace ksw
