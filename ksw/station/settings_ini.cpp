// The settings file: one table of keys drives both reading and writing, so every key that is
// read is also written back in the same form.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <variant>

#include "station/settings_store.h"
#include "station/settings_text.h"
#include "platform/files.h"
#include "platform/ini.h"

namespace ksw {
namespace {

using platform::IniFile;

// The kinds of keys: a cut text, "DataPath", a ranged int, a 32-bit word written with "%u", a
// single byte, a 0/1 switch, and a switch kept for compatibility that is always written as 1.
struct TextKey { std::string Settings::*member; size_t limit; };
// A path: never cut (a cut path names another file); one too long is reported and not taken.
struct PathKey { std::string Settings::*member; size_t limit = kPathTextLimit; };
struct DataPathKey {};
struct IntKey { int Settings::*member; int min = INT_MIN; int max = INT_MAX; int fallback = 0; };
struct WordKey { uint32_t Settings::*member; };
struct ByteKey { uint8_t Settings::*member; };
struct FlagKey { bool Settings::*member; };
struct FixedOneKey { bool Settings::*member; };
using KeyField = std::variant<TextKey, PathKey, DataPathKey, IntKey, WordKey, ByteKey, FlagKey, FixedOneKey>;

struct KeyRow {
    std::string_view section;
    std::string_view key;
    KeyField field;
    std::string_view write_key = {};  // the spelling written, when it differs from `key`
};

const KeyRow kKeys[] = {
    {"Program", "UserProgram", PathKey{&Settings::user_program}},
    {"Program", "DataPath", DataPathKey{}},
    {"Program", "Define", TextKey{&Settings::define, kPathTextLimit}},
    {"Program", "CorrFile", PathKey{&Settings::corr_file}},
    {"Program", "AdjustFile", PathKey{&Settings::adjust_file}},
    {"Program", "MainScreen", PathKey{&Settings::main_screen}},
    {"Program", "LogSize", IntKey{&Settings::log_size, 1, INT_MAX, 6100}},
    {"Program", "MaxLogSize", IntKey{&Settings::max_log_size}},
    {"Program", "LogDate", TextKey{&Settings::log_date, kLogDateLimit}},
    {"Program", "ResultsDatabase", TextKey{&Settings::results_database, kPathTextLimit}},
    {"Process", "ServerFile", TextKey{&Settings::server_file, kServerFileLimit}},
    {"Process", "TerminalID", TextKey{&Settings::terminal_id, kTerminalIdLimit}},
    {"Process", "MachineID", TextKey{&Settings::machine_id, kMachineIdLimit}},
    {"Process", "LineNo", TextKey{&Settings::line_no, kLineNoLimit}},
    {"Process", "ProcessCode", TextKey{&Settings::process_code, kProcessCodeLimit}},
    {"Process", "FixtureCode", TextKey{&Settings::fixture_code, kFixtureCodeLimit}},
    {"Process", "ProgramVer", TextKey{&Settings::program_ver, kProgramVerLimit}},
    {"Process", "TaskNo", IntKey{&Settings::task_no, 0, 99, 0}},
    {"Mode", "RecFlags", WordKey{&Settings::rec_flags}},
    {"Mode", "Flags", WordKey{&Settings::flags}},
    {"Mode", "DebugMode", IntKey{&Settings::debug_mode, 0, 2, 0}},
    {"Mode", "EVRType", IntKey{&Settings::evr_type, -1, 2, -1}},
    {"Mode", "EVRWidth", IntKey{&Settings::evr_width}},
    {"Mode", "GraphMode", IntKey{&Settings::graph_mode, 0, 2, 1}},
    {"Mode", "XSysChar", IntKey{&Settings::x_sys_char}},
    {"Mode", "InhibitOkNg", FlagKey{&Settings::inhibit_ok_ng}},
    {"Mode", "PageCheck", FlagKey{&Settings::page_check}},
    {"Mode", "NoOfMeasure", IntKey{&Settings::no_of_measure}, "NoOfmeasure"},
    {"Mode", "PrintStep", TextKey{&Settings::print_step, kPathTextLimit}},
    {"Mode", "PrintCommand", TextKey{&Settings::print_command, kPathTextLimit}},
    {"Mode", "7Segment", FlagKey{&Settings::seven_segment}},
    {"Mode", "Sequencer", FlagKey{&Settings::sequencer}},
    {"Mode", "Fixture", FlagKey{&Settings::fixture}},
    {"Mode", "ModeChange", FlagKey{&Settings::mode_change}},
    {"Mode", "SwCheck", FixedOneKey{&Settings::sw_check}},
    {"Mode", "FswCheck", FixedOneKey{&Settings::fsw_check}},
    {"Mode", "JapaneseFont", FlagKey{&Settings::japanese_font}},
    {"Mode", "E0SeqMode", FlagKey{&Settings::e0_seq_mode}},
    {"Mode", "CodePage", IntKey{&Settings::code_page}},
    {"EVR", "Interval", IntKey{&Settings::evr_interval}},
    {"EVR", "AccessFile", PathKey{&Settings::access_file}},
    {"RS232C", "Port", PathKey{&Settings::rs_port, kSerialPortNameLimit}},
    {"RS232C", "BaudRate", IntKey{&Settings::baud_rate}},
    {"RS232C", "ByteSize", ByteKey{&Settings::byte_size}},
    {"RS232C", "StopBits", ByteKey{&Settings::stop_bits}},
    {"RS232C", "Parity", ByteKey{&Settings::parity}},
    {"RS232C", "OpenRSFirst", FlagKey{&Settings::open_rs_first}},
    {"GPIB", "BoardNo", IntKey{&Settings::gpib_board_no}},
    {"GPIB", "MesDelay", IntKey{&Settings::gpib_mes_delay}},
    {"Sound", "OkWave", TextKey{&Settings::ok_wave, kPathTextLimit}},
    {"Sound", "NgWave", TextKey{&Settings::ng_wave, kPathTextLimit}},
};

// The time-out keys of sections "RS232C" and "1284".
struct TimeoutKey {
    std::string_view key;
    uint32_t CommTimeouts::*member;
};
constexpr TimeoutKey kTimeoutKeys[] = {
    {"ReadIntervalTimeout", &CommTimeouts::read_interval},
    {"ReadTotalTimeoutMultiplier", &CommTimeouts::read_total_multiplier},
    {"ReadTotalTimeoutConstant", &CommTimeouts::read_total_constant},
    {"WriteTotalTimeoutMultiplier", &CommTimeouts::write_total_multiplier},
    {"WriteTotalTimeoutConstant", &CommTimeouts::write_total_constant},
};
struct TimeoutSection {
    std::string_view section;
    CommTimeouts Settings::*member;
};
constexpr TimeoutSection kTimeoutSections[] = {{"RS232C", &Settings::rs_timeouts}, {"1284", &Settings::p1284_timeouts}};

// The INI section and key of each port group.
struct PortKey {
    std::string_view section;
    std::string_view key;
};
constexpr PortKey kPortKeys[kPortGroupCount] = {
    {"Port", "8255-0"}, {"Port", "8255-1"}, {"Ext0Port", "8255-0"}, {"Ext0Port", "8255-1"}};

template <class... F>
struct Overload : F... {
    using F::operator()...;
};
template <class... F>
Overload(F...) -> Overload<F...>;

constexpr int64_t kIntMin = INT32_MIN;
constexpr int64_t kIntMax = INT32_MAX;
constexpr int64_t kWordMax = UINT32_MAX;

// Reads the file's numbers, noting each value that does not fit where it is kept, so that it
// is reported instead of wrapping round to some other value.
class NumberReader {
public:
    explicit NumberReader(const IniFile &ini) : ini_(ini) {}

    // The number at section/key when it lies in [min, max]; nullopt when the key is missing or
    // the number lies outside (it is then noted).
    std::optional<int64_t> get(std::string_view section, std::string_view key, int64_t min = kIntMin,
                               int64_t max = kIntMax) {
        const std::optional<std::string> text = ini_.get(section, key);
        if (!text) return std::nullopt;
        int64_t value = 0;
        if (platform::profile_int_in_range(*text, min, max, &value)) return value;
        out_of_range_ += "\n[" + std::string(section) + "] " + std::string(key) + "=" + *text;
        return std::nullopt;
    }
    // A text at section/key that fits `limit`; nullopt when missing or too long (then noted).
    std::optional<std::string> text(std::string_view section, std::string_view key, size_t limit) {
        std::optional<std::string> value = ini_.get(section, key);
        if (value && value->size() > limit) {
            out_of_range_ += "\n[" + std::string(section) + "] " + std::string(key) + " is longer than " +
                             std::to_string(limit) + " characters";
            return std::nullopt;
        }
        return value;
    }
    // "\n[section] key=value" for each value noted.
    const std::string &out_of_range() const { return out_of_range_; }

private:
    const IniFile &ini_;
    std::string out_of_range_;
};

// Stores the file's value of one row, if it has one, into `s`.
void read_row(const KeyRow &row, const IniFile &ini, NumberReader &numbers, Settings &s) {
    const auto text = [&] { return ini.get(row.section, row.key); };
    const auto number = [&](int64_t min, int64_t max) { return numbers.get(row.section, row.key, min, max); };
    std::visit(Overload{
                   [&](const TextKey &k) {
                       if (const auto v = text()) s.*k.member = config::cut_text(*v, k.limit);
                   },
                   [&](const PathKey &k) {
                       if (const auto v = numbers.text(row.section, row.key, k.limit)) s.*k.member = *v;
                   },
                   [&](const DataPathKey &) {
                       if (const auto v = numbers.text(row.section, row.key, kPathTextLimit))
                           s.data_path = normalize_data_path(*v);
                   },
                   [&](const IntKey &k) {
                       if (const auto n = number(kIntMin, kIntMax))
                           s.*k.member = (*n < k.min || *n > k.max) ? k.fallback : static_cast<int>(*n);
                   },
                   // A negative number stands for its 32-bit two's complement.
                   [&](const WordKey &k) {
                       if (const auto n = number(kIntMin, kWordMax)) s.*k.member = static_cast<uint32_t>(*n);
                   },
                   [&](const ByteKey &k) {
                       if (const auto n = number(0, UINT8_MAX)) s.*k.member = static_cast<uint8_t>(*n);
                   },
                   [&](const FlagKey &k) {
                       if (const auto n = number(kIntMin, kIntMax)) s.*k.member = *n != 0;
                   },
                   [&](const FixedOneKey &k) {
                       if (const auto n = number(kIntMin, kIntMax)) s.*k.member = *n != 0;
                   },
               },
               row.field);
}

// The text written for one row.
std::string row_text(const KeyRow &row, const Settings &s) {
    return std::visit(Overload{
                          [&](const TextKey &k) { return s.*k.member; },
                          [&](const PathKey &k) { return s.*k.member; },
                          [&](const DataPathKey &) { return s.data_path; },
                          [&](const IntKey &k) { return std::to_string(s.*k.member); },
                          [&](const WordKey &k) { return std::to_string(s.*k.member); },
                          [&](const ByteKey &k) { return std::to_string(unsigned{s.*k.member}); },
                          [&](const FlagKey &k) { return std::string(s.*k.member ? "1" : "0"); },
                          [&](const FixedOneKey &) { return std::string("1"); },
                      },
                      row.field);
}

// The totals count only for the day they were counted on.
void read_totals(NumberReader &numbers, CalendarDate today, Settings &s) {
    const auto date_part = [&](std::string_view key) { return static_cast<int>(numbers.get("Program", key).value_or(0)); };
    const CalendarDate stored{date_part("Year"), date_part("Month"), date_part("Day")};
    if (stored != today) {
        s.total_ok = 0;
        s.total_ng = 0;
        return;
    }
    s.total_ok = static_cast<int>(numbers.get("Program", "TotalOk").value_or(s.total_ok));
    s.total_ng = static_cast<int>(numbers.get("Program", "TotalNg").value_or(s.total_ng));
}

// Takes each window rectangle that reads as four numbers.
void read_windows(const IniFile &ini, Settings &s) {
    for (int w = 0; w < kWindowCount; ++w)
        if (const std::optional<std::string> text = ini.get("Window", window_key(w)))
            config::parse_window_rect(*text, &s.windows[static_cast<size_t>(w)]);
}

// Takes each time-out key that is present, as a 32-bit word.
void read_timeouts(NumberReader &numbers, Settings &s) {
    for (const TimeoutSection &group : kTimeoutSections)
        for (const TimeoutKey &k : kTimeoutKeys)
            if (const std::optional<int64_t> v = numbers.get(group.section, k.key, kIntMin, kWordMax))
                s.*group.member.*k.member = static_cast<uint32_t>(*v);
}

// Takes each port group that reads as four 16-bit addresses and marks it as the file's.
void read_ports(const IniFile &ini, Settings &s) {
    for (size_t g = 0; g < kPortGroupCount; ++g)
        if (const std::optional<std::string> text = ini.get(kPortKeys[g].section, kPortKeys[g].key))
            if (config::parse_port_text(*text, &s.ports[g])) s.ports_from_ini[g] = true;
}

// Sets every key of the record in `ini`, with `today` as the totals' date.
void write_all(const Settings &s, CalendarDate today, IniFile &ini) {
    ini.set("Program", "Year", std::to_string(today.year));
    ini.set("Program", "Month", std::to_string(today.month));
    ini.set("Program", "Day", std::to_string(today.day));
    ini.set("Program", "TotalOk", std::to_string(s.total_ok));
    ini.set("Program", "TotalNg", std::to_string(s.total_ng));
    for (const KeyRow &row : kKeys) ini.set(row.section, row.write_key.empty() ? row.key : row.write_key, row_text(row, s));
    for (const TimeoutSection &group : kTimeoutSections)
        for (const TimeoutKey &k : kTimeoutKeys) ini.set(group.section, k.key, std::to_string(s.*group.member.*k.member));
    for (int w = 0; w < kWindowCount; ++w)
        ini.set("Window", window_key(w), config::format_window_rect(s.windows[static_cast<size_t>(w)]));
    for (size_t g = 0; g < kPortGroupCount; ++g)
        if (s.ports_from_ini[g]) ini.set(kPortKeys[g].section, kPortKeys[g].key, config::format_port_text(s.ports[g]));
}

}  // namespace

std::string ini_settings_path(std::string_view start_directory, std::string_view program_name) {
    std::string path(start_directory);
    if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
    program_name = platform::file_name_of(program_name);
    const size_t dot = program_name.rfind('.');
    path += program_name.substr(0, dot);
    return path + ".ini";
}

int LoadIniSettings(Settings &s, const std::string &path, CalendarDate today, std::string *message) {
    IniFile ini;
    std::string error;
    if (!ini.load(path, &error)) {
        if (message) *message = "The settings file could not be read; defaults are used.\n" + error;
        return 0;
    }
    NumberReader numbers(ini);
    read_totals(numbers, today, s);
    for (const KeyRow &row : kKeys) read_row(row, ini, numbers, s);
    read_timeouts(numbers, s);
    read_windows(ini, s);
    read_ports(ini, s);
    s.port_access_mode = s.debug_mode;
    if (!numbers.out_of_range().empty() && message)
        *message = "Values in the settings file " + path + " are out of range; their settings keep their values:" +
                   numbers.out_of_range();
    return 1;
}

int SaveIniSettings(const Settings &s, const std::string &path, CalendarDate today, std::string *message) {
    IniFile ini;
    std::string error;
    if (!ini.load(path, &error)) {
        if (message) *message = "The settings file could not be read, so it was not rewritten.\n" + error;
        return 0;
    }
    write_all(s, today, ini);
    if (!ini.save(path, &error)) {
        if (message) *message = error;
        return 0;
    }
    return 1;
}

}  // namespace ksw
