#include <gtest/gtest.h>

#include <climits>
#include <sys/stat.h>

#include "platform/ini.h"
#include "temp_dir.h"

namespace ksw::platform {
namespace {

using ksw::testing::read_text;
using ksw::testing::TempDir;
using ksw::testing::write_text;

TEST(Ini, SectionsAndKeysMatchWithoutCaseAndTheFirstWins) {
    IniFile ini;
    ini.parse("; comment\n[Program]\nUserProgram = c:\\a.ks \nDataPath=\"quoted path \"\n"
              "[program]\nUserProgram=second\n[Mode]\nRecFlags=392\n");
    EXPECT_EQ(ini.get("PROGRAM", "userprogram"), "c:\\a.ks");
    EXPECT_EQ(ini.get("Program", "DataPath"), "quoted path ");
    EXPECT_EQ(ini.get("mode", "RECFLAGS"), "392");
    EXPECT_FALSE(ini.get("Mode", "Missing").has_value());
    EXPECT_FALSE(ini.get("Nowhere", "RecFlags").has_value());
    EXPECT_EQ(ini.keys("Program"), (std::vector<std::string>{"UserProgram", "DataPath"}));
}

TEST(Ini, IntegersAreReadAsDecimalsUpToTheFirstNonDigit) {
    EXPECT_EQ(profile_int_from_text("392"), 392);
    EXPECT_EQ(profile_int_from_text("  12abc"), 12);
    EXPECT_EQ(profile_int_from_text("0x188"), 0);
    EXPECT_EQ(profile_int_from_text("-1"), -1);
    EXPECT_EQ(profile_int_from_text("abc"), 0);
    EXPECT_EQ(profile_int_from_text(""), 0);
    EXPECT_EQ(profile_int_from_text("4294967295"), -1);  // wraps like a 32-bit integer
}

TEST(Ini, NumbersOutsideARangeAreRefusedInsteadOfWrapped) {
    int64_t value = 7;
    EXPECT_TRUE(profile_int_in_range(" -2147483648 tail", INT32_MIN, INT32_MAX, &value));
    EXPECT_EQ(value, INT32_MIN);
    for (const char *text : {"2147483648", "-2147483649", "4294967296", "99999999999999999999999999"})
        EXPECT_FALSE(profile_int_in_range(text, INT32_MIN, INT32_MAX, &value)) << text;
    EXPECT_FALSE(profile_int_in_range("256", 0, 255, &value));
    EXPECT_EQ(value, INT32_MIN);
}

TEST(Ini, MissingFileSectionOrKeyGivesTheDefault) {
    TempDir dir;
    const std::string path = dir.file("ksw.ini");
    EXPECT_EQ(get_profile_string("Program", "UserProgram", "dflt", path), "dflt");
    EXPECT_EQ(get_profile_int("Mode", "RecFlags", 0x188, path), 0x188);
    write_text(path, "[Mode]\nDebugMode=2\nEmpty=\n");
    EXPECT_EQ(get_profile_int("Mode", "RecFlags", 0x188, path), 0x188);
    EXPECT_EQ(get_profile_int("mode", "debugmode", 0, path), 2);
    EXPECT_EQ(get_profile_int("Mode", "Empty", 7, path), 0);
    EXPECT_EQ(get_profile_string("Mode", "Empty", "dflt", path), "");
    EXPECT_EQ(get_profile_string("Other", "DebugMode", "dflt", path), "dflt");
}

TEST(Ini, WritingKeepsEveryOtherLineAndEndsLinesWithCrLf) {
    TempDir dir;
    const std::string path = dir.file("ksw.ini");
    write_text(path, "; kept comment\n[Program]\nUserProgram=a.ks\nUnknown=stays\n\n[Mode]\nRecFlags=392\n");
    ASSERT_TRUE(write_profile_string("program", "USERPROGRAM", "b.ks", path));
    ASSERT_TRUE(write_profile_string("Program", "DataPath", ".\\", path));
    ASSERT_TRUE(write_profile_string("Sound", "OkWave", "ok.wav", path));
    EXPECT_EQ(read_text(path),
              "; kept comment\r\n[Program]\r\nUSERPROGRAM=b.ks\r\nUnknown=stays\r\nDataPath=.\\\r\n\r\n"
              "[Mode]\r\nRecFlags=392\r\n[Sound]\r\nOkWave=ok.wav\r\n");
    EXPECT_EQ(get_profile_string("Program", "userprogram", "", path), "b.ks");
}

TEST(Ini, ValuesCannotBreakTheFileAndSectionsCanBeRemoved) {
    IniFile ini;
    ini.set("A", "k", "line1\r\nx=evil");
    EXPECT_EQ(ini.get("A", "k"), "line1");
    EXPECT_FALSE(ini.get("A", "x").has_value());
    ini.set("B", "k2", "v");
    ini.erase("A", "k");
    EXPECT_FALSE(ini.get("A", "k").has_value());
    ini.erase_section("A");
    EXPECT_FALSE(ini.has_section("A"));
    EXPECT_EQ(ini.text(), "[B]\r\nk2=v\r\n");
}

TEST(Ini, NulBytesAndByteOrderMarks) {
    using namespace std::string_literals;
    IniFile ini;
    ASSERT_TRUE(ini.parse("\xEF\xBB\xBF[A]\nk=v\0hidden\n\0[NotAHeader]\n[B]\nx=1\n"s));
    EXPECT_EQ(ini.get("A", "k"), "v");  // a NUL ends what a line says, and the line is kept whole
    EXPECT_EQ(ini.sections(), (std::vector<std::string>{"A", "B"}));
    ini.set("A", "k", "w\0cut"s);
    EXPECT_EQ(ini.text(), "\xEF\xBB\xBF[A]\r\nk=w\r\n\0[NotAHeader]\r\n[B]\r\nx=1\r\n"s);
    std::string error;
    EXPECT_FALSE(ini.parse("[\0A\0]\0"s, &error));  // UTF-16 without a mark
    EXPECT_EQ(error, "is UTF-16 text, which the station does not read (save it as 8-bit text)");
    EXPECT_TRUE(ini.empty());
}

TEST(Ini, SaveReplacesAtomicallyAndFailsCleanly) {
    TempDir dir;
    const std::string path = dir.file("ksw.ini");
    write_text(path, "[A]\r\nk=old\r\n");
    IniFile ini;
    ASSERT_TRUE(ini.load(path));
    ini.set("A", "k", "new");
    std::string error;
    EXPECT_FALSE(ini.save(dir.file("missing/ksw.ini"), &error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    EXPECT_EQ(read_text(path), "[A]\r\nk=old\r\n");
    ASSERT_TRUE(ini.save(path));
    EXPECT_EQ(read_text(path), "[A]\r\nk=new\r\n");
    // No temporary file is left behind.
    int files = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1);
}

TEST(Ini, UnreadableFileIsReportedAndGivesDefaults) {
    TempDir dir;
    IniFile ini;
    std::string error;
    EXPECT_FALSE(ini.load(dir.path(), &error));  // a folder cannot be read as a file
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(ini.empty());
    EXPECT_EQ(get_profile_int("A", "k", 5, dir.path()), 5);
}

}  // namespace
}  // namespace ksw::platform
