#include <cmath>
#include <numbers>
#include <string>

#include "command_fixture.h"
#include "resources/error_codes.h"
#include "model/register_modes.h"

namespace ksw {
namespace {

using testing::copy_record;
using testing::value_record;

class CopyCommands : public testing::RegisterCommandTest {
protected:
    int copyad(CommandRecord c) { return run_copyad(context, c); }
    int copy(CommandRecord c) { return run_copy(context, c); }
    // copyad value mode on v = ad[10] and x; the result lands in ad[20] (4444 before).
    int copyad_value(int mode, uint16_t v, double x) {
        ad()[10] = v;
        ad()[20] = 4444;
        return copyad(value_record(mode, 10, 20, x));
    }
    // copy value mode on v = rd[10] and x; the result lands in rd[20] (4444 before).
    int copy_value(int mode, double v, double x) {
        rd()[10] = v;
        rd()[20] = 4444;
        return copy(value_record(mode, 10, 20, x));
    }
    // copy block mode on one source u = rd[10]; the result lands in rd[20].
    int copy_one(int mode, double u) {
        rd()[10] = u;
        rd()[20] = 4444;
        return copy(copy_record(mode, 10, 20));
    }
};

TEST_F(CopyCommands, BlockLoopTakesGroupsSkipsAndRepeats) {
    for (int i = 0; i < 10; ++i) ad()[10 + i] = static_cast<uint16_t>(100 + i);
    // count 5, skip 1, group 2, rep 2: sources 10, 11, (skip 12) 13 -> 10 10 11 11 13.
    EXPECT_EQ(copyad(copy_record(kCopyadCopy, 10, 50, 5, 1, 2, 2)), kOk);
    const uint16_t expected[] = {100, 100, 101, 101, 103, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(ad()[50 + i], expected[i]) << i;
    // count 0 does nothing; group or rep of 0 (from ad[]) would never end: error 4.
    EXPECT_EQ(copyad(copy_record(kCopyadCopy, 10, 60, 0)), kOk);
    EXPECT_EQ(ad()[60], 0);
    EXPECT_EQ(copyad(copy_record(kCopyadCopy, 10, 60, 3, 0, 0, 1)), kErrOutOfRange);
    EXPECT_EQ(copyad(copy_record(kCopyadCopy, 10, 60, 3, 0, 1, 0)), kErrOutOfRange);
    // Operands from ad[]: count in ad[5].
    ad()[5] = 2;
    CommandRecord c = copy_record(kCopyadCopy, 10, 70, 5);
    c.mask = kMaskIntSlot(2);
    EXPECT_EQ(copyad(c), kOk);
    EXPECT_EQ(ad()[71], 101);
    EXPECT_EQ(ad()[72], 0);
}

TEST_F(CopyCommands, BlocksStopAtTheEndOfTheFile) {
    ad()[10] = 1;
    ad()[11] = 2;
    ad()[12] = 3;
    EXPECT_EQ(copyad(copy_record(kCopyadCopy, 10, 7998, 3)), kErrOutOfRange);
    EXPECT_EQ(ad()[7998], 1);  // written before the stop
    EXPECT_EQ(ad()[7999], 2);
    EXPECT_EQ(copyad(copy_record(kCopyadCopy, 7999, 100, 2)), kErrOutOfRange);
    EXPECT_EQ(copyad(copy_record(kCopyadCopy, 8000, 100, 1)), kErrOutOfRange);
    EXPECT_EQ(copyad(copy_record(kCopyadByt, 10, 7999, 1)), kErrOutOfRange);  // needs two
    EXPECT_EQ(ad()[7999], 2);
    rd()[7999] = 5;
    EXPECT_EQ(copy(copy_record(kCopyCopy, 7999, 0, 2)), kErrOutOfRange);
    EXPECT_EQ(rd()[0], 5);
}

TEST_F(CopyCommands, CopyadBlockValues) {
    ad()[10] = 0x00F0;
    EXPECT_EQ(copyad(copy_record(kCopyadNot, 10, 20)), kOk);
    EXPECT_EQ(ad()[20], 0xFF0F);
    EXPECT_EQ(copyad(copy_record(kCopyadRev, 10, 20)), kOk);
    EXPECT_EQ(ad()[20], 65536 - 0xF0);
    ad()[10] = 1234;
    ad()[11] = 10000;
    EXPECT_EQ(copyad(copy_record(kCopyadBcd, 10, 20, 2)), kOk);
    EXPECT_EQ(ad()[20], 0x1234);
    EXPECT_EQ(ad()[21], 65535);
    ad()[10] = 0x1234;
    ad()[11] = 0x12A4;
    EXPECT_EQ(copyad(copy_record(kCopyadHex, 10, 20, 2)), kOk);
    EXPECT_EQ(ad()[20], 1234);
    EXPECT_EQ(ad()[21], 65535);
    ad()[10] = 0xFFF6;  // bits 1, 0 = 1, 0
    ad()[11] = 0x0001;
    EXPECT_EQ(copyad(copy_record(kCopyadLm, 10, 20, 2)), kOk);
    EXPECT_EQ(ad()[20], 1);
    EXPECT_EQ(ad()[21], 2);
    ad()[10] = 0x1234;
    ad()[11] = 0xABCD;
    EXPECT_EQ(copyad(copy_record(kCopyadByt, 10, 20, 2, 0, 1, 5)), kOk);  // rep is not used
    EXPECT_EQ(ad()[20], 0x12);
    EXPECT_EQ(ad()[21], 0x34);
    EXPECT_EQ(ad()[22], 0xAB);
    EXPECT_EQ(ad()[23], 0xCD);
    EXPECT_EQ(copyad(copy_record(kCopyadIby, 10, 20)), kOk);
    EXPECT_EQ(ad()[20], 0x34);
    EXPECT_EQ(ad()[21], 0x12);
}

TEST_F(CopyCommands, CopyadStringWithCountMinusOne) {
    const uint16_t text[] = {'A', 'B', 0, 'C'};
    for (int i = 0; i < 4; ++i) ad()[10 + i] = text[i];
    for (int i = 30; i < 34; ++i) ad()[static_cast<size_t>(i)] = 0x5555;
    EXPECT_EQ(copyad(copy_record(kCopyadCopy, 10, 30, -1)), kOk);
    EXPECT_EQ(ad()[30], 'A');
    EXPECT_EQ(ad()[32], 0);       // the end is copied too
    EXPECT_EQ(ad()[33], 0x5555);  // and nothing after it
    ad()[11] = 300;  // 256 and above ends the string as well
    EXPECT_EQ(copyad(copy_record(kCopyadCopy, 10, 40, -1)), kOk);
    EXPECT_EQ(ad()[41], 300);
    EXPECT_EQ(ad()[42], 0);
    // A string without an end runs into register 7999: error 4 there.
    ad()[7998] = 'x';
    ad()[7999] = 'y';
    EXPECT_EQ(copyad(copy_record(kCopyadCopy, 7998, 50, -1)), kErrOutOfRange);
    EXPECT_EQ(ad()[51], 'y');
    EXPECT_EQ(copyad(copy_record(kCopyadNot, 10, 60, -1)), kErrOutOfRange);  // -1 only with "="
}

TEST_F(CopyCommands, CopyadValueModes) {
    struct Case {
        int mode;
        uint16_t v;
        double x;
        uint16_t result;
    };
    const Case cases[] = {
        {kCopyadAdd, 65535, 2.9, 1},     {kCopyadSub, 1, 2, 65535},        {kCopyadAnd, 0xFF, 0x0F0, 0xF0},
        {kCopyadOr, 0xF0, 0x0F, 0xFF},   {kCopyadXor, 0xFF, 0x0F, 0xF0},   {kCopyadDiv, 10, -2, 65531},
        {kCopyadDiv, 10, 3, 3},          {kCopyadMul, 3, 2.5, 7},          {kCopyadRig, 0x8000, 15, 1},
        {kCopyadRig, 0x8000, 32 + 3, 0x1000}, {kCopyadLef, 1, 16, 0},      {kCopyadLef, 1, 15, 0x8000},
        {kCopyadSpi, 0, 2, 1},           {kCopyadSpi, 10, -4, 65534},      {kCopyadSpi, 1, -4, 65535},
        {kCopyadSpi, 7, 4, 7},           {kCopyadMod, 17, 5, 2},           {kCopyadMod, 17, 65536 + 5, 2},
        {kCopyadISub, 3, 10, 7},         {kCopyadIDiv, 4, 10, 2},          {kCopyadIri, 2, 0x80, 0x20},
        {kCopyadIle, 4, 0x8001, 0x0010}, {kCopyadBit, 0b1011, 2, 2},       {kCopyadBit, 0xFFFF, 16.9, 16},
    };
    for (const Case &k : cases) {
        EXPECT_EQ(copyad_value(k.mode, k.v, k.x), kOk) << k.mode;
        EXPECT_EQ(ad()[20], k.result) << k.mode << " " << k.v << " " << k.x;
    }
    const Case failures[] = {
        {kCopyadDiv, 1, 1e-310, kErrDividedByZero}, {kCopyadSpi, 1, -0.0, kErrDividedByZero},
        {kCopyadMod, 1, 65536, kErrDividedByZero},  {kCopyadIDiv, 0, 5, kErrDividedByZero},
        {kCopyadBit, 1, 0.5, kErrOutOfRange},       {kCopyadBit, 1, 17, kErrOutOfRange},
        {kCopyadStr, 5, 1, kErrOutOfRange},         {kCopyadStr, 5, 37, kErrOutOfRange},
    };
    for (const Case &k : failures) {
        EXPECT_EQ(copyad_value(k.mode, k.v, k.x), k.result) << k.mode;
        EXPECT_EQ(ad()[20], 4444) << k.mode;
    }
}

TEST_F(CopyCommands, CopyadTextAndAverage) {
    // The text's terminating 0 is written over whatever stood there.
    for (int i = 20; i < 30; ++i) ad()[static_cast<size_t>(i)] = 0x7777;
    EXPECT_EQ(copyad_value(kCopyadStr, 255, 16), kOk);
    EXPECT_EQ(ad()[20], 'f');
    EXPECT_EQ(ad()[21], 'f');
    EXPECT_EQ(ad()[22], 0);
    EXPECT_EQ(ad()[23], 0x7777);  // nothing beyond it
    EXPECT_EQ(copyad_value(kCopyadStr, 5, 2), kOk);
    EXPECT_EQ(ad()[20], '1');
    EXPECT_EQ(ad()[21], '0');
    EXPECT_EQ(ad()[22], '1');
    EXPECT_EQ(ad()[23], 0);
    // Cut at register 7999.
    EXPECT_EQ(copyad(value_record(kCopyadStr, 10, 7998, 10)), kOk);  // ad[10] = 5 still
    EXPECT_EQ(ad()[7998], '5');
    EXPECT_EQ(ad()[7999], 0);
    ad()[10] = 65535;
    EXPECT_EQ(copyad(value_record(kCopyadStr, 10, 7998, 10)), kOk);
    EXPECT_EQ(ad()[7998], '6');
    EXPECT_EQ(ad()[7999], '5');

    for (int i = 0; i < 3; ++i) ad()[100 + i] = static_cast<uint16_t>(1 + i);
    EXPECT_EQ(copyad(value_record(kCopyadAve, 100, 20, 3.9)), kOk);  // floor: 3 registers
    EXPECT_EQ(ad()[20], 2);
    EXPECT_EQ(copyad(value_record(kCopyadAve, 100, 20, 0.9)), kErrDividedByZero);
    EXPECT_EQ(copyad(value_record(kCopyadAve, 7990, 20, 10)), kErrOutOfRange);
    EXPECT_EQ(copyad(value_record(kCopyadAve, 7990, 20, 9)), kOk);
}

// One case of a mode with one source value and, for value modes, x.
struct RealCase {
    int mode;
    double v, x;
    int rc;
    double result;
};

TEST_F(CopyCommands, CopyBlockModes) {
    constexpr double kRad = 0.017453292, kDeg = 57.29578121995553;
    const RealCase cases[] = {
        {kCopyCopy, 2.5, 0, kOk, 2.5},     {kCopyLog, 1000, 0, kOk, 3},    {kCopyDb, 10, 0, kOk, 20},
        {kCopyRev, 2, 0, kOk, -2},         {kCopyRec, 4, 0, kOk, 0.25},    {kCopyAbs, -3, 0, kOk, 3},
        {kCopySin, 30, 0, kOk, std::sin(30 * kRad)},  {kCopyCos, 60, 0, kOk, std::cos(60 * kRad)},
        {kCopyTan, 45, 0, kOk, std::tan(45 * kRad)},  {kCopyAsi, 0.5, 0, kOk, std::asin(0.5) * kDeg},
        {kCopyAco, -1, 0, kOk, std::acos(-1.0) * kDeg}, {kCopyAta, 1, 0, kOk, std::atan(1.0) * kDeg},
        {kCopyLn, 1, 0, kOk, 0},
        {kCopyLog, 1e-310, 0, kErrLogZero, 4444},   {kCopyDb, -1, 0, kErrLogZero, 4444},
        {kCopyLn, 0, 0, kErrLogZero, 4444},         {kCopyRec, -1e-310, 0, kErrDividedByZero, 4444},
        {kCopyAsi, 1.5, 0, kErrTooBigSmall, 4444},  {kCopyAco, -2, 0, kErrTooBigSmall, 4444},
    };
    for (const RealCase &k : cases) {
        EXPECT_EQ(copy_one(k.mode, k.v), k.rc) << k.mode;
        EXPECT_EQ(rd()[20], k.result) << k.mode << " " << k.v;
    }
    // A failing source stops the block where it is; count -1 does nothing.
    rd()[10] = 100;
    rd()[11] = 0;
    EXPECT_EQ(copy(copy_record(kCopyLog, 10, 30, 2)), kErrLogZero);
    EXPECT_EQ(rd()[30], 2);
    EXPECT_EQ(rd()[31], 0);
    EXPECT_EQ(copy(copy_record(kCopyCopy, 10, 40, -1)), kOk);
    EXPECT_EQ(rd()[40], 0);
}

TEST_F(CopyCommands, CopyValueModes) {
    const RealCase cases[] = {
        {kCopyDiv, 1, 4, kOk, 0.25},   {kCopyMul, 1.5, 4, kOk, 6},   {kCopyAdd, 1.5, 4, kOk, 5.5},
        {kCopySub, 1.5, 4, kOk, -2.5}, {kCopySpi, 8, -2, kOk, -4},   {kCopySpi, -8, 2, kOk, 4},
        {kCopySpi, 8, 2, kOk, 8},      {kCopyPow, 3, 2, kOk, 9},     {kCopyISub, 3, 2, kOk, -1},
        {kCopyIDiv, 4, 2, kOk, 0.5},
        {kCopyTri, 3.14159, 2, kOk, 314 * 0.1 * 0.1}, {kCopyTri, -1.25, 1, kOk, -13 * 0.1},  // downward
        {kCopyTri, 2.7, 0, kOk, 2},
        {kCopyDiv, 1, 1e-310, kErrDividedByZero, 4444}, {kCopyIDiv, 0, 1, kErrDividedByZero, 4444},
        {kCopyPow, -1, 2, kErrPowerOfMinus, 4444},      {kCopyTri, 1, 7, kErrOutOfRange, 4444},
        {kCopyTri, 1, -0.5, kErrOutOfRange, 4444},
    };
    for (const RealCase &k : cases) {
        EXPECT_EQ(copy_value(k.mode, k.v, k.x), k.rc) << k.mode;
        EXPECT_EQ(rd()[20], k.result) << k.mode << " " << k.v << " " << k.x;
    }
    rd()[100] = 1;
    rd()[101] = 2;
    EXPECT_EQ(copy(value_record(kCopyAve, 100, 20, 2.5)), kOk);
    EXPECT_EQ(rd()[20], 1.5);
    EXPECT_EQ(copy(value_record(kCopyAve, 100, 20, 0.5)), kErrOutOfRange);
    EXPECT_EQ(copy(value_record(kCopyAve, 7990, 20, 10)), kErrOutOfRange);
}

TEST_F(CopyCommands, FloEvaluatesTextFromAd) {
    const std::string text = "1.5k*2+H10";
    for (size_t i = 0; i < text.size(); ++i) ad()[100 + i] = static_cast<uint8_t>(text[i]);
    ad()[100 + text.size()] = 0;
    EXPECT_EQ(copy(copy_record(kCopyFlo, 100, 5)), kOk);
    EXPECT_EQ(rd()[5], 3016);
    // A text without a number leaves rd[b] alone and succeeds; 256 and above ends the text.
    ad()[200] = 'x';
    ad()[201] = 0;
    rd()[6] = 7;
    EXPECT_EQ(copy(copy_record(kCopyFlo, 200, 6)), kOk);
    EXPECT_EQ(rd()[6], 7);
    ad()[200] = '4';
    ad()[201] = 256;
    EXPECT_EQ(copy(copy_record(kCopyFlo, 200, 6)), kOk);
    EXPECT_EQ(rd()[6], 4);
    // 255 characters are read; a 256th is error 1.
    for (int i = 0; i < 256; ++i) ad()[1000 + i] = '1';
    ad()[1255] = 0;
    EXPECT_EQ(copy(copy_record(kCopyFlo, 1000, 6)), kOk);
    ad()[1255] = '1';
    ad()[1256] = 0;
    EXPECT_EQ(copy(copy_record(kCopyFlo, 1000, 6)), kErrWrongStyle);
    // A text running into register 7999 stops with error 4.
    ad()[7999] = '1';
    EXPECT_EQ(copy(copy_record(kCopyFlo, 7999, 6)), kErrOutOfRange);
}

TEST_F(CopyCommands, FftWritesMagnitudes) {
    rd()[10] = 1;  // an impulse: a flat spectrum
    EXPECT_EQ(copy(value_record(kCopyFft, 10, 20, 4)), kOk);
    for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(rd()[20 + i], 1) << i;
    for (int i = 0; i < 4; ++i) rd()[30 + i] = 1;  // a constant: all in bin 0
    EXPECT_EQ(copy(value_record(kCopyFft, 30, 30, 4.7)), kOk);  // in place, x truncated
    EXPECT_DOUBLE_EQ(rd()[30], 4);
    for (int i = 1; i < 4; ++i) EXPECT_NEAR(rd()[30 + i], 0, 1e-12) << i;
    // Three values (not a power of two): 1, 2, 3 give 6, sqrt(3), sqrt(3).
    rd()[40] = 1;
    rd()[41] = 2;
    rd()[42] = 3;
    EXPECT_EQ(copy(value_record(kCopyFft, 40, 50, 3)), kOk);
    EXPECT_NEAR(rd()[50], 6, 1e-12);
    EXPECT_NEAR(rd()[51], std::sqrt(3.0), 1e-12);
    EXPECT_NEAR(rd()[52], std::sqrt(3.0), 1e-12);
    // Eight samples of a cosine with two periods: bins 2 and 6 hold n/2.
    for (int i = 0; i < 8; ++i) rd()[60 + i] = std::cos(2 * std::numbers::pi * 2 * i / 8);
    EXPECT_EQ(copy(value_record(kCopyFft, 60, 70, 8)), kOk);
    EXPECT_NEAR(rd()[72], 4, 1e-12);
    EXPECT_NEAR(rd()[76], 4, 1e-12);
    EXPECT_NEAR(rd()[71], 0, 1e-12);

    EXPECT_EQ(copy(value_record(kCopyFft, 7990, 0, 10)), kErrOutOfRange);  // a+n past 7999
    EXPECT_EQ(copy(value_record(kCopyFft, 0, 7995, 5)), kErrOutOfRange);
    EXPECT_EQ(copy(value_record(kCopyFft, 0, 0, -1)), kErrOutOfRange);
    EXPECT_EQ(copy(value_record(kCopyFft, 0, 0, 0)), kOk);
}

}  // namespace
}  // namespace ksw
