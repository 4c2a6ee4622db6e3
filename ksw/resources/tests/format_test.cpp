#include <gtest/gtest.h>

#include "resources/format.h"
#include "resources/messages.h"

namespace ksw {
namespace {

TEST(FormatText, MessageTemplatesFormatLikePrintf) {
    EXPECT_EQ(format_text(message_text(kMsgCompileError), {12, 3, "wait(x)", "e001: Wrong style of argument"}),
              "s005: Compile error\nStep 12 - 3\n[wait(x)]\ne001: Wrong style of argument");
    EXPECT_EQ(format_text("OK=%d NG=%d(%6.2f%%)", {3, 1, 75.0}), "OK=3 NG=1( 75.00%)");
    EXPECT_EQ(format_text("%X,%X,%X,%X", {0x300u, 0x301u, 0x302, 0x303}), "300,301,302,303");
    EXPECT_EQ(format_text("[%-5s|%5s]", {"ab", "cd"}), "[ab   |   cd]");
    EXPECT_EQ(format_text("%.17g", {0.1}), "0.10000000000000001");
    EXPECT_EQ(format_text("%c%c", {65, 66}), "AB");
}

TEST(FormatText, MissingOrWrongArgumentsPrintNothingInsteadOfGarbage) {
    EXPECT_EQ(format_text("STEP%dS:%s", {7}), "STEP7S:");
    EXPECT_EQ(format_text("%d|%s", {"text", 5}), "|");
    EXPECT_EQ(format_text("100%", {}), "100");
    EXPECT_EQ(format_text("%s", {std::string(2000, 'x')}).size(), 2000u);  // long texts are whole
    EXPECT_EQ(format_text("%f", {2}), "2.000000");                         // integers print as reals
}

}  // namespace
}  // namespace ksw
