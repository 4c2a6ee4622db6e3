// EVR files against the simulated product: the access record, page dumps and their loading.
#include <gtest/gtest.h>

#include "evr_fixture.h"
#include "platform/files.h"
#include "runtime/evr/evr_files.h"

namespace ksw::testing {
namespace {

using EvrFiles = EvrTest;

std::string contents(const std::string &path) {
    std::string text;
    platform::read_file(path, &text);
    return text;
}

TEST_F(EvrFiles, TheAccessRecordListsPagesZeroToFifteenOnlyBySection) {
    clear_evr_image(layer);
    auto set = [this](int cell, uint16_t value, EvrCellState state) {
        layer.image->values[static_cast<size_t>(cell)] = value;
        layer.image->states[static_cast<size_t>(cell)] = state;
    };
    set(0x0010, 0x12, kEvrRomWritten);
    set(0x0FFF, 0x34, kEvrRamWritten);
    set(0x0005, 0x56, kEvrRamWritten);
    set(0x1000, 0x78, kEvrRamWritten);  // page 16: never listed
    set(0xFF00, 0x9A, kEvrRomRead);     // page 255: never listed
    set(0x0100, 0xBC, kEvrRamRead);
    ASSERT_EQ(write_evr_access_record(layer, file("access.txt")), kOk);
    EXPECT_EQ(contents(file("access.txt")),
              "{ROM Write\r\n0010,0012\r\nFFFF,FFFF\r\n\r\n"
              "{RAM Write\r\n0005,0056\r\n0FFF,0034\r\nFFFF,FFFF\r\n\r\n"
              "{ROM Read\r\nFFFF,FFFF\r\n\r\n"
              "{RAM Read\r\n0100,00BC\r\nFFFF,FFFF\r\n\r\n");
    // Replaced on every write; a folder in the way is s007 and nothing is lost.
    set(0x0010, 0, kEvrUnset);
    ASSERT_EQ(write_evr_access_record(layer, file("access.txt")), kOk);
    EXPECT_EQ(contents(file("access.txt")).find("0010,"), std::string::npos);
    platform::make_directories(file("folder"), 0755);
    EXPECT_EQ(write_evr_access_record(layer, file("folder")), kMsgCantOpenFile);
}

TEST_F(EvrFiles, ADumpThenLoadRestoresTheProductsMemory) {
    ASSERT_EQ(run_evr("", "step 1\nno_operation\n"), kOk);
    for (int a = 0; a < 256; ++a) {
        jigsim_evr_write(JIGSIM_EEPROM, 2, a, static_cast<uint16_t>(a * 7 & 0xFF));
        jigsim_evr_write(JIGSIM_EEPROM, 0x11, a, static_cast<uint16_t>(255 - a));
    }
    std::bitset<256> pages;
    pages.set(2).set(0x11);
    std::vector<std::string> shown;
    EvrFileProgress progress;
    progress.text = [&shown](const std::string &text) { shown.push_back(text); };
    write_text(file("dump.csv"), "kept\r\n");
    ASSERT_EQ(dump_evr_pages(layer, file("dump.csv"), pages, progress), kOk);
    EXPECT_EQ(shown, (std::vector<std::string>{"PAGE 02", "PAGE 11"}));
    const std::string dump = contents(file("dump.csv"));
    EXPECT_EQ(dump.substr(0, 6), "kept\r\n");  // appended
    EXPECT_EQ(dump.substr(6, 54), "0200,00,07,0E,15,1C,23,2A,31,38,3F,46,4D,54,5B,62,69\r\n");
    EXPECT_EQ(dump.size(), 6 + 2 * 16 * 54 + 2);
    EXPECT_EQ(dump.substr(dump.size() - 4), "\r\n\r\n");
    // The world reads the same file into a fresh EEPROM.
    char error[256] = {};
    jigsim_load(nullptr);
    belmo_sim_reset();
    write_text(file("dump-only.csv"), dump.substr(6));
    ASSERT_EQ(jigsim_evr_load_dump(JIGSIM_EEPROM, file("dump-only.csv").c_str(), error, sizeof error), 0) << error;
    EXPECT_EQ(product(JIGSIM_EEPROM, 0x11, 0), 255);

    // Wipe the product, then load the dump back into its ROM through the driver.
    unload_evr_driver(layer);
    jigsim_load(nullptr);
    belmo_sim_reset();
    ASSERT_EQ(load_evr_driver(layer), EvrLoad::kLoaded);
    ASSERT_TRUE(load("step 0\nevr_func(0,0,7999)\n"));
    ASSERT_EQ(step0_thread(context), kOk);
    size_t lines = 0, total = 0;
    progress.bar = [&](size_t done, size_t all) {
        lines = done;
        total = all;
    };
    shown.clear();
    ASSERT_EQ(load_evr_file(layer, file("dump-only.csv"), true, progress), kOk);
    EXPECT_EQ(lines, 32u);
    EXPECT_EQ(total, 32u);
    EXPECT_EQ(shown, (std::vector<std::string>{"PAGE 02", "PAGE 11"}));
    for (int a = 0; a < 256; a += 17) {
        EXPECT_EQ(product(JIGSIM_EEPROM, 2, a), a * 7 & 0xFF) << a;
        EXPECT_EQ(product(JIGSIM_EEPROM, 0x11, a), 255 - a) << a;
    }
    EXPECT_EQ(cell_state(2 * 256 + 5), kEvrRomWritten);
}

TEST_F(EvrFiles, ABadFieldStopsTheLoadWithS009AndShortLinesEndIt) {
    ASSERT_EQ(run_evr("", "step 1\nno_operation\n"), kOk);
    const std::string good = "0000,01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F,10\r\n";
    write_text(file("bad.csv"), good + "0010,01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,XY,10\r\n");
    EXPECT_EQ(load_evr_file(layer, file("bad.csv"), false), kMsgBadInputData);
    EXPECT_EQ(product(JIGSIM_RAM, 0, 15), 0x10);  // the line before was written
    EXPECT_EQ(product(JIGSIM_RAM, 0, 16), 0);
    write_text(file("short.csv"), good + "\r\n0010,01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F,10\r\n");
    EXPECT_EQ(load_evr_file(layer, file("short.csv"), false), kOk);
    EXPECT_EQ(product(JIGSIM_RAM, 0, 16), 0);
    EXPECT_EQ(load_evr_file(layer, file("missing.csv"), false), kMsgCantOpenFile);
    belmo_sim_unit_error(1, BELMO_SIM_ALWAYS);
    EXPECT_EQ(load_evr_file(layer, file("short.csv"), false), 83);
    belmo_sim_clear_faults();
    EXPECT_EQ(evr_file_name("/x/adjust"), "/x/adjust.CSV");
    EXPECT_EQ(evr_file_name("/x.d/adjust.txt"), "/x.d/adjust.txt");
}

TEST_F(EvrFiles, FoldersAndOversizedLinesAreRefusedWithoutTouchingTheProduct) {
    ASSERT_EQ(run_evr("", "step 1\nno_operation\n"), kOk);
    platform::make_directories(file("folder.csv"), 0755);
    std::bitset<256> pages;
    pages.set(0);
    EXPECT_EQ(dump_evr_pages(layer, file("folder.csv"), pages), kMsgCantOpenFile);
    EXPECT_EQ(load_evr_file(layer, file("folder.csv"), true), kMsgCantOpenFile);
    // A line longer than 255 bytes comes in pieces: the first piece is a good line followed by
    // filler that is not hexadecimal.
    const std::string good = "0000,01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F,10";
    write_text(file("long.csv"), good + std::string(300, ' ') + "\r\n");
    EXPECT_EQ(load_evr_file(layer, file("long.csv"), false), kMsgBadInputData);
    // Here the rest after the first 255 bytes is shorter than 52 characters and ends the load; the
    // 17th field of the first piece is not read.
    write_text(file("long.csv"), good + ",11" + std::string(220, 'x') + "\r\n");
    EXPECT_EQ(load_evr_file(layer, file("long.csv"), false), kOk);
    EXPECT_EQ(product(JIGSIM_RAM, 0, 15), 0x10);
    // A line whose sixteen cells would run past the last cell is refused.
    write_text(file("end.csv"), "FFF8,01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F,10\r\n");
    EXPECT_EQ(load_evr_file(layer, file("end.csv"), false), kMsgBadInputData);
    EXPECT_EQ(product(JIGSIM_RAM, 255, 0xF8), 0);
}

}  // namespace
}  // namespace ksw::testing
