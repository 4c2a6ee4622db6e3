// Runs the ksw program headless in a scratch folder and checks the settings it leaves behind.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/ini.h"
#include "run_ksw.h"
#include "temp_dir.h"

namespace ksw {
namespace {

using testing::KswRun;
using testing::read_text;
using testing::run_ksw;
using testing::TempDir;
using testing::write_text;

std::string value(const std::string &path, std::string_view section, std::string_view key) {
    platform::IniFile ini;
    if (!ini.load(path)) return "<unreadable>";
    return ini.get_raw(section, key).value_or("<missing>");
}

TEST(KswSettingsRun, HeadlessRunLeavesTheExpectedSettingsBehind) {
    TempDir dir;
    write_text(dir.file("ksw.ini"),
               "; line 3 station\r\n[Program]\r\nYear=2001\r\nMonth=1\r\nDay=1\r\nTotalOk=17\r\n"
               "DataPath=/srv/results\r\n[Process]\r\nTaskNo=120\r\n[Port]\r\n8255-0=1f0,1f1,1f2\r\n"
               "8255-1=2a0,2a1,2a2,2a3\r\n[Mode]\r\nNoOfMeasure=4\r\nEVRType=1\r\n");
    const KswRun run = run_ksw(dir, "--headless -O1 '-Fmodel(2)' -D 'my prog.ks' -P/srv/other ';' -U");
    EXPECT_EQ(run.exit_code, 2) << run.output;
    EXPECT_NE(run.output.find("s007: [my prog.ks]"), std::string::npos) << run.output;  // no such program here

    const std::string ini = dir.file("ksw.ini");
    EXPECT_EQ(read_text(ini).rfind("; line 3 station\r\n[Program]\r\n", 0), 0u);
    EXPECT_EQ(value(ini, "Program", "TotalOk"), "0");
    EXPECT_EQ(value(ini, "Program", "UserProgram"), "my prog.ks");
    EXPECT_EQ(value(ini, "Program", "DataPath"), "/srv/other/");
    EXPECT_EQ(value(ini, "Process", "TaskNo"), "0");
    EXPECT_EQ(value(ini, "Mode", "RecFlags"), "136");
    EXPECT_EQ(value(ini, "Mode", "DebugMode"), "1");
    EXPECT_EQ(value(ini, "Mode", "ModeChange"), "0");
    // The IEEE 1284 library is not part of this station: start-up shows s015 and the type becomes -1.
    EXPECT_NE(run.output.find("s015: Missing DLL for IEEE1284 or too old"), std::string::npos) << run.output;
    EXPECT_EQ(value(ini, "Mode", "EVRType"), "-1");
    EXPECT_EQ(value(ini, "Mode", "NoOfmeasure"), "4");
    EXPECT_NE(read_text(ini).find("NoOfmeasure=4\r\n"), std::string::npos);
    EXPECT_EQ(value(ini, "Port", "8255-0"), "1f0,1f1,1f2");
    EXPECT_EQ(value(ini, "Port", "8255-1"), "2A0,2A1,2A2,2A3");
    EXPECT_EQ(value(ini, "Program", "Define"), "");

    const std::string registry = dir.file("cfg/Orvane/KSW/registry.ini");
    const std::string key = "HKEY_CURRENT_USER\\Software\\Orvane\\KSW\\System";
    EXPECT_EQ(value(registry, key, "SysPort0"), "\"0,0,0,0\"");
    EXPECT_EQ(value(registry, key, "SysPort1"), "<missing>");
    EXPECT_EQ(value(registry, key, "InhibitMenu"), "dword:00000000");
}

TEST(KswSettingsRun, UnreadableSettingsFileIsNamedAndNotOverwritten) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("ksw.ini"));
    const KswRun run = run_ksw(dir, "--headless -X");
    EXPECT_EQ(run.exit_code, 2) << run.output;
    EXPECT_NE(run.output.find(dir.file("ksw.ini")), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("[.ini File] s011: Can't write file."), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("help: zelw.chm"), std::string::npos) << run.output;
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("ksw.ini")));
}

TEST(KswSettingsRun, VersionAndHelpLeaveTheSettingsAlone) {
    TempDir dir;
    EXPECT_EQ(run_ksw(dir, "--version").exit_code, 0);
    EXPECT_EQ(run_ksw(dir, "--help").exit_code, 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("ksw.ini")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("cfg")));
}

}  // namespace
}  // namespace ksw
