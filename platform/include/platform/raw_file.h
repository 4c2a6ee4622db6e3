// Plain files by descriptor, for the readers and writers that stream (program files, the
// compiler's intermediate files). Every failure comes back with the system's reason as text.
// Opening for reading takes regular files only: a folder, a FIFO or a device (/dev/zero) is
// refused with a reason, so a reader can never mistake one for an empty or endless file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ksw::platform {

// Opens an existing regular file for reading. Returns the descriptor, or -1 with the reason in
// `error` ("is a folder", "is not a regular file", or the system's text) and the errno value in
// `error_code` (EISDIR for a folder, EINVAL for a FIFO, device or socket).
int open_regular_file(const std::string &path, std::string *error = nullptr, int *error_code = nullptr);

// Opens `path` for appending: a regular file is created (mode 0644 less the umask) or opened,
// and every write goes to its end. A folder, FIFO or device is refused without waiting on it.
// The descriptor, or -1 with the reason in `error`.
int open_append_file(const std::string &path, std::string *error = nullptr);

// Opens an existing regular file for reading and writing (never creates one). -1 with the
// reason in `error` when it is missing, not a regular file, or cannot be opened.
int open_existing_file_rw(const std::string &path, std::string *error = nullptr);

// Cuts the open file back to `size` bytes (a write that failed half-way is taken back); false
// with the reason when it cannot.
bool truncate_file(int fd, int64_t size, std::string *error = nullptr);

// Creates a new file for writing with `mode`; fails when anything already stands at `path`
// (a file, or a symbolic link, which is never followed). -1 with the reason in `error` and the
// errno value in `error_code` (EEXIST when something stands there).
int create_new_file(const std::string &path, unsigned mode, std::string *error = nullptr, int *error_code = nullptr);

// The size in bytes of the open file, or -1 when it cannot be asked.
int64_t file_size(int fd);

// Opens `path` for a stream of output lines: a regular file is created or emptied; a terminal,
// another character device or a pipe with a reader is taken as it is. Never waits: a FIFO
// without a reader is refused, and so is a folder. The descriptor, or -1 with the reason.
int open_output_stream(const std::string &path, std::string *error = nullptr);

// Reads up to `size` bytes (retrying on interruption): the count, 0 at the end, -1 on an error
// (reason in `error`).
long read_some(int fd, void *buffer, size_t size, std::string *error = nullptr);
// Writes all `size` bytes (retrying short writes): false with the reason in `error`.
bool write_all(int fd, const void *data, size_t size, std::string *error = nullptr);
// Moves the file position to `position` from the start; false when it cannot.
bool seek_to(int fd, int64_t position);
// Flushes the file's data to the disk; false with the reason when the disk refused (full, gone).
bool sync_file(int fd, std::string *error = nullptr);
// Closes the descriptor; false when the close reported an error (data may be lost).
bool close_file(int fd, std::string *error = nullptr);
// Flushes a folder's entries (a rename in it) to the disk; false when it could not.
bool sync_folder(const std::string &path);

// Removes a file (not a folder); false with the reason when it cannot. A missing file is false
// with no reason.
bool remove_file(const std::string &path, std::string *error = nullptr);
// Renames `from` over `to` atomically (a symbolic link at `to` is replaced, not followed).
bool rename_file(const std::string &from, const std::string &to, std::string *error = nullptr);

// The id of this process, for names of per-process files.
long process_id();

}  // namespace ksw::platform
