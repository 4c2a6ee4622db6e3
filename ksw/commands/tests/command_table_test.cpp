#include <gtest/gtest.h>

#include <set>
#include <string>

#include "commands/commands.h"
#include "language/program_build.h"

namespace ksw {
namespace {

KeywordMatch lookup(std::string_view statement) { return lookup_keyword(command_table(), statement); }
int row_of(std::string_view statement) { return lookup(statement).row; }
const CommandRow &row(int id) { return command_table()[static_cast<size_t>(id)]; }

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
    const KeywordMatch m = lookup("SETSW(ON,5)");
    EXPECT_EQ(m.row, kRowSetsw);
    EXPECT_EQ(m.length, 6u);
    EXPECT_EQ(lookup("Adjust,dc_volt(1)").length, 7u);
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
    for (const CommandRow &row : command_table()) {
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
    EXPECT_EQ(row(kRowClear).compile, row(kRowFreset).compile);
    EXPECT_EQ(row(kRowClear).compile, row(kRowReset).compile);
    EXPECT_EQ(row(kRowSetsw).compile, row(kRowSetfsw).compile);
    EXPECT_EQ(row(kRowCall).compile, row(kRowJump).compile);
    EXPECT_EQ(row(kRow1Ch).compile, row(kRow2Ch).compile);
    EXPECT_EQ(row(kRowClamp).compile, row(kRowShift).compile);
    EXPECT_EQ(row(kRowDc).compile, row(kRowLogic).compile);
    EXPECT_NE(row(kRowCall).run, row(kRowJump).run);
    EXPECT_EQ(row(kRowTotal - 1).kind, kEndOfTable);
    EXPECT_EQ(command_table().size(), static_cast<size_t>(kRowTotal));
    // The items compile with four handlers, whatever they measure.
    std::set<CompileHandler> item_handlers;
    for (const CommandRow &r : command_table())
        if (r.kind == kMeasureItem) item_handlers.insert(r.compile);
    EXPECT_EQ(item_handlers.size(), 4u);
}

}  // namespace
}  // namespace ksw
