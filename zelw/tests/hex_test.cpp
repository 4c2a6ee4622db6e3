// Hexadecimal text, hexadecimal word lists, BCD and ordering pairs.
#include <gtest/gtest.h>

#include <cstring>

#include "zelw.h"

namespace {

TEST(StrToHex, UnlimitedAndCountedReads) {
    EXPECT_EQ(StrToHexA("1g", -1), 1);
    EXPECT_EQ(StrToHexA("1g", 2), -1);
    EXPECT_EQ(StrToHexA("", -1), 0);
    EXPECT_EQ(StrToHexA("fe", 2), 254);
    EXPECT_EQ(StrToHexA("FeD", 2), 254);
    EXPECT_EQ(StrToHexA("12", 0), 0);
    EXPECT_EQ(StrToHexA(" 1", -1), 0);
    EXPECT_EQ(StrToHexA("abc", 5), -1);  // the terminator is not a digit, and nothing past it is read
    EXPECT_EQ(StrToHexA("7fffffff", -1), 0x7fffffff);
    EXPECT_EQ(StrToHexA("ffffffff", 8), -1);
    EXPECT_EQ(StrToHexA("123456789", -1), 0x23456789);  // wraps past 8 digits
    EXPECT_EQ(StrToHexA(nullptr, -1), 0);
    EXPECT_EQ(StrToHexA(nullptr, 2), -1);
    EXPECT_EQ(ZelwGetVersion(), 0x275);
}

TEST(StrToHex, Utf16Text) {
    EXPECT_EQ(StrToHexW(u"7fz", -1), 0x7f);
    EXPECT_EQ(StrToHexW(u"ab", 3), -1);
    EXPECT_EQ(StrToHexW(u"1\u00e9", -1), 1);
    EXPECT_EQ(StrToHexW(u"1\u00e9", 2), -1);
    EXPECT_EQ(StrToHexW(nullptr, -1), 0);
}

TEST(ScanHexWord, SplitsAtCommas) {
    unsigned short out[4] = {9, 9, 9, 9};
    char list[] = "12,,ab,FFFF,7";
    EXPECT_EQ(ScanHexWordA(list, 3, out), 3);
    EXPECT_EQ(out[0], 0x12);
    EXPECT_EQ(out[1], 0xab);
    EXPECT_EQ(out[2], 0xffff);
    EXPECT_EQ(out[3], 9);
    EXPECT_EQ(std::strcmp(list + 7, "FFFF"), 0);  // the delimiter after the last token read is cut

    char blank[] = " 12";
    EXPECT_EQ(ScanHexWordA(blank, 1, out), 1);
    EXPECT_EQ(out[0], 0);

    char short_list[] = "1,2";
    EXPECT_EQ(ScanHexWordA(short_list, 4, out), 2);  // the text ends early: the words stored

    char too_big[] = "1,10000";
    EXPECT_EQ(ScanHexWordA(too_big, 2, out), 0);
    char empty[] = ",,,";
    EXPECT_EQ(ScanHexWordA(empty, 2, out), 0);
    char any[] = "1";
    EXPECT_EQ(ScanHexWordA(any, 0, out), 0);
    EXPECT_EQ(ScanHexWordA(nullptr, 1, out), 0);

    char16_t wide[] = u"a,1 ,b";
    EXPECT_EQ(ScanHexWordW(wide, 3, out), 3);
    EXPECT_EQ(out[0], 0xa);
    EXPECT_EQ(out[1], 0x1);
    EXPECT_EQ(out[2], 0xb);
}

TEST(Bcd, BothDirectionsAndLimits) {
    EXPECT_EQ(BCDToHex(0x1234), 1234);
    EXPECT_EQ(BCDToHex(0x9999), 9999);
    EXPECT_EQ(BCDToHex(0), 0);
    EXPECT_EQ(BCDToHex(0x12A4), 65535);
    EXPECT_EQ(BCDToHex(0xA000), 65535);
    EXPECT_EQ(BCDToHex(0x000F), 65535);
    EXPECT_EQ(HexToBCD(1234), 0x1234);
    EXPECT_EQ(HexToBCD(9999), 0x9999);
    EXPECT_EQ(HexToBCD(0), 0);
    EXPECT_EQ(HexToBCD(7), 0x0007);
    EXPECT_EQ(HexToBCD(10000), 65535);
}

TEST(Swap, OrdersPairs) {
    double a = 2.5, b = -1.0;
    SwapDouble(&a, &b);
    EXPECT_EQ(a, -1.0);
    EXPECT_EQ(b, 2.5);
    SwapDouble(&a, &b);
    EXPECT_EQ(a, -1.0);
    int i = 1, j = -1;
    SwapInt(&i, &j);
    EXPECT_EQ(i, -1);
    EXPECT_EQ(j, 1);
    unsigned short u = 65535, v = 1;
    SwapWORD(&u, &v);
    EXPECT_EQ(u, 1);
    EXPECT_EQ(v, 65535);
    SwapInt(nullptr, &i);
    EXPECT_EQ(i, -1);
}

}  // namespace
