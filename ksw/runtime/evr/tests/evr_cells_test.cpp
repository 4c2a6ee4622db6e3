// The EVR layer's driver binding and cell operations: the real driver on the simulated unit, and
// driver libraries of the tests' own for the refusals.
#include <gtest/gtest.h>

#include <thread>

#include "evr_fixture.h"
#include "resources/messages.h"

namespace ksw::testing {
namespace {

using EvrCells = EvrTest;

TEST(EvrDriverBinding, ResultsBecomeTheirMessagesAndStrangeOnesTheMiscellaneousError) {
    EXPECT_EQ(evr_result(0), kOk);
    EXPECT_EQ(evr_result(1), 75);
    EXPECT_EQ(evr_result(9), 83);
    EXPECT_EQ(message_text(evr_result(9)), "e083: COM No set connected");
    EXPECT_EQ(evr_result(11), 85);
    // EVREEPWriteVerify answers -1 for a byte that did not verify: not "e073: Step not exist".
    EXPECT_EQ(evr_result(-1), 80);
    EXPECT_EQ(evr_result(12), 80);
}

TEST(EvrDriverBinding, ATooOldDriverIsRefusedAndNoFurtherNameIsTried) {
    // The old Potdrv comes first; a usable HBUS waits behind it but must not be taken.
    ScopedEnv path("KSW_LIBRARY_PATH", std::string(KSW_FAKE_EVR_DIR) + "/old:" + KSW_FAKE_EVR_DIR + "/hbus");
    EvrLayer layer;
    const EvrLoad outcome = load_evr_driver(layer);
    EXPECT_EQ(outcome, EvrLoad::kTooOld);
    EXPECT_EQ(message_text(evr_load_message(outcome)), "s024: Missing DLL for EVR or too old");
    EXPECT_FALSE(layer.library.loaded());
}

TEST(EvrDriverBinding, ATypeTwoDriverThatCannotOpenIsRefusedWithS025) {
    ScopedEnv path("KSW_LIBRARY_PATH", std::string(KSW_FAKE_EVR_DIR) + "/type2");
    EvrLayer layer;
    const EvrLoad outcome = load_evr_driver(layer);
    EXPECT_EQ(outcome, EvrLoad::kCannotOpen);
    EXPECT_EQ(message_text(evr_load_message(outcome)), "s025: Can't use EVR(Missing DLL)");
    EXPECT_FALSE(layer.library.loaded());
}

TEST_F(EvrCells, TheRealDriverBindsAsTypeThreeAndStaysBoundUntilUnloaded) {
    EXPECT_EQ(load_evr_driver(layer), EvrLoad::kLoaded);
    EXPECT_EQ(layer.driver_type, 3);
    EXPECT_NE(layer.driver_path.find("libPotdrv.so"), std::string::npos) << layer.driver_path;
    EXPECT_EQ(load_evr_driver(layer), EvrLoad::kLoaded);  // a second load keeps the first
    unload_evr_driver(layer);
    EXPECT_FALSE(layer.library.loaded());
}

TEST_F(EvrCells, ClearingFillsTheImageForTheWidth) {
    layer.width.store(16);
    layer.image->states[5] = kEvrRamRead;
    layer.image->current = 0x1234;
    clear_evr_image(layer);
    EXPECT_EQ(image(0), 0xFFFF);
    EXPECT_EQ(image(65535), 0xFFFF);
    EXPECT_EQ(cell_state(5), kEvrUnset);
    EXPECT_EQ(layer.image->links[5], -1);
    EXPECT_EQ(layer.image->current, 0u);
    layer.width.store(8);
    clear_evr_image(layer);
    EXPECT_EQ(image(300), 0xFF);
}

TEST_F(EvrCells, WithoutABackEndOrDriverEveryAccessFails) {
    clear_evr_image(layer);
    uint16_t value = 0;
    EXPECT_EQ(evr_read(layer, 3, true, &value), kErrNotSupportedComType);
    EXPECT_EQ(evr_block(layer, EvrBlock::kRomRead, 0, 4), kErrNotSupportedComType);
    layer.type.store(kEvrTypeDriver);  // selected, but no library bound: never a call through null
    EXPECT_EQ(evr_write(layer, 3, 1, false), kErrEvrMissingDll);
    EXPECT_EQ(evr_set_page(layer, 2, true), kErrEvrMissingDll);
    EXPECT_EQ(cell_state(3), kEvrUnset);
}

TEST_F(EvrCells, CellsOnOtherPagesSelectTheirPageAndTheImageFollows) {
    ASSERT_EQ(run_evr("", "step 1\nno_operation\n"), kOk);
    jigsim_evr_write(JIGSIM_EEPROM, 3, 0x10, 0x5A);
    uint16_t value = 0;
    ASSERT_EQ(evr_read(layer, 3 * 256 + 0x10, true, &value, 42), kOk);
    EXPECT_EQ(value, 0x5A);
    EXPECT_EQ(cell_state(3 * 256 + 0x10), kEvrRomRead);
    EXPECT_EQ(layer.image->links[3 * 256 + 0x10], 42);
    EXPECT_EQ(layer.image->current, 3u * 256 + 0x10);
    // A write to page 4 reaches page 4 of the product's RAM.
    ASSERT_EQ(evr_write(layer, 4 * 256 + 1, 0x77, false), kOk);
    EXPECT_EQ(product(JIGSIM_RAM, 4, 1), 0x77);
    EXPECT_EQ(cell_state(4 * 256 + 1), kEvrRamWritten);
    // The saved page moves only with the command flag.
    ASSERT_EQ(evr_set_page(layer, 9, false), kOk);
    EXPECT_EQ(evr_command_page(layer), 0);
    ASSERT_EQ(evr_set_page(layer, 9, true), kOk);
    EXPECT_EQ(evr_command_cell(layer, 0x105), 9 * 256 + 5);
    EXPECT_EQ(evr_command_cell(layer, -1), -1);
}

TEST_F(EvrCells, AFailedAccessLeavesTheImageAlone) {
    ASSERT_EQ(run_evr("", "step 1\nno_operation\n"), kOk);
    belmo_sim_unit_error(1, BELMO_SIM_ALWAYS);
    EXPECT_EQ(evr_write(layer, 20, 0x33, false), 83);
    EXPECT_EQ(cell_state(20), kEvrUnset);
    EXPECT_EQ(image(20), 0xFF);
    belmo_sim_clear_faults();
}

TEST_F(EvrCells, BlockReadsGoInChunksThatStopAtThePageEnd) {
    ASSERT_EQ(run_evr("", "step 1\nno_operation\n"), kOk);
    for (int a = 0; a < 256; ++a) {
        jigsim_evr_write(JIGSIM_EEPROM, 1, a, static_cast<uint16_t>(a ^ 0x55));
        jigsim_evr_write(JIGSIM_EEPROM, 2, a, static_cast<uint16_t>(a ^ 0xAA));
        jigsim_evr_write(JIGSIM_RAM, 2, a, static_cast<uint16_t>(a));
    }
    // 256 cells from the middle of page 1 span pages 1 and 2.
    ASSERT_EQ(evr_block(layer, EvrBlock::kRomRead, 256 + 128, 256), kOk);
    EXPECT_EQ(image(256 + 128), 128 ^ 0x55);
    EXPECT_EQ(image(511), 255 ^ 0x55);
    EXPECT_EQ(image(512), 0xAA);
    EXPECT_EQ(image(512 + 127), 127 ^ 0xAA);
    EXPECT_EQ(cell_state(512 + 127), kEvrRomRead);
    EXPECT_EQ(cell_state(512 + 128), kEvrUnset);
    ASSERT_EQ(evr_block(layer, EvrBlock::kRamRead, 512, 10), kOk);
    EXPECT_EQ(image(512 + 9), 9);
    EXPECT_EQ(cell_state(512 + 9), kEvrRamRead);
    // Block writes go cell by cell from the image.
    ASSERT_EQ(evr_block(layer, EvrBlock::kRomWrite, 512, 3), kOk);
    EXPECT_EQ(product(JIGSIM_EEPROM, 2, 2), 2);
    EXPECT_EQ(evr_block(layer, EvrBlock::kRomRead, 65500, 100), kErrOutOfRange);
}

TEST_F(EvrCells, TheWindowsAndTheSequencerNeverInterleaveAccesses) {
    ASSERT_EQ(run_evr("", "step 1\nno_operation\n"), kOk);
    // Two threads write and read back their own pages; each access selects its page first, so an
    // access of the other thread between the selection and the transfer would land on its page.
    auto worker = [this](int page, int *failures) {
        for (int i = 0; i < 40; ++i) {
            const int cell = page * 256 + (i & 0xFF);
            uint16_t back = 0;
            if (evr_write(layer, cell, static_cast<uint32_t>(page + i), false) != kOk ||
                evr_read(layer, cell, false, &back) != kOk || back != ((page + i) & 0xFF))
                ++*failures;
        }
    };
    int failures_a = 0, failures_b = 0;
    std::thread a(worker, 5, &failures_a);
    std::thread b(worker, 6, &failures_b);
    a.join();
    b.join();
    EXPECT_EQ(failures_a + failures_b, 0);
    EXPECT_EQ(product(JIGSIM_RAM, 5, 39), 5 + 39);
    EXPECT_EQ(product(JIGSIM_RAM, 6, 39), 6 + 39);
}

}  // namespace
}  // namespace ksw::testing
