// The real ksw program against settings files that are damaged, strange or hard to save, each
// case in a scratch station folder of its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "child_run.h"

namespace ksw::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

struct Station {
    TempDir dir;
    std::string ini = dir.file("ksw.ini");

    // The station opens its serial port at start-up: here a device that is not there, so that a
    // test never touches the machine's own ports (the station reports it and goes on).
    Station() {
        write_text(dir.file("p.ks"), "step 1\r\nno_operation\r\n");
        fs::create_directories(dir.file("cfg/Orvane/KSW"));
        write_text(dir.file("cfg/Orvane/KSW/registry.ini"), "[SerialDevices]\r\nCOM1=" + dir.file("no-serial-line") + "\r\n");
    }
    ChildRun run(const std::vector<std::string> &arguments, const ChildLimits &limits = {}) const {
        std::vector<std::string> argv{built("bin/ksw")};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return run_child(dir, argv, {"XDG_CONFIG_HOME=" + dir.file("cfg"), "XDG_RUNTIME_DIR=" + dir.file("run")}, limits);
    }
    // A headless run reads the settings at start and saves them at the end.
    ChildRun headless(const ChildLimits &limits = {}) const { return run({"--headless", "p.ks"}, limits); }
    std::string saved() const { return read_text(ini); }
    bool leftovers() const {
        for (const auto &entry : fs::recursive_directory_iterator(dir.path()))
            if (entry.path().string().find(".tmp.") != std::string::npos) return true;
        return false;
    }
};

TEST(HostileSettings, UnknownLinesAreKeptByteForByteAndUtf16IsLeftAlone) {
    Station station;
    const std::string foreign = "[Odd]\r\nk=v\0after a NUL\r\n; \xFF\xFE\r\n[Later]\r\nno equals sign\r\n"s;
    write_text(station.ini, "[Program]\r\nLogDate=x\r\n" + foreign);
    ASSERT_TRUE(station.headless().exited_with(0));
    EXPECT_NE(station.saved().find(foreign), std::string::npos) << station.saved();
    EXPECT_NE(station.saved().find("RecFlags=392\r\n"), std::string::npos);

    std::string utf16 = "\xFF\xFE";
    for (const char c : "[Program]\r\nDataPath=/srv\r\n"s) utf16 += std::string{c, '\0'};
    write_text(station.ini, utf16);
    const ChildRun run = station.headless();
    EXPECT_TRUE(run.exited_with(0)) << run.output;
    EXPECT_NE(run.output.find(station.ini + ": is UTF-16 text"), std::string::npos) << run.output;
    EXPECT_EQ(station.saved(), utf16);
}

TEST(HostileSettings, SavingKeepsModeOwnerAndLink) {
    Station station;
    fs::create_directory(station.dir.file("shared"));
    const std::string target = station.dir.file("shared/ksw.ini");
    write_text(target, "[Program]\r\nLogDate=x\r\n");
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    const bool root = ::geteuid() == 0;
    ASSERT_TRUE(!root || ::chown(target.c_str(), 4242, 4343) == 0);
    fs::create_symlink("shared/ksw.ini", station.ini);
    ASSERT_TRUE(station.headless().exited_with(0));
    EXPECT_EQ(fs::read_symlink(station.ini), "shared/ksw.ini");
    EXPECT_NE(read_text(target).find("RecFlags=392"), std::string::npos);
    struct stat st{};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    if (root) {
        EXPECT_EQ(st.st_uid, 4242u);
        EXPECT_EQ(st.st_gid, 4343u);
    }
    EXPECT_FALSE(station.leftovers());
}

TEST(HostileSettings, FileSizeLimitKeepsTheOldFileAndIsReportedNotKilling) {
    Station station;
    const std::string old = "[Program]\r\nLogDate=x\r\n; the old settings\r\n";
    write_text(station.ini, old);
    const ChildLimits limits{.file_size = 400};  // the program's intermediate file fits; the settings do not
    ChildRun run = station.headless(limits);
    EXPECT_TRUE(run.exited_with(0)) << "signal " << run.signal << "\n" << run.output;
    EXPECT_NE(run.output.find("[.ini File] s011: Can't write file.\ncannot write " + station.ini + ": File too large"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(station.saved(), old);
    EXPECT_FALSE(station.leftovers());

    // In force from the start: an intermediate file that outgrows the limit fails the load.
    std::string long_program = "step 1\r\n";
    for (int i = 0; i < 100; ++i) long_program += "no_operation\r\n";
    write_text(station.dir.file("long.ks"), long_program);
    run = station.run({"--check", "long.ks"}, limits);
    EXPECT_TRUE(run.exited_with(2)) << "signal " << run.signal << "\n" << run.output;
    EXPECT_NE(run.output.find("(File too large)"), std::string::npos) << run.output;
}

TEST(HostileSettings, NumbersTooLargeForTheirSettingAreReportedAndDefaultsKept) {
    Station station;
    write_text(station.ini, "[Mode]\r\nRecFlags=4294967296\r\n[Process]\r\nTaskNo=4294967301\r\n"
                            "[RS232C]\r\nStopBits=257\r\n");
    const ChildRun run = station.headless();
    ASSERT_TRUE(run.exited_with(0)) << run.output;
    EXPECT_NE(run.output.find("out of range; their settings keep their values:\n[Process] TaskNo=4294967301\n"
                              "[Mode] RecFlags=4294967296\n[RS232C] StopBits=257"),
              std::string::npos)
        << run.output;
    for (const char *line : {"RecFlags=392\r\n", "TaskNo=0\r\n", "StopBits=0\r\n"})
        EXPECT_NE(station.saved().find(line), std::string::npos) << line;
}

TEST(HostileSettings, DeviceOrFifoAsTheSettingsFileIsReportedWithoutWaiting) {
    Station station;
    ChildLimits limits{.alarm_seconds = 10};
    if (!kSanitized) limits.address_space = rlim_t{1} << 30;  // reading /dev/zero whole would exhaust it
    fs::create_symlink("/dev/zero", station.ini);
    ChildRun run = station.run({"--check", "p.ks"}, limits);
    EXPECT_TRUE(run.exited_with(0)) << "signal " << run.signal << "\n" << run.output;
    EXPECT_NE(run.output.find(station.ini + ": is not a regular file"), std::string::npos) << run.output;

    fs::remove(station.ini);
    ASSERT_EQ(::mkfifo(station.ini.c_str(), 0600), 0);
    run = station.headless(limits);
    EXPECT_TRUE(run.exited_with(0)) << "signal " << run.signal << "\n" << run.output;
    EXPECT_NE(run.output.find(station.ini + ": is not a regular file"), std::string::npos) << run.output;
    EXPECT_TRUE(fs::is_fifo(station.ini));
}

}  // namespace
}  // namespace ksw::testing
