#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

#include "language/preprocessor.h"
#include "language/statement_reader.h"
#include "resources/error_codes.h"
#include "temp_dir.h"

namespace ksw {
namespace {

using ksw::testing::read_text;
using ksw::testing::write_text;

// Every test works in a folder of its own, which is the current folder as during a load.
class InFolder : public ::testing::Test {
protected:
    ksw::testing::TempDir dir;
    std::string old_cwd;
    void SetUp() override {
        char buf[4096];
        old_cwd = getcwd(buf, sizeof buf);
        ASSERT_EQ(chdir(dir.path().c_str()), 0);
    }
    void TearDown() override { (void)chdir(old_cwd.c_str()); }
};

struct Read {
    std::string text;
    int line;
};

std::vector<Read> statements(const std::string &bytes, int mode, int *final_rc = nullptr) {
    write_text("in.ks", bytes);
    ProgramFile file;
    EXPECT_TRUE(file.open_read("in.ks"));
    StatementReader reader{&file};
    std::vector<Read> out;
    std::string statement;
    for (;;) {
        const int rc = read_statement(reader, statement, mode);
        if (rc != kOk) {
            if (final_rc) *final_rc = rc;
            return out;
        }
        out.push_back({statement, reader.statement_line});
    }
}

using StatementReading = InFolder;

TEST_F(StatementReading, LineEndsCountOnceWhateverTheirForm) {
    const auto lf = statements("a\nb\n\nc", kStatementCompact);
    const auto crlf = statements("a\r\nb\r\n\r\nc", kStatementCompact);
    const auto cr = statements("a\rb\r\rc", kStatementCompact);
    ASSERT_EQ(lf.size(), 4u);
    for (const auto *v : {&crlf, &cr}) {
        ASSERT_EQ(v->size(), lf.size());
        for (size_t i = 0; i < lf.size(); ++i) {
            EXPECT_EQ((*v)[i].text, lf[i].text);
            EXPECT_EQ((*v)[i].line, lf[i].line);
        }
    }
    EXPECT_EQ(lf[3].text, "c");
    EXPECT_EQ(lf[3].line, 4);
    // A NUL ends a line too.
    const auto nul = statements(std::string("x\0y", 3), kStatementCompact);
    ASSERT_EQ(nul.size(), 2u);
    EXPECT_EQ(nul[1].line, 2);
}

TEST_F(StatementReading, SemicolonsSplitALineAndCommentsEndWithIt) {
    const auto s = statements("wait(1);wait(2) {comment; \"x\"\nsetsw(on,1) {open to the end\ncls()", kStatementCompact);
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0].text, "wait(1)");
    EXPECT_EQ(s[1].text, "wait(2)");
    EXPECT_EQ(s[0].line, s[1].line);
    EXPECT_EQ(s[2].text, "setsw(on,1)");
    EXPECT_EQ(s[3].text, "cls()");
    EXPECT_EQ(s[3].line, 3);
    // Text after a closed comment continues the statement.
    EXPECT_EQ(statements("a{x}b", kStatementCompact)[0].text, "ab");
}

TEST_F(StatementReading, QuotesKeepBlanksBracesAndSemicolonsInBothModes) {
    for (int mode : {kStatementCompact, kStatementKeepBlanks}) {
        const auto s = statements("message( 1 , 2 , \"a {b}; c\" , 'x ; y')", mode);
        ASSERT_EQ(s.size(), 1u) << mode;
        if (mode == kStatementCompact) EXPECT_EQ(s[0].text, "message(1,2,\"a {b}; c\",'x ; y')");
        else EXPECT_EQ(s[0].text, "message( 1 , 2 , \"a {b}; c\" , 'x ; y')");
    }
    // Leading blanks go; inner whitespace becomes one blank per byte in mode 1.
    EXPECT_EQ(statements(" \t#include\t\tx.ks", kStatementKeepBlanks)[0].text, "#include  x.ks");
}

TEST_F(StatementReading, BackslashPairsNeverActAsQuotesOrSeparators) {
    const auto s = statements("a\\;b;c\\\"d\\{e", kStatementCompact);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].text, "a\\;b");
    EXPECT_EQ(s[1].text, "c\\\"d\\{e");
    // A backslash at a line end or at the end of the file stands alone; nothing is lost.
    const auto t = statements("x\\\ny\\", kStatementCompact);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].text, "x\\");
    EXPECT_EQ(t[1].text, "y\\");
}

TEST_F(StatementReading, TooLongStatementsAndTheEndOfText) {
    int rc = 0;
    auto s = statements(std::string(254, 'a') + "\n" + std::string(255, 'b'), kStatementCompact, &rc);
    EXPECT_EQ(s.size(), 1u);
    EXPECT_EQ(rc, kErrLineTooLong);
    // Blanks removed in mode 0 do not count.
    s = statements(std::string(254, 'a') + "     ", kStatementCompact, &rc);
    EXPECT_EQ(rc, -1);
    // A byte 26 ends the text.
    s = statements("a\nb\x1a\nc\n", kStatementCompact, &rc);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[1].text, "b");
    EXPECT_EQ(rc, -1);
}

class FirstPass : public InFolder {
protected:
    Preprocessor pp;
    bool run(const std::string &main = "main.ks") {
        ProgramFile out;
        std::remove("temp0001.$$$");
        EXPECT_TRUE(out.create_new("temp0001.$$$"));
        pp.out = &out;
        const bool ok = preprocess_program(pp, main);
        out.close();
        return ok;
    }
    std::string intermediate() { return read_text("temp0001.$$$"); }
};

TEST_F(FirstPass, IncludesAreReadInPlaceWhereverTheyStand) {
    write_text("lib.ks", "wait(2)\r\nend\r\nnever(1)\r\n");
    write_text("main.ks", "step 1\n#ifdef NOTDEFINED\n  #include \"lib.ks\"\n#endif\nwait(3)\n");
    ASSERT_TRUE(run()) << pp.report;
    EXPECT_EQ(intermediate(), "step 1\r\n#ifdef NOTDEFINED\r\nwait(2)\r\n#endif\r\nwait(3)\r\n");
    EXPECT_EQ(pp.files, (std::vector<std::string>{"main.ks", "lib.ks"}));
    ASSERT_EQ(pp.line_map.size(), 5u);
    EXPECT_EQ(pp.line_map[2].file, 1);
    EXPECT_EQ(pp.line_map[2].line, 1);
    EXPECT_EQ(pp.line_map[4].file, 0);
    EXPECT_EQ(pp.line_map[4].line, 5);
}

TEST_F(FirstPass, ReadingGoesOnAfterAnIncludeFromALongFile) {
    // The including file is closed and reopened around the include; its position survives
    // even far beyond the first buffer.
    std::string main;
    for (int i = 0; i < 20000; ++i) main += "wait(" + std::to_string(i) + ")\n";
    main += "#include sub.ks\nlast(1)\n";
    write_text("sub.ks", "inner(1)");
    write_text("main.ks", main);
    ASSERT_TRUE(run()) << pp.report;
    const std::string out = intermediate();
    EXPECT_NE(out.find("wait(19999)\r\ninner(1)\r\nlast(1)\r\n"), std::string::npos);
}

TEST_F(FirstPass, MacrosExpandWholeStatementsIgnoringCase) {
    write_text("main.ks",
               "#macro PowerOn\nsetsw(on,1)\nwait(100)\n#endm\n"
               "#macro poweron\nnever(1)\n#endm\n"
               "#macro Empty\n#endm\n"
               "#macro Twice\nPOWERON\ncls()\n#endm\n"
               "step 1\npoweron ignored rest\nempty\ntwice\n");
    ASSERT_TRUE(run()) << pp.report;
    EXPECT_EQ(intermediate(), "step 1\r\nsetsw(on,1)\r\nwait(100)\r\nsetsw(on,1)\r\nwait(100)\r\ncls()\r\n");
}

TEST_F(FirstPass, ErrorsAreReportedWithLineFileAndStatement) {
    write_text("main.ks", "step 1\n#macro Self\nwait(1)\n  self  \n#endm\n");
    EXPECT_FALSE(run());
    EXPECT_EQ(pp.error_code, kErrMacroDuplicated);
    EXPECT_EQ(pp.report, "s008: PreProcess error\nLine 4 File main.ks\n[self  ]\ne064: Macro duplicated");

    write_text("main.ks", "#macro A\n#macro B\n");
    EXPECT_FALSE(run());
    EXPECT_EQ(pp.error_code, kErrNestedMacro);

    write_text("main.ks", "#include a.ks,b.ks\n");
    EXPECT_FALSE(run());
    EXPECT_EQ(pp.error_code, kErrTooManyParameters);
    write_text("main.ks", "#include\n");
    EXPECT_FALSE(run());
    EXPECT_EQ(pp.error_code, kErrLackingArgument);

    write_text("main.ks", "step 1\n#include missing.ks\n");
    EXPECT_FALSE(run());
    EXPECT_EQ(pp.report, "s007: [missing.ks]\nCan't open file\n(No such file or directory)");
}

TEST_F(FirstPass, TheEleventhNestedIncludeFailsAndTheNextLoadWorks) {
    for (int i = 0; i <= 11; ++i) write_text("n" + std::to_string(i) + ".ks", "#include n" + std::to_string(i + 1) + ".ks\n");
    write_text("n12.ks", "wait(1)\n");
    EXPECT_FALSE(run("n0.ks"));
    EXPECT_EQ(pp.error_code, kErrIncludeTooDeep);
    // The report points at the #include that went one level too deep.
    EXPECT_EQ(pp.report, "s008: PreProcess error\nLine 1 File n10.ks\n[#include n11.ks]\ne111: #include nested too deeply(limit=10)");
    EXPECT_EQ(pp.include_depth, 0);
    // Ten levels below the main file are fine.
    write_text("n10.ks", "wait(10)\n");
    EXPECT_TRUE(run("n0.ks")) << pp.report;
    EXPECT_EQ(intermediate(), "wait(10)\r\n");
}

TEST_F(FirstPass, FiveHundredMacrosFitAndThe501stIsRefused) {
    std::string text;
    for (int i = 1; i <= 500; ++i) text += "#macro M" + std::to_string(i) + "\nwait(1)\n#endm\n";
    write_text("main.ks", text + "M500\n");
    EXPECT_TRUE(run()) << pp.report;
    EXPECT_EQ(intermediate(), "wait(1)\r\n");
    write_text("main.ks", text + "#macro M501\nwait(1)\n#endm\n");
    EXPECT_FALSE(run());
    EXPECT_EQ(pp.error_code, kErrTooManyMacros);
}

TEST_F(FirstPass, UpperCaseIncludeWorksAndTooLongExpansionsFail) {
    write_text("x.ks", "cls()\n");
    write_text("main.ks", "#INCLUDE x.ks\n");
    ASSERT_TRUE(run()) << pp.report;
    EXPECT_EQ(intermediate(), "cls()\r\n");

    std::string big = "#macro Big\n";
    for (int i = 0; i < 25; ++i) big += std::string(200, 'a') + "\n";
    big += "#endm\n";
    write_text("main.ks", big);
    EXPECT_FALSE(run());
    EXPECT_EQ(pp.error_code, kErrLineTooLong);
}

}  // namespace
}  // namespace ksw
