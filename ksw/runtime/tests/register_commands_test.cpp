#include <cmath>

#include "command_fixture.h"
#include "resources/error_codes.h"
#include "model/register_modes.h"

namespace ksw {
namespace {

class RegisterCommands : public testing::RegisterCommandTest {
protected:
    // calcad(op, 10, 11, 12) with ad[10] = x and ad[11] = y; returns the code.
    int calcad(int op, uint16_t x, uint16_t y) {
        ad()[10] = x;
        ad()[11] = y;
        ad()[12] = 4444;
        CommandRecord c = testing::record(op, {10, 11, 12});
        return run_calcad(context, c);
    }
    // calcrd(op, 10, 11, 12) with rd[10] = x and rd[11] = y; returns the code.
    int calcrd(int op, double x, double y) {
        rd()[10] = x;
        rd()[11] = y;
        rd()[12] = 4444;
        CommandRecord c = testing::record(op, {10, 11, 12});
        return run_calcrd(context, c);
    }
};

TEST_F(RegisterCommands, ClearZeroesBothFiles) {
    ad()[0] = 1;
    ad()[7999] = 2;
    rd()[4000] = 3.5;
    CommandRecord c;
    EXPECT_EQ(run_clear(context, c), kOk);
    EXPECT_EQ(ad()[0], 0);
    EXPECT_EQ(ad()[7999], 0);
    EXPECT_EQ(rd()[4000], 0.0);
}

TEST_F(RegisterCommands, SetdataTakesAConstantOrAnRdRegister) {
    CommandRecord c = testing::record(0, {5}, {2.5});
    EXPECT_EQ(run_setdata(context, c), kOk);
    EXPECT_EQ(rd()[5], 2.5);
    // setdata(ad[3], rd[5]): the register number from ad[3], the value copied from rd[5].
    ad()[3] = 7;
    c = testing::record(0, {3}, {5}, kMaskIntSlot(0) | kMaskRealSlot(0));
    EXPECT_EQ(run_setdata(context, c), kOk);
    EXPECT_EQ(rd()[7], 2.5);
    ad()[3] = 9000;
    rd()[8] = 1;
    EXPECT_EQ(run_setdata(context, c), kErrOutOfRange);
}

TEST_F(RegisterCommands, SetaddataNumericForm) {
    CommandRecord c = testing::record(0, {5, -1});
    EXPECT_EQ(run_setaddata(context, c), kOk);
    EXPECT_EQ(ad()[5], 65535);
    c = testing::record(0, {5, -65535});
    EXPECT_EQ(run_setaddata(context, c), kOk);
    EXPECT_EQ(ad()[5], 1);
    c = testing::record(0, {5, 65536});
    EXPECT_EQ(run_setaddata(context, c), kErrOutOfRange);
    EXPECT_EQ(ad()[5], 1);
    // The value from ad[9], the register number from ad[8].
    ad()[8] = 20;
    ad()[9] = 300;
    c = testing::record(0, {8, 9}, {}, kMaskIntSlot(0) | kMaskIntSlot(1));
    EXPECT_EQ(run_setaddata(context, c), kOk);
    EXPECT_EQ(ad()[20], 300);
}

TEST_F(RegisterCommands, SetaddataStringForm) {
    // "AB\xE9" compiles to four bytes with the terminating zero.
    CommandRecord c = testing::record(1, {100, 4});
    c.text = "AB\xE9";
    c.has_text = true;
    ad()[103] = 77;
    ad()[104] = 88;
    EXPECT_EQ(run_setaddata(context, c), kOk);
    EXPECT_EQ(ad()[100], 'A');
    EXPECT_EQ(ad()[101], 'B');
    EXPECT_EQ(ad()[102], 0xE9);  // zero-extended
    EXPECT_EQ(ad()[103], 0);
    EXPECT_EQ(ad()[104], 88);
    // n plus the count must stay below 7999.
    c.ints[0] = 7994;
    EXPECT_EQ(run_setaddata(context, c), kOk);
    EXPECT_EQ(ad()[7997], 0);
    c.ints[0] = 7995;
    ad()[7995] = 5;
    EXPECT_EQ(run_setaddata(context, c), kErrOutOfRange);
    EXPECT_EQ(ad()[7995], 5);
}

// One two-operand case: op, x, y, and the code and stored result expected.
template <class T>
struct Case {
    int op;
    T x, y;
    int rc;
    T result;
};

TEST_F(RegisterCommands, CalcadArithmeticWrapsIn16Bits) {
    const Case<uint16_t> cases[] = {
        {kCalcadSub, 1, 2, kOk, 65535},          {kCalcadAdd, 65535, 2, kOk, 1},
        {kCalcadDiv, 7, 2, kOk, 3},              {kCalcadMul, 300, 300, kOk, 90000 & 0xFFFF},
        {kCalcadMax, 3, 9, kOk, 9},              {kCalcadMin, 3, 9, kOk, 3},
        {kCalcadPercent, 1, 3, kOk, 33},         {kCalcadPercent, 65535, 1, kOk, 6553500 & 0xFFFF},
        {kCalcadWor, 0x12, 0xAB34, kOk, 0x1234}, {kCalcadAnd, 0xFF0F, 0x0FF0, kOk, 0x0F00},
        {kCalcadOr, 0xF000, 0x000F, kOk, 0xF00F}, {kCalcadXor, 0xFF00, 0x0FF0, kOk, 0xF0F0},
        {kCalcadMod, 17, 5, kOk, 2},             {kCalcad2av, 3, 4, kOk, 5},
        {kCalcad2av, 65535, 65535, kOk, 92680 & 0xFFFF},  // 92680.9 truncated, then 16 bits
        {kCalcadIma, 5, 5, kOk, 10},             {kCalcadIma, 5, 6, kOk, 11},  // ties give a
        {kCalcadImi, 6, 5, kOk, 11},             {kCalcadImi, 5, 5, kOk, 10},
        {kCalcadDiv, 5, 0, kErrDividedByZero, 4444}, {kCalcadPercent, 5, 0, kErrDividedByZero, 4444},
        {kCalcadMod, 5, 0, kErrDividedByZero, 4444},
    };
    for (const auto &k : cases) {
        EXPECT_EQ(calcad(k.op, k.x, k.y), k.rc) << k.op;
        EXPECT_EQ(ad()[12], k.result) << k.op << " " << k.x << " " << k.y;
    }
}

TEST_F(RegisterCommands, CalcadBytesRangesAndIndirectNumbers) {
    EXPECT_EQ(calcad(kCalcadByt, 0x1234, 0), kOk);
    EXPECT_EQ(ad()[11], 0x12);
    EXPECT_EQ(ad()[12], 0x34);

    // sum and ave over ad[a..b] with the ends in either order.
    for (int i = 0; i < 4; ++i) ad()[200 + i] = static_cast<uint16_t>(30000 + i);
    CommandRecord c = testing::record(kCalcadSum, {203, 200, 300});
    EXPECT_EQ(run_calcad(context, c), kOk);
    EXPECT_EQ(ad()[300], static_cast<uint16_t>(120006));
    c = testing::record(kCalcadAve, {200, 203, 300});
    EXPECT_EQ(run_calcad(context, c), kOk);
    EXPECT_EQ(ad()[300], 30001);
    EXPECT_EQ(ad()[301], 30003);
    EXPECT_EQ(ad()[302], 30000);
    c = testing::record(kCalcadAve, {200, 203, 7998});
    ad()[7998] = 1;
    EXPECT_EQ(run_calcad(context, c), kErrOutOfRange);  // c+2 is past 7999: nothing written
    EXPECT_EQ(ad()[7998], 1);

    // Register numbers from ad[]: ad[50] holding 9000 is error 4.
    ad()[50] = 9000;
    c = testing::record(kCalcadAdd, {50, 11, 12}, {}, kMaskIntSlot(0));
    EXPECT_EQ(run_calcad(context, c), kErrOutOfRange);
    ad()[50] = 10;
    EXPECT_EQ(run_calcad(context, c), kOk);
}

TEST_F(RegisterCommands, CalcrdArithmeticAndErrors) {
    const Case<double> cases[] = {
        {kCalcrdSub, 1, 2.5, kOk, -1.5},   {kCalcrdAdd, 1, 2.5, kOk, 3.5},  {kCalcrdDiv, 1, 4, kOk, 0.25},
        {kCalcrdMul, 1.5, 4, kOk, 6},      {kCalcrdMax, -1, -2, kOk, -1},   {kCalcrdMin, -1, -2, kOk, -2},
        {kCalcrdPercent, 1, 8, kOk, 12.5}, {kCalcrdDbd, 10, 1, kOk, 20},    {kCalcrd2av, 3, 4, kOk, 5},
        {kCalcrdPow, 2, 10, kOk, 1024},    {kCalcrdLog, 2, 8, kOk, std::log(8.0) / std::log(2.0)},
        // The smallest normal double is not zero; anything below it is.
        {kCalcrdDiv, 1, 2.2250738585072014e-308, kOk, 1 / 2.2250738585072014e-308},
        {kCalcrdDiv, 1, 1e-310, kErrDividedByZero, 4444},   {kCalcrdPercent, 1, -0.0, kErrDividedByZero, 4444},
        {kCalcrdDbd, 1, 0, kErrDividedByZero, 4444},        {kCalcrdDbd, 1e-310, 1, kErrLogZero, 4444},
        {kCalcrdLog, 0, 5, kErrLogZero, 4444},              {kCalcrdLog, 5, 1e-320, kErrLogZero, 4444},
        {kCalcrdPow, -2, 2, kErrPowerOfMinus, 4444},
    };
    for (const auto &k : cases) {
        EXPECT_EQ(calcrd(k.op, k.x, k.y), k.rc) << k.op;
        EXPECT_EQ(rd()[12], k.result) << k.op << " " << k.x << " " << k.y;
    }
    // sum over rd[10..14] with the ends given the other way round.
    const double values[] = {0.5, 0.25, 0, 1, 2};
    for (int i = 0; i < 5; ++i) rd()[10 + i] = values[i];
    CommandRecord c = testing::record(kCalcrdSum, {14, 10, 12});
    EXPECT_EQ(run_calcrd(context, c), kOk);
    EXPECT_EQ(rd()[12], 3.75);
}

TEST_F(RegisterCommands, CalcrdIndexesGoToAd) {
    ad()[12] = 999;
    EXPECT_EQ(calcrd(kCalcrdIma, 1, 2), kOk);
    EXPECT_EQ(ad()[12], 11);
    EXPECT_EQ(rd()[12], 4444);  // rd[c] left alone
    EXPECT_EQ(calcrd(kCalcrdImi, 2, 2), kOk);
    EXPECT_EQ(ad()[12], 10);
}

TEST_F(RegisterCommands, CalcrdAverageWithSampleDeviation) {
    const double values[] = {2, 4, 4, 4, 5, 5, 7, 9};
    for (int i = 0; i < 8; ++i) rd()[100 + i] = values[i];
    CommandRecord c = testing::record(kCalcrdAve, {107, 100, 200});
    EXPECT_EQ(run_calcrd(context, c), kOk);
    EXPECT_EQ(rd()[200], 5);
    EXPECT_EQ(rd()[201], 9);
    EXPECT_EQ(rd()[202], 2);
    EXPECT_DOUBLE_EQ(rd()[203], std::sqrt(32.0 / 7.0));

    // One register: mean = max = min, deviation 0.
    c = testing::record(kCalcrdAve, {101, 101, 200});
    EXPECT_EQ(run_calcrd(context, c), kOk);
    EXPECT_EQ(rd()[200], 4);
    EXPECT_EQ(rd()[201], 4);
    EXPECT_EQ(rd()[202], 4);
    EXPECT_EQ(rd()[203], 0);

    // Equal values whose rounded variance comes out below zero: the deviation is 0, not NaN.
    for (int i = 0; i < 5; ++i) rd()[300 + i] = 0.7;
    c = testing::record(kCalcrdAve, {300, 304, 400});
    EXPECT_EQ(run_calcrd(context, c), kOk);
    EXPECT_EQ(rd()[403], 0);

    // c = 7997 would need rd[8000]: error 4 and nothing written.
    rd()[7997] = 1;
    c = testing::record(kCalcrdAve, {100, 107, 7997});
    EXPECT_EQ(run_calcrd(context, c), kErrOutOfRange);
    EXPECT_EQ(rd()[7997], 1);
    EXPECT_EQ(rd()[7999], 0);
}

TEST_F(RegisterCommands, MoveadDirectInverseAndSigned) {
    ad()[10] = 100;
    ad()[12] = 200;
    ad()[14] = 65535;
    // movead(dir, 50, 0.5, 10, 3, 2): rd[50..52] = ad[10], ad[12], ad[14] times 0.5.
    CommandRecord c = testing::record(kMoveadDir, {50, 10, 3, 2}, {0.5});
    EXPECT_EQ(run_movead(context, c), kOk);
    EXPECT_EQ(rd()[50], 50);
    EXPECT_EQ(rd()[51], 100);
    EXPECT_EQ(rd()[52], 32767.5);
    c.sub_mode = kMoveadAssign;  // "=" runs as "dir"
    c.reals[0] = 1;
    EXPECT_EQ(run_movead(context, c), kOk);
    EXPECT_EQ(rd()[52], 65535);
    c.sub_mode = kMoveadInt;
    EXPECT_EQ(run_movead(context, c), kOk);
    EXPECT_EQ(rd()[52], -1);

    rd()[60] = 2.9;
    rd()[61] = -1.5;
    c = testing::record(kMoveadInv, {60, 20, 2, 1}, {10});
    EXPECT_EQ(run_movead(context, c), kOk);
    EXPECT_EQ(ad()[20], 29);
    EXPECT_EQ(ad()[21], 65521);  // -15 in 16 bits
}

TEST_F(RegisterCommands, MoveadOwnModesAndRanges) {
    ad()[10] = 0x1234;
    ad()[11] = 0x00FF;
    CommandRecord c = testing::record(kMoveadAnd, {70, 10, 2, 1}, {0x0F0F});
    EXPECT_EQ(run_movead(context, c), kOk);
    EXPECT_EQ(rd()[70], 0x0204);
    EXPECT_EQ(rd()[71], 0x000F);
    ad()[12] = 3;
    // ave and max: the factor is a times the gain 10^(|b|/20) (20 dB: 10).
    c = testing::record(kMoveadAve, {80, 10, 3, 1}, {0.5, 10});
    EXPECT_EQ(run_movead(context, c), kOk);
    EXPECT_EQ(rd()[80], (0x1234 + 0xFF + 3) / 3.0 * 5);
    EXPECT_EQ(rd()[81], 0);  // only rd[r]
    c.sub_mode = kMoveadMax;
    EXPECT_EQ(run_movead(context, c), kOk);
    EXPECT_EQ(rd()[80], 0x1234 * 5);

    // (n-1)*s + a past 7999, or rd[r+n-1] past 7999: error 4 and nothing written.
    rd()[7990] = 8;
    c = testing::record(kMoveadDir, {7990, 7990, 5, 3}, {1});
    EXPECT_EQ(run_movead(context, c), kErrOutOfRange);
    c = testing::record(kMoveadDir, {7996, 0, 5, 1}, {1});
    EXPECT_EQ(run_movead(context, c), kErrOutOfRange);
    EXPECT_EQ(rd()[7990], 8);
    c = testing::record(kMoveadDir, {7990, 7999, 2, -5}, {1});  // a downward stride stays inside
    ad()[7994] = 6;
    EXPECT_EQ(run_movead(context, c), kOk);
    EXPECT_EQ(rd()[7991], 6);
}

}  // namespace
}  // namespace ksw
