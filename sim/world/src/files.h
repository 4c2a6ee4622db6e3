// File access of the simulated world. Every file it reads comes from a scenario and may be
// missing, a folder, a FIFO or huge; every file it writes may sit in a folder that is gone. Each
// call answers with a clear reason instead of hanging or crashing; errno becomes text only here.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace jigsim {

// Calls `f(line_no, line)` for each line of `text` (numbered from 1, its LF or CR LF removed)
// until `f` returns false. Returns false when `f` stopped early.
template <typename F>
bool for_each_line(std::string_view text, F f) {
    int line_no = 0;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!f(++line_no, line)) return false;
    }
    return true;
}

// Reads the whole regular file at `path` when it holds at most `max_bytes`. On failure stores the
// reason (missing, not a regular file, too large, read error) in `error` and returns false.
bool read_small_file(const std::string &path, size_t max_bytes, std::string *out, std::string *error);

// `name` taken relative to the folder of `base_file` unless it is absolute.
std::string path_beside(const std::string &base_file, const std::string &name);

// A file written line by line and closed once; a FIFO without a reader or a folder fails at open.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile() { close(nullptr); }
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Creates or truncates `path`. False with the reason in `error` when it cannot.
    bool open(const std::string &path, std::string *error);
    bool is_open() const { return file_ != nullptr; }
    // Buffered; a failure shows in close().
    void write(std::string_view text);
    // Flushes and closes. False with the reason when something was lost.
    bool close(std::string *error);

private:
    std::FILE *file_ = nullptr;
    std::string path_;
};

// Writes `text` to `path` in one go (create or truncate). False with the reason on failure.
bool write_whole_file(const std::string &path, std::string_view text, std::string *error);

}  // namespace jigsim
