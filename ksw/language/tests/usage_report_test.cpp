#include <gtest/gtest.h>

#include <filesystem>

#include "temp_dir.h"
#include "language/usage_report.h"

namespace ksw {
namespace {

TEST(UsageReport, RunsSinglesAndOpenBlocks) {
    RegisterUsageMap usage;
    for (int i : {0, 1, 2, 5, 8, 9, 10, 12, 7999}) usage.ad[static_cast<size_t>(i)] = 1;
    usage.ad[7] = 255;
    usage.ad[11] = 255;  // closes the run 8..10
    usage.rd[3] = 255;
    for (int i = 4; i < 8000; ++i) usage.rd[static_cast<size_t>(i)] = 1;  // open at 7999
    EXPECT_EQ(format_register_usage(usage),
              "ad[0]-ad[2]\r\nad[5]\r\nad[7]-\r\nad[8]-ad[10]\r\nad[11]-\r\nad[12]\r\nad[7999]\r\n"
              "\r\n"
              "rd[3]-\r\nrd[4]-rd[7999]\r\n");
    EXPECT_EQ(format_register_usage(RegisterUsageMap{}), "\r\n");
}

TEST(UsageReport, WritesTheFileOrReportsThatItCannot) {
    testing::TempDir dir;
    RegisterUsageMap usage;
    usage.rd[42] = 1;
    std::string report;
    EXPECT_EQ(write_register_usage(usage, dir.path(), &report), 0);
    EXPECT_EQ(testing::read_text(dir.file("adrdinfo.txt")), "\r\nrd[42]\r\n");
    EXPECT_TRUE(report.empty());

    const std::string missing = dir.file("no-such-folder");
    EXPECT_EQ(write_register_usage(usage, missing, &report), 3007);
    EXPECT_EQ(report.rfind("s007: [" + missing + "/adrdinfo.txt]\nCan't open file\n(", 0), 0u) << report;
    EXPECT_NE(report.find("No such file"), std::string::npos) << report;
    EXPECT_FALSE(std::filesystem::exists(missing));
}

}  // namespace
}  // namespace ksw
