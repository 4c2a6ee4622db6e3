#include <gtest/gtest.h>

#include "ui/launch_options.h"

namespace ksw {
namespace {

bool parse(std::vector<const char *> args, LaunchOptions *options, std::string *error) {
    args.insert(args.begin(), "ksw");
    return parse_launch_options(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(LaunchOptions, DoubleDashOptionsAreTakenOutAndTheRestKeepsItsOrder) {
    LaunchOptions o;
    std::string error;
    ASSERT_TRUE(parse({"-D", "--headless", "my prog.ks", "--runs=3", "--answer=no", "-O1", "--sim=world.ini",
                       "--jig-trace=out/trace.txt"},
                      &o, &error))
        << error;
    EXPECT_EQ(o.jig_trace, "out/trace.txt");
    EXPECT_TRUE(o.headless);
    EXPECT_EQ(o.runs, 3);
    EXPECT_FALSE(o.answer_yes);
    EXPECT_EQ(o.sim_file, "world.ini");
    EXPECT_EQ(o.rest, (std::vector<std::string>{"-D", "my prog.ks", "-O1"}));
    EXPECT_EQ(o.command_line(), "-D \"my prog.ks\" -O1");
}

TEST(LaunchOptions, BadValuesAndUnknownOptionsAreRefusedWithAReason) {
    LaunchOptions o;
    std::string error;
    EXPECT_FALSE(parse({"--runs=abc"}, &o, &error));
    EXPECT_NE(error.find("--runs"), std::string::npos);
    EXPECT_FALSE(parse({"--runs="}, &o, &error));
    EXPECT_FALSE(parse({"--answer=maybe"}, &o, &error));
    EXPECT_FALSE(parse({"--frobnicate"}, &o, &error));
    EXPECT_NE(error.find("--frobnicate"), std::string::npos);
    EXPECT_FALSE(parse({"--headless=1"}, &o, &error));
    EXPECT_FALSE(parse({"--jig-trace"}, &o, &error));
    EXPECT_NE(error.find("--jig-trace=FILE"), std::string::npos);
    ASSERT_TRUE(parse({"--measure-mode=2"}, &o, &error)) << error;
    EXPECT_EQ(o.measure_mode, 2);
    EXPECT_FALSE(parse({"--measure-mode=3"}, &o, &error));
    EXPECT_NE(error.find("--measure-mode=N with N 0, 1 or 2"), std::string::npos);
    // After "--" everything belongs to the station.
    ASSERT_TRUE(parse({"--", "--headless"}, &o, &error));
    EXPECT_FALSE(o.headless);
    EXPECT_EQ(o.rest, std::vector<std::string>{"--headless"});
}

TEST(LaunchOptions, DumpListsNameRegisterRangesWithinTheFiles) {
    std::vector<DumpRange> ranges;
    std::string error;
    ASSERT_TRUE(parse_dump_list("ad[0-99],rd[7],ad[7999]", &ranges, &error)) << error;
    ASSERT_EQ(ranges.size(), 3u);
    EXPECT_EQ(ranges[0].bank, 'a');
    EXPECT_EQ(ranges[0].first, 0);
    EXPECT_EQ(ranges[0].last, 99);
    EXPECT_EQ(ranges[1].bank, 'r');
    EXPECT_EQ(ranges[1].first, 7);
    EXPECT_EQ(ranges[1].last, 7);
    EXPECT_EQ(ranges[2].first, 7999);
    for (const char *bad : {"ad[8000]", "ad[5-2]", "xd[1]", "ad[]", "ad[1", "ad[-3]", "ad[1],", ""})
        EXPECT_FALSE(parse_dump_list(bad, &ranges, &error)) << bad;
}

TEST(LaunchOptions, InputsAreKeptInOrderAndStrictBelongsToCheck) {
    LaunchOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--headless", "--input=2.5", "--input=", "--input=a=b", "p.ks"}, &o, &error)) << error;
    EXPECT_EQ(o.inputs, (std::vector<std::string>{"2.5", "", "a=b"}));
    EXPECT_FALSE(parse({"--input"}, &o, &error));
    ASSERT_TRUE(parse({"--check", "--strict", "p.ks"}, &o, &error)) << error;
    EXPECT_TRUE(o.strict);
    EXPECT_FALSE(parse({"--headless", "--strict", "p.ks"}, &o, &error));
    EXPECT_NE(error.find("--check"), std::string::npos);
}

}  // namespace
}  // namespace ksw
