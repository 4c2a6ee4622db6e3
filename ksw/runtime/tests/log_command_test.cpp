// log( as a test program runs it: the text of each form, the data file's name, the ranges, and
// the buffer that refuses the piece that would fill it.
#include <gtest/gtest.h>

#include <ctime>

#include "command_fixture.h"
#include "resources/error_codes.h"

namespace ksw::testing {
namespace {

enum { kEvr = 0, kRd, kAd, kFil, kWor, kDwo };

class LogCommandTest : public RegisterCommandTest {};

TEST_F(LogCommandTest, EachFormAppendsItsValues) {
    rd()[5] = 12.5;
    rd()[6] = -0.00123;
    ad()[10] = 42;
    ad()[11] = 0xBEEF;
    EXPECT_EQ(run_log(context, record(kRd, {5, 2})), kOk);
    EXPECT_EQ(run_log(context, record(kAd, {10, 2})), kOk);
    EXPECT_EQ(run_log(context, record(kWor, {10, 2})), kOk);
    EXPECT_EQ(run_log(context, record(kDwo, {10, 1})), kOk);
    EXPECT_EQ(context.log.text(), ",12.5000000,-0.0012300,42,48879,002A,BEEF,002ABEEF");
}

TEST_F(LogCommandTest, RegisterOperandsAreRead) {
    ad()[0] = 3;  // the count comes from ad[0]
    ad()[20] = 7;
    EXPECT_EQ(run_log(context, record(kAd, {20, 0}, {}, kMaskIntSlot(1))), kOk);
    EXPECT_EQ(context.log.text(), ",7,0,0");
}

TEST_F(LogCommandTest, RangesPastTheLastRegisterOrEvrAddress) {
    EXPECT_EQ(run_log(context, record(kAd, {7999, 2})), kErrOutOfRange);
    EXPECT_EQ(run_log(context, record(kDwo, {7998, 2})), kErrOutOfRange);  // pairs reach 8001
    EXPECT_EQ(run_log(context, record(kEvr, {200, 56})), kErrOutOfRange);
    EXPECT_TRUE(context.log.text().empty());
}

TEST_F(LogCommandTest, EvrWithoutTheFrontEndSaysSo) {
    EXPECT_EQ(run_log(context, record(kEvr, {0, 4})), kErrNotSupportedComType);
    EXPECT_FALSE(context.failure_detail.empty());
}

TEST_F(LogCommandTest, TheBufferRefusesThePieceThatWouldFillIt) {
    context.log.reset(6100);
    ASSERT_EQ(context.log.append(std::string(6095, 'x')), kOk);
    ad()[0] = 123;
    ad()[1] = 4;
    // ",123" reaches 6099 (one byte stays free), ",4" would reach 6101: refused, ",123" kept.
    EXPECT_EQ(run_log(context, record(kAd, {0, 2})), kErrOutOfLogSpace);
    EXPECT_EQ(context.log.text().size(), 6099u);
    EXPECT_EQ(context.log.text().substr(6095), ",123");
    context.log.reset(6100);
    ASSERT_EQ(context.log.append(std::string(6096, 'x')), kOk);
    EXPECT_EQ(run_log(context, record(kAd, {0, 1})), kErrOutOfLogSpace);  // 6100 exactly: refused
    EXPECT_EQ(context.log.text().size(), 6096u);
}

TEST_F(LogCommandTest, FileNameFromRegistersOrToday) {
    const std::string name = "res.csv";
    for (size_t i = 0; i < name.size(); ++i) ad()[100 + i] = static_cast<uint16_t>(name[i]);
    ad()[100 + name.size()] = 0;
    EXPECT_EQ(run_log(context, record(kFil, {100})), kOk);
    EXPECT_EQ(context.data_file_name, "res.csv");
    ad()[102] = 300;  // a word above 255 ends the name
    EXPECT_EQ(run_log(context, record(kFil, {100})), kOk);
    EXPECT_EQ(context.data_file_name, "re");
    for (int i = 0; i < 100; ++i) ad()[200 + i] = 'a';
    EXPECT_EQ(run_log(context, record(kFil, {200})), kOk);
    EXPECT_EQ(context.data_file_name.size(), 80u);
    EXPECT_EQ(run_log(context, record(kFil, {-1})), kOk);
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    char today[16];
    std::strftime(today, sizeof today, "%Y%m%d.csv", &t);
    EXPECT_EQ(context.data_file_name, today);
}

}  // namespace
}  // namespace ksw::testing
