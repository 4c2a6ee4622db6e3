// The settings record: every value the station keeps in its settings file (ksw.ini), in the
// registry stand-in and on the command line, plus the few values that live only until the
// program ends (effective port-access mode, remaining automatic repetitions, measure-ignore
// choice, command-line definitions).
//
// Threads: the record is written only by the main thread, and only while no sequencer, member
// or closing-steps thread runs (start-up, a confirmed settings page, a reload, the run-end
// bookkeeping, exit). Every other thread only reads it, without a lock; creating a thread
// orders the main thread's earlier writes before that thread's reads.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ksw {

// Length limits of the text settings (characters, without a terminator). Longer texts are cut
// at the limit when they are read or set from the command line.
inline constexpr size_t kPathTextLimit = 255;    // UserProgram, DataPath, Define, files, PrintStep
inline constexpr size_t kServerFileLimit = 259;
inline constexpr size_t kTerminalIdLimit = 7;
inline constexpr size_t kMachineIdLimit = 10;
inline constexpr size_t kLineNoLimit = 2;
inline constexpr size_t kProcessCodeLimit = 4;
inline constexpr size_t kFixtureCodeLimit = 7;
inline constexpr size_t kProgramVerLimit = 4;
inline constexpr size_t kLogDateLimit = 8;
inline constexpr size_t kSerialPortNameLimit = 127;  // the serial library's port name: "COMn" or a device path
inline constexpr size_t kRegistryTextLimit = 255;  // "Editor": 256 bytes or more are not read

// "RecFlags" bits.
enum RecFlag : uint32_t {
    kRecAccessRecord = 0x001,  // "Access record"
    kRecSaveMacro = 0x002,     // "Save macro data(-M)"
    kRecSaveCompile = 0x004,   // "Save compile data(-C)"
    kRecLogHeader = 0x008,     // "Log header"
    kRecErrorLog = 0x010,      // "Error Log(-E)"
    kRecBaseStep = 0x020,      // "Rec base step data(-K)"
    kRecStepTime = 0x040,      // "Step time"
    kRecWhenOk = 0x080,        // "Rec when ok(-O0,-O1)"
    kRecWhenNg = 0x100,        // "Rec when ng(-O0,-O2)"
};
inline constexpr uint32_t kDefaultRecFlags = kRecLogHeader | kRecWhenOk | kRecWhenNg;  // 0x188

// "Flags" bits (line-server link).
enum ProcessFlag : uint32_t { kFlagCheckId = 0x1, kFlagRetry = 0x2 };

// The four 8255 chips: registry values "SysPort0", "SysPort1", "Ext0Port0", "Ext0Port1"; INI
// sections "Port" and "Ext0Port", keys "8255-0" and "8255-1".
enum PortGroup : int { kSysPort0 = 0, kSysPort1, kExt0Port0, kExt0Port1, kPortGroupCount };
// The I/O addresses of ports A, B, C and the control register; 0 means not configured.
using PortAddresses = std::array<uint16_t, 4>;

// A window rectangle of section "Window".
struct WindowRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const WindowRect &) const = default;
};

// Port time-outs in ms, as the keys "ReadIntervalTimeout", "ReadTotalTimeoutMultiplier",
// "ReadTotalTimeoutConstant", "WriteTotalTimeoutMultiplier" and "WriteTotalTimeoutConstant".
struct CommTimeouts {
    uint32_t read_interval = 0;
    uint32_t read_total_multiplier = 0;
    uint32_t read_total_constant = 0;
    uint32_t write_total_multiplier = 0;
    uint32_t write_total_constant = 0;
    bool operator==(const CommTimeouts &) const = default;
};

// The windows of section "Window", in the order of window_key().
enum WindowId : int {
    kWinMain = 0, kWinOkNg, kWinError, kWinAd, kWinRd, kWinSw, kWinFsw, kWinEvr,
    kWinWave0, kWinWave9 = kWinWave0 + 9,
    kWinPRecorder0, kWinPRecorder1, kWinVector, kWindowCount
};
// The key of a window in section "Window" ("Main", "OkNg", ..., "Wave3", "PRecorder1", "Vector").
std::string window_key(int window);

struct Settings {
    // Section "Program". The daily totals are always today's (a file of another day gives 0).
    int total_ok = 0;
    int total_ng = 0;
    std::string user_program;
    std::string data_path = "./";  // always ends in a separator
    std::string define;
    std::string corr_file = "calc.txt";
    std::string adjust_file;
    std::string main_screen;
    int log_size = 6100;  // bytes of the in-memory log text; always above 0
    int max_log_size = 1048576;
    std::string log_date;
    // The results database file; empty: "results.db" in the data folder. "-" keeps no database.
    std::string results_database;

    // Section "Process".
    std::string server_file;
    std::string terminal_id;
    std::string machine_id;
    std::string line_no;
    std::string process_code;
    std::string fixture_code;
    std::string program_ver = "0.00";
    int task_no = 0;  // 0-99

    // Section "Mode".
    uint32_t rec_flags = kDefaultRecFlags;
    uint32_t flags = 0;
    int debug_mode = 0;  // 0-2; the effective mode is port_access_mode
    int evr_type = -1;   // -1 none, 0 LANC, 1 IEEE 1284, 2 EVR driver library
    int evr_width = 8;
    int graph_mode = 1;  // 0-2
    int x_sys_char = 10;
    bool inhibit_ok_ng = false;
    bool page_check = true;
    int no_of_measure = 0;
    std::string print_step;
    std::string print_command = "lp";  // the command line a "LPTn" ticket is printed through
    bool seven_segment = true;
    bool sequencer = false;
    bool fixture = false;
    bool mode_change = false;
    bool sw_check = true;   // kept for compatibility; always written as 1
    bool fsw_check = true;  // kept for compatibility; always written as 1
    bool japanese_font = false;
    bool e0_seq_mode = false;
    int code_page = 0;  // 932: test programs are Shift-JIS text (double-byte lead bytes); else bytes

    // Section "Window".
    std::array<WindowRect, kWindowCount> windows = default_windows();

    // Section "EVR".
    int evr_interval = 0;  // ms between EVR accesses
    std::string access_file;

    // Section "RS232C": the station's own serial port.
    std::string rs_port = "COM1";
    int baud_rate = 9600;
    uint8_t byte_size = 8;
    uint8_t stop_bits = 0;
    uint8_t parity = 0;
    CommTimeouts rs_timeouts{0, 100, 0, 100, 0};
    bool open_rs_first = true;

    // Section "1284": IEEE 1284 link time-outs.
    CommTimeouts p1284_timeouts{35, 100, 3000, 40, 3000};

    // Section "GPIB".
    int gpib_board_no = 0;
    int gpib_mes_delay = 0;  // ms

    // Port addresses; a group lives in exactly one store: the settings file when it supplied
    // the group at start-up (ports_from_ini), otherwise the registry.
    std::array<PortAddresses, kPortGroupCount> ports{};
    std::array<bool, kPortGroupCount> ports_from_ini{};

    // Section "Sound".
    std::string ok_wave;
    std::string ng_wave;

    // Registry values.
    uint32_t inhibit_menu = 0;  // 1: the settings pages cannot be opened
    std::string editor;

    // Values of this start of the program only (never saved).
    int port_access_mode = 0;       // effective DebugMode: from the file at start-up, and -D
    int auto_repeats_left = 0;      // -I: automatic repetitions still to run
    int measure_ignore = 0;         // 0 "Default", 1 "calc(,rd[])", 2 "auto_adjust"
    bool evr_ignore = false;        // "Ignore" of the EVR page: no EVR or serial-port access
    std::vector<std::string> command_line_defines;  // -F texts, in command-line order

    bool operator==(const Settings &) const = default;

    static std::array<WindowRect, kWindowCount> default_windows();
};

// The one process-wide settings record.
Settings &settings();
// Gives every setting its default value (start-up, and tests).
void reset_settings();

// A local calendar date.
struct CalendarDate {
    int year = 0, month = 0, day = 0;
    bool operator==(const CalendarDate &) const = default;
};
// Today's local date.
CalendarDate today_local();

// One symbol for the preprocessor's definition table: the definition text ("NAME" or
// "NAME(value)") and its source (1 the command line, 2 the Define setting).
struct PreprocessorDefinition {
    std::string text;
    int source = 0;
    bool operator==(const PreprocessorDefinition &) const = default;
};
inline constexpr int kDefineSourceCommandLine = 1;
inline constexpr int kDefineSourceSetting = 2;

// The symbols the loader defines before each load, in the order they are to be defined: the
// pieces of the Define setting split at ";" (untrimmed; empty pieces skipped), then the -F texts.
std::vector<PreprocessorDefinition> preprocessor_definitions(const Settings &s);

// "DataPath" as stored: `text` cut to 255 characters, "./" when empty, and a "/" appended when
// it ends in neither "/" nor "\".
std::string normalize_data_path(std::string_view text);

}  // namespace ksw
