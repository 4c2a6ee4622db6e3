// Measuring steps end to end: ksw --headless --sim=SCENARIO runs whole programs whose items read
// the simulated jig, and the results, registers and the jig trace are compared.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>

#include "run_ksw.h"

namespace ksw {
namespace {

using testing::read_text;
using testing::run_ksw;
using testing::TempDir;
using testing::write_text;

// A quiet jig whose DC-voltage item reads 2048 / 2048 * 5 = 5.0 V.
constexpr const char *kFiveVolts = "[jig]\nadc_busy_us=0\n[adc.0]\ncounts_r6=2048\n[adc.1]\ncounts_r6=2048\n";

double dumped(const std::string &output, const std::string &name) {
    const size_t at = output.find(name + "=");
    return at == std::string::npos ? -1.0 : std::strtod(output.c_str() + at + name.size() + 1, nullptr);
}

// Runs `program` on `scenario` and returns what ksw printed (with its exit code in *exit_code).
std::string run_program(const TempDir &dir, const std::string &scenario, const std::string &program,
                        const std::string &options, int *exit_code) {
    write_text(dir.file("w.ini"), scenario);
    write_text(dir.file("p.ks"), program);
    const auto run = run_ksw(dir, "--headless --sim=w.ini p.ks " + options);
    *exit_code = run.exit_code;
    return run.output;
}

TEST(KswMeasure, DcVoltJudgedAgainstToleranceLimitsPercentagesAndOtherSteps) {
    TempDir dir;
    int code = -1;
    // 5.0 V lies in each window: +-0.01, [4.8+0.1, 4.8+0.3], min_max(, +-5% of 5.2 (+-0.26),
    // and step 1's value +-0.001.
    std::string out = run_program(dir, kFiveVolts,
                                  "step 1\ncheck,dc_volt(5,+-0.01)\n"
                                  "step 2\ncheck,dc_volt(4.8,0.3,0.1)\n"
                                  "step 3\ncheck,dc_volt(5)\nmin_max(5.05,4.95)\n"
                                  "step 4\ncheck,dc_volt(5.2,+-5%)\n"
                                  "step 5\ncheck,dc_volt(step[1],+-0.001)\n",
                                  "--jig-trace=trace.txt --dump=rd[0]", &code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_EQ(out, "<OK>\nrd[0]=5\n");
    // Each reading is in the trace with its raw samples, its value and the pass's verdict.
    const std::string trace = read_text(dir.file("trace.txt"));
    EXPECT_TRUE(std::regex_search(trace, std::regex(R"(step 1 \+[0-9.]+ms reading 1 1/1 raw 0x0800 0x0800 -> 5 \| )"
                                                    R"(avg 5 in \[4\.99, 5\.01\] #OK=1/1 OK\n)")))
        << trace;
    EXPECT_NE(trace.find("avg 5 in [4.94, 5.46] #OK=1/1 OK"), std::string::npos) << trace;

    // Outside its window an item ends NG once the step's time-out has passed, marked with the
    // side of the window the value lay on.
    const struct {
        const char *step;
        const char *text;
    } ng[] = {{"check,dc_volt(4.9,+-0.05)\n", "STEP1U:e028: Step NG\n"},
              {"check,dc_volt(5.4,+-5%)\n", "STEP1L:e028: Step NG\n"},
              {"check,dc_volt(5)\nmin_max(4,4.5)\n", "STEP1U:e028: Step NG\n"},
              {"check,dc_volt(5.2,0.3,0.1)\n", "STEP1L:e028: Step NG\n"}};
    for (const auto &c : ng) {
        out = run_program(dir, kFiveVolts, std::string("step 1\n") + c.step + "limit(0.05,1)\n", "", &code);
        EXPECT_EQ(code, 1) << c.step;
        EXPECT_EQ(out, std::string(c.text) + "STEP1:e028: Step NG\n") << c.step;
    }
    out = run_program(dir, kFiveVolts,
                      "step 1\ncheck,dc_volt(5,+-1)\nstep 2\ncheck,dc_volt(step[1],0.5,0.1)\nlimit(0.05,1)\n", "", &code);
    EXPECT_EQ(out, "STEP2L:e028: Step NG\nSTEP2:e028: Step NG\n");
}

TEST(KswMeasure, TheMeasuringDemoRunsOk) {
    TempDir dir;
    const std::string demo = std::string(KSW_SOURCE_DIR) + "/examples/measure/";
    const auto run = run_ksw(dir, "--headless --sim=" + demo + "world.ini " + demo + "demo.ks --dump=rd[0-2]");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(run.output.substr(0, 5), "<OK>\n");
    EXPECT_NEAR(dumped(run.output, "rd[0]"), 150.0 / 512, 1e-9);  // the last step's bottom level
    EXPECT_NEAR(dumped(run.output, "rd[2]"), 5.0, 0.01);          // the group's third member
}

TEST(KswMeasure, FiveReadingsAreAveragedWithTheOffsetAddedToEach) {
    TempDir dir;
    // Channel 1 steps through 1, 2, 3, 4 and 5 V against a reference of 4000 counts.
    write_text(dir.file("v.txt"), "800\n1600\n2400\n3200\n4000\n");
    const std::string scenario = "[jig]\nadc_busy_us=0\n[adc.0]\ncounts=4000\n[adc.1]\nsamples=v.txt\n[report]\nstate=state.txt\n";
    int code = -1;
    const std::string out =
        run_program(dir, scenario, "step 1\ncheck,dc_volt(3.5,+-0.001)\naverage(5)\ncalc(+,0.5)\n", "--dump=rd[0]", &code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_EQ(out, "<OK>\nrd[0]=3.5\n");
    EXPECT_NE(read_text(dir.file("state.txt")).find("conversions=5\n"), std::string::npos);
}

TEST(KswMeasure, WithoutPortIoTheValueInTheResultRegisterIsJudged) {
    TempDir dir;
    write_text(dir.file("ksw.ini"), "[Mode]\nDebugMode=2\n[RS232C]\nOpenRSFirst=0\n");
    const std::string scenario = std::string(kFiveVolts) + "[report]\nstate=state.txt\n";
    int code = -1;
    std::string out = run_program(dir, scenario, "step 1\nno_operation\nsetdata(0,7.5)\nstep 2\ncheck,dc_volt(7.5,+-0.1)\n",
                                  "--dump=rd[0]", &code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_EQ(out, "<OK>\nrd[0]=7.5\n");
    EXPECT_NE(read_text(dir.file("state.txt")).find("conversions=0\n"), std::string::npos);
    out = run_program(dir, scenario, "step 1\nno_operation\nsetdata(0,1)\nstep 2\ncheck,dc_volt(7.5,+-0.1)\nlimit(0.05,1)\n",
                      "", &code);
    EXPECT_EQ(out, "STEP2L:e028: Step NG\nSTEP2:e028: Step NG\n");
}

TEST(KswMeasure, RdOperandsApplyOnlyInMeasurementModeZero) {
    TempDir dir;
    // rd[20] multiplies and rd[21] is added to every reading: 5 * 2 + 1 = 11 in mode 0.
    const std::string program = "step 1\nno_operation\nsetdata(20,2)\nsetdata(21,1)\n"
                                "step 2\ncheck,dc_volt(5,+-0.01)\ncalc(*,rd[20])\ncalc(+,rd[21])\nlimit(0.05,1)\n";
    int code = -1;
    std::string out = run_program(dir, kFiveVolts, program, "--dump=rd[0]", &code);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(out, "STEP2U:e028: Step NG\nSTEP2:e028: Step NG\nrd[0]=11\n");
    // Measurement mode 2 also runs in AUTO, where an NG item would measure until the operator
    // leaves it: both modes see the plain 5 V here.
    for (const char *mode : {"--measure-mode=1", "--measure-mode=2"}) {
        out = run_program(dir, kFiveVolts, program, std::string(mode) + " --dump=rd[0]", &code);
        EXPECT_EQ(code, 0) << mode;
        EXPECT_EQ(out, "<OK>\nrd[0]=5\n") << mode;
    }
    // Calibrating a reading of 0 against a multiplier asks for a new measurement and turns the
    // run mode to STEP.
    const std::string zero = "[jig]\nadc_busy_us=0\n[adc.0]\ncounts_r6=2048\n";
    out = run_program(dir, zero, "step 1\ncheck,dc_volt(0,+-0.1)\ncalc(*,rd[20])\nstep 2\nno_operation\n",
                      "--measure-mode=2 --verbose", &code);
    EXPECT_EQ(code, 0) << out;
    const size_t box = out.find("[KSW.exe - Godmode debug] s018: Value too small. Re-measure.\n");
    ASSERT_NE(box, std::string::npos) << out;
    EXPECT_NE(out.find("[pane 4] Halting\n", box), std::string::npos) << out;  // STEP halts before step 2
}

TEST(KswMeasure, PulseItemsCountTheBoardsClock) {
    TempDir dir;
    // 3999 + 1 counts of 250 ns: a pulse 1 ms wide, a period of 2 ms, 500 Hz.
    const std::string scenario = "[jig]\nadc_busy_us=0\n[adc.0]\ncounts_r6=3999\n[adc.1]\ncounts_r6=0\n";
    int code = -1;
    const std::string out = run_program(dir, scenario,
                                        "step 1\ncheck,pulse_width(0.001,+-1e-9)\n"
                                        "step 2\ncheck,period(0.002,+-1e-9)\n"
                                        "step 3\ncheck,frequency(500,+-1e-6)\n",
                                        "--dump=rd[0]", &code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_NEAR(dumped(out, "rd[0]"), 500.0, 1e-9);
}

TEST(KswMeasure, ALinkGroupEndsOkWhenAllThreeMembersAreInTheirWindows) {
    TempDir dir;
    const std::string group = "step 10\ncheck,dc_volt(5,+-0.1)\nlink(11)\nlink(12)\n"
                              "step 11\ncheck,dc_volt(5,+-0.2)\n";
    int code = -1;
    std::string out = run_program(dir, kFiveVolts, group + "step 12\ncheck,dc_volt(5,+-0.3)\n",
                                  "--dump=rd[0-2] --jig-trace=trace.txt", &code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_EQ(out, "<OK>\nrd[0]=5\nrd[1]=5\nrd[2]=5\n");  // each member's result in rd[position]
    const std::string trace = read_text(dir.file("trace.txt"));
    for (const char *member : {"reading 10 ", "reading 11 ", "reading 12 "})
        EXPECT_NE(trace.find(member), std::string::npos) << member;
    // One member out of its window makes the group NG; the others measure on until it has ended.
    out = run_program(dir, kFiveVolts, group + "step 12\ncheck,dc_volt(4,+-0.1)\nlimit(0.2,1)\n", "--dump=rd[2]", &code);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(out, "STEP10U:e028: Step NG\nSTEP10:e028: Step NG\nrd[2]=5\n");
}

TEST(KswMeasure, EscapeHaltsEveryMemberAndAbortingEndsThem) {
    TempDir dir;
    // Step 12 never reaches its window and has no time-out, so the group measures until the
    // operator stops it: the sub-routine before each reading sets sw 200, which starts the
    // remote-control script: Esc released at 300 ms halts the run, again at 900 ms aborts it.
    const std::string world = "[jig]\nadc_busy_us=0\nswitch_trigger_sw=200\nswitch_script=0:2,300:0,600:2,900:0\n"
                              "[adc.0]\ncounts_r6=2048\n[adc.1]\ncounts_r6=2048\n[report]\nstate=state.txt\n";
    const std::string program = "step 10\ncheck,dc_volt(5,+-0.1)\nsetcall(100)\nlink(11)\nlink(12)\n"
                                "step 11\ncheck,dc_volt(5,+-0.1)\nsetsw(on,68,76)\n"
                                "step 12\ncheck,dc_volt(9,+-0.1)\n"
                                "step 100\nno_operation\nsetsw(on,200)\nret()\n";
    int code = -1;
    const std::string out = run_program(dir, world, program, "--jig-trace=trace.txt", &code);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(out, "[KSW.exe - ABORT] Abort program ? -> yes\nSTEP10S:e027: Breaked by user\n");
    const std::string trace = read_text(dir.file("trace.txt"));
    const size_t halt = trace.find("remote key 27\n");
    ASSERT_NE(halt, std::string::npos) << trace;
    const size_t abort = trace.find("remote key 27\n", halt + 1);
    ASSERT_NE(abort, std::string::npos) << trace;
    // Halted, no member measures. The key is traced when the switch is read; the main thread
    // halts the run when it takes the key, so a few readings may still come in between (more on a
    // loaded machine). After that, nothing: the last reading lies well before the second Esc,
    // which the script presses 600 ms after the first.
    const auto time_of = [&trace](size_t at) {  // the "+12.345ms" of the line holding `at`
        const size_t line = trace.rfind('\n', at) + 1;
        return std::stod(trace.substr(trace.find('+', line) + 1));
    };
    const size_t last_reading = trace.rfind("reading ", abort);
    ASSERT_NE(last_reading, std::string::npos);
    if (last_reading > halt) {
        EXPECT_GE(time_of(abort) - time_of(last_reading), 150.0) << trace.substr(halt, abort - halt);
    }
    EXPECT_EQ(trace.find("reading ", abort), std::string::npos);
    // Every member's loop cleared the input relays, and the jig was put at rest.
    const std::string tail = trace.substr(abort);
    EXPECT_NE(tail.find("ports default"), std::string::npos) << tail;
    const std::string state = read_text(dir.file("state.txt"));
    EXPECT_NE(state.find("out8=0x0000\nout9=0x0000\n"), std::string::npos);
    EXPECT_NE(state.find("out22=0x0000\n"), std::string::npos);
}

}  // namespace
}  // namespace ksw
