// The [report] files: the state report's exact lines, the trace file, and the report written when
// the process ends.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "jigsim.h"
#include "port_driver.h"
#include "world_fixture.h"

namespace {

using jigtest::LoadedWorld;
using jigtest::StationPorts;

std::string line(const std::string &name, unsigned value, const char *format) {
    char buf[16];
    std::snprintf(buf, sizeof buf, format, value);
    return name + "=" + buf + "\n";
}

TEST(StateReport, ListsEveryLatchInItsOrderAndFormat) {
    LoadedWorld w("[report]\nstate=state.txt\n[jig]\nadc_busy_us=0\n");
    StationPorts ports;
    ports.set_ports_default();
    ASSERT_EQ(ports.write_output_port(3, 0xA05F), 0);
    ASSERT_EQ(ports.write_latch(17, 0xC3), 0);
    ASSERT_EQ(ports.write_ext0_word(2, 0xBEEF), 0);
    ASSERT_EQ(ports.write_board_register(0x3380, 144), 0);
    ASSERT_EQ(ports.write_board_register(0x3320, 16), 0);
    ASSERT_EQ(ports.power_set(2, 2048, 500), 0);
    ASSERT_EQ(ports.start_ad(0, 6), 0);
    ports.set_lamps(false, true);
    ASSERT_EQ(jigsim_write_report(), 0);

    std::string expected;
    for (unsigned p = 0; p < 32; ++p) expected += line("out" + std::to_string(p), jigsim_output_port(static_cast<int>(p)), "0x%04X");
    for (unsigned n = 0; n < 32; ++n) expected += line("latch" + std::to_string(n), n == 17 ? 0xC3 : 0, "0x%02X");
    for (unsigned n = 0; n < 4; ++n) expected += line("ext0w" + std::to_string(n), n == 2 ? 0xBEEF : 0, "0x%04X");
    expected += "psu1=-\npsu2=2048,500\nbreg.0x3320=0x0010\nbreg.0x3380=0x0090\nlamp_ok=0\nlamp_ng=1\nconversions=1\n";
    expected += "port_writes=" + std::to_string(jigsim_port_writes()) + "\n";
    EXPECT_EQ(ksw::testing::read_text(w.file("state.txt")), expected);
    EXPECT_EQ(jigsim_output_port(3), 0xA05F);
    EXPECT_EQ(jigsim_output_port(1), 0);  // channel 0 selected
    // port 3; port 30 and two strobe edges; per register port 27 and four strobe edges (port 26
    // stays 0, port 1 is 0 already); the supply: 2 x (port 26, port 27, two strobes), two latch edges
    EXPECT_EQ(jigsim_port_writes(), 1u + 3 + 5 + 5 + 10);
}

TEST(StateReport, AFolderOrAFifoAsReportFileFailsWithoutHanging) {
    LoadedWorld w("[report]\nstate=.\n");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(jigsim_write_report(), -1);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("jigsim: state report: cannot"), std::string::npos);
}

TEST(StateReport, IsWrittenWhenTheProcessEnds) {
    ksw::testing::TempDir dir;
    const std::string scenario = dir.file("exit.ini");
    ksw::testing::write_text(scenario, "[report]\nstate=exit.txt\n");
    EXPECT_EXIT(
        {
            jigsim_load(scenario.c_str());
            StationPorts ports;
            ports.set_ports_default();
            ports.write_output_port(5, 0x0042);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    const std::string report = ksw::testing::read_text(dir.file("exit.txt"));
    EXPECT_NE(report.find("\nout5=0x0042\nout6=0x0000\n"), std::string::npos) << report;
    EXPECT_NE(report.find("\npsu1=-\npsu2=-\nlamp_ok=0\n"), std::string::npos) << report;
}

// A stand-in's report lines: `lines` as the hook's text, and how often it was asked.
struct HookLines {
    std::string lines;
    int calls = 0;
    static size_t write(char *buf, size_t len, void *context) {
        HookLines &self = *static_cast<HookLines *>(context);
        ++self.calls;
        if (len >= self.lines.size()) std::memcpy(buf, self.lines.data(), self.lines.size());
        return self.lines.size();
    }
};

TEST(StateReport, HooksAddTheirLinesAfterTheWorldsInTheOrderTheyCame) {
    LoadedWorld w("[report]\nstate=state.txt\n");
    HookLines first{"gpib.3.sent=A\n"}, second{std::string(5000, 'x') + "\n"}, replaced{"old=1\n"};
    ASSERT_EQ(jigsim_report_hook("first", &HookLines::write, &first), 0);
    ASSERT_EQ(jigsim_report_hook("second", &HookLines::write, &replaced), 0);
    ASSERT_EQ(jigsim_report_hook("second", &HookLines::write, &second), 0);  // same name: replaced in place
    EXPECT_EQ(jigsim_report_hook("", &HookLines::write, &first), -1);
    ASSERT_EQ(jigsim_write_report(), 0);
    const std::string report = ksw::testing::read_text(w.file("state.txt"));
    const std::string expected = "port_writes=0\n" + first.lines + second.lines;
    ASSERT_GE(report.size(), expected.size());
    EXPECT_EQ(report.substr(report.size() - expected.size()), expected);
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(second.calls, 2);  // the first buffer was too small for 5001 bytes
    EXPECT_EQ(replaced.calls, 0);

    // Removed hooks add nothing; hooks outlive a new world.
    ASSERT_EQ(jigsim_report_hook("second", nullptr, nullptr), 0);
    ASSERT_EQ(jigsim_load(w.path().c_str()), 0);
    ASSERT_EQ(jigsim_write_report(), 0);
    const std::string again = ksw::testing::read_text(w.file("state.txt"));
    const std::string tail = "port_writes=0\n" + first.lines;
    ASSERT_GE(again.size(), tail.size());
    EXPECT_EQ(again.substr(again.size() - tail.size()), tail);
    ASSERT_EQ(jigsim_report_hook("first", nullptr, nullptr), 0);
}

TEST(StateReport, HookLinesAreWrittenWhenTheProcessEnds) {
    ksw::testing::TempDir dir;
    const std::string scenario = dir.file("exit.ini");
    ksw::testing::write_text(scenario, "[report]\nstate=exit.txt\n");
    EXPECT_EXIT(
        {
            jigsim_load(scenario.c_str());
            static HookLines lines{"late=1\n"};
            jigsim_report_hook("late", &HookLines::write, &lines);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    const std::string report = ksw::testing::read_text(dir.file("exit.txt"));
    EXPECT_NE(report.find("\nport_writes=0\nlate=1\n"), std::string::npos) << report;
}

TEST(ProductOutputs, AreSampledWithTheirGatesWhateverTheConverterDoes) {
    LoadedWorld w("[jig]\npower=0\n[adc.2]\ncounts=1500\ncounts_r3=700\n[adc.5]\ncounts=900\nneeds_power=1\n");
    int counts = -1;
    ASSERT_EQ(jigsim_adc_sample(2, 7, &counts), 0);
    EXPECT_EQ(counts, 1500);  // the jig's own power does not matter to the product
    ASSERT_EQ(jigsim_adc_sample(2, 3, &counts), 0);
    EXPECT_EQ(counts, 700);
    ASSERT_EQ(jigsim_adc_sample(5, 7, &counts), 0);
    EXPECT_EQ(counts, 0);  // the product is not powered
    EXPECT_EQ(jigsim_adc_sample(8, 0, &counts), -1);
    EXPECT_EQ(jigsim_adc_sample(0, 8, &counts), -1);
    EXPECT_EQ(jigsim_adc_sample(0, 0, nullptr), -1);
}

TEST(Trace, RecordsEveryByteTheChipsSeeInMemoryAndInTheFile) {
    LoadedWorld w("[report]\ntrace=trace.txt\n");
    StationPorts ports;
    ports.set_ports_default();
    jigsim_trace_clear();
    ASSERT_EQ(ports.write_output_port(17, 0x1234), 0);
    EXPECT_EQ(jigsim_output_port(17), 0x1234);
    const std::string expected =
        "R 0 1 0x0F\nC 0 3 0x82\nW 0 0 0x34\nW 0 2 0x12\nR 1 0 0x70\nW 1 0 0x71\nR 1 1 0x40\nW 1 1 0x41\n"
        "R 1 2 0x21\nW 1 2 0x21\nW 1 2 0x29\nW 1 2 0x21\nC 0 3 0x9B\n";
    std::string from_memory;
    for (size_t i = 0; i < jigsim_trace_count(); ++i) {
        jigsim_access a{};
        ASSERT_EQ(jigsim_trace_get(i, &a), 0);
        char text[32];
        std::snprintf(text, sizeof text, "%c %d %d 0x%02X\n", a.kind, a.chip, a.port, a.value);
        from_memory += text;
    }
    EXPECT_EQ(from_memory, expected);
    jigsim_access copy[20];
    EXPECT_EQ(jigsim_trace_copy(11, copy, 20), 2u);
    EXPECT_EQ(copy[1].kind, 'C');
    EXPECT_EQ(jigsim_trace_get(13, copy), -1);
    jigsim_load(nullptr);  // closes the trace file
    const std::string text = ksw::testing::read_text(w.file("trace.txt"));
    EXPECT_EQ(text.substr(text.size() - expected.size()), expected);
}

}  // namespace
