// The language reference (docs/language.md) names every keyword of the command table, so a new
// keyword cannot arrive without its run side written down.
#include <gtest/gtest.h>

#include "commands/commands.h"
#include "temp_dir.h"

namespace ksw {
namespace {

TEST(LanguagePage, EveryKeywordOfTheTableHasItsRow) {
    const std::string page = testing::read_text(std::string(KSW_SOURCE_DIR) + "/docs/language.md");
    ASSERT_FALSE(page.empty());
    for (const CommandRow &row : command_table()) {
        if (row.kind == kEndOfTable) continue;
        EXPECT_NE(page.find("`" + std::string(row.keyword) + "`"), std::string::npos) << row.keyword;
    }
}

}  // namespace
}  // namespace ksw
