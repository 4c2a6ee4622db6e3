// EVR programs end to end: ksw --headless --sim=SCENARIO -V2 binds the real EVR driver over the
// real USB transport and the simulated unit, and the product's EVR memory is read back from the
// world's state report.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "run_ksw.h"

namespace ksw {
namespace {

using testing::dumped;
using testing::read_text;
using testing::run_ksw;
using testing::TempDir;
using testing::write_text;

std::string example(const std::string &name) { return std::string(KSW_SOURCE_DIR) + "/examples/" + name; }

// The value of `name` in a state report ("evr.rom.00:10"), or -1.
long reported(const std::string &state, const std::string &name) {
    const size_t at = state.find("\n" + name + "=");
    return at == std::string::npos ? -1 : std::strtol(state.c_str() + at + name.size() + 2, nullptr, 16);
}

// The example's scenario copied beside its EEPROM file, with a state report added.
void copy_scenario(const TempDir &dir, const std::string &ini, const std::string &csv, const std::string &csv_name) {
    write_text(dir.file("w.ini"), read_text(example(ini)) + "\n[report]\nstate=state.txt\n");
    std::filesystem::copy_file(example(csv), dir.file(csv_name));
}

TEST(KswEvr, TheLinkGroupExampleAdjustsThreeCellsTogetherAndWritesThemBack) {
    TempDir dir;
    copy_scenario(dir, "link_group.ini", "link_group.csv", "link_group.csv");
    const auto run = run_ksw(dir, "--headless --sim=w.ini -V2 " + example("link_group.ks") + " --dump='ad[16-18]'");
    ASSERT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output.substr(0, 5), "<OK>\n") << run.output;
    // Output 1 wants 195..205, output 2 225..235, output 3 145..155 (see the scenario).
    const double a = dumped(run.output, "ad[16]"), b = dumped(run.output, "ad[17]"), c = dumped(run.output, "ad[18]");
    EXPECT_GE(a, 195);
    EXPECT_LE(a, 205);
    EXPECT_GE(b, 225);
    EXPECT_LE(b, 235);
    EXPECT_GE(c, 145);
    EXPECT_LE(c, 155);
    const std::string state = read_text(dir.file("state.txt"));
    EXPECT_EQ(reported(state, "evr.rom.00:10"), static_cast<long>(a)) << state;
    EXPECT_EQ(reported(state, "evr.ram.00:10"), static_cast<long>(a));
    EXPECT_EQ(reported(state, "evr.rom.00:11"), static_cast<long>(b));
    EXPECT_EQ(reported(state, "evr.ram.00:12"), static_cast<long>(c));
}

TEST(KswEvr, TheAdjustmentPassesAreInTheJigTrace) {
    TempDir dir;
    copy_scenario(dir, "link_group.ini", "link_group.csv", "link_group.csv");
    const auto run = run_ksw(dir, "--headless --sim=w.ini -V2 --jig-trace=trace.txt " + example("link_group.ks"));
    ASSERT_EQ(run.exit_code, 0) << run.output;
    const std::string trace = read_text(dir.file("trace.txt"));
    // Output 1 starts at 20 (0x14) and searches upwards by 16.
    EXPECT_NE(trace.find("evr adjust STEP10 00:10 reading 0.7 in [2.45, 2.55] wrote 0x0024 (search)"), std::string::npos)
        << trace.substr(0, 3000);
    EXPECT_NE(trace.find("evr adjust STEP12 00:12"), std::string::npos);
}

TEST(KswEvr, TheDataSavingWritesTheAccessRecordOfTheAdjustedCellsFirst) {
    TempDir dir;
    copy_scenario(dir, "link_group.ini", "link_group.csv", "link_group.csv");
    // Recording on (global( field 3) and the "Access record" flag (bit 0) beside the default flags 0x188.
    write_text(dir.file("p.ks"), "#include \"" + example("link_group.ks") + "\"\nstep 30\nno_operation\nglobal(aut,\"t\",fil)\n");
    write_text(dir.file("ksw.ini"), "[RS232C]\r\nOpenRSFirst=0\r\n[Mode]\r\nRecFlags=393\r\n[EVR]\r\nAccessFile=" +
                                        dir.file("access.txt") + "\r\n");
    const auto run = run_ksw(dir, "--headless --sim=w.ini -V2 p.ks --dump='ad[16]'");
    ASSERT_EQ(run.exit_code, 0) << run.output;
    const std::string record = read_text(dir.file("access.txt"));
    char line[16];
    std::snprintf(line, sizeof line, "0010,%04X\r\n", static_cast<unsigned>(dumped(run.output, "ad[16]")));
    // Written back to the EEPROM, then read from it: the cell's last state is "ROM read".
    const size_t rom_read = record.find("{ROM Read\r\n");
    ASSERT_NE(rom_read, std::string::npos) << record;
    EXPECT_NE(record.find(line, rom_read), std::string::npos) << record;
    EXPECT_EQ(record.substr(record.size() - 13), "FFFF,FFFF\r\n\r\n");
}

TEST(KswEvr, TheDemoAdjustsReadsBackAndReadsItsPages) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("evr"));
    write_text(dir.file("w.ini"), read_text(example("evr/world.ini")));
    std::filesystem::copy_file(example("evr/product.csv"), dir.file("product.csv"));
    const auto run = run_ksw(dir, "--headless --sim=w.ini -V2 " + example("evr/demo.ks") + " --dump='ad[16-18],ad[232-234],ad[500-501]'");
    ASSERT_EQ(run.exit_code, 0) << run.output;
    const double a = dumped(run.output, "ad[16]"), b = dumped(run.output, "ad[17]"), c = dumped(run.output, "ad[18]");
    EXPECT_NEAR(a, 200, 5);
    EXPECT_NEAR(b, 230, 5);
    EXPECT_NEAR(c, 150, 5);
    EXPECT_EQ(dumped(run.output, "ad[232]"), a);  // page 0 read back whole: cell 0x20 in ad[200 + 0x20]
    EXPECT_EQ(dumped(run.output, "ad[234]"), c);
    EXPECT_EQ(dumped(run.output, "ad[501]"), 2);  // page 1 from the EEPROM file
    const std::string state = read_text(dir.file("evr-state.txt"));
    EXPECT_EQ(reported(state, "evr.rom.00:21"), static_cast<long>(b)) << state;
}

TEST(KswEvr, WithoutABackEndAnEvrCommandIsE170AndLancIsRefusedAtStart) {
    TempDir dir;
    write_text(dir.file("p.ks"), "step 1\nno_operation\nevr_rd(1,1)\n");
    auto run = run_ksw(dir, "--headless -D p.ks");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output, "STEP1S:e170: Not supported COM type\n");
    run = run_ksw(dir, "--headless -D -V0 p.ks");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.output.find("s014: Missing DLL for LANC or too old"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("STEP1S:e170: Not supported COM type"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace ksw
