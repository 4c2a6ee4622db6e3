// The scenario file, read the way the station reads its settings file: "[section]" lines and
// "key=value" lines, LF or CR LF line ends, sections and keys matched without regard to case,
// blanks around a value removed and one pair of enclosing quotes (" or ') taken off, lines that
// begin with ";" ignored, the first of two equal sections or keys winning. Unlike the settings
// file it keeps every line number, so a bad value is reported where it stands.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace jigsim {

struct ScenarioEntry {
    std::string section;
    std::string key;
    std::string value;  // blanks and one pair of quotes removed
    int line = 0;       // 1-based
};

class Scenario {
public:
    // Replaces the document by `text`. A NUL byte ends its line's text.
    void parse(std::string_view text);

    // The first entry of `key` in the first section named `section`; null when missing.
    const ScenarioEntry *find(std::string_view section, std::string_view key) const;
    // The entries of the first section named `section`, in file order (repeated keys included).
    std::vector<const ScenarioEntry *> entries(std::string_view section) const;
    // Section names (first occurrences) in file order.
    const std::vector<std::string> &sections() const { return sections_; }
    // Line numbers of section headers that repeat an earlier section; their keys are ignored.
    const std::vector<int> &repeated_sections() const { return repeated_; }

private:
    std::vector<ScenarioEntry> entries_;
    std::vector<std::string> sections_;
    std::vector<int> repeated_;
};

// Problems found while a scenario is read: each goes to stderr at once as
// "jigsim: FILE:LINE: [section] key: what" and is kept for the caller.
class Problems {
public:
    explicit Problems(std::string file) : file_(std::move(file)) {}
    void at(const ScenarioEntry &entry, const std::string &what);
    void in_file(const std::string &what);
    int count() const { return static_cast<int>(messages_.size()); }
    const std::vector<std::string> &messages() const { return messages_; }
    const std::string &file() const { return file_; }

private:
    void emit(std::string message);
    std::string file_;
    std::vector<std::string> messages_;
};

// Typed reads of scenario values. Each stores into *out only a value that is present and valid;
// a bad one is reported with its line and *out keeps its default.
class ScenarioReader {
public:
    ScenarioReader(const Scenario &scenario, Problems &problems) : scenario_(scenario), problems_(problems) {}

    // A whole number (decimal, or hexadecimal after "0x") from min to max.
    bool read_int(std::string_view section, std::string_view key, long min, long max, int *out);
    // 0 or 1.
    bool read_flag(std::string_view section, std::string_view key, bool *out);
    // A finite real number.
    bool read_real(std::string_view section, std::string_view key, double *out);
    // Any text.
    bool read_text(std::string_view section, std::string_view key, std::string *out);
    // Reports every key of `section` that is not in `known`.
    void check_keys(std::string_view section, std::initializer_list<std::string_view> known);

    const Scenario &scenario() const { return scenario_; }
    Problems &problems() { return problems_; }

private:
    const Scenario &scenario_;
    Problems &problems_;
};

// ASCII case-insensitive equality, as sections and keys compare.
bool same_name(std::string_view a, std::string_view b);
// Reads a whole number: optional sign, then decimal digits or "0x" and hex digits, nothing else.
bool parse_whole(std::string_view text, long *out);

}  // namespace jigsim
