// Whole-file helpers shared by the settings, registry and record writers. errno becomes text
// in exactly one place (errno_text), so every failure message reads the same way.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ksw::platform {

// The system's text for an errno value ("No such file or directory").
std::string errno_text(int err);

// The largest file read_file takes when the caller names no limit.
constexpr size_t kReadFileLimit = size_t{64} << 20;

// Reads the whole regular file `path` into `out`. A folder, FIFO or device is refused without
// waiting on it, and a file longer than `max_size` is refused before any of it is read. On
// failure stores the reason, naming the file, in `error` (when given) and the errno value in
// `error_code` (ENOENT for a missing file, EISDIR for a folder, EINVAL for a FIFO or device,
// EFBIG for a file that is too large) and returns false.
bool read_file(const std::string &path, std::string *out, std::string *error = nullptr, int *error_code = nullptr,
               size_t max_size = kReadFileLimit);

// Replaces the file at `path` with `data` atomically: the bytes go to a new temporary file
// beside the target (created exclusively, never through a link), are flushed to disk, and the
// temporary file is renamed over the target; the folder is flushed too. A symbolic link at
// `path` is followed, so the file it points to is replaced and the link stays. An existing file
// keeps its permission bits and its owner; a new one gets mode 0644 less the umask. A reader
// sees either the old or the new contents, never a mixture. On failure (the target is not a
// regular file, its owner cannot be kept, the disk is full, the file-size limit is reached ...)
// the old file is untouched, no temporary file is left, the reason naming `path` is stored in
// `error` and the result is false.
// With LinkPolicy::kReplace a link at `path` is not followed: the new file takes its place and
// the file it pointed to stays as it was (for files a program writes into a folder others may
// share, such as its compile reports).
enum class LinkPolicy { kFollow, kReplace };
bool write_file_atomic(const std::string &path, std::string_view data, std::string *error = nullptr,
                       LinkPolicy links = LinkPolicy::kFollow);

// Makes a write beyond the process's file-size limit fail with EFBIG ("File too large")
// instead of ending the process with SIGXFSZ. Process-wide; write_file_atomic calls it, and
// entry points call it at start so that every writer fails the same way.
void ignore_file_size_signal();

// True when `path` names a regular file (following links).
bool is_regular_file(const std::string &path);

// True when standard input is a terminal (a person can answer questions there).
bool stdin_is_terminal();
// True when standard output is a terminal (a bell written there rings).
bool stdout_is_terminal();

// Creates `path` and its missing parents with `mode`. True when the folder exists afterwards.
bool make_directories(const std::string &path, unsigned mode, std::string *error = nullptr);

// Full path of the running executable, and the folder that holds it.
std::string executable_path();
std::string executable_dir();

// A file name of a test program as this platform opens it: every "\" becomes "/", since the
// programs may separate folders either way.
std::string platform_path(std::string_view name);

// The directory part of `path` ("a/b/c.ks" -> "a/b", "c.ks" -> "."), accepting "/" and "\".
std::string directory_of(std::string_view path);

// The file part of `path` ("a/b/c.ks" -> "c.ks"), accepting "/" and "\".
std::string_view file_name_of(std::string_view path);

}  // namespace ksw::platform
