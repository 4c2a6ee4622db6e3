// The files a run's record goes into: the dated data file, the server's data file (through a
// local file and the one-character lock) and the calibration file. Every function works on
// the thread that calls it (the record writer's), reports each failure through a RecordReport
// and never throws; a record appended to a file is whole or absent, never torn.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "station/result_records.h"

namespace ksw {

// A failure to show the operator: message id (3007, 3011, 3019, 3027), the text for its "%s",
// and the caption ("Data saving", "Local File", "Server Cont.", "Server File").
struct RecordFailure {
    int message = 0;
    std::string argument;
    std::string caption;
    std::string reason;  // the system's reason, for logs and tests
};
using RecordReport = std::function<void(const RecordFailure &)>;

// Appends `line` to the data file named by `data_path`, `name` and the date stamp `*stamp`
// (set to today's date when empty). When the stamp is of an earlier day and the file is larger
// than `max_size`, the stamp becomes today's and the line goes to the new file. The line is
// written with one write and flushed to the disk; a failed write is cut back off the file.
// 0, or 3007 (cannot open) / 3011 (cannot write) after reporting it.
int append_data_line(std::string_view data_path, std::string_view name, std::string *stamp, int64_t max_size,
                     const LocalStamp &today, std::string_view line, const RecordReport &report);

// Appends one whole record to `path` and flushes it: 0, or 3007 / 3011 after reporting it with
// `caption` for an open failure.
int append_whole(const std::string &path, std::string_view bytes, const char *caption, const RecordReport &report);

// Time-outs of the server file's lock and of opening its data file.
struct ServerTimings {
    uint32_t wait_ms = 5000;   // how long a "1" in the lock file, or a data file that cannot be
                               // opened, is retried
    uint32_t retry_ms = 100;
};

// The server's files for "ServerFile" = `server_file`: the lock "<ServerFile>.DOC", the data
// "<ServerFile>.TXT" and the local file "<file part of ServerFile>.TXT" in `local_folder`.
struct ServerFiles {
    std::string lock, data, local;
};
ServerFiles server_files(std::string_view server_file, std::string_view local_folder);

// Moves what the local file holds to the server's data file under the lock: waits while the
// lock file holds "1", marks it "2", appends the local file whole, deletes the local file, and
// puts back the lock's old character ("3" after a failure). Nothing is lost: on any failure the
// local file stays for the next transfer. 0, or the reported message id.
int transfer_server_file(const ServerFiles &files, const RecordReport &report, ServerTimings timings = {});

}  // namespace ksw
