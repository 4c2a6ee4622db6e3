// Whole-file helpers shared by the settings, registry and record writers. errno becomes text
// in exactly one place (errno_text), so every failure message reads the same way.
#pragma once

#include <string>
#include <string_view>

namespace ksw::platform {

// The system's text for an errno value ("No such file or directory").
std::string errno_text(int err);

// Reads the whole file into `out`. On failure stores the reason in `error` (when given) and
// returns false; a missing file is a failure with errno ENOENT reported in `error_code`.
bool read_file(const std::string &path, std::string *out, std::string *error = nullptr, int *error_code = nullptr);

// Replaces `path` with `data` atomically: the bytes go to a temporary file in the same folder,
// are flushed to disk, and the temporary file is renamed over `path`. A reader sees either the
// old or the new contents, never a mixture; a failure leaves the old file untouched.
bool write_file_atomic(const std::string &path, std::string_view data, std::string *error = nullptr);

// True when `path` names a regular file (following links).
bool is_regular_file(const std::string &path);

// True when standard input is a terminal (a person can answer questions there).
bool stdin_is_terminal();

// Creates `path` and its missing parents with `mode`. True when the folder exists afterwards.
bool make_directories(const std::string &path, unsigned mode, std::string *error = nullptr);

// Full path of the running executable, and the folder that holds it.
std::string executable_path();
std::string executable_dir();

// The directory part of `path` ("a/b/c.ks" -> "a/b", "c.ks" -> "."), accepting "/" and "\".
std::string directory_of(std::string_view path);

// The file part of `path` ("a/b/c.ks" -> "c.ks"), accepting "/" and "\".
std::string_view file_name_of(std::string_view path);

}  // namespace ksw::platform
