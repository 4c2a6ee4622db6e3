#include <gtest/gtest.h>

#include <set>
#include <string>

#include "compiler/command_table.h"

namespace ksw {
namespace {

int row_of(std::string_view statement) { return lookup_keyword(statement).row; }

TEST(CommandTable, BracketsAndCommasKeepSimilarKeywordsApart) {
    EXPECT_EQ(row_of("check_time(100)"), kRowCheckTime);
    EXPECT_EQ(row_of("check(ad,5)"), kRowCheck);
    EXPECT_EQ(row_of("check,dc_volt(5)"), kRowModeCheck);
    EXPECT_EQ(row_of("v_level(1)"), kRowVLevel);
    EXPECT_EQ(row_of(",v_level(1,2)"), kRowItemVLevel);
    EXPECT_EQ(row_of(",v_level_level(1,2)"), kRowItemVLevelLevel);
    EXPECT_EQ(row_of("copy(=,1,2)"), kRowCopy);
    EXPECT_EQ(row_of("copyad(=,1,2)"), kRowCopyad);
    EXPECT_EQ(row_of("evr_adj2(1)"), kRowEvrAdj2);
    EXPECT_EQ(row_of("1_ch(1)"), kRow1Ch);
    EXPECT_EQ(row_of("input_ch(1)"), kRowInputCh);
    EXPECT_EQ(row_of("copy"), -1);         // no bracket: not a command
    EXPECT_EQ(row_of("undefined(1)"), -1);
    EXPECT_EQ(row_of(""), -1);
}

TEST(CommandTable, CaseIsIgnoredAndTheArgumentsStartAfterTheKeyword) {
    const KeywordMatch m = lookup_keyword("SETSW(ON,5)");
    EXPECT_EQ(m.row, kRowSetsw);
    EXPECT_EQ(m.length, 6u);
    EXPECT_EQ(lookup_keyword("Adjust,dc_volt(1)").length, 7u);
    // Only ASCII letters fold: other bytes must be equal.
    EXPECT_EQ(row_of("\xc5nd"), -1);
}

TEST(CommandTable, WordsWithoutBracketMatchAnyStatementThatBeginsWithThem) {
    EXPECT_EQ(row_of("step(10)"), kRowStep);
    EXPECT_EQ(row_of("STEP10"), kRowStep);
    EXPECT_EQ(row_of("stepx"), kRowStep);  // the step compiler refuses it later
    EXPECT_EQ(row_of("end"), kRowEnd);
    EXPECT_EQ(row_of("endless(3)"), kRowEnd);
    EXPECT_EQ(row_of("no_operation,whatever"), kRowNoOperation);
    // "stopmode(" is its own row even though it also begins with "st".
    EXPECT_EQ(row_of("stopmode(ngs)"), kRowStopmode);
}

TEST(CommandTable, RowsHaveTheHandlersTheirKindNeeds) {
    std::set<std::string> keywords;
    for (const CommandRow &row : kCommandTable) {
        EXPECT_TRUE(keywords.insert(row.keyword).second) << "duplicate keyword " << row.keyword;
        switch (row.kind) {
        case kDeclaration:
        case kModeKeyword:
            EXPECT_NE(row.compile, nullptr) << row.keyword;
            EXPECT_EQ(row.run, nullptr) << row.keyword;
            break;
        case kCommand:
        case kMeasureItem:
            EXPECT_NE(row.compile, nullptr) << row.keyword;
            EXPECT_NE(row.run, nullptr) << row.keyword;
            break;
        default:
            EXPECT_EQ(row.compile, nullptr) << row.keyword;
            EXPECT_EQ(row.run, nullptr) << row.keyword;
        }
        if (row.kind == kMeasureItem) {
            EXPECT_EQ(row.keyword[0], ',');
        }
    }
    // Rows that compile alike share one handler.
    EXPECT_EQ(kCommandTable[kRowClear].compile, kCommandTable[kRowFreset].compile);
    EXPECT_EQ(kCommandTable[kRowClear].compile, kCommandTable[kRowReset].compile);
    EXPECT_EQ(kCommandTable[kRowSetsw].compile, kCommandTable[kRowSetfsw].compile);
    EXPECT_EQ(kCommandTable[kRowCall].compile, kCommandTable[kRowJump].compile);
    EXPECT_EQ(kCommandTable[kRow1Ch].compile, kCommandTable[kRow2Ch].compile);
    EXPECT_EQ(kCommandTable[kRowClamp].compile, kCommandTable[kRowShift].compile);
    EXPECT_EQ(kCommandTable[kRowDc].compile, kCommandTable[kRowLogic].compile);
    EXPECT_NE(kCommandTable[kRowCall].run, kCommandTable[kRowJump].run);
    EXPECT_EQ(kCommandTable[kRowTotal - 1].kind, kEndOfTable);
}

}  // namespace
}  // namespace ksw
