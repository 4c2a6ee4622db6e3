// Word strings and UTF-16 conversions in both code pages.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "zelw.h"

namespace {

// Every test starts and ends in the default code page.
class Convert : public ::testing::Test {
protected:
    void SetUp() override { ZelwSetCodePage(0); }
    void TearDown() override { ZelwSetCodePage(0); }
};

TEST_F(Convert, BytesToWords) {
    unsigned short w[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(StrToWordA("AB\x80" "C", w, 8), 2);
    EXPECT_EQ(w[0], 'A');
    EXPECT_EQ(w[1], 'B');
    EXPECT_EQ(w[2], 1);  // no terminator
    EXPECT_EQ(StrToWordA("ABCDEF", w, 3), 3);
    EXPECT_EQ(w[3], 1);
    EXPECT_EQ(StrToWordA("AB", w, 0), 0);
    EXPECT_EQ(StrToWordW(u"Hi\u00e9x", w, 8), 2);
    EXPECT_EQ(StrToWordW(u"xyz", w, 2), 2);
    EXPECT_EQ(w[2], 'C');
    EXPECT_EQ(StrToWordA(nullptr, w, 3), 0);
}

TEST_F(Convert, WordsToBytes) {
    const unsigned short words[] = {'O', 'K', 200, 'x'};
    char t[8];
    std::memset(t, '#', sizeof t);
    EXPECT_EQ(WordToStrA(words, t, 8), 2);
    EXPECT_STREQ(t, "OK");
    const unsigned short abc[] = {'A', 'B', 'C'};
    EXPECT_EQ(WordToStrA(abc, t, 2), 2);
    EXPECT_STREQ(t, "AB");
    EXPECT_EQ(WordToStrA(abc, t, -1), 0);
    EXPECT_STREQ(t, "");

    unsigned short many[300];
    for (unsigned short &w : many) w = 'A';
    char16_t wide[302];
    for (char16_t &c : wide) c = u'#';
    EXPECT_EQ(WordToStrW(many, wide, 300), 255);  // the intermediate text holds 255 bytes
    EXPECT_EQ(wide[254], u'A');
    EXPECT_EQ(wide[255], 0);
    EXPECT_EQ(wide[256], u'#');
}

TEST_F(Convert, Utf16AndUtf8) {
    char out[32];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(WcsToMbs(out, u"a\u00e9\u20ac\U0001F600", 32), out);
    EXPECT_STREQ(out, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");

    std::memset(out, '#', sizeof out);
    WcsToMbs(out, u"a\u00e9\u20ac", 5);  // the euro sign does not fit: cut before it
    EXPECT_STREQ(out, "a\xC3\xA9");
    EXPECT_EQ(out[4], '#');
    WcsToMbs(out, u"x\xD800y", 32);
    EXPECT_STREQ(out, "x?y");

    const std::u16string long_text(300, u'x');
    EXPECT_EQ(std::strlen(WcsToMbs(nullptr, long_text.c_str(), 0)), 254u);

    char16_t wide[16];
    for (char16_t &c : wide) c = u'#';
    EXPECT_EQ(MbsToWcs(wide, "a\xC3\xA9\xF0\x9F\x98\x80", 16), wide);
    EXPECT_EQ(std::u16string(wide), u"a\u00e9\U0001F600");
    MbsToWcs(wide, "a\xC3\xA9\xF0\x9F\x98\x80", 4);  // no half of a surrogate pair
    EXPECT_EQ(std::u16string(wide), u"a\u00e9");
    MbsToWcs(wide, "\xFF" "b\xC3", 16);
    EXPECT_EQ(std::u16string(wide), u"?b?");
    EXPECT_EQ(std::u16string(MbsToWcs(nullptr, nullptr, 0)), u"");
}

TEST_F(Convert, ShiftJisCodePage) {
    EXPECT_EQ(ZelwSetCodePage(932), 0);
    EXPECT_EQ(ZelwSetCodePage(1252), -1);
    char out[16];
    WcsToMbs(out, u"a\u3042\uFF71\u00e9", 16);
    EXPECT_STREQ(out, "a\x82\xA0\xB1?");
    char16_t wide[16];
    MbsToWcs(wide, "a\x82\xA0\xB1\x82", 16);  // a lead byte at the end has no character
    EXPECT_EQ(std::u16string(wide), u"a\u3042\uFF71?");
    MbsToWcs(wide, "\x82\n", 16);  // an invalid pair keeps its second byte
    EXPECT_EQ(std::u16string(wide), u"?\n");
    EXPECT_EQ(ZelwSetCodePage(65001), 932);
}

}  // namespace
