// The product's EVR memory: cell access, copies, and page dumps in the station's format.
#include <gtest/gtest.h>

#include <string>

#include "jigsim.h"
#include "world_fixture.h"

namespace {

using jigtest::LoadedWorld;

// One dump line: cell index, then 16 values of `digits` hex digits counting up from `first`.
std::string dump_line(int cell, int first, int digits, const char *end = "\r\n") {
    char buf[128];
    std::string line = (std::snprintf(buf, sizeof buf, "%04X", cell), buf);
    for (int i = 0; i < 16; ++i) line += (std::snprintf(buf, sizeof buf, ",%0*X", digits, first + i), buf);
    return line + end;
}

uint16_t cell(int memory, int page, int address) {
    uint16_t value = 0xDEAD;
    EXPECT_EQ(jigsim_evr_read(memory, page, address, &value), 0);
    return value;
}

TEST(EvrMemory, RamAndEepromAreSeparateAndCopyWhole) {
    ASSERT_EQ(jigsim_load(nullptr), 0);
    EXPECT_EQ(jigsim_evr_write(JIGSIM_RAM, 255, 255, 0xBEEF), 0);
    EXPECT_EQ(jigsim_evr_write(JIGSIM_EEPROM, 0, 0, 0x1234), 0);
    EXPECT_EQ(cell(JIGSIM_RAM, 255, 255), 0xBEEF);
    EXPECT_EQ(cell(JIGSIM_EEPROM, 255, 255), 0);
    EXPECT_EQ(jigsim_evr_copy(JIGSIM_EEPROM, JIGSIM_RAM), 0);
    EXPECT_EQ(cell(JIGSIM_RAM, 255, 255), 0);
    EXPECT_EQ(cell(JIGSIM_RAM, 0, 0), 0x1234);
    uint16_t v = 0;
    EXPECT_EQ(jigsim_evr_read(2, 0, 0, &v), -1);
    EXPECT_EQ(jigsim_evr_read(JIGSIM_RAM, 256, 0, &v), -1);
    EXPECT_EQ(jigsim_evr_write(JIGSIM_RAM, 0, -1, 1), -1);
    EXPECT_EQ(jigsim_evr_read(JIGSIM_RAM, 0, 0, nullptr), -1);
    EXPECT_EQ(jigsim_evr_copy(JIGSIM_RAM, 5), -1);
}

TEST(EvrMemory, DumpsOfEightAndSixteenBitValuesLoadUpToTheFirstShortLine) {
    ksw::testing::TempDir dir;
    const std::string path = dir.file("rom.csv");
    ksw::testing::write_text(path, dump_line(0x0310, 0xA0, 2) + dump_line(0x0320, 0x1000, 4, "\n") + "\r\n" + dump_line(0x0400, 1, 2));
    ASSERT_EQ(jigsim_load(nullptr), 0);
    char error[256] = "x";
    ASSERT_EQ(jigsim_evr_load_dump(JIGSIM_EEPROM, path.c_str(), error, sizeof error), 0) << error;
    EXPECT_STREQ(error, "");
    EXPECT_EQ(cell(JIGSIM_EEPROM, 3, 0x10), 0xA0);
    EXPECT_EQ(cell(JIGSIM_EEPROM, 3, 0x1F), 0xAF);
    EXPECT_EQ(cell(JIGSIM_EEPROM, 3, 0x2F), 0x100F);
    EXPECT_EQ(cell(JIGSIM_EEPROM, 4, 0), 0);  // after the empty line
    EXPECT_EQ(cell(JIGSIM_RAM, 3, 0x10), 0);
}

TEST(EvrMemory, ABadDumpChangesNothingAndSaysWhere) {
    ksw::testing::TempDir dir;
    const std::string path = dir.file("bad.csv"), past = dir.file("past.csv");
    std::string second = dump_line(0x0020, 0x10, 2);
    second.replace(second.find(",15"), 3, ",G5");
    ksw::testing::write_text(path, dump_line(0x0010, 0x10, 2) + second);
    ksw::testing::write_text(past, dump_line(0xFFF8, 0, 2));
    ASSERT_EQ(jigsim_load(nullptr), 0);
    char error[256];
    EXPECT_EQ(jigsim_evr_load_dump(JIGSIM_RAM, path.c_str(), error, sizeof error), -1);
    EXPECT_NE(std::string(error).find("bad.csv: line 2: value 5 \"G5\""), std::string::npos) << error;
    EXPECT_EQ(cell(JIGSIM_RAM, 0, 0x10), 0);
    EXPECT_EQ(jigsim_evr_load_dump(JIGSIM_RAM, past.c_str(), error, sizeof error), -1);
    EXPECT_NE(std::string(error).find("past the last page"), std::string::npos) << error;
    EXPECT_EQ(jigsim_evr_load_dump(JIGSIM_RAM, dir.path().c_str(), error, sizeof error), -1);
    EXPECT_NE(std::string(error).find("not a regular file"), std::string::npos) << error;
}

TEST(EvrMemory, TheScenarioLoadsTheEepromAndCanStartTheRamFromIt) {
    LoadedWorld w("[evr]\nrom=\"rom.csv\"\nram_from_rom=1\n", {{"rom.csv", dump_line(0x0700, 0x40, 2)}});
    ASSERT_EQ(w.problems, 0) << w.messages;
    EXPECT_EQ(cell(JIGSIM_EEPROM, 7, 5), 0x45);
    EXPECT_EQ(cell(JIGSIM_RAM, 7, 5), 0x45);
    LoadedWorld bad("[evr]\nrom=rom.csv\n", {{"rom.csv", dump_line(0x0700, 0x40, 3)}});
    EXPECT_EQ(bad.problems, 1);
    EXPECT_NE(bad.messages.find("world.ini:2: [evr] rom: EVR file"), std::string::npos) << bad.messages;
    EXPECT_EQ(cell(JIGSIM_EEPROM, 7, 5), 0);
}

}  // namespace
