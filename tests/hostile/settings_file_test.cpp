// The station against settings files that are damaged, strange or placed where saving them is
// hard: the real ksw program runs in a scratch folder of its own for every case.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "child_run.h"

namespace ksw::testing {
namespace {

namespace fs = std::filesystem;

using namespace std::string_literals;

constexpr std::string_view kProgram = "step 1\r\nno_operation\r\n";

// A scratch station folder with a one-step program, its own registry and runtime folders.
struct Station {
    TempDir dir;

    Station() { write_text(dir.file("p.ks"), std::string(kProgram)); }

    ChildRun run(const std::vector<std::string> &arguments, ChildLimits limits = {}) const {
        return run_child(dir, binary_dir() + "/bin/ksw", arguments,
                         {{"XDG_CONFIG_HOME", dir.file("cfg")}, {"XDG_RUNTIME_DIR", dir.file("run")}}, limits);
    }
    // A headless run of the program: it reads the settings at start and saves them at the end.
    ChildRun run_headless(ChildLimits limits = {}) const { return run({"--headless", "p.ks"}, limits); }

    std::string ini() const { return dir.file("ksw.ini"); }

    // Names in `folder` that look like temporary files of a save.
    static std::vector<std::string> leftovers(const std::string &folder) {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(folder))
            if (entry.path().filename().string().find(".tmp.") != std::string::npos)
                names.push_back(entry.path().filename().string());
        return names;
    }
};

mode_t mode_of(const std::string &path) {
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(HostileSettings, LinesAndSectionsTheStationDoesNotKnowAreKeptByteForByte) {
    Station station;
    const std::string foreign = "[Odd]\r\nk=v\0after the NUL\r\n; note \xFF\xFE\r\n[Later]\r\nx=1\r\nno equals sign\r\n"s;
    write_text(station.ini(), "[Program]\r\nUserProgram=p.ks\r\n" + foreign);
    const ChildRun run = station.run_headless();
    ASSERT_TRUE(run.exited_with(0)) << run.output;
    const std::string saved = read_text(station.ini());
    EXPECT_NE(saved.find(foreign), std::string::npos) << saved;
    EXPECT_NE(saved.find("RecFlags=392\r\n"), std::string::npos);  // the station's own keys were written
}

TEST(HostileSettings, Utf16SettingsFileIsReportedAndLeftUntouched) {
    Station station;
    std::string utf16 = "\xFF\xFE";
    for (const char c : "[Program]\r\nDataPath=/srv/results\r\n"s) utf16 += std::string{c, '\0'};
    write_text(station.ini(), utf16);
    const ChildRun run = station.run_headless();
    EXPECT_TRUE(run.exited_with(0)) << run.output;
    EXPECT_NE(run.output.find(station.ini()), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("UTF-16"), std::string::npos) << run.output;
    EXPECT_EQ(read_text(station.ini()), utf16);
}

TEST(HostileSettings, SavingKeepsPermissionsAndWritesThroughALink) {
    Station station;
    write_text(station.ini(), "[Program]\r\nLogDate=20240101\r\n");
    ASSERT_EQ(::chmod(station.ini().c_str(), 0600), 0);
    ASSERT_TRUE(station.run_headless().exited_with(0));
    EXPECT_EQ(mode_of(station.ini()), 0600u);
    EXPECT_NE(read_text(station.ini()).find("RecFlags=392"), std::string::npos);

    // A settings file kept elsewhere and linked in: the link stays and its target is saved.
    fs::remove(station.ini());
    fs::create_directory(station.dir.file("shared"));
    write_text(station.dir.file("shared/ksw.ini"), "[Program]\r\nLogDate=20240101\r\n");
    ASSERT_EQ(::chmod(station.dir.file("shared/ksw.ini").c_str(), 0640), 0);
    fs::create_symlink("shared/ksw.ini", station.ini());
    ASSERT_TRUE(station.run_headless().exited_with(0));
    EXPECT_TRUE(fs::is_symlink(station.ini()));
    EXPECT_EQ(fs::read_symlink(station.ini()), "shared/ksw.ini");
    EXPECT_NE(read_text(station.dir.file("shared/ksw.ini")).find("RecFlags=392"), std::string::npos);
    EXPECT_EQ(mode_of(station.dir.file("shared/ksw.ini")), 0640u);
    EXPECT_TRUE(Station::leftovers(station.dir.path()).empty());
    EXPECT_TRUE(Station::leftovers(station.dir.file("shared")).empty());
}

TEST(HostileSettings, SavingKeepsTheOwner) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another owner";
    Station station;
    write_text(station.ini(), "[Program]\r\nLogDate=20240101\r\n");
    ASSERT_EQ(::chown(station.ini().c_str(), 4242, 4343), 0);
    ASSERT_TRUE(station.run_headless().exited_with(0));
    struct stat st{};
    ASSERT_EQ(::stat(station.ini().c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4242u);
    EXPECT_EQ(st.st_gid, 4343u);
    EXPECT_NE(read_text(station.ini()).find("RecFlags=392"), std::string::npos);
}

TEST(HostileSettings, FileSizeLimitWhileSavingKeepsTheOldFileAndNamesTheReason) {
    Station station;
    const std::string old = "[Program]\r\nLogDate=20240101\r\n; an old settings file of the line\r\n";
    write_text(station.ini(), old);
    ChildLimits limits;
    limits.file_size = 400;  // the programs's intermediate file fits; the whole settings file does not
    const ChildRun run = station.run_headless(limits);
    EXPECT_TRUE(run.exited_with(0)) << "signal " << run.signal << "\n" << run.output;
    EXPECT_NE(run.output.find("[.ini File] s011: Can't write file.\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(station.ini()), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("File too large"), std::string::npos) << run.output;
    EXPECT_EQ(read_text(station.ini()), old);
    EXPECT_TRUE(Station::leftovers(station.dir.path()).empty());

    // The limit is in force from the start: a program whose intermediate file outgrows it fails
    // to load with a message.
    std::string long_program = "step 1\r\n";
    for (int i = 0; i < 100; ++i) long_program += "no_operation\r\n";
    write_text(station.dir.file("long.ks"), long_program);
    const ChildRun check = station.run({"--check", "long.ks"}, limits);
    EXPECT_TRUE(check.exited_with(2)) << "signal " << check.signal << "\n" << check.output;
    EXPECT_NE(check.output.find("(File too large)"), std::string::npos) << check.output;
}

TEST(HostileSettings, NumbersTooLargeForTheirSettingAreReportedAndDefaultsKept) {
    Station station;
    write_text(station.ini(), "[Mode]\r\nRecFlags=4294967296\r\n[Process]\r\nTaskNo=4294967301\r\n"
                              "[RS232C]\r\nStopBits=257\r\nBaudRate=99999999999999999999\r\n");
    const ChildRun run = station.run_headless();
    ASSERT_TRUE(run.exited_with(0)) << run.output;
    for (const char *reported : {"RecFlags=4294967296", "TaskNo=4294967301", "StopBits=257", "BaudRate=9999"})
        EXPECT_NE(run.output.find(reported), std::string::npos) << reported << "\n" << run.output;
    const std::string saved = read_text(station.ini());
    EXPECT_NE(saved.find("RecFlags=392\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("TaskNo=0\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("StopBits=0\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("BaudRate=9600\r\n"), std::string::npos) << saved;
}

TEST(HostileSettings, DeviceOrFifoAsTheSettingsFileIsReportedWithoutWaiting) {
    Station station;
    ChildLimits limits;
    limits.alarm_seconds = 10;
    if (!kSanitized) limits.address_space = rlim_t{1} << 30;  // reading /dev/zero whole would exhaust it
    fs::create_symlink("/dev/zero", station.ini());
    ChildRun run = station.run({"--check", "p.ks"}, limits);
    EXPECT_TRUE(run.exited_with(0)) << "signal " << run.signal << "\n" << run.output;
    EXPECT_NE(run.output.find(station.ini() + ": is not a regular file"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("compiled: 1 steps"), std::string::npos) << run.output;

    fs::remove(station.ini());
    ASSERT_EQ(::mkfifo(station.ini().c_str(), 0600), 0);
    run = station.run_headless(limits);
    EXPECT_TRUE(run.exited_with(0)) << "signal " << run.signal << "\n" << run.output;
    EXPECT_NE(run.output.find(station.ini() + ": is not a regular file"), std::string::npos) << run.output;
    EXPECT_TRUE(fs::is_fifo(station.ini()));  // not replaced by a regular file
}

}  // namespace
}  // namespace ksw::testing
