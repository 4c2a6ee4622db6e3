#include <gtest/gtest.h>

#include "station/command_line.h"

namespace ksw {
namespace {

// Parses `line` into a fresh record; `help` collects the help files opened.
struct Parsed {
    Settings s;
    std::vector<std::string> help;
    int result = -1;

    explicit Parsed(std::string_view line, Settings start = Settings{}) : s(std::move(start)) {
        result = ParseCommandLine(s, line, [this](std::string_view file) { help.emplace_back(file); });
    }
};

TEST(CommandLine, ProgramPathAndComment) {
    Parsed p("/home/op/progs/board.ks ; -D");
    EXPECT_EQ(p.result, kCommandLineDone);
    EXPECT_EQ(p.s.user_program, "/home/op/progs/board.ks");
    EXPECT_EQ(p.s.debug_mode, 0);
    EXPECT_EQ(p.s.port_access_mode, 0);

    Parsed quoted("-M \"/srv/my progs/a b.ks\"\t-C ;-D -E");
    EXPECT_EQ(quoted.s.user_program, "/srv/my progs/a b.ks");
    EXPECT_EQ(quoted.s.rec_flags, kDefaultRecFlags | kRecSaveMacro | kRecSaveCompile);
    EXPECT_TRUE(quoted.help.empty());

    EXPECT_EQ(Parsed("first.ks second.ks").s.user_program, "second.ks");
    // A long path is kept whole (the load refuses it); cut, it could name another file.
    EXPECT_EQ(Parsed(std::string(300, 'p')).s.user_program, std::string(300, 'p'));
    EXPECT_EQ(Parsed("").result, kCommandLineDone);
}

TEST(CommandLine, RecordWhenSwitches) {
    const auto when_bits = [](std::string_view line) {
        Settings start;
        start.rec_flags = kRecAccessRecord;
        return Parsed(line, start).s.rec_flags;
    };
    EXPECT_EQ(when_bits("-O"), kRecAccessRecord | kRecWhenOk | kRecWhenNg);
    EXPECT_EQ(when_bits("-O0"), kRecAccessRecord | kRecWhenOk | kRecWhenNg);
    EXPECT_EQ(when_bits("-Oxyz"), kRecAccessRecord | kRecWhenOk | kRecWhenNg);
    EXPECT_EQ(when_bits("-O1"), kRecAccessRecord | kRecWhenOk);
    EXPECT_EQ(when_bits("-o2"), kRecAccessRecord | kRecWhenNg);
    EXPECT_EQ(when_bits("-O2 -O1"), kRecAccessRecord | kRecWhenOk);
    EXPECT_EQ(when_bits("-K -c -m"), kRecAccessRecord | kRecBaseStep | kRecSaveCompile | kRecSaveMacro);
}

TEST(CommandLine, OnSwitchesAndTheirOffTails) {
    Parsed on("-7- -S -T -U -D -H");
    EXPECT_FALSE(on.s.seven_segment);
    EXPECT_TRUE(on.s.sequencer);
    EXPECT_TRUE(on.s.e0_seq_mode);
    EXPECT_TRUE(on.s.mode_change);
    EXPECT_EQ(on.s.debug_mode, 1);
    EXPECT_EQ(on.s.port_access_mode, 1);
    EXPECT_FALSE(on.s.page_check);

    Parsed off("-7 -S- -T- -U- -D- -H-", on.s);
    EXPECT_TRUE(off.s.seven_segment);
    EXPECT_FALSE(off.s.sequencer);
    EXPECT_FALSE(off.s.e0_seq_mode);
    EXPECT_FALSE(off.s.mode_change);
    EXPECT_EQ(off.s.debug_mode, 0);
    EXPECT_EQ(off.s.port_access_mode, 0);
    EXPECT_TRUE(off.s.page_check);

    Parsed fixture("-s1");
    EXPECT_TRUE(fixture.s.fixture);
    EXPECT_TRUE(fixture.s.sequencer);
    Parsed no_fixture("-S- -S1-", fixture.s);
    EXPECT_FALSE(no_fixture.s.fixture);
    EXPECT_TRUE(no_fixture.s.sequencer);
}

TEST(CommandLine, NumberAndTextSwitches) {
    Parsed p("-G2 -I3 -J2 -V-1 -P/var/results -FMODEL(2) -FFAST");
    EXPECT_EQ(p.s.graph_mode, 2);
    EXPECT_EQ(p.s.auto_repeats_left, 3);
    EXPECT_FALSE(p.s.sw_check);
    EXPECT_TRUE(p.s.fsw_check);
    EXPECT_EQ(p.s.evr_type, -1);
    EXPECT_EQ(p.s.data_path, "/var/results/");
    EXPECT_EQ(p.s.command_line_defines, (std::vector<std::string>{"MODEL(2)", "FAST"}));
    EXPECT_EQ(p.s.no_of_measure, 0);

    EXPECT_EQ(Parsed("-G5").s.graph_mode, 1);
    EXPECT_EQ(Parsed("-G-1").s.graph_mode, 1);
    EXPECT_EQ(Parsed("-V2").s.evr_type, 2);
    EXPECT_EQ(Parsed("-I-4").s.auto_repeats_left, 0);
    EXPECT_EQ(Parsed("-J3").s.sw_check, true);
    EXPECT_EQ(Parsed("-P").s.data_path, "./");
    EXPECT_EQ(Parsed("-P\"/srv/my data\"").s.data_path, "/srv/my data/");
    EXPECT_EQ(Parsed("-Pd:\\out\\").s.data_path, "d:\\out\\");
    EXPECT_TRUE(Parsed("-F").s.command_line_defines.empty());
}

TEST(CommandLine, UnknownLetterOpensHelpAndStops) {
    Parsed p("-C -E -M -D prog.ks");
    EXPECT_EQ(p.result, kCommandLineHelp);
    EXPECT_EQ(p.help, (std::vector<std::string>{"zelw.chm"}));
    EXPECT_EQ(p.s.rec_flags, kDefaultRecFlags | kRecSaveCompile);
    EXPECT_EQ(p.s.debug_mode, 0);
    EXPECT_EQ(p.s.user_program, "");

    for (const char *line : {"-V3", "-V-2", "-", "-!", "-Q"}) {
        Parsed bad(std::string(line) + " -D");
        EXPECT_EQ(bad.result, kCommandLineHelp) << line;
        EXPECT_EQ(bad.help.size(), 1u) << line;
        EXPECT_EQ(bad.s.evr_type, -1) << line;
        EXPECT_EQ(bad.s.debug_mode, 0) << line;
    }
}

TEST(CommandLine, SplitKeepsQuotedBlanks) {
    EXPECT_EQ(split_command_line("  a\t\"b c\"d  -X\"y z\" "),
              (std::vector<std::string>{"a", "\"b c\"d", "-X\"y z\""}));
    EXPECT_EQ(split_command_line("\"open"), (std::vector<std::string>{"\"open"}));
    EXPECT_TRUE(split_command_line(" \t ").empty());
}

}  // namespace
}  // namespace ksw
