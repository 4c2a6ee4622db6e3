#include <gtest/gtest.h>

#include "language/arguments.h"
#include "language/dbcs.h"
#include "resources/error_codes.h"

namespace ksw {
namespace {

using Fields = std::vector<std::string>;

Fields split_ok(std::string_view text, int n) {
    Fields f;
    EXPECT_EQ(split_args(text, n, f), kOk) << text;
    return f;
}

TEST(SplitArgs, FieldsEndAtCommasBracketsAndSemicolons) {
    EXPECT_EQ(split_ok("=,1,2)", 3), (Fields{"=", "1", "2"}));
    // Commas inside a function call do not split; the keyword's ")" cuts the rest.
    EXPECT_EQ(split_ok("max(1,2),3)junk,4", 2), (Fields{"max(1,2)", "3"}));
    // More fields than asked: the n-th ends at its comma and the rest is ignored.
    EXPECT_EQ(split_ok("a,b,c", 2), (Fields{"a", "b"}));
    // A ";" ends the text.
    Fields f;
    EXPECT_EQ(split_args("a;b,c", 2, f), kErrLackingArgument);
    EXPECT_EQ(f[0], "a");
}

TEST(SplitArgs, MissingOrEmptyFieldsAreLackingArguments) {
    Fields f;
    EXPECT_EQ(split_args("1,2)", 3, f), kErrLackingArgument);  // an optional third field is absent
    EXPECT_EQ(f[0], "1");
    EXPECT_EQ(f[1], "2");
    EXPECT_EQ(split_args("1,,3", 3, f), kErrLackingArgument);
    EXPECT_EQ(split_args("", 1, f), kErrLackingArgument);
    EXPECT_EQ(split_args(")", 1, f), kErrLackingArgument);
    EXPECT_EQ(split_args("1,", 2, f), kErrLackingArgument);
    EXPECT_EQ(split_args("anything", 0, f), kOk);
    EXPECT_TRUE(f.empty());
}

TEST(SplitArgs, QuotesAndBackslashesMakeCharactersPlain) {
    // Quotes are removed and protect commas, brackets and semicolons.
    EXPECT_EQ(split_ok("10,20,\"a, (b); c)\",3)", 4), (Fields{"10", "20", "a, (b); c)", "3"}));
    // A backslash keeps the next character, even a comma or a quote.
    EXPECT_EQ(split_ok("a\\,b,\\\"q\\\\", 2), (Fields{"a,b", "\"q\\"}));
    // ...except before "x", where both stay for byte-string escapes.
    EXPECT_EQ(split_ok("0,\"\\x41\\x00z\"", 2), (Fields{"0", "\\x41\\x00z"}));
    // An empty quoted text is a field that is present.
    EXPECT_EQ(split_ok("1,\"\",2", 3), (Fields{"1", "", "2"}));
    // A trailing backslash does not read past the text.
    EXPECT_EQ(split_ok("ab\\", 1), (Fields{"ab"}));
}

TEST(SplitArgs, DoubleByteCharactersAreCopiedWhole) {
    // 0x83 0x5C is one Shift-JIS character whose trail byte looks like a backslash.
    const std::string text = "\x83\x5c,x";
    {
        const CodePageScope shift_jis(932);
        EXPECT_EQ(split_ok(text, 2), (Fields{"\x83\x5c", "x"}));
    }
    // Without the lead-byte table the backslash escapes the comma.
    EXPECT_EQ(split_ok(text, 1), (Fields{"\x83,x"}));
}

TEST(ParseChoice, FieldsMatchTheirAbbreviationInListOrder) {
    int index = -1;
    for (const char *field : {"adj", "adjust", "ADJUST", "Adj"}) {
        EXPECT_EQ(parse_choice(field, {"adj", "che", "noo"}, &index), kOk) << field;
        EXPECT_EQ(index, 0);
    }
    EXPECT_EQ(parse_choice("ad", {"adj", "che", "noo"}, &index), kErrInvalidMode);
    EXPECT_EQ(parse_choice("", {"adj"}, &index), kErrInvalidMode);
    // The first word in list order wins: "ima" comes before "imi", "and" after "ave".
    EXPECT_EQ(parse_choice("<=", {"=", "<=", "<"}, &index), kOk);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(parse_choice("-", {"-", "+"}, &index), kOk);
    EXPECT_EQ(index, 0);
}

TEST(MarkRegisters, BlockStartsSurviveAndMarksStayInsideTheFile) {
    RegisterUsageMap usage;
    mark_registers(usage.ad, 10, -1);
    EXPECT_EQ(usage.ad[10], 255);
    mark_registers(usage.ad, 8, 5);
    EXPECT_EQ(usage.ad[8], 1);
    EXPECT_EQ(usage.ad[10], 255);
    EXPECT_EQ(usage.ad[12], 1);
    EXPECT_EQ(usage.ad[13], 0);
    mark_registers(usage.ad, 7998, 10);
    EXPECT_EQ(usage.ad[7998], 1);
    EXPECT_EQ(usage.ad[7999], 1);
    mark_registers(usage.ad, -1, 3);
    mark_registers(usage.ad, 8000, -1);
    EXPECT_EQ(usage.ad[0], 0);
    mark_registers(usage.rd, 5, 0);
    EXPECT_EQ(usage.rd[5], 0);
}

}  // namespace
}  // namespace ksw
