// The descriptor layer under the coded-file library. Only coded_io.cpp includes the POSIX
// headers; interrupted calls are retried there and short transfers completed.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace zelcode {

// Results of the positioned transfers.
enum IoResult : int {
    kIoOk = 0,      // every byte transferred
    kIoShort = 1,   // the file ended first (reads only)
    kIoFailed = 2,  // the system refused (errno is left as it said)
};

// Opens `path` for `access` (ZELCODE_GENERIC_* bits) with `disposition` (ZELCODE_CREATE_NEW
// ...), creating ordinary files with mode 0666 less the umask and never passing the descriptor
// to child programs. A FIFO is never waited on, and only a regular file is opened for reading
// only. Returns the descriptor, or -1 with the reason in `reason` for unknown access or
// disposition codes, TRUNCATE_EXISTING without write access, a folder, FIFO or device to read,
// or a refused open.
int open_file(const char *path, unsigned access, unsigned disposition, std::string *reason);

// The system's text for the errno value `err`.
std::string system_error_text(int err);

// Reads exactly out.size() bytes at `offset`: kIoOk, kIoShort when the file ends first, or
// kIoFailed.
IoResult read_at(int fd, uint64_t offset, std::span<uint8_t> out);

// Writes all of `data` at `offset`: kIoOk or kIoFailed.
IoResult write_at(int fd, uint64_t offset, std::span<const uint8_t> data);

// The size of the open file in bytes, or -1 when it cannot be asked.
int64_t file_size(int fd);

// Cuts a regular file that is longer than `size` down to `size`; other files are left alone.
// False when the cut was refused.
bool cut_to_size(int fd, int64_t size);

// Closes the descriptor; false when the system reported a failure (it is released anyway).
bool close_file(int fd);

}  // namespace zelcode
