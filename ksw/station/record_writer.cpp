#include "station/record_writer.h"

#include <cstring>

#include "comkit32.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/process.h"
#include "resources/messages.h"

namespace ksw {

RecordWriter::RecordWriter(std::string log_date, std::string database_path, RecordReport report)
    : report_(std::move(report)), database_path_(std::move(database_path)), log_date_(std::move(log_date)),
      thread_([this] { run(); }) {}

RecordWriter::~RecordWriter() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void RecordWriter::submit(RecordJob job) {
    std::unique_lock<std::mutex> hold(mutex_);
    changed_.wait(hold, [this] { return queue_.size() < kQueueLimit; });
    queue_.push_back(std::move(job));
    hold.unlock();
    changed_.notify_all();
}

void RecordWriter::drain() {
    std::unique_lock<std::mutex> hold(mutex_);
    changed_.wait(hold, [this] { return queue_.empty() && !busy_; });
}

std::string RecordWriter::log_date() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return log_date_;
}

int RecordWriter::database_runs() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return database_runs_;
}

bool print_ng_ticket(const std::string &device, const std::string &print_command, std::string_view ticket,
                     std::string *why) {
    const bool printer = platform::starts_with_nocase(device, "LPT");
    if (printer) return platform::run_with_input(platform::split_command_line(print_command), ticket, 10000, why);
    RSPortSettings port{};
    std::strncpy(port.port, device.c_str(), sizeof port.port - 1);
    port.baud_rate = 9600;
    port.byte_size = 8;
    const int handle = Open232C(&port);
    if (handle < 0) {
        *why = device + ": cannot open the serial port";
        return false;
    }
    RSClearRXBuffer(handle);
    RSSetTimeout(handle, 1000, 1000);
    const int rc = RSSendfData(handle, ticket.data(), static_cast<uint32_t>(ticket.size()));
    Close232C(handle);
    if (rc != RS_OK) *why = device + ": the ticket could not be sent";
    return rc == RS_OK;
}

void RecordWriter::run() {
    std::unique_lock<std::mutex> hold(mutex_);
    for (;;) {
        changed_.wait(hold, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;  // stopping, and everything is written
        RecordJob job = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        hold.unlock();
        changed_.notify_all();  // a submitter waiting for room
        write(job);
        hold.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

void RecordWriter::write(const RecordJob &job) {
    const RunRecord &r = job.record;
    const RecordOptions &o = job.options;
    if (o.data_file && !job.access_file.empty()) {
        std::string why;
        if (!platform::write_file_atomic(job.access_file, job.access_record, &why) && report_)
            report_(RecordFailure{kMsgCantOpenFile, job.access_file, "Data saving", why});
    }
    if (o.data_file) {
        std::string stamp = log_date();
        const std::string line = format_data_line(r, o.rec_flags, r.end);
        (void)append_data_line(o.data_path, r.data_file_name, &stamp, o.max_log_size, r.end, line, report_);
        std::lock_guard<std::mutex> hold(mutex_);
        log_date_ = stamp;
    }
    if (o.server_record) {
        const ServerFiles files = server_files(o.server_file, o.local_folder);
        if (append_whole(files.local, format_server_record(r, o.identity, r.end), "Local File", report_) == 0)
            (void)transfer_server_file(files, report_);
    }
    if (!database_path_.empty()) write_database(r);
    if (job.calibration) {
        std::string why;
        if (!platform::write_file_atomic(job.calibration_path, format_calibration(job.calibration_lines), &why) && report_)
            report_(RecordFailure{kMsgCantOpenFile, "calc.txt", "Data saving", why});
    }
    if (!job.ng_ticket.empty() && !job.print_step.empty()) {
        std::string why;
        if (!print_ng_ticket(job.print_step, job.print_command, job.ng_ticket, &why) && report_)
            report_(RecordFailure{kMsgCantWriteFile, job.print_step, "NG ticket", why});
    }
}

void RecordWriter::write_database(const RunRecord &record) {
    std::string why;
    bool ok = database_.is_open() || database_.open(database_path_, &why);
    if (ok) ok = database_.record(record, &why);
    if (ok) {
        std::lock_guard<std::mutex> hold(mutex_);
        ++database_runs_;
        return;
    }
    database_.close();  // opened afresh for the next run
    if (database_failed_) return;
    database_failed_ = true;
    if (report_) report_(RecordFailure{kMsgCantWriteFile, database_path_, "Results database", why});
}

}  // namespace ksw
