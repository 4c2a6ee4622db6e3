// Reading scenario files: the settings-file rules, bad values reported where they stand with the
// defaults kept, hostile files, and the port settings and boards they call for.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "jigsim.h"
#include "port_driver.h"
#include "world_fixture.h"

namespace {

using jigtest::LoadedWorld;

std::string port_setting(const char *key, int *source = nullptr) {
    char buf[64];
    const int r = jigsim_port_setting(key, buf, sizeof buf);
    if (source) *source = r;
    return buf;
}

std::string board(int index, int *slot) {
    char name[32] = "";
    if (jigsim_ppi_board(index, name, sizeof name, slot) != 0) return "none";
    return name;
}

TEST(Scenario, WithoutOneTheJigIsPluggedInOnTwoBoards) {
    ASSERT_EQ(jigsim_load(nullptr), 0);
    int source = -2, slot = 0;
    EXPECT_EQ(port_setting("SysPort0", &source), "10,12,14,16");
    EXPECT_EQ(source, 0);
    EXPECT_EQ(port_setting("sysport1"), "11,13,15,17");
    EXPECT_EQ(port_setting("Ext0Port0"), "20,22,24,26");
    EXPECT_EQ(port_setting("EXT0PORT1"), "21,23,25,27");
    EXPECT_EQ(port_setting("Ext1Port0", &source), "");
    EXPECT_EQ(source, -1);
    ASSERT_EQ(jigsim_ppi_board_count(), 2);
    EXPECT_EQ(board(0, &slot), "FBIPPI1");
    EXPECT_EQ(slot, 1);
    EXPECT_EQ(board(1, &slot), "FBIPPI2");
    EXPECT_EQ(slot, 2);
    jigtest::StationPorts ports;
    EXPECT_EQ(ports.check_cables(), jigtest::kOk);
    EXPECT_FALSE(ports.sequencer_start());
}

TEST(Scenario, ReadLikeTheSettingsFile) {
    LoadedWorld w("; a comment line\r\nstray=1\r\n[JIG]\r\nCable2 = 0 \r\n[serial]\r\nbanner = \" two  words \"\r\n"
                  "name='x'\r\nKey=first\r\nkey=second\r\n[Ports]\r\nsysport0 = \"30,32,34,36\"\r\n[jig]\r\ncable2=1\r\n");
    EXPECT_EQ(w.problems, 1) << w.messages;  // the repeated [jig]
    EXPECT_NE(w.messages.find("world.ini: line 12: a section repeated"), std::string::npos) << w.messages;
    char buf[64];
    EXPECT_EQ(jigsim_scenario_value("serial", "BANNER", buf, sizeof buf), 1);
    EXPECT_STREQ(buf, " two  words ");
    EXPECT_EQ(jigsim_scenario_value("serial", "name", buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "x");
    EXPECT_EQ(jigsim_scenario_value("serial", "key", buf, sizeof buf), 1);
    EXPECT_STREQ(buf, "first");
    EXPECT_EQ(jigsim_scenario_value("serial", "missing", buf, sizeof buf), 0);
    EXPECT_EQ(jigsim_scenario_value("serial", "banner", buf, 5), -1);
    int source = 0, slot = 0;
    EXPECT_EQ(port_setting("SysPort0", &source), "30,32,34,36");
    EXPECT_EQ(source, 1);
    ASSERT_EQ(jigsim_ppi_board_count(), 3);  // slots 1 (SysPort1), 2 and 3 (SysPort0)
    EXPECT_EQ(board(2, &slot), "FBIPPI3");
    EXPECT_EQ(slot, 3);
    jigtest::StationPorts ports;
    EXPECT_EQ(ports.check_cables(), jigtest::kCable2);  // the first [jig] wins
}

TEST(Scenario, BadValuesAreReportedWithFileLineAndKeyAndKeepTheirDefaults) {
    LoadedWorld w("[jig]\ncable1=2\nadc_busy_us=1e3\nswitches=0x10\nseed=7\n[adc.0]\ncounts=abc\nnoise=-1\nevr=3\n"
                  "gate_sw=512\nper_step=fast\ncont=5\n[adc.9]\ncounts=1\n[ports]\nSysPort1=11,13,15\nExt0Port0=10,12,14,16\n"
                  "[evr]\nrom=missing.csv\n[adc.1]\nsamples=none.txt\n");
    EXPECT_EQ(w.problems, 14) << w.messages;
    for (const char *where : {"world.ini:2: [jig] cable1:", "world.ini:3: [jig] adc_busy_us:", "world.ini:4: [jig] switches:",
                              "world.ini:7: [adc.0] counts: \"abc\"", "world.ini:8: [adc.0] noise:", "world.ini:9: [adc.0] evr:",
                              "world.ini:10: [adc.0] gate_sw:", "world.ini:11: [adc.0] per_step:", "world.ini:12: [adc.0] cont: unknown key",
                              "world.ini:14: [adc.9] counts: no A/D channel", "world.ini:16: [ports] SysPort1:",
                              "world.ini:17: [ports] Ext0Port0: the chip is already wired as SysPort0", "world.ini:19: [evr] rom: EVR file",
                              "world.ini:21: [adc.1] samples: samples file"})
        EXPECT_NE(w.messages.find(where), std::string::npos) << where << "\n" << w.messages;
    EXPECT_EQ(port_setting("SysPort1"), "11,13,15,17");
    EXPECT_EQ(jigsim_ppi_board_count(), 2);  // Ext0Port0 is not wired; Ext0Port1 still sits in slot 2
    jigtest::StationPorts ports;
    EXPECT_EQ(ports.check_cables(), jigtest::kOk);
    ports.set_ports_default();
    uint16_t sample = 1;
    ASSERT_EQ(ports.read_ad(0, 6, &sample, 1, 1000, 0x0F), jigtest::kOk);
    EXPECT_EQ(sample, 0);  // counts, noise and gate kept their defaults
}

TEST(Scenario, UnreadableFilesKeepEveryDefaultWithoutHanging) {
    ksw::testing::TempDir dir;
    const std::string fifo = dir.file("fifo.ini"), big = dir.file("big.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ksw::testing::write_text(big, "[jig]\n" + std::string(2 << 20, ';'));
    for (const std::string &path : {dir.file("missing.ini"), dir.path(), fifo, big}) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(jigsim_load(path.c_str()), 1) << path;
        const std::string messages = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(messages.find(path + ": cannot"), std::string::npos) << messages;
        EXPECT_EQ(jigsim_ppi_board_count(), 2);
    }
    char buf[256];
    EXPECT_EQ(jigsim_scenario_path(buf, sizeof buf), 0);
    EXPECT_EQ(std::string(buf), big);
    jigsim_load(nullptr);
}

TEST(Scenario, AGroupWithoutControlAddressIsNotWired) {
    LoadedWorld w("[ports]\nExt0Port0=0,0,0,0\nExt0Port1=0,0,0,0\n");
    EXPECT_EQ(w.problems, 0) << w.messages;
    EXPECT_EQ(jigsim_ppi_board_count(), 1);
    jigtest::StationPorts ports;
    EXPECT_EQ(ports.write_ext0_word(0, 0x1234), jigtest::kPortUnset);
    EXPECT_EQ(ports.write_output_port(3, 0x0102), jigtest::kOk);
}

TEST(Scenario, ResetGoesBackToTheScenarioValues) {
    LoadedWorld w("[jig]\ncable1=0\n");
    jigsim_set_cable(1, 1);
    jigtest::StationPorts ports;
    ASSERT_EQ(ports.check_cables(), jigtest::kOk);
    ASSERT_EQ(ports.write_output_port(9, 0x55), jigtest::kOk);
    EXPECT_EQ(jigsim_reset(), 0);
    EXPECT_EQ(ports.check_cables(), jigtest::kCable1);
    EXPECT_EQ(jigsim_output_port(9), 0);
}

}  // namespace
