// Double-byte-safe cutting and padding, and white-space removal.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "zelw.h"

namespace {

// Tests of double-byte texts run in the Shift-JIS code page.
class TextCut : public ::testing::Test {
protected:
    void SetUp() override { ZelwSetCodePage(932); }
    void TearDown() override { ZelwSetCodePage(0); }
};

const unsigned char *bytes(const char *text) { return reinterpret_cast<const unsigned char *>(text); }

TEST_F(TextCut, CheckKanjiWalksFromTheStart) {
    const char *text = "a\x82\xA0\x82\x82" "b";
    EXPECT_EQ(CheckKanji(bytes(text), 0), 0);
    EXPECT_EQ(CheckKanji(bytes(text), 1), 1);
    EXPECT_EQ(CheckKanji(bytes(text), 2), 2);
    EXPECT_EQ(CheckKanji(bytes(text), 3), 1);
    EXPECT_EQ(CheckKanji(bytes(text), 4), 2);  // a lead-byte value as second byte
    EXPECT_EQ(CheckKanji(bytes(text), 5), 0);
    EXPECT_EQ(CheckKanji(bytes(text), -1), 0);
    EXPECT_EQ(CheckKanji(bytes("\x82"), 1), 2);
    EXPECT_EQ(CheckKanji(bytes("a"), 5), 0);  // beyond the terminator
    ZelwSetCodePage(0);
    EXPECT_EQ(CheckKanji(bytes(text), 1), 0);
}

TEST_F(TextCut, CutStrNeverLeavesHalfACharacter) {
    unsigned char text[8];
    std::memcpy(text, "ab\x82\xA0" "cd", 7);
    EXPECT_EQ(CutStr(text, 3), 1);
    EXPECT_STREQ(reinterpret_cast<char *>(text), "ab ");

    std::memcpy(text, "ab\x82\xA0" "cd", 7);
    EXPECT_EQ(CutStr(text, 4), 2);
    EXPECT_STREQ(reinterpret_cast<char *>(text), "ab\x82\xA0");

    std::memcpy(text, "abcdef", 7);
    EXPECT_EQ(CutStr(text, 2), 0);
    EXPECT_STREQ(reinterpret_cast<char *>(text), "ab");
    EXPECT_EQ(CutStr(text, 5), 0);
    EXPECT_STREQ(reinterpret_cast<char *>(text), "ab");
    EXPECT_EQ(CutStr(text, -1), 0);
    EXPECT_STREQ(reinterpret_cast<char *>(text), "ab");
    EXPECT_EQ(CutStr(text, 0), 0);
    EXPECT_STREQ(reinterpret_cast<char *>(text), "");
}

TEST_F(TextCut, AddSpacePadsOrCutsToTheWidth) {
    unsigned char dst[16];
    auto text = [&] { return std::string(reinterpret_cast<char *>(dst)); };
    std::memset(dst, '#', sizeof dst);
    EXPECT_EQ(AddSpace(dst, "abc", 6), 0);
    EXPECT_EQ(text(), "abc   ");
    EXPECT_EQ(dst[7], '#');
    EXPECT_EQ(AddSpace(dst, "abcdefgh", 4), 0);
    EXPECT_EQ(text(), "abcd");
    EXPECT_EQ(AddSpace(dst, "ab\rcd", 5), 0);
    EXPECT_EQ(text(), "ab   ");
    EXPECT_EQ(AddSpace(dst, "ab\ncd", 3), 0);
    EXPECT_EQ(text(), "ab ");
    EXPECT_EQ(AddSpace(dst, "ab\x82\xA0", 3), 1);
    EXPECT_EQ(text(), "ab ");
    EXPECT_EQ(AddSpace(dst, "ab\x82\xA0", 4), 2);
    EXPECT_EQ(text(), "ab\x82\xA0");
    EXPECT_EQ(AddSpace(dst, nullptr, 3), 0);
    EXPECT_EQ(text(), "   ");
    EXPECT_EQ(AddSpace(dst, "abc", 0), 0);
    EXPECT_EQ(text(), "");
}

TEST_F(TextCut, RemoveSpaceDropsWhiteSpaceAndEndsAtLineEnd) {
    char text[] = " a b\tc\v\fd\r\nxyz";
    RemoveSpace(text);
    EXPECT_STREQ(text, "abcd");
    char other[] = "x y\nz";
    RemoveSpace(other);
    EXPECT_STREQ(other, "xy");
    RemoveSpace(nullptr);
}

}  // namespace
