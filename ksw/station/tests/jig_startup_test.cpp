// The station's side of the jig: port options from the settings or a scenario, the start-up
// with its cable question, and the simulated world's set-up.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "recording_frontend.h"
#include "resources/error_codes.h"
#include "sim_jig.h"
#include "station/jig_startup.h"

namespace ksw {
namespace {

using testing::TempDir;
using testing::write_text;

TEST(JigOptionsFor, TheSettingsGiveThePortsWithoutAScenario) {
    Settings s;
    s.ports[1] = {0x300, 0x302, 0x304, 0x306};
    s.port_access_mode = 2;
    s.e0_seq_mode = true;
    JigOptions options;
    std::string error;
    ASSERT_TRUE(jig_options_for(s, "", &options, &error));
    EXPECT_EQ(options.chips[1], s.ports[1]);
    EXPECT_EQ(options.chips[0], (ChipAddresses{0, 0, 0, 0}));
    EXPECT_EQ(options.access_mode, 2);
    EXPECT_TRUE(options.e0_seq_mode);
    EXPECT_TRUE(options.direct_io);
}

TEST(JigOptionsFor, AScenarioReplacesThePortsForTheRunOnly) {
    TempDir dir;
    write_text(dir.file("w.ini"), "[PORTS]\nsysport1 = 31,33,35,37\nExt0Port0=2x,22,24,26\n[ports]\nSysPort0=40,42,44,46\n");
    Settings s;
    s.ports[0] = {0x300, 0x302, 0x304, 0x306};
    const Settings before = s;
    JigOptions options;
    std::string error;
    ASSERT_TRUE(jig_options_for(s, dir.file("w.ini"), &options, &error)) << error;
    EXPECT_EQ(options.chips[1], (ChipAddresses{0x31, 0x33, 0x35, 0x37}));
    // Not given (a repeated section counts for nothing), or not readable: the world's wiring.
    EXPECT_EQ(options.chips[0], (ChipAddresses{0x10, 0x12, 0x14, 0x16}));
    EXPECT_EQ(options.chips[2], (ChipAddresses{0x20, 0x22, 0x24, 0x26}));
    EXPECT_EQ(options.chips[3], (ChipAddresses{0x21, 0x23, 0x25, 0x27}));
    EXPECT_FALSE(options.direct_io);
    EXPECT_EQ(s, before);
}

TEST(JigOptionsFor, AScenarioThatIsNoFileIsRefusedWithoutWaiting) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    JigOptions options;
    std::string error;
    for (const std::string &path : {dir.file("missing.ini"), dir.path(), dir.file("fifo")}) {
        EXPECT_FALSE(jig_options_for(Settings{}, path, &options, &error)) << path;
        EXPECT_NE(error.find(path), std::string::npos) << error;
    }
    EXPECT_FALSE(prepare_simulated_world(dir.file("fifo"), &error));
}

TEST(PrepareSimulatedWorld, PutsTheSimulatedLibrariesFirstAndNamesTheScenario) {
    TempDir dir;
    write_text(dir.file("w.ini"), "[jig]\n");
    testing::ScopedEnv path("KSW_LIBRARY_PATH", "/opt/drivers");
    testing::ScopedEnv scenario("KSW_SIM_SCENARIO", "");
    std::string error;
    ASSERT_TRUE(prepare_simulated_world(dir.file("w.ini"), &error)) << error;
    const std::string search = std::getenv("KSW_LIBRARY_PATH");
    EXPECT_EQ(search.substr(search.size() - 13), ":/opt/drivers");
    EXPECT_NE(search.find("/../sim/lib:"), std::string::npos) << search;
    EXPECT_EQ(std::string(std::getenv("KSW_SIM_SCENARIO")), dir.file("w.ini"));
}

class JigStartUp : public testing::SimJigTest {
protected:
    testing::RecordingFrontend frontend;
};

TEST_F(JigStartUp, ConnectedCablesGiveAZeroedJigWithoutAQuestion) {
    ASSERT_EQ(SetSwitch(jig, 100, true), kOk);
    const JigStartResult result = InitJig(jig, frontend, CableRefusal::kGiveUp);
    EXPECT_EQ(result.error, kOk);
    EXPECT_FALSE(result.abandoned);
    EXPECT_TRUE(frontend.boxes.empty());
    EXPECT_EQ(jigsim_output_port(12), 0);
    EXPECT_EQ(jig.access_mode.load(), kAccessJig);
}

TEST_F(JigStartUp, OperatingWithoutTheJigSetsItsPortsToInputAndRefusesJigCommands) {
    jigsim_set_cable(1, 0);
    jigsim_set_cable(2, 0);
    frontend.answer = [](const testing::ShownBox &) { return Answer::Yes; };
    const JigStartResult result = InitJig(jig, frontend, CableRefusal::kGiveUp);
    EXPECT_EQ(result.error, kErrCable1);
    EXPECT_FALSE(result.abandoned);
    ASSERT_EQ(frontend.boxes.size(), 1u);
    EXPECT_EQ(frontend.boxes[0].text, "e023: Cable-1 not connected\nOperate without jig");
    EXPECT_EQ(frontend.boxes[0].caption, "Error");
    EXPECT_EQ(jig.access_mode.load(), kAccessNoJig);
    const auto seen = accesses();
    EXPECT_EQ(std::vector<std::string>(seen.end() - 4, seen.end()),
              (std::vector<std::string>{"C0.3=9B", "C1.3=9B", "C2.3=9B", "C3.3=9B"}));
    EXPECT_EQ(SetSwitch(jig, 1, true), kErrDebugMode);
}

TEST_F(JigStartUp, NoChecksAgainOrGivesUp) {
    jigsim_set_cable(2, 0);
    frontend.answer = [](const testing::ShownBox &) { return Answer::No; };
    JigStartResult result = InitJig(jig, frontend, CableRefusal::kGiveUp);
    EXPECT_EQ(result.error, kErrCable2);
    EXPECT_TRUE(result.abandoned);
    // At the jig a person plugs the cable in before answering the second question.
    frontend.boxes.clear();
    frontend.answer = [this](const testing::ShownBox &) {
        if (frontend.boxes.size() == 2) jigsim_set_cable(2, 1);
        return Answer::No;
    };
    result = InitJig(jig, frontend, CableRefusal::kCheckAgain);
    EXPECT_EQ(result.error, kOk);
    EXPECT_EQ(frontend.boxes.size(), 2u);
    EXPECT_EQ(jig.access_mode.load(), kAccessJig);
}

TEST_F(JigStartUp, WithoutTheJigNoCableIsChecked) {
    jigsim_set_cable(1, 0);
    for (const int mode : {kAccessNoJig, kAccessNoPortIo}) {
        set_port_access_mode(jig, mode);
        EXPECT_EQ(InitJig(jig, frontend, CableRefusal::kGiveUp).error, kOk);
    }
    EXPECT_TRUE(frontend.boxes.empty());
}

TEST_F(JigStartUp, TheStationOpensItsTraceAndGivesTheJigToTheRun) {
    TempDir dir;
    JigStation station(jig, frontend);
    std::string error;
    EXPECT_FALSE(station.open(JigOptions{}, dir.path(), &error));
    EXPECT_NE(error.find("cannot write the jig trace"), std::string::npos) << error;
    JigOptions options;
    options.direct_io = false;
    options.chips = jig.chips;
    ASSERT_TRUE(station.open(options, dir.file("t.txt"), &error)) << error;
    RunContext context;
    station.attach(context);
    EXPECT_EQ(context.jig, &jig);
    context.status.step.store(12);
    ASSERT_EQ(WriteOutputPort(jig, 2, 0x0102), kOk);
    // A jig that was never started up (the program did not load) is left alone at the end.
    jigsim_trace_clear();
    station.close();
    EXPECT_TRUE(accesses().empty());
    EXPECT_EQ(jig.trace, nullptr);
    EXPECT_FALSE(jig.boards_bound);
    const std::string trace = testing::read_text(dir.file("t.txt"));
    EXPECT_NE(trace.find("step 12 +"), std::string::npos) << trace;
    EXPECT_NE(trace.find("ms out[2]=0x0102\n"), std::string::npos) << trace;
    EXPECT_EQ(trace.find("ports input"), std::string::npos) << trace;
}

TEST_F(JigStartUp, AStartedJigIsSetToInputWhenTheStationCloses) {
    JigStation station(jig, frontend);
    JigOptions options;
    options.direct_io = false;
    options.chips = jig.chips;
    options.access_mode = kAccessNoJig;  // no cable check, no zeroing
    std::string error;
    ASSERT_TRUE(station.open(options, "", &error)) << error;
    EXPECT_EQ(station.initialise(CableRefusal::kGiveUp).error, kOk);
    jigsim_trace_clear();
    station.close();
    EXPECT_EQ(accesses(), (std::vector<std::string>{"C0.3=9B", "C1.3=9B", "C2.3=9B", "C3.3=9B"}));
}

}  // namespace
}  // namespace ksw
