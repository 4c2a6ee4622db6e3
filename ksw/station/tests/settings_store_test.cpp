#include <gtest/gtest.h>

#include <filesystem>

#include "station/settings.h"
#include "station/settings_store.h"
#include "platform/ini.h"
#include "platform/registry.h"
#include "temp_dir.h"

namespace ksw {
namespace {

using testing::read_text;
using testing::ScopedEnv;
using testing::TempDir;
using testing::write_text;

constexpr CalendarDate kToday{2024, 3, 15};

// A temp folder holding ksw.ini, with the registry file redirected into it.
struct Stores {
    TempDir dir;
    ScopedEnv config{"XDG_CONFIG_HOME", dir.path()};
    std::string ini = ini_settings_path(dir.path());

    Settings load(const std::string &ini_text) const {
        write_text(ini, ini_text);
        Settings s;
        std::string message;
        EXPECT_EQ(LoadIniSettings(s, ini, kToday, &message), 1) << message;
        return s;
    }
    std::string registry(std::string_view name) const {
        return platform::registry_read_string(platform::RegistryRoot::CurrentUser, registry_settings_key(), name)
            .value_or("<missing>");
    }
};

// Every saved field away from its default, and a few that are not saved.
Settings unusual_settings() {
    Settings s;
    s.total_ok = 41, s.total_ng = 7, s.user_program = "/srv/progs/board a.ks", s.data_path = "/data/out/";
    s.define = "MODEL(3);FAST", s.corr_file = "corr.txt", s.adjust_file = "adj/evr", s.main_screen = "main.bmp";
    s.log_size = 9000, s.max_log_size = 2000000, s.log_date = "20240301";
    s.server_file = "//srv/line/db", s.terminal_id = "TERM001", s.machine_id = "MACHINE-10", s.line_no = "L3";
    s.process_code = "PC12", s.fixture_code = "FIX0007", s.program_ver = "1.25", s.task_no = 42;
    s.rec_flags = 0x1FF, s.flags = 3, s.debug_mode = 2, s.evr_type = 2, s.evr_width = 16, s.graph_mode = 0;
    s.x_sys_char = 14, s.inhibit_ok_ng = true, s.page_check = false, s.no_of_measure = 5, s.print_step = "LPT1";
    s.seven_segment = false, s.sequencer = true, s.fixture = true, s.mode_change = true, s.japanese_font = true;
    s.e0_seq_mode = true;
    for (int w = 0; w < kWindowCount; ++w) s.windows[static_cast<size_t>(w)] = WindowRect{w, -w, 100 + w, 200 + w};
    s.evr_interval = 300, s.access_file = "access.txt";
    s.rs_port = "COM3", s.baud_rate = 38400, s.byte_size = 7, s.stop_bits = 2, s.parity = 4;
    s.rs_timeouts = CommTimeouts{4294967295u, 1, 2, 3, 4}, s.open_rs_first = false;
    s.p1284_timeouts = CommTimeouts{5, 6, 7, 8, 9};
    s.gpib_board_no = 1, s.gpib_mes_delay = 250;
    s.ports = {PortAddresses{0x300, 0x301, 0x302, 0x303}, PortAddresses{0x304, 0x305, 0x306, 0x307},
               PortAddresses{0xFFFF, 0x1, 0xABC, 0x0}, PortAddresses{0x310, 0x311, 0x312, 0x313}};
    s.ports_from_ini = {true, false, true, false};
    s.ok_wave = "ok.wav", s.ng_wave = "ng.wav";
    s.inhibit_menu = 1, s.editor = "/usr/bin/vi";
    s.port_access_mode = 2;  // follows DebugMode when the file is read
    return s;
}

TEST(SettingsStore, SaveThenLoadGivesTheSameRecord) {
    Stores stores;
    const Settings saved = unusual_settings();
    std::string message;
    ASSERT_EQ(SaveIniSettings(saved, stores.ini, kToday, &message), 1) << message;
    ASSERT_EQ(SaveRegistrySettings(saved, &message), 1) << message;

    Settings loaded;
    EXPECT_EQ(LoadRegistrySettings(loaded, &message), 0);  // two groups live in the settings file
    EXPECT_EQ(LoadIniSettings(loaded, stores.ini, kToday, &message), 1);
    EXPECT_TRUE(loaded == saved);
    EXPECT_EQ(loaded.data_path, saved.data_path);
    EXPECT_EQ(loaded.windows, saved.windows);
    EXPECT_EQ(loaded.ports, saved.ports);

    // A second save of the loaded record leaves the same bytes behind.
    const std::string first = read_text(stores.ini);
    ASSERT_EQ(SaveIniSettings(loaded, stores.ini, kToday, &message), 1);
    EXPECT_EQ(read_text(stores.ini), first);
}

TEST(SettingsStore, SavedFileUsesTheStationsSpellingsAndKeepsForeignLines) {
    Stores stores;
    write_text(stores.ini, "; station 4\r\n[Mode]\r\nNoOfMeasure=2\r\nOwnKey=x\r\n");
    Settings s;
    s.sw_check = false;
    s.rs_timeouts.read_interval = 4000000000u;
    s.ports_from_ini = {false, true, false, false};
    s.ports[kSysPort1] = PortAddresses{0x1a0, 0x1a1, 0xb, 0xffff};
    std::string message;
    ASSERT_EQ(SaveIniSettings(s, stores.ini, kToday, &message), 1) << message;

    const std::string text = read_text(stores.ini);
    EXPECT_EQ(text.rfind("; station 4\r\n[Mode]\r\nNoOfmeasure=0\r\nOwnKey=x\r\n", 0), 0u) << text;
    for (const char *line : {"Year=2024\r\n", "Month=3\r\n", "Day=15\r\n", "SwCheck=1\r\n", "FswCheck=1\r\n",
                             "ReadIntervalTimeout=4000000000\r\n", "RecFlags=392\r\n", "DataPath=./\r\n",
                             "Main=0,0,640,480\r\n", "Wave9=0,0,0,0\r\n", "PRecorder1=0,0,0,0\r\n",
                             "[Port]\r\n8255-1=1A0,1A1,B,FFFF\r\n", "ProgramVer=0.00\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    EXPECT_EQ(text.find("8255-0"), std::string::npos);
    EXPECT_EQ(text.find("[Ext0Port]"), std::string::npos);
}

TEST(SettingsStore, TotalsOfAnotherDayStartAtZero) {
    Stores stores;
    const std::string totals = "TotalOk=12\nTotalNg=3\n";
    Settings s = stores.load("[Program]\nYear=2024\nMonth=3\nDay=15\n" + totals);
    EXPECT_EQ(s.total_ok, 12);
    EXPECT_EQ(s.total_ng, 3);
    s = stores.load("[Program]\nYear=2024\nMonth=3\nDay=14\n" + totals);
    EXPECT_EQ(s.total_ok, 0);
    EXPECT_EQ(s.total_ng, 0);
    s = stores.load("[Program]\n" + totals);
    EXPECT_EQ(s.total_ok, 0);
}

TEST(SettingsStore, ValuesAreCheckedAgainstTheirLimits) {
    Stores stores;
    const Settings s = stores.load(
        "[Program]\nDataPath=/var/results\nLogSize=0\nLogDate=2024031599\n"
        "[Process]\nTaskNo=120\nTerminalID=TERMINAL-42\nProgramVer=10.125\n"
        "[Mode]\ndebugmode=5\nEVRType=3\nGraphMode=9\nXSysChar=12px\nPageCheck=0\n"
        "[RS232C]\nPort=/dev/ttyUSB0\nByteSize=264\n"
        "[Window]\nMain=10,20,30\nOkNg= 1, 2,3,4 tail\n");
    EXPECT_EQ(s.data_path, "/var/results/");
    EXPECT_EQ(s.log_size, 6100);
    EXPECT_EQ(s.log_date, "20240315");
    EXPECT_EQ(s.task_no, 0);
    EXPECT_EQ(s.terminal_id, "TERMINA");
    EXPECT_EQ(s.program_ver, "10.1");
    EXPECT_EQ(s.debug_mode, 0);
    EXPECT_EQ(s.evr_type, -1);
    EXPECT_EQ(s.graph_mode, 1);
    EXPECT_EQ(s.x_sys_char, 12);
    EXPECT_FALSE(s.page_check);
    EXPECT_EQ(s.rs_port, "/dev/ttyUSB0");  // a device path, never cut
    EXPECT_EQ(s.byte_size, 8);
    EXPECT_EQ(s.windows[kWinMain], (WindowRect{0, 0, 640, 480}));
    EXPECT_EQ(s.windows[kWinOkNg], (WindowRect{1, 2, 3, 4}));

    EXPECT_EQ(stores.load("[Program]\nDataPath=D:\\results\\\n").data_path, "D:\\results\\");
    EXPECT_EQ(stores.load("[Program]\nDataPath=\n").data_path, "./");
    EXPECT_EQ(stores.load("[Process]\nTaskNo=99\n").task_no, 99);
    EXPECT_EQ(stores.load("[Process]\nTaskNo=-1\n").task_no, 0);
    // A path too long for its setting is reported and not taken: cut, it would name another file.
    {
        write_text(stores.ini, "[Program]\nUserProgram=/p/" + std::string(300, 'x') + ".ks\n");
        Settings cut;
        std::string message;
        EXPECT_EQ(LoadIniSettings(cut, stores.ini, kToday, &message), 1);
        EXPECT_EQ(cut.user_program, Settings{}.user_program);
        EXPECT_NE(message.find("[Program] UserProgram is longer than 255 characters"), std::string::npos) << message;
    }
    const Settings debug = stores.load("[Mode]\nDebugMode=2\n");
    EXPECT_EQ(debug.port_access_mode, 2);
}

TEST(SettingsStore, PortGroupLivesInExactlyOneStore) {
    Stores stores;
    Settings machine;
    machine.ports = {PortAddresses{0x100, 0x101, 0x102, 0x103}, PortAddresses{0x200, 0x201, 0x202, 0x203},
                     PortAddresses{0x300, 0x301, 0x302, 0x303}, PortAddresses{0x400, 0x401, 0x402, 0x403}};
    std::string message;
    ASSERT_EQ(SaveRegistrySettings(machine, &message), 1) << message;

    Settings s;
    EXPECT_EQ(LoadRegistrySettings(s, &message), 1);
    write_text(stores.ini,
               "[Port]\n8255-0=1f0,1f1,1f2\n8255-1=0x2a0,2A1,2a2,2a3\n"
               "[Ext0Port]\n8255-0=10000,1,2,3\n");
    ASSERT_EQ(LoadIniSettings(s, stores.ini, kToday, &message), 1);
    EXPECT_EQ(s.ports[kSysPort0], (PortAddresses{0x100, 0x101, 0x102, 0x103}));  // three numbers: registry's
    EXPECT_EQ(s.ports[kSysPort1], (PortAddresses{0x2a0, 0x2a1, 0x2a2, 0x2a3}));
    EXPECT_EQ(s.ports[kExt0Port0], (PortAddresses{0x300, 0x301, 0x302, 0x303}));  // not a 16-bit address
    EXPECT_EQ(s.ports_from_ini, (std::array<bool, kPortGroupCount>{false, true, false, false}));

    s.ports[kSysPort0] = PortAddresses{0xA, 0xB, 0xC, 0xD};
    s.ports[kSysPort1] = PortAddresses{0xE, 0xF, 0x10, 0x11};
    ASSERT_EQ(SaveIniSettings(s, stores.ini, kToday, &message), 1);
    ASSERT_EQ(SaveRegistrySettings(s, &message), 1);
    EXPECT_EQ(stores.registry("SysPort0"), "A,B,C,D");
    EXPECT_EQ(stores.registry("SysPort1"), "200,201,202,203");  // the registry no longer holds this group
    platform::IniFile ini;
    ASSERT_TRUE(ini.load(stores.ini));
    EXPECT_EQ(ini.get("Port", "8255-0").value_or(""), "1f0,1f1,1f2");  // left as it stood
    EXPECT_EQ(ini.get("Port", "8255-1").value_or(""), "E,F,10,11");
}

TEST(SettingsStore, RegistryValuesAreReadOneByOne) {
    Stores stores;
    const std::string key = registry_settings_key();
    EXPECT_EQ(key, "Software\\Orvane\\KSW\\System");
    using platform::RegistryRoot;
    ASSERT_TRUE(platform::registry_write_string(RegistryRoot::CurrentUser, key, "InhibitMenu", "1"));
    ASSERT_TRUE(platform::registry_write_string(RegistryRoot::CurrentUser, key, "Editor", std::string(256, 'e')));
    ASSERT_TRUE(platform::registry_write_string(RegistryRoot::CurrentUser, key, "SysPort1", "1,2,3,4"));
    ASSERT_TRUE(platform::registry_write_string(RegistryRoot::CurrentUser, key, "Ext0Port0", "1,2,3"));

    Settings s;
    s.editor = "kept";
    std::string message;
    EXPECT_EQ(LoadRegistrySettings(s, &message), 0);
    EXPECT_EQ(s.inhibit_menu, 0u);  // a text where a number belongs
    EXPECT_EQ(s.editor, "kept");    // 256 bytes: not read
    EXPECT_EQ(s.ports[kSysPort1], (PortAddresses{1, 2, 3, 4}));
    EXPECT_EQ(s.ports[kExt0Port0], PortAddresses{});
    EXPECT_EQ(message, "");

    s.editor = std::string(300, 'x');
    s.ports_from_ini[kSysPort1] = true;
    ASSERT_EQ(SaveRegistrySettings(s, &message), 1) << message;
    EXPECT_EQ(stores.registry("Editor"), std::string(255, 'x'));
    EXPECT_EQ(stores.registry("SysPort1"), "1,2,3,4");  // as it stood
    Settings all;
    EXPECT_EQ(LoadRegistrySettings(all, &message), 1);
    EXPECT_EQ(all.editor, std::string(255, 'x'));
}

TEST(SettingsStore, UnreadableOrDamagedFilesGiveDefaultsAndNameTheFile) {
    Stores stores;
    Settings s;
    std::string message;
    EXPECT_EQ(LoadIniSettings(s, stores.ini, kToday, &message), 1);  // missing: defaults, no message
    EXPECT_TRUE(s == Settings{});
    EXPECT_EQ(message, "");

    std::filesystem::create_directory(stores.ini);  // exists but cannot be read as a file
    EXPECT_EQ(LoadIniSettings(s, stores.ini, kToday, &message), 0);
    EXPECT_NE(message.find(stores.ini), std::string::npos) << message;
    EXPECT_TRUE(s == Settings{});
    message.clear();
    EXPECT_EQ(SaveIniSettings(s, stores.ini, kToday, &message), 0);
    EXPECT_NE(message.find(stores.ini), std::string::npos) << message;
    std::filesystem::remove(stores.ini);

    std::filesystem::create_directories(std::filesystem::path(platform::registry_file_path()).parent_path());
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919) & 0xFF);
    for (const std::string &bytes : {std::string(), garbage, std::string("[Program]\r\nDataPa"),
                                     std::string("[Program]\nDataPath\0=/x\n\0\0\xff\xfe", 27)}) {
        Settings damaged;
        write_text(stores.ini, bytes);
        EXPECT_EQ(LoadIniSettings(damaged, stores.ini, kToday, &message), 1);
        write_text(platform::registry_file_path(), bytes);
        EXPECT_EQ(LoadRegistrySettings(damaged, &message), 0);
        EXPECT_EQ(damaged.data_path, "./");
        EXPECT_EQ(damaged.inhibit_menu, 0u);
    }

    std::filesystem::remove(platform::registry_file_path());
    std::filesystem::create_directories(platform::registry_file_path());
    message.clear();
    EXPECT_EQ(LoadRegistrySettings(s, &message), 0);
    EXPECT_NE(message.find(platform::registry_file_path()), std::string::npos) << message;
    EXPECT_EQ(SaveRegistrySettings(s, &message), 0);
}

TEST(SettingsStore, NumbersTooLargeForTheirSettingAreReportedNotWrapped) {
    Stores stores;
    write_text(stores.ini,
               "[Program]\nYear=4294969320\nMonth=3\nDay=15\nTotalOk=12\n"  // 2^32 + 2024 would wrap to 2024
               "[Mode]\nFlags=-1\nEVRWidth=2147483648\n"
               "[RS232C]\nByteSize=-1\nReadIntervalTimeout=4294967295\nReadTotalTimeoutConstant=4294967296\n");
    Settings s;
    std::string message;
    ASSERT_EQ(LoadIniSettings(s, stores.ini, kToday, &message), 1);
    EXPECT_EQ(s.total_ok, 0);
    EXPECT_EQ(s.flags, 0xFFFFFFFFu);  // a negative word stands for its two's complement
    EXPECT_EQ(s.evr_width, 8);
    EXPECT_EQ(s.byte_size, 8);
    EXPECT_EQ(s.rs_timeouts.read_interval, 4294967295u);
    EXPECT_EQ(s.rs_timeouts.read_total_constant, 0u);
    EXPECT_EQ(message, "Values in the settings file " + stores.ini +
                           " are out of range; their settings keep their values:\n[Program] Year=4294969320\n"
                           "[Mode] EVRWidth=2147483648\n[RS232C] ByteSize=-1\n[RS232C] ReadTotalTimeoutConstant=4294967296");
}

TEST(Settings, PreprocessorDefinitionsComeFromTheSettingThenTheCommandLine) {
    Settings s;
    s.define = "A; B(2);;C";
    s.command_line_defines = {"X(1)", "A"};
    const std::vector<PreprocessorDefinition> expected = {
        {"A", kDefineSourceSetting}, {" B(2)", kDefineSourceSetting}, {"C", kDefineSourceSetting},
        {"X(1)", kDefineSourceCommandLine}, {"A", kDefineSourceCommandLine}};
    EXPECT_EQ(preprocessor_definitions(s), expected);
    EXPECT_TRUE(preprocessor_definitions(Settings{}).empty());
}

TEST(Settings, PathsAndWindowKeys) {
    EXPECT_EQ(ini_settings_path("/home/op"), "/home/op/ksw.ini");
    EXPECT_EQ(ini_settings_path("/home/op/", "/opt/bin/KSW.exe"), "/home/op/KSW.ini");
    EXPECT_EQ(normalize_data_path(std::string(300, 'd')), std::string(255, 'd') + "/");
    EXPECT_EQ(window_key(kWinEvr), "EVR");
    EXPECT_EQ(window_key(kWinWave0 + 3), "Wave3");
    EXPECT_EQ(window_key(kWinPRecorder1), "PRecorder1");
    EXPECT_EQ(window_key(kWinVector), "Vector");
    EXPECT_EQ(window_key(kWindowCount), "");
}

}  // namespace
}  // namespace ksw
