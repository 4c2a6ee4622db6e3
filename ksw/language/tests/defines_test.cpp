#include <gtest/gtest.h>

#include "language/conditionals.h"
#include "resources/error_codes.h"

namespace ksw {
namespace {

TEST(Defines, SourcesDecideHowARedefinitionActs) {
    DefineTable t;
    EXPECT_EQ(define_symbol(t, "GAIN(2*3+4)", kSourceProgram), kOk);
    double value = 0;
    size_t length = 0;
    ASSERT_TRUE(lookup_define(t, "GAIN*2", &value, &length));
    EXPECT_EQ(value, 10.0);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(define_symbol(t, "GAIN(1)", kSourceProgram), kErrAlreadyDefined);
    // The setting or the command line take a program symbol over.
    EXPECT_EQ(define_symbol(t, "GAIN(5)", kSourceSetting), kOk);
    EXPECT_EQ(t.entries[0].source, kSourceSetting);
    EXPECT_EQ(define_symbol(t, "GAIN(6)", kSourceCommandLine), kOk);
    EXPECT_EQ(t.entries[0].source, kSourceCommandLine);
    EXPECT_EQ(define_symbol(t, "GAIN(7)", kSourceSetting), kOk);  // a "-F" symbol stays source 1
    EXPECT_EQ(t.entries[0].source, kSourceCommandLine);
    EXPECT_EQ(t.entries[0].value, 7.0);
    EXPECT_EQ(define_symbol(t, "GAIN(8)", kSourceProgram), kOk);
    EXPECT_EQ(t.entries[0].source, kSourceCommandLine);
}

TEST(Defines, BadDefinitionsAreRefusedWithoutOverrunningAnEntry) {
    DefineTable t;
    EXPECT_EQ(define_symbol(t, "X(1", kSourceProgram), kErrBracketMissing);
    EXPECT_EQ(define_symbol(t, "(1)", kSourceProgram), kErrLackingArgument);
    EXPECT_EQ(define_symbol(t, "", kSourceProgram), kErrLackingArgument);
    EXPECT_EQ(define_symbol(t, "X(1)" + std::string(60, ' '), kSourceProgram), kErrLineTooLong);
    EXPECT_NE(define_symbol(t, "X(1+)", kSourceProgram), kOk);
    // Names are significant to 30 characters: a longer name is its first 30.
    const std::string long_name = std::string(30, 'N') + "TAIL";
    EXPECT_EQ(define_symbol(t, long_name, kSourceProgram), kOk);
    EXPECT_EQ(t.entries[0].name.size(), 30u);
    EXPECT_TRUE(is_defined(t, long_name));
    EXPECT_TRUE(is_defined(t, std::string(30, 'N')));
    EXPECT_FALSE(is_defined(t, std::string(29, 'N')));
    for (int i = 1; i < kMaxDefines; ++i) EXPECT_EQ(define_symbol(t, "S" + std::to_string(i), kSourceProgram), kOk);
    EXPECT_EQ(define_symbol(t, "ONEMORE", kSourceProgram), kErrTooManyDefines);
}

TEST(Defines, UndefLastsUntilTheNextCompilationAndResetsKeepSwitchAndSetting) {
    DefineTable t;
    ASSERT_EQ(define_symbol(t, "A", kSourceSetting), kOk);
    ASSERT_EQ(define_symbol(t, "B(2)", kSourceSetting), kOk);
    ASSERT_EQ(define_symbol(t, "F(9)", kSourceCommandLine), kOk);
    ASSERT_EQ(define_symbol(t, "P", kSourceProgram), kOk);
    int code = 0;
    EXPECT_EQ(classify_directive(t, "#undefA", true, &code), kDirectiveHandled);
    EXPECT_FALSE(is_defined(t, "A"));
    EXPECT_EQ(classify_directive(t, "#undefB", false, &code), kDirectiveHandled);  // inactive: nothing
    EXPECT_TRUE(is_defined(t, "B"));
    reset_defines(t, 3);
    EXPECT_TRUE(is_defined(t, "A"));
    EXPECT_FALSE(is_defined(t, "P"));
    EXPECT_TRUE(is_defined(t, "F"));
    reset_defines(t, 2);
    EXPECT_FALSE(is_defined(t, "A"));
    EXPECT_TRUE(is_defined(t, "F"));
    reset_defines(t, 0);
    EXPECT_FALSE(is_defined(t, "F"));
}

TEST(Defines, DirectivesAreLowerCaseWordsWithNothingAfterElseAndEndif) {
    DefineTable t;
    int code = 0;
    EXPECT_EQ(classify_directive(t, "wait(1)", true, &code), kOrdinaryStatement);
    EXPECT_EQ(classify_directive(t, "#defineX(3)", true, &code), kDirectiveHandled);
    EXPECT_EQ(classify_directive(t, "#defineX(4)", true, &code), kDirectiveError);
    EXPECT_EQ(code, kErrAlreadyDefined);
    EXPECT_EQ(classify_directive(t, "#defineY", false, &code), kDirectiveHandled);
    EXPECT_FALSE(is_defined(t, "Y"));
    EXPECT_EQ(classify_directive(t, "#ifdefX", true, &code), kConditionHolds);
    EXPECT_EQ(classify_directive(t, "#ifndefX", true, &code), kConditionFails);
    EXPECT_EQ(classify_directive(t, "#ifdefx", true, &code), kConditionFails);  // names are case-sensitive
    EXPECT_EQ(classify_directive(t, "#else", true, &code), kDirectiveElse);
    EXPECT_EQ(classify_directive(t, "#endif", true, &code), kDirectiveEndif);
    for (const char *bad : {"#elsex", "#endif1", "#DEFINE Z", "#endm", "#"}) {
        EXPECT_EQ(classify_directive(t, bad, true, &code), kDirectiveError) << bad;
        EXPECT_EQ(code, kErrUndefinedCommand) << bad;
    }
}

TEST(ConditionalBlocksTest, PartsNestAndInactiveBlocksStayInactive) {
    ConditionalBlocks b;
    bool compile = false;
    auto feed = [&](int kind) {
        EXPECT_EQ(b.feed(kind, &compile), kOk);
        return compile;
    };
    EXPECT_TRUE(feed(kOrdinaryStatement));
    feed(kConditionFails);
    EXPECT_FALSE(feed(kOrdinaryStatement));
    feed(kConditionHolds);  // nested in an inactive part: both parts inactive
    EXPECT_FALSE(feed(kOrdinaryStatement));
    feed(kDirectiveElse);
    EXPECT_FALSE(feed(kOrdinaryStatement));
    feed(kDirectiveEndif);
    feed(kDirectiveElse);
    EXPECT_TRUE(feed(kOrdinaryStatement));
    EXPECT_EQ(b.finish(), kErrMissingEndif);
    EXPECT_EQ(b.feed(kDirectiveElse, &compile), kErrElseDuplicated);
    feed(kDirectiveEndif);
    EXPECT_EQ(b.finish(), kOk);
    EXPECT_EQ(b.feed(kDirectiveElse, &compile), kErrMissingIfdef);
    EXPECT_EQ(b.feed(kDirectiveEndif, &compile), kErrMissingIfdef);
}

}  // namespace
}  // namespace ksw
