#include <gtest/gtest.h>

#include <cmath>

#include "recording_frontend.h"
#include "resources/error_codes.h"
#include "runtime/run_context.h"
#include "language/compile_handlers.h"
#include "runtime/run_handlers.h"
#include "station/station_startup.h"
#include "values/registers.h"

namespace ksw {
namespace {

TEST(Registers, AllocationZeroesAndReleasesRdWhenAdFails) {
    Registers regs;
    std::string_view failed;
    ASSERT_EQ(allocate_registers(regs, &failed), kOk);
    ASSERT_TRUE(regs.allocated());
    for (uint16_t v : *regs.ad) ASSERT_EQ(v, 0);
    for (double v : *regs.rd) ASSERT_EQ(v, 0.0);

    Registers broken;
    EXPECT_EQ(allocate_registers(broken, &failed, 1), kErrNoMemory);
    EXPECT_EQ(failed, "rd[]");
    EXPECT_FALSE(broken.rd || broken.ad);
    EXPECT_EQ(allocate_registers(broken, &failed, 2), kErrNoMemory);
    EXPECT_EQ(failed, "ad[]");
    EXPECT_FALSE(broken.rd || broken.ad);  // rd[] is given back
}

TEST(Registers, StartUpReportsTheFileThatFailed) {
    Registers &process = registers();
    process.ad.reset();
    process.rd.reset();
    testing::RecordingFrontend frontend;
    std::string_view failed;
    EXPECT_EQ(start_registers(&failed, 2), kErrNoMemory);
    EXPECT_EQ(failed, "ad[]");
    EXPECT_EQ(start_station_registers(frontend, 2), kErrNoMemory);
    ASSERT_EQ(frontend.boxes.size(), 1u);
    EXPECT_EQ(frontend.boxes[0].text, "e018: No memory of computor");
    EXPECT_EQ(frontend.boxes[0].caption, "ad[]");
    EXPECT_FALSE(process.allocated());

    EXPECT_EQ(start_station_registers(frontend), kOk);
    EXPECT_TRUE(process.allocated());
    (*process.ad)[3] = 9;
    EXPECT_EQ(start_registers(&failed), kOk);  // once only: the contents stay
    EXPECT_EQ((*process.ad)[3], 9);
    EXPECT_EQ(frontend.boxes.size(), 1u);

    // Handlers refuse to run without registers.
    RunContext context;
    CommandRecord command;
    EXPECT_EQ(run_clear(context, command), kErrNoMemory);
    context.registers = &process;
    EXPECT_EQ(run_clear(context, command), kOk);
    EXPECT_EQ((*process.ad)[3], 0);
}

TEST(OperandAccess, DirectAndIndirectOperands) {
    Registers regs;
    ASSERT_EQ(allocate_registers(regs), kOk);
    (*regs.ad)[5] = 65535;
    (*regs.rd)[7] = 2.5;
    (*regs.rd)[0] = -4;
    CommandRecord c;
    c.ints[0] = -17;
    c.ints[1] = 5;
    c.ints[2] = 8000;
    c.ints[3] = -1;
    c.reals = {1.25, 7.9, -0.5, 8000.0};
    c.mask = kMaskIntSlot(1) | kMaskIntSlot(2) | kMaskIntSlot(3) | kMaskRealSlot(1) | kMaskRealSlot(2) | kMaskRealSlot(3);

    int32_t i = 42;
    EXPECT_EQ(get_int_operand(regs, c, 0, &i), kOk);
    EXPECT_EQ(i, -17);
    EXPECT_EQ(get_int_operand(regs, c, 1, &i), kFromRegister);
    EXPECT_EQ(i, 65535);  // zero-extended
    i = 42;
    EXPECT_EQ(get_int_operand(regs, c, 2, &i), kErrOutOfRange);
    EXPECT_EQ(get_int_operand(regs, c, 3, &i), kErrOutOfRange);
    EXPECT_EQ(get_int_operand(regs, c, 13, &i), kErrOutOfRange);
    EXPECT_EQ(i, 42);

    double r = 42;
    EXPECT_EQ(get_real_operand(regs, c, 0, &r), kOk);
    EXPECT_EQ(r, 1.25);
    EXPECT_EQ(get_real_operand(regs, c, 1, &r), kFromRegister);  // 7.9 truncates to 7
    EXPECT_EQ(r, 2.5);
    EXPECT_EQ(get_real_operand(regs, c, 2, &r), kFromRegister);  // -0.5 truncates to 0
    EXPECT_EQ(r, -4);
    r = 42;
    EXPECT_EQ(get_real_operand(regs, c, 3, &r), kErrOutOfRange);
    c.reals[3] = NAN;
    EXPECT_EQ(get_real_operand(regs, c, 3, &r), kErrOutOfRange);
    EXPECT_EQ(r, 42);
}

TEST(OperandAccess, RegisterNumbersAreTestedTogether) {
    EXPECT_EQ(check_reg_indexes(0, 7999, 5), kOk);
    EXPECT_EQ(check_reg_indexes(0, 8000, 1), kErrOutOfRange);
    EXPECT_EQ(check_reg_indexes(-1, 0, 1), kErrOutOfRange);

    Registers regs;
    ASSERT_EQ(allocate_registers(regs), kOk);
    (*regs.ad)[100] = 9000;
    CommandRecord c;
    c.ints = {1, 100, 3};
    c.mask = kMaskIntSlot(1);
    int32_t a = 0, b = 0, d = 0;
    EXPECT_EQ(get_register_triple(regs, c, &a, &b, &d), kErrOutOfRange);  // ad[100] names 9000
    (*regs.ad)[100] = 7999;
    EXPECT_EQ(get_register_triple(regs, c, &a, &b, &d), kOk);
    EXPECT_EQ(b, 7999);
}

TEST(OperandAccess, AdRangeStatistics) {
    Registers regs;
    ASSERT_EQ(allocate_registers(regs), kOk);
    AdFile &ad = *regs.ad;
    ad[10] = 1;
    ad[11] = 2;
    ad[12] = 4;
    uint16_t mean = 0, max = 0, min = 0;
    ASSERT_EQ(ad_range_stats(ad, 12, 10, &mean, &max, &min), kOk);  // ends put in order
    EXPECT_EQ(mean, 2);  // 7 / 3 in integers
    EXPECT_EQ(max, 4);
    EXPECT_EQ(min, 1);
    EXPECT_EQ(ad_range_stats(ad, 11, 11, &mean, nullptr, nullptr), kOk);
    EXPECT_EQ(mean, 2);
    ad.fill(65535);
    EXPECT_EQ(ad_range_stats(ad, 0, 7999, &mean, nullptr, nullptr), kOk);  // 32-bit sum
    EXPECT_EQ(mean, 65535);
    EXPECT_EQ(ad_range_stats(ad, 0, 8000, &mean, &max, &min), kErrOutOfRange);
}

}  // namespace
}  // namespace ksw
