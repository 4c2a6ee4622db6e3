// Automatic adjustment: the search rules, the limits, predictions by sensitivity and by the
// adjusting table, and whole adjusting steps on the simulated product, whose reading follows an
// EVR cell.
#include <gtest/gtest.h>

#include <algorithm>

#include "evr_fixture.h"
#include "platform/files.h"
#include "recording_frontend.h"

namespace ksw::testing {
namespace {

TEST(EvrSearch, RisingSelectorGoesOnUpwardsAndHalvesBackAfterOvershooting) {
    int32_t s = 4;
    ASSERT_TRUE(next_search_step(1, true, true, &s));
    EXPECT_EQ(s, 4);  // below: a positive step is kept
    ASSERT_TRUE(next_search_step(1, false, false, &s));
    EXPECT_EQ(s, -2);  // above, later pass: halved and turned
    ASSERT_TRUE(next_search_step(1, true, false, &s));
    EXPECT_EQ(s, 1);
    ASSERT_TRUE(next_search_step(1, false, false, &s));
    EXPECT_EQ(s, -1);
    ASSERT_TRUE(next_search_step(1, true, false, &s));
    EXPECT_EQ(s, 1);
    s = 6;
    ASSERT_TRUE(next_search_step(1, false, true, &s));
    EXPECT_EQ(s, -6);  // above on the first NG pass: turned whole
}

TEST(EvrSearch, FallingSelectorMirrorsAndOtherSelectorsAreInvalid) {
    int32_t s = 4;
    ASSERT_TRUE(next_search_step(2, true, true, &s));
    EXPECT_EQ(s, -4);
    ASSERT_TRUE(next_search_step(2, false, false, &s));
    EXPECT_EQ(s, 2);
    ASSERT_TRUE(next_search_step(2, true, false, &s));
    EXPECT_EQ(s, -1);
    s = 1;
    ASSERT_TRUE(next_search_step(2, true, false, &s));
    EXPECT_EQ(s, -1);  // 1 / -2 is 0, which becomes -1
    EXPECT_FALSE(next_search_step(3, true, false, &s));
}

TEST(EvrSearch, MovesClampToTheLimitsAndWrapWhenLowerIsAboveUpper) {
    EXPECT_EQ(move_within_limits(10, 5, 0, 12, 256), 12);
    EXPECT_EQ(move_within_limits(10, -20, 3, 255, 256), 3);
    EXPECT_EQ(move_within_limits(300, 0, 0, 255, 65536), 255);
    // 250..5 through the top: 254 + 4 is 2; 3 - 6 is 253; beyond either end stays at it.
    EXPECT_EQ(move_within_limits(254, 4, 250, 5, 256), 2);
    EXPECT_EQ(move_within_limits(3, -6, 250, 5, 256), 253);
    EXPECT_EQ(move_within_limits(3, 10, 250, 5, 256), 5);
    EXPECT_EQ(move_within_limits(251, -10, 250, 5, 256), 250);
}

TEST(EvrTable, ThePredictionIsTheLastLineNotAboveTheReadingAndItsLineLearns) {
    TempDir dir;
    const std::string path = dir.file("adj0003.txt");
    write_text(path, "-inf,h40\r\n1.5 h50 2\r\n2.5,-1\r\n");
    std::vector<AdjustTableLine> lines;
    bool bad = true;
    ASSERT_TRUE(read_adjust_table(path, &lines, &bad));
    EXPECT_FALSE(bad);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(adjust_table_pick(lines, -100.0), 0u);
    EXPECT_EQ(adjust_table_pick(lines, 1.5), 1u);
    EXPECT_EQ(adjust_table_pick(lines, 9.0), 2u);
    EXPECT_EQ(lines[1].value, 0x50);
    EXPECT_EQ(lines[1].count, 2);
    ASSERT_EQ(learn_adjust_table(path, 1, 0x60), 0);  // the mean of 0x50 and 0x60
    ASSERT_EQ(learn_adjust_table(path, 2, 0x33), 0);  // a negative value takes the final one
    std::string text;
    ASSERT_TRUE(platform::read_file(path, &text));
    EXPECT_EQ(text, "-inf,h40\r\n1.500000,h58,3\r\n2.500000,h33,1\r\n");
    write_text(path, "x,h40\r\n1.5,zz\r\n");
    EXPECT_FALSE(read_adjust_table(path, &lines, &bad));
    EXPECT_TRUE(bad);
    EXPECT_FALSE(read_adjust_table(dir.file("none.txt"), &lines, &bad));
    EXPECT_FALSE(bad);
}

// Channel 1 reads 400 counts plus 8 per step of RAM cell 0:0x10: 0.5 V + 10 mV per step, so
// 2.5 V +- 50 mV wants 195..205.
const char *const kFollowing = "[jig]\nadc_busy_us=0\n[adc.0]\ncounts_r6=4000\n[adc.1]\ncounts=400\nevr=0:0x10\nper_step=8\n";

class EvrAdjust : public EvrTest {};

TEST_F(EvrAdjust, AStepConvergesFromABadRomValueAndItsResultIsWrittenBack) {
    ASSERT_EQ(run_evr(kFollowing, "step 1\nno_operation\n"), kOk);
    jigsim_evr_write(JIGSIM_EEPROM, 0, 0x10, 20);
    clear_evr_image(layer);
    ASSERT_TRUE(load("step 1\nauto_adjust,dc_volt(2.5,+-0.05)\nevr_adj(1,16,-1,16)\nlimit(5,1)\n"
                     "step 2\nno_operation\nevr_wr(2,16)\n"));
    ASSERT_EQ(run_thread(context, 1), kOk);
    EXPECT_EQ(state(1).judgement, kJudgedOk);
    const int value = product(JIGSIM_RAM, 0, 0x10);
    EXPECT_GE(value, 195);
    EXPECT_LE(value, 205);
    EXPECT_EQ(product(JIGSIM_EEPROM, 0, 0x10), value);
    EXPECT_EQ(ad(0), value);  // the working register
    EXPECT_NEAR((*context.registers->rd)[0], 2.5, 0.05);
}

TEST_F(EvrAdjust, TheStatusShowsTheCellAndLimitsAndEachValueStandsBeforeItsReading) {
    RecordingFrontend frontend;
    context.frontend = &frontend;
    ASSERT_EQ(run_evr(kFollowing, "step 1\nauto_adjust,dc_volt(2.5,+-0.05)\nevr_adj(1,16,100,64,10,250)\nlimit(5,1)\n"), kOk);
    context.frontend = nullptr;
    EXPECT_NE(std::find(frontend.status_texts.begin(), frontend.status_texts.end(), "4:P=0 AD=10 (0A - FA)"),
              frontend.status_texts.end());
    // 100 reads 1.5 V, 164 reads 2.14 V, 228 reads 2.78 V, then 196 reads 2.46 V.
    const std::vector<std::string> expected{"1:64:1.5", "1:A4:2.14", "1:E4:2.78", "1:C4:2.46 #OK=1/1"};
    std::vector<std::string> shown;
    for (const std::string &text : frontend.field_texts)
        if (text.rfind("1:STEP", 0) != 0) shown.push_back(text);
    EXPECT_EQ(shown, expected);
}

TEST_F(EvrAdjust, ABytePairIsWrittenLowThenHighAndTheSecondEvrOnItsOwnPage) {
    RecordingFrontend frontend;
    context.frontend = &frontend;
    // The reading follows the low byte at 0:10; the high byte lives at 0:11; every write also puts
    // 77 into 3:09 and comes back to page 0.
    ASSERT_EQ(run_evr(kFollowing, "step 1\nauto_adjust,dc_volt(2.5,+-0.05)\nevr_adj(1,16,H1F0,16,0,H2FF,-1,17)\n"
                                  "evr_adj2(0,9,3,77)\nlimit(5,1)\n"),
              kOk);
    context.frontend = nullptr;
    EXPECT_EQ(product(JIGSIM_RAM, 0, 0x10), 0xC8);
    EXPECT_EQ(product(JIGSIM_RAM, 0, 0x11), 0x01);
    EXPECT_EQ(product(JIGSIM_RAM, 3, 9), 77);
    EXPECT_EQ(evr_command_page(layer), 0);
    EXPECT_EQ(ad(0), 0x1C8);
    EXPECT_NE(std::find(frontend.status_texts.begin(), frontend.status_texts.end(), "4:P=0 AD=1110 (0000-02FF)"),
              frontend.status_texts.end());
    EXPECT_NE(std::find(frontend.field_texts.begin(), frontend.field_texts.end(), "1:(01C8)2.5 #OK=1/1"),
              frontend.field_texts.end());
}

TEST_F(EvrAdjust, LinkedMembersAdjustTheirOwnCellsOnTheirThreads) {
    // The head follows 0:10 through channel 1; the members read their own cells back from the
    // product's RAM (",digital(" from the EVR), so each converges on the value of its window.
    ASSERT_EQ(run_evr(kFollowing, "step 1\nauto_adjust,dc_volt(2.5,+-0.05)\nevr_adj(1,16,-1,16)\nlink(2)\nlink(3)\n"
                                  "check_time(5000)\n"
                                  "step 2\nauto_adjust,digital(100,+-2)\ndigital(ram,17)\nevr_adj(1,17,-1,8)\n"
                                  "step 3\nauto_adjust,digital(60,+-1)\ndigital(ram,18)\nevr_adj(1,18,200,8)\n"),
              kOk);
    EXPECT_NEAR(product(JIGSIM_RAM, 0, 0x10), 200, 5);
    EXPECT_NEAR(product(JIGSIM_RAM, 0, 0x11), 100, 2);
    EXPECT_NEAR(product(JIGSIM_RAM, 0, 0x12), 60, 1);
}

TEST_F(EvrAdjust, AFallingProductAndAWrappingRangeConvergeToo) {
    // 0:0x10 now lowers the reading: 3600 - 8 per step, 2.5 V wants 195..205 again.
    const std::string falling = "[jig]\nadc_busy_us=0\n[adc.0]\ncounts_r6=4000\n[adc.1]\ncounts=3600\nevr=0:0x10\nper_step=-8\n";
    ASSERT_EQ(run_evr(falling, "step 1\nauto_adjust,dc_volt(2.5,+-0.05)\nevr_adj(2,16,100,32)\nlimit(5,1)\n"), kOk);
    EXPECT_NEAR(product(JIGSIM_RAM, 0, 0x10), 200, 5);
}

TEST_F(EvrAdjust, ALimitEndsTheStepNgOnTheSideOfTheReading) {
    // The window wants about 200 but the value may not pass 120: NG "L" at the limit.
    ASSERT_EQ(run_evr(kFollowing, "step 1\nauto_adjust,dc_volt(2.5,+-0.05)\nevr_adj(1,16,100,8,0,120)\nlimit(5,1)\n"),
              kErrStepNg);
    EXPECT_EQ(state(1).judgement, kJudgedNgBelow);
    EXPECT_EQ(product(JIGSIM_RAM, 0, 0x10), 120);
}

TEST_F(EvrAdjust, ASensitivityPredictsTheValueInOneWrite) {
    // 10 mV per step: from 100 (1.5 V) the prediction is 100 + 1.0 / 0.01 = 200.
    ASSERT_EQ(run_evr(kFollowing, "step 1\nauto_adjust,dc_volt(2.5,+-0.05)\nevr_adj(1,16,100,1)\nevr_adj2(0.01)\n"
                                  "limit(5,1)\n"),
              kOk);
    EXPECT_EQ(product(JIGSIM_RAM, 0, 0x10), 200);
    EXPECT_EQ(state(1).measure.readings, 2u);  // the start value, then the prediction
}

TEST_F(EvrAdjust, ATablePredictionIsWrittenAndItsLineUpdated) {
    layer.adjust_file = file("adj");
    write_text(file("adj0001.txt"), "0,h10\r\n1.0,hC0\r\n2.0,h20\r\n");
    ASSERT_EQ(run_evr(kFollowing, "step 1\nauto_adjust,dc_volt(2.5,+-0.05)\nevr_adj(1,16,100,2)\nlimit(5,1)\n"), kOk);
    // 1.5 V picks the line of 1.0: 0xC0 = 192 (2.42 V), then the search finds the window.
    const int final_value = product(JIGSIM_RAM, 0, 0x10);
    EXPECT_GE(final_value, 195);
    std::string text;
    ASSERT_TRUE(platform::read_file(file("adj0001.txt"), &text));
    char line[64];
    std::snprintf(line, sizeof line, "1.000000,h%x,1\r\n", (0xC0 + final_value) / 2);
    EXPECT_EQ(text, std::string("0,h10\r\n") + line + "2.0,h20\r\n");
}

TEST_F(EvrAdjust, WithTheSwitchOffAnNgPassChangesNothing) {
    layer.auto_adjust.store(false);
    ASSERT_EQ(run_evr(kFollowing, "step 1\nauto_adjust,dc_volt(2.5,+-0.05)\nevr_adj(1,16,100,4)\nlimit(0.05,1)\n"),
              kErrStepNg);
    EXPECT_EQ(product(JIGSIM_RAM, 0, 0x10), 100);  // the start value only
    EXPECT_EQ(ad(0), 100);
}

TEST_F(EvrAdjust, AnAdjustStepWithoutAutoOnlyPredictsIntoTheWorkingRegister) {
    ASSERT_EQ(run_evr(kFollowing, "step 1\nno_operation\nevr_wr(0,16,100)\n"
                                  "step 2\ncheck,dc_volt(2.5,+-0.05)\nevr_adj(1,16,100,4)\nevr_adj2(0.01)\nlimit(0.05,1)\n"),
              kErrStepNg);
    EXPECT_EQ(product(JIGSIM_RAM, 0, 0x10), 100);
    // The prediction starts from the working register (0 here): 0 + 1.0 / 0.01.
    EXPECT_EQ(ad(0), 100);
}

}  // namespace
}  // namespace ksw::testing
