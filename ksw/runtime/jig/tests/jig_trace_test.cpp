// The decoded jig trace: one line per outermost operation, failures named, and files that are
// no files refused without waiting.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <regex>

#include "resources/error_codes.h"
#include "runtime/jig/jig_trace.h"
#include "sim_jig.h"

namespace ksw {
namespace {

class JigTraceLines : public testing::SimJigTest {
protected:
    void SetUp() override {
        SimJigTest::SetUp();
        std::string error;
        ASSERT_TRUE(trace.open(dir.file("trace.txt"), &error)) << error;
        trace.set_step_source(&step);
        jig.trace = &trace;
    }
    // The lines so far, without their "step N +T.TTTms " heads (which are checked on the way).
    std::vector<std::string> operations() {
        std::vector<std::string> out;
        const std::regex head(R"(step (\d+) \+\d+\.\d{3}ms (.*))");
        std::string text = testing::read_text(dir.file("trace.txt"));
        for (size_t start = 0; start < text.size();) {
            const size_t end = text.find('\n', start);
            const std::string line = text.substr(start, end - start);
            std::smatch m;
            EXPECT_TRUE(std::regex_match(line, m, head)) << line;
            out.push_back("[" + m[1].str() + "] " + m[2].str());
            start = end + 1;
        }
        return out;
    }
    testing::TempDir dir;
    JigTrace trace;
    std::atomic<int> step{3};
};

TEST_F(JigTraceLines, EachOperationIsOneLineWithItsStepAndResult) {
    ASSERT_EQ(WriteOutputPort(jig, 28, 0x01FF), kOk);
    ASSERT_EQ(WriteOutputPort(jig, 28, 0x01FF), kOk);
    step = 4;
    ASSERT_EQ(SetSwitch(jig, 67, false), kOk);
    ASSERT_EQ(WriteLatch(jig, 5, 0x10), kOk);
    ASSERT_EQ(LoadPowerSupply(jig, 1, 1000, 500), kOk);
    jigsim_set_adc_counts(0, 6, 0x800);
    uint16_t sample = 0;
    ASSERT_EQ(ReadAd(jig, 0, 6, &sample, 1, 1000, 0x0F), kOk);
    jigsim_set_power(0);
    EXPECT_EQ(SetSwitch(jig, 3, true), kErrJigPowerOff);
    EXPECT_EQ(operations(), (std::vector<std::string>{
                                "[3] out[28]=0x01FF", "[3] out[28]=0x01FF (unchanged)", "[4] sw 67=0",
                                "[4] latch[5]=0x10", "[4] psu1 5.001V 0.500A", "[4] ad ch0 r6 -> 0x0800",
                                "[4] sw 3=1 -> e037"}));
    EXPECT_EQ(trace.lines(), 7u);
}

TEST_F(JigTraceLines, WhatCannotBeWrittenIsRefusedAtOnce) {
    JigTrace other;
    std::string error;
    EXPECT_FALSE(other.open(dir.path(), &error));
    EXPECT_NE(error.find("folder"), std::string::npos) << error;
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(other.open(dir.file("fifo"), &error));  // nobody reads it: no wait
    EXPECT_NE(error.find("FIFO"), std::string::npos) << error;
    EXPECT_FALSE(other.is_open());
    other.write("nothing");  // a closed trace takes lines without complaint
}

}  // namespace
}  // namespace ksw
