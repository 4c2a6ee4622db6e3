// Decimal integer lists and numbers typed with thousands separators.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "zelw.h"

namespace {

TEST(ScanInt, SplitsAndReadsLikeAtoi) {
    int v[8] = {};
    char text[] = "12, -3\t+4,,x 7";
    EXPECT_EQ(ScanIntA(text, 0, v), 5);
    EXPECT_EQ(v[0], 12);
    EXPECT_EQ(v[1], -3);
    EXPECT_EQ(v[2], 4);
    EXPECT_EQ(v[3], 0);
    EXPECT_EQ(v[4], 7);

    char limited[] = "1 2 3";
    v[2] = 99;
    EXPECT_EQ(ScanIntA(limited, 2, v), 2);
    EXPECT_EQ(v[2], 99);
    EXPECT_EQ(limited[1], '\0');
    EXPECT_EQ(limited[3], '\0');
    EXPECT_EQ(limited[4], '3');

    char big[] = "99999999999,-99999999999,2147483647,-2147483648,12abc";
    EXPECT_EQ(ScanIntA(big, -1, v), 5);
    EXPECT_EQ(v[0], INT_MAX);
    EXPECT_EQ(v[1], INT_MIN);
    EXPECT_EQ(v[2], INT_MAX);
    EXPECT_EQ(v[3], INT_MIN);
    EXPECT_EQ(v[4], 12);

    char none[] = " ,\t ";
    EXPECT_EQ(ScanIntA(none, 0, v), 0);
    EXPECT_EQ(ScanIntA(nullptr, 0, v), 0);
}

TEST(ScanInt, Utf16Tokens) {
    int v[4] = {};
    char16_t text[] = u"5,\u00e9 -6";
    EXPECT_EQ(ScanIntW(text, 0, v), 3);
    EXPECT_EQ(v[0], 5);
    EXPECT_EQ(v[1], 0);
    EXPECT_EQ(v[2], -6);

    char16_t long_token[] = u"0000000000000000000123";  // read from its first 19 bytes
    EXPECT_EQ(ScanIntW(long_token, 0, v), 1);
    EXPECT_EQ(v[0], 0);
}

TEST(GetDlgItemIntWithComma, ReadsGroupedNumbers) {
    int ok = -1;
    EXPECT_EQ(GetDlgItemIntWithComma("1,234", &ok, 0), 1234);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(GetDlgItemIntWithComma("  -1,234", &ok, 0), -1234);
    EXPECT_EQ(GetDlgItemIntWithComma("  -1,234", &ok, 1), 1234);
    EXPECT_EQ(GetDlgItemIntWithComma("--5", &ok, 1), -5);
    EXPECT_EQ(GetDlgItemIntWithComma(" 12 345,6", &ok, 0), 123456);
    EXPECT_EQ(GetDlgItemIntWithComma("   ", &ok, 0), 0);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(GetDlgItemIntWithComma("", &ok, 0), 0);
    EXPECT_EQ(ok, 0);
    ok = -1;
    EXPECT_EQ(GetDlgItemIntWithComma(nullptr, &ok, 0), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(GetDlgItemIntWithComma("42", nullptr, 0), 42);

    const std::string past_limit = std::string(255, ' ') + "7";  // only 255 bytes are read
    EXPECT_EQ(GetDlgItemIntWithComma(past_limit.c_str(), &ok, 0), 0);
    EXPECT_EQ(ok, 1);
    const std::string at_limit = std::string(254, ' ') + "7";
    EXPECT_EQ(GetDlgItemIntWithComma(at_limit.c_str(), &ok, 0), 7);
}

}  // namespace
