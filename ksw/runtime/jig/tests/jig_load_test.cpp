// Faults under load: the remote-control thread, the sequencer and the simulated jig's faults at
// the same time. Run under ThreadSanitizer (the tsan preset) these also prove the port layer
// free of data races.
#include <gtest/gtest.h>

#include "model/jump_condition.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <regex>
#include <thread>

#include "commands/commands.h"
#include "model/jig_modes.h"
#include "program_builder.h"
#include "recording_frontend.h"
#include "resources/error_codes.h"
#include "runtime/jig/jig_trace.h"
#include "runtime/jig/remote_control.h"
#include "runtime/run_handlers.h"
#include "runtime/sequencer.h"
#include "sim_jig.h"

namespace ksw {
namespace {

using namespace std::chrono_literals;

class JigUnderLoad : public testing::SimJigTest, protected ProgramBuilder {
protected:
    void SetUp() override {
        SimJigTest::SetUp();
        ASSERT_TRUE(allocate());
        context.registers = &registers;
        context.frontend = &frontend;
        context.jig = &jig;
    }
    void TearDown() override {
        remote.stop();
        SimJigTest::TearDown();
    }
    void hold(int sw, std::chrono::milliseconds time) {
        jigsim_switch_press(sw);
        std::this_thread::sleep_for(time);
        jigsim_switch_release(sw);
    }
    RunContext context;
    testing::RecordingFrontend frontend;
    RemoteControl remote;
};

// getad2( waits for a slow conversion holding the port lock; the operator's switch still gets
// through, because the wait gives the lock back between its polls.
TEST_F(JigUnderLoad, SwitchPressesGetThroughWhileGetad2WaitsForTheConverter) {
    start("[jig]\nadc_busy_us=600000\n[adc.2]\ncounts=3000\n");
    step(1, kModeNoOperation);
    context.use_program(&program);
    context.current_step = 1;
    CommandRecord &read = command(1, kRowGetad2, kGetad2Normal, {2, 6, 10, 0, 1, 12}, {2.0});
    ASSERT_TRUE(remote.start(jig, frontend, 5));
    std::atomic<bool> done{false};
    std::atomic<int> result{-100};
    std::thread sequencer([&] {
        result = read.run(context, read);
        done = true;
    });
    std::this_thread::sleep_for(100ms);
    hold(0, 80ms);
    for (int i = 0; i < 100 && frontend.posted_keys().empty(); ++i) std::this_thread::sleep_for(2ms);
    EXPECT_EQ(frontend.posted_keys(), (std::vector<int>{kVkReturn}));
    EXPECT_FALSE(done.load());  // the key came while the conversion was still going
    sequencer.join();
    EXPECT_EQ(result.load(), kOk);
    EXPECT_EQ((*registers.ad)[10], 3000);
}

// The jig's power fails in the middle of a program: the step that finds it off fails with e037,
// the run stops there, and no byte is written to the jig once the power monitor read "off".
TEST_F(JigUnderLoad, PowerDroppedInTheMiddleOfAProgramStopsItBeforeAnyFurtherWrite) {
    for (int n = 1; n <= 400; ++n) {
        step(n, kModeNoOperation);
        command(n, kRowSetsw, kSwAssign, {n % 32, n});
    }
    // Round again, so that however late the power drops, the program is still writing.
    command(400, kRowJump, kCondAlways, {1});
    context.use_program(&program);
    context.run_mode = kRunNgStop;
    std::atomic<int> result{-100};
    std::thread sequencer([&] { result = run_steps(context, 1); });
    while (jigsim_port_writes() < 40) std::this_thread::yield();
    jigsim_set_power(0);
    sequencer.join();
    EXPECT_EQ(result.load(), kErrJigPowerOff);
    EXPECT_GE(context.current_step, 1);
    EXPECT_LE(context.current_step, 400);
    // After the first read of SysPort0 B with bit 7 set nothing was written any more.
    const std::vector<std::string> seen = accesses();
    size_t off = seen.size();
    for (size_t i = 0; i < seen.size() && off == seen.size(); ++i)
        if (seen[i].substr(0, 4) == "R0.1" && (std::stoul(seen[i].substr(5), nullptr, 16) & 0x80)) off = i;
    ASSERT_LT(off, seen.size());
    for (size_t i = off; i < seen.size(); ++i) EXPECT_EQ(seen[i][0], 'R') << i << ": " << seen[i];
    // Every port but at most the one whose strobe the powerless board ignored holds its shadow.
    int differing = 0;
    for (int port = 0; port < kOutputPorts; ++port)
        differing += jigsim_output_port(port) != jig.output_ports[static_cast<size_t>(port)].load();
    EXPECT_LE(differing, 1);
}

// The remote-control thread polls the switches while the sequencer writes ports and the trace
// is written from both: every port ends as written, the keys arrive, no trace line is torn.
TEST_F(JigUnderLoad, TheRemoteControlRunsWhileTheSequencerWritesPorts) {
    testing::TempDir dir;
    JigTrace trace;
    std::string error;
    ASSERT_TRUE(trace.open(dir.file("trace.txt"), &error)) << error;
    std::atomic<int> step_number{7};
    trace.set_step_source(&step_number);
    jig.trace = &trace;
    ASSERT_TRUE(remote.start(jig, frontend, 1));
    std::atomic<bool> writing{true};
    std::atomic<int> failures{0};
    std::thread sequencer([&] {
        for (int i = 0; i < 3000; ++i) {
            // Port 30 is left out: it is the latch bus, whose strobes the latch writes own.
            failures += WriteOutputPort(jig, i % 30, static_cast<uint16_t>(i * 7919)) != kOk;
            if (i % 100 == 0) failures += WriteLatch(jig, i % kLatches, static_cast<uint8_t>(i)) != kOk;
        }
        writing = false;
    });
    int presses = 0;
    do {
        hold(2, 10ms);
        std::this_thread::sleep_for(10ms);
        ++presses;
    } while (writing.load() || presses < 3);
    sequencer.join();
    EXPECT_EQ(failures.load(), 0);
    remote.stop();
    jig.trace = nullptr;
    trace.close();
    for (int port = 0; port < kOutputPorts; ++port)
        EXPECT_EQ(jigsim_output_port(port), jig.output_ports[static_cast<size_t>(port)].load()) << port;
    for (int latch = 0; latch < kLatches; ++latch)
        EXPECT_EQ(jigsim_latch(latch), jig.latches[static_cast<size_t>(latch)].load()) << latch;
    const std::vector<int> keys = frontend.posted_keys();
    EXPECT_GE(keys.size(), 1u);
    EXPECT_LE(keys.size(), static_cast<size_t>(presses));
    for (const int key : keys) EXPECT_EQ(key, kVkTab);
    std::ifstream lines(dir.file("trace.txt"));
    const std::regex form(R"(step 7 \+\d+\.\d{3}ms (out\[\d+\]=0x[0-9A-F]{4}( \(unchanged\))?|latch\[\d+\]=0x[0-9A-F]{2}( \(unchanged\))?|remote key 9))");
    size_t count = 0;
    for (std::string line; std::getline(lines, line); ++count) ASSERT_TRUE(std::regex_match(line, form)) << line;
    EXPECT_EQ(count, 3000u + 30 + keys.size());
}

}  // namespace
}  // namespace ksw
