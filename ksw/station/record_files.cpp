#include "station/record_files.h"

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/files.h"
#include "platform/lockfile.h"
#include "platform/raw_file.h"
#include "platform/tick.h"
#include "resources/messages.h"

namespace ksw {
namespace {

constexpr int64_t kLargestServerPieces = 100000;
constexpr size_t kPiece = kServerRecordSize;

int fail(const RecordReport &report, int message, std::string argument, const char *caption, std::string reason) {
    if (report) report(RecordFailure{message, std::move(argument), caption, std::move(reason)});
    return message;
}

// Appends `bytes` to the open file with one write; a write that fails half-way is cut back off.
bool append_or_take_back(int fd, std::string_view bytes, std::string *why) {
    const int64_t before = platform::file_size(fd);
    if (platform::write_all(fd, bytes.data(), bytes.size(), why) && platform::sync_file(fd, why)) return true;
    if (before >= 0) (void)platform::truncate_file(fd, before);
    return false;
}

// The whole 256-byte records of `text` (each starts with the record mark and ends with CR LF);
// everything else goes to `*rest`.
std::string whole_records(const std::string &text, std::string *rest) {
    static constexpr std::string_view kMark = "@@0250$LIN11";
    std::string whole;
    size_t at = 0;
    while (at < text.size()) {
        const bool good = text.compare(at, kMark.size(), kMark) == 0 && at + kPiece <= text.size() &&
                          text.compare(at + kPiece - 2, 2, "\r\n") == 0 &&
                          text.find(kMark, at + 1) >= at + kPiece;
        if (good) {
            whole.append(text, at, kPiece);
            at += kPiece;
            continue;
        }
        const size_t next = std::min(text.find(kMark, at + 1), text.size());
        rest->append(text, at, next - at);
        at = next;
    }
    return whole;
}

void pause_ms(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Reads the lock file's character under its flock and writes `mark` in its place. The old
// character in `*old`; false with the reason when the file cannot be opened or read.
bool swap_lock_mark(const std::string &path, char mark, char *old, std::string *why) {
    if (!platform::is_regular_file(path)) {
        *why = "no lock file";
        return false;
    }
    platform::FileLock guard;  // keeps another copy of this station from reading between our read and write
    if (!guard.lock(path, 1000)) {
        *why = guard.error();
        return false;
    }
    const int fd = platform::open_existing_file_rw(path, why);
    if (fd < 0) return false;
    char c = 0;
    const long got = platform::read_some(fd, &c, 1, why);
    // An empty lock file is being rewritten by its holder: busy, as a "1".
    if (got == 0) c = '1';
    bool ok = got >= 0;
    if (ok && c != '1') ok = platform::seek_to(fd, 0) && platform::write_all(fd, &mark, 1, why) && platform::sync_file(fd, why);
    *old = c;
    (void)platform::close_file(fd);
    return ok;
}

}  // namespace

int append_whole(const std::string &path, std::string_view bytes, const char *caption, const RecordReport &report) {
    std::string why;
    const int fd = platform::open_append_file(path, &why);
    if (fd < 0) return fail(report, kMsgCantOpenFile, path, caption, why);
    const bool written = append_or_take_back(fd, bytes, &why);
    (void)platform::close_file(fd);
    return written ? 0 : fail(report, kMsgCantWriteFile, path, caption, why);
}

int append_data_line(std::string_view data_path, std::string_view name, std::string *stamp, int64_t max_size,
                     const LocalStamp &today, std::string_view line, const RecordReport &report) {
    const std::string today_digits = date_digits(today);
    if (stamp->empty()) *stamp = today_digits;
    const std::string file_name = name.empty() ? std::string("data.txt") : std::string(name);
    std::string why;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::string path = data_file_path(data_path, file_name, *stamp);
        const int fd = platform::open_append_file(path, &why);
        if (fd < 0) return fail(report, kMsgCantOpenFile, path, "Data saving", why);
        if (*stamp != today_digits && platform::file_size(fd) > max_size) {
            (void)platform::close_file(fd);
            *stamp = today_digits;
            continue;
        }
        const bool written = append_or_take_back(fd, line, &why);
        (void)platform::close_file(fd);
        return written ? 0 : fail(report, kMsgCantWriteFile, path, "Data saving", why);
    }
    return 0;  // not reached: the second attempt has today's stamp
}

ServerFiles server_files(std::string_view server_file, std::string_view local_folder) {
    std::string local(local_folder);
    if (!local.empty() && local.back() != '/') local += '/';
    local += std::string(platform::file_name_of(server_file)) + ".TXT";
    return {std::string(server_file) + ".DOC", std::string(server_file) + ".TXT", local};
}

int transfer_server_file(const ServerFiles &files, const RecordReport &report, ServerTimings timings) {
    std::string why;
    char old = 0;
    const uint32_t start = platform::tick_count();
    for (;;) {
        if (!swap_lock_mark(files.lock, '2', &old, &why)) return fail(report, kMsgCantOpenFile, files.lock, "Server Cont.", why);
        if (old != '1') break;
        if (platform::ticks_since(start) >= timings.wait_ms)
            return fail(report, kMsgCantOpenFile, files.lock, "Server Cont.", "the server keeps its data file locked");
        pause_ms(timings.retry_ms);
    }
    int rc = 0;
    std::string records;
    int read_error = 0;
    if (!platform::read_file(files.local, &records, &why, &read_error, static_cast<size_t>(kLargestServerPieces) * kPiece)) {
        rc = read_error == EFBIG ? fail(report, kMsgFileAbnormal, files.local, "Local File", why)
                                 : fail(report, kMsgCantReadFile, files.local, "Local File", why);
    } else {
        // A record torn by a power cut would shift every later one: the whole records go on, the
        // rest is set aside beside the local file (".bad") and reported, never sent or lost.
        std::string bad;
        records = whole_records(records, &bad);
        if (!bad.empty()) {
            (void)append_whole(files.local + ".bad", bad, "Local File", nullptr);
            (void)fail(report, kMsgFileAbnormal, files.local, "Local File", "torn records set aside in " + files.local + ".bad");
        }
        int fd = -1;
        while ((fd = platform::open_append_file(files.data, &why)) < 0 && platform::ticks_since(start) < timings.wait_ms)
            pause_ms(timings.retry_ms);
        if (fd < 0) {
            rc = fail(report, kMsgCantOpenFile, files.data, "Server File", why);
        } else {
            const bool written = append_or_take_back(fd, records, &why);
            (void)platform::close_file(fd);
            if (!written) rc = fail(report, kMsgCantWriteFile, files.data, "Server File", why);
        }
    }
    if (rc == 0) (void)platform::remove_file(files.local);
    char ignored = 0;
    std::string release_why;
    (void)swap_lock_mark(files.lock, rc == 0 ? old : '3', &ignored, &release_why);
    return rc;
}

}  // namespace ksw
