// The EVR commands in whole programs on the simulated product.
#include <gtest/gtest.h>

#include "evr_fixture.h"
#include "platform/files.h"
#include "recording_frontend.h"

namespace ksw::testing {
namespace {

using EvrCommands = EvrTest;

TEST_F(EvrCommands, AnEightBitWriteSendsTheLowByteOnly) {
    ASSERT_EQ(run_evr("", "step 1\nno_operation\nad[1]=H1234\nevr_page(2)\nevr_wr(0,5,ad[1])\nevr_wr(1,6,ad[1])\n"), kOk);
    EXPECT_EQ(product(JIGSIM_RAM, 2, 5), 0x34);
    EXPECT_EQ(product(JIGSIM_EEPROM, 2, 6), 0x34);
    EXPECT_EQ(image(2 * 256 + 5), 0x34);
    EXPECT_EQ(cell_state(2 * 256 + 5), kEvrRamWritten);
    EXPECT_EQ(cell_state(2 * 256 + 6), kEvrRomWritten);
}

TEST_F(EvrCommands, ReadingAnAddressOfTheCommandPageFillsTheImageAndTheRegister) {
    ASSERT_EQ(run_evr("", "step 1\nno_operation\nevr_page(7)\nevr_rd(H20,12)\n"), kOk);
    EXPECT_EQ(ad(12), 0);
    jigsim_evr_write(JIGSIM_EEPROM, 7, 0x20, 0xC3);
    ASSERT_EQ(run_thread(context, 1), kOk);
    EXPECT_EQ(ad(12), 0xC3);
    EXPECT_EQ(image(7 * 256 + 0x20), 0xC3);
    EXPECT_EQ(cell_state(7 * 256 + 0x20), kEvrRomRead);
    EXPECT_EQ(layer.image->links[7 * 256 + 0x20], 12);
}

TEST_F(EvrCommands, PrintingToTheLogWrapsWithinThePage) {
    ASSERT_EQ(run_evr("", "step 1\nno_operation\nevr_page(3)\n"), kOk);
    jigsim_evr_write(JIGSIM_EEPROM, 3, 254, 11);
    jigsim_evr_write(JIGSIM_EEPROM, 3, 255, 22);
    jigsim_evr_write(JIGSIM_EEPROM, 3, 0, 33);
    jigsim_evr_write(JIGSIM_EEPROM, 3, 1, 44);
    jigsim_evr_write(JIGSIM_EEPROM, 4, 0, 99);  // the next page is never read
    ASSERT_TRUE(load("step 1\nno_operation\nevr_page(3)\nevr_prn(log,254,4)\n"));
    context.log.clear();
    ASSERT_EQ(run_thread(context, 1), kOk);
    EXPECT_EQ(context.log.text(), ",11,22,33,44");
    // A text that would reach the log's capacity is refused whole.
    context.log.reset(8);
    EXPECT_EQ(run_thread(context, 1), kErrOutOfLogSpace);
    EXPECT_EQ(context.log.text(), ",11,22");
}

TEST_F(EvrCommands, PrintingToThePrinterAppendsAndAMissingPrinterIsE098) {
    ASSERT_EQ(run_evr("", "step 1\nno_operation\nevr_wr(0,0,5)\n"), kOk);
    jigsim_evr_write(JIGSIM_EEPROM, 0, 0, 200);
    jigsim_evr_write(JIGSIM_EEPROM, 0, 1, 7);
    layer.printer = file("printer");
    ASSERT_TRUE(load("step 1\nno_operation\nevr_prn(prn,0,2)\n"));
    EXPECT_EQ(run_thread(context, 1), kErrCantOpenPrinter);  // not there: never created
    write_text(file("printer"), "before");
    ASSERT_EQ(run_thread(context, 1), kOk);
    std::string printed;
    ASSERT_TRUE(platform::read_file(file("printer"), &printed));
    EXPECT_EQ(printed, "before,200,7");
}

TEST_F(EvrCommands, WriteBackNeedsASetCellAndThePageWritesEverySetCell) {
    EXPECT_EQ(run_evr("", "step 1\nno_operation\nevr_wr(2,9)\n"), kErrEvrNotSet);
    // RAM writes then a write-back of one cell and of the page: the EEPROM takes the values.
    ASSERT_EQ(run_evr("", "step 1\nno_operation\nevr_page(1)\nevr_wr(0,3,30)\nevr_wr(0,4,40)\nevr_wr(2,3)\n"), kOk);
    EXPECT_EQ(product(JIGSIM_EEPROM, 1, 3), 30);
    EXPECT_EQ(product(JIGSIM_EEPROM, 1, 4), 0);
    ASSERT_TRUE(load("step 1\nno_operation\nevr_page(1)\nevr_wr(3)\n"));
    ASSERT_EQ(run_thread(context, 1), kOk);
    EXPECT_EQ(product(JIGSIM_EEPROM, 1, 4), 40);
    EXPECT_EQ(product(JIGSIM_EEPROM, 1, 5), 0);  // never set: not written
    EXPECT_EQ(cell_state(256 + 4), kEvrRomWritten);
}

TEST_F(EvrCommands, AUnitThatAnswersWithAnErrorSurfacesAsE083) {
    ASSERT_EQ(run_evr("", "step 1\nno_operation\n"), kOk);
    belmo_sim_unit_error(5, BELMO_SIM_ALWAYS);
    ASSERT_TRUE(load("step 1\nno_operation\nevr_rd(3,1)\n"));
    EXPECT_EQ(run_thread(context, 1), 83);
    EXPECT_EQ(format_step_message(context, 1, 83), "STEP1S:e083: COM No set connected");
    belmo_sim_clear_faults();
}

TEST_F(EvrCommands, TheMemoryServiceReadsIntoRegistersAndTheImage) {
    ASSERT_EQ(run_evr("", "step 1\nno_operation\nevr_page(6)\nevr_func(3,11,0,16,200,4)\n"), kOk);
    for (int a = 0; a < 4; ++a) jigsim_evr_write(JIGSIM_RAM, 6, 16 + a, static_cast<uint16_t>(0x40 + a));
    ASSERT_EQ(run_thread(context, 1), kOk);
    EXPECT_EQ(ad(200), 0x40);
    EXPECT_EQ(ad(203), 0x43);
    EXPECT_EQ(image(6 * 256 + 19), 0x43);
    EXPECT_EQ(cell_state(6 * 256 + 19), kEvrRamRead);
    // A memory write (code 12) from ad[300..301] to address 40 of the page: RAM and image.
    ASSERT_TRUE(load("step 1\nno_operation\nevr_page(6)\nad[300]=H11\nad[301]=H22\nevr_func(3,12,300,2,0,40)\n"));
    ASSERT_EQ(run_thread(context, 1), kOk);
    EXPECT_EQ(product(JIGSIM_RAM, 6, 41), 0x22);
    EXPECT_EQ(image(6 * 256 + 41), 0x22);
    EXPECT_EQ(cell_state(6 * 256 + 41), kEvrRamWritten);
}

TEST_F(EvrCommands, TheMemoryServiceNeverWritesPastTheLastRegister) {
    // Identify fills seven texts of 256 units: from ad[7990] most of them fall beyond ad[].
    ASSERT_EQ(run_evr("", "step 1\nno_operation\nevr_func(3,0,0,0,7990,0)\n"), kOk);
    EXPECT_EQ(ad(7990), 'O');  // the first text, "Orvane"
}

TEST_F(EvrCommands, IgnoreSkipsTheFunctionAndTheDevice) {
    ASSERT_EQ(run_evr("", "step 1\nno_operation\nevr_wr(0,9,H42)\n"), kOk);
    layer.ignore.store(true);
    belmo_sim_unit_error(5, BELMO_SIM_ALWAYS);
    ASSERT_TRUE(load("step 1\nno_operation\nevr_func(1,2,3)\nevr_wr(0,9,H43)\nevr_rd(9,4)\n"));
    EXPECT_EQ(run_thread(context, 1), kOk);
    EXPECT_EQ(product(JIGSIM_RAM, 0, 9), 0x42);
    EXPECT_EQ(ad(4), 0x43);  // the image's value
    belmo_sim_clear_faults();
}

TEST_F(EvrCommands, AdjustmentRecordsAreCheckedAtRunTime) {
    // 300 does not fit an 8-bit value.
    EXPECT_EQ(run_evr("", "step 1\nauto_adjust,dc_volt(1,+-1)\nevr_adj(1,16,300,4,0,255)\n"), kErrOutOfRange);
    ASSERT_TRUE(load("step 2\nauto_adjust,dc_volt(1,+-1)\nevr_adj(1,16,-1,4,0,300,-1,17)\nevr_adj2(on,0.5,9,2,7)\n"
                     "limit(0.01,1)\n"));
    layer.width.store(16);
    EXPECT_EQ(run_thread(context, 2), kErrEvrNot8Bit);
    layer.width.store(8);
    run_thread(context, 2);
    const EvrAdjustRecord &r = state(2).adjustment.evr;
    EXPECT_EQ(r.address, 16);
    EXPECT_EQ(r.upper, 300);  // a byte pair: 16 bits
    EXPECT_EQ(r.high_address, 17);
    EXPECT_TRUE(r.on);
    EXPECT_DOUBLE_EQ(r.sensitivity, 0.5);
    EXPECT_EQ(r.second_address, 9);
    EXPECT_EQ(r.second_page, 2);
    EXPECT_EQ(r.second_value, 7);
}

TEST_F(EvrCommands, TheFunctionBindsADriverWhenNoneIsAndARefusalIsE171) {
    // Only the old driver is on offer (the jig's board library stays reachable).
    ScopedEnv path("KSW_LIBRARY_PATH", std::string(KSW_FAKE_EVR_DIR) + "/old:" + KSW_SIM_LIBRARY_DIR);
    RecordingFrontend frontend;
    context.frontend = &frontend;
    start("");
    layer.type.store(kEvrTypeDriver);
    ASSERT_TRUE(load("step 1\nno_operation\nevr_func(1,2,3)\n"));
    EXPECT_EQ(run_thread(context, 1), kErrEvrMissingDll);
    context.frontend = nullptr;
    ASSERT_EQ(frontend.sent_questions.size(), 1u);
    EXPECT_EQ(frontend.sent_questions[0], "s024: Missing DLL for EVR or too old");
    EXPECT_FALSE(layer.library.loaded());
}

}  // namespace
}  // namespace ksw::testing
