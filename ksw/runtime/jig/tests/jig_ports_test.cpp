// The port model driven against the simulated jig: what each operation writes, byte for byte,
// and what the jig board decoded from it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/error_codes.h"
#include "sim_jig.h"

namespace ksw {
namespace {

using testing::SimJigTest;
using Accesses = std::vector<std::string>;

// The value part of an access text ("R1.2=21" -> 0x21).
unsigned value_of(const std::string &access) { return static_cast<unsigned>(std::stoul(access.substr(5), nullptr, 16)); }

std::string hex(const char *prefix, unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "%s=%02X", prefix, value & 0xFF);
    return text;
}

class JigPorts_ : public SimJigTest {};

TEST_F(JigPorts_, BoardsAreFiledBySlotAndAddressesRouteToTheirChips) {
    EXPECT_EQ(jig.board_handles[1] >= 0, true);
    EXPECT_EQ(jig.board_handles[2] >= 0, true);
    for (size_t slot : {0u, 3u, 15u}) EXPECT_EQ(jig.board_handles[slot], -1);

    PortOut(jig, 0x13, 0x5A);  // slot 1, chip 1, port B
    EXPECT_EQ(PortIn(jig, 0x13), 0x5A);
    // Low three bits 6 and 7 name the control registers: reads give 0, writes set the mode.
    EXPECT_EQ(PortIn(jig, 0x16), 0);
    EXPECT_EQ(PortIn(jig, 0x17), 0);
    PortOut(jig, 0x16, 0x80);
    PortOut(jig, 0x27, 0x9B);
    // An empty slot reads 0 and takes nothing; above 255 without direct access reads 0xFF.
    EXPECT_EQ(PortIn(jig, 0x31), 0);
    PortOut(jig, 0x31, 0x01);
    EXPECT_EQ(PortIn(jig, 0x310), 0xFF);
    EXPECT_EQ(accesses(), (Accesses{"W1.1=5A", "R1.1=5A", "C0.3=80", "C3.3=9B"}));

    UnloadPpiBoards(jig);
    EXPECT_FALSE(jig.boards_bound);
    EXPECT_EQ(PortIn(jig, 0x13), 0xFF);  // no board, no permission for the port itself
}

TEST_F(JigPorts_, ABoardLibraryWithoutEveryEntryPointIsNotUsed) {
    testing::ScopedEnv path("KSW_LIBRARY_PATH", KSW_INCOMPLETE_FBIPPI_DIR);
    std::string notice;
    EXPECT_EQ(LoadPpiBoards(jig, &notice), 0);
    EXPECT_NE(notice.find("PpiCommonGetPciDeviceInfo"), std::string::npos) << notice;
    EXPECT_FALSE(jig.boards_bound);
    EXPECT_FALSE(jig.board_library.loaded());
    EXPECT_EQ(PortIn(jig, 0x12), 0xFF);  // every address is a direct one now, without permission
}

TEST_F(JigPorts_, AnOutputPortWriteIsTheStrobedSequenceAndTheSameValueIsWrittenOnce) {
    ASSERT_EQ(WriteOutputPort(jig, 28, 0x01FF), kOk);
    const Accesses seen = accesses();
    ASSERT_EQ(seen.size(), 13u);
    const unsigned a = value_of(seen[4]), b = value_of(seen[6]), c = value_of(seen[8]);
    EXPECT_EQ(seen, (Accesses{hex("R0.1", value_of(seen[0])), "C0.3=82", "W0.0=FF", "W0.2=01",  // data bus out
                              hex("R1.0", a), hex("W1.0", (a & 0xF0) | 12),                     // port 28: 12 ...
                              hex("R1.1", b), hex("W1.1", (b & 0xFE) | 1),                      // ... and 16
                              hex("R1.2", c), hex("W1.2", c & ~8u), hex("W1.2", c | 8), hex("W1.2", c & ~8u),
                              "C0.3=9B"}));
    EXPECT_EQ(jigsim_output_port(28), 0x01FF);
    EXPECT_EQ(jigsim_product_power(), 0x01FF);
    EXPECT_EQ(jigsim_port_writes(), 1u);

    jigsim_trace_clear();
    ASSERT_EQ(WriteOutputPort(jig, 28, 0x01FF), kOk);
    EXPECT_EQ(accesses().size(), 1u);  // only the power monitor is read
    EXPECT_EQ(jigsim_port_writes(), 1u);
}

TEST_F(JigPorts_, SwitchesMapOntoTheLowAndHighBytesOfThePorts) {
    ASSERT_EQ(SetSwitch(jig, 255, true), kOk);
    ASSERT_EQ(SetSwitch(jig, 256, true), kOk);
    ASSERT_EQ(SetSwitch(jig, 511, true), kOk);
    ASSERT_EQ(SetSwitch(jig, 67, true), kOk);
    EXPECT_EQ(jigsim_output_port(31), 0x8080);  // sw 255 low byte bit 7, sw 511 high byte bit 15
    EXPECT_EQ(jigsim_output_port(0), 0x0100);   // sw 256 is bit 8 of port 0
    EXPECT_EQ(jigsim_output_port(8), 0x0008);
    ASSERT_EQ(SetSwitch(jig, 67, false), kOk);
    EXPECT_EQ(jigsim_output_port(8), 0x0000);
    EXPECT_EQ(SetSwitch(jig, 512, true), kErrOutOfRange);
}

TEST_F(JigPorts_, WithoutPortIoOnlyTheShadowsChange) {
    start("", kAccessNoPortIo);
    EXPECT_EQ(WriteOutputPort(jig, 3, 0x1234), kOk);
    EXPECT_EQ(SetSwitch(jig, 256, true), kOk);
    EXPECT_EQ(WriteLatch(jig, 4, 0x55), kOk);
    EXPECT_EQ(WriteExt0Word(jig, 1, 0x7777), kOk);
    EXPECT_EQ(LoadPowerSupply(jig, 1, 1000, 500), kOk);
    EXPECT_TRUE(accesses().empty());
    EXPECT_EQ(jigsim_port_writes(), 0u);
    EXPECT_EQ(jig.output_ports[3].load(), 0x1234);
    EXPECT_EQ(jig.output_ports[0].load(), 0x0100);
    EXPECT_EQ(jig.latches[4].load(), 0x55);
    EXPECT_EQ(jig.ext0_words[1].load(), 0);  // the Ext0 word's shadow is left alone
    EXPECT_EQ(PortIn(jig, 0x12), 0);
}

TEST_F(JigPorts_, JigPowerOffRefusesEveryWriteBeforeItsFirstByte) {
    jigsim_set_power(0);
    jigsim_trace_clear();
    EXPECT_EQ(WriteOutputPort(jig, 28, 0x01FF), kErrJigPowerOff);
    EXPECT_EQ(accesses(), (Accesses{"R0.1=" + accesses().front().substr(5)}));
    EXPECT_EQ(jig.output_ports[28].load(), 0);
    // A latch write that fails keeps its shadow, so it is tried again later.
    EXPECT_EQ(WriteLatch(jig, 5, 0x10), kErrJigPowerOff);
    EXPECT_EQ(jig.latches[5].load(), 0);
    jigsim_set_power(1);
    EXPECT_EQ(WriteLatch(jig, 5, 0x10), kOk);
    EXPECT_EQ(jigsim_latch(5), 0x10);
}

TEST_F(JigPorts_, ModeOneRefusesTheSystemPortsButNotTheExtensionPorts) {
    set_port_access_mode(jig, kAccessNoJig);
    EXPECT_EQ(WriteOutputPort(jig, 1, 1), kErrDebugMode);
    EXPECT_EQ(SetSwitch(jig, 3, true), kErrDebugMode);
    EXPECT_EQ(WriteLatch(jig, 0, 1), kErrDebugMode);
    EXPECT_EQ(SelectAdChannel(jig, 0, 0), kErrDebugMode);
    EXPECT_EQ(WriteExt0Word(jig, 2, 0x1234), kOk);
    EXPECT_EQ(jigsim_ext0_word(2), 0x1234);
}

TEST_F(JigPorts_, UnconfiguredChipsAreReportedAsSuch) {
    JigOptions options;
    options.direct_io = false;
    options.chips[kChipSys0] = {0x10, 0x12, 0x14, 0x16};
    configure_jig(jig, options);
    EXPECT_EQ(WriteOutputPort(jig, 0, 1), kErrSystemPortUnset);
    EXPECT_EQ(SelectAdChannel(jig, 0, 0), kErrSystemPortUnset);
    EXPECT_EQ(WriteExt0Word(jig, 0, 1), kErrPortUnset);
    EXPECT_EQ(StartExtAd(jig), kErrPortUnset);
    EXPECT_EQ(CheckCables(jig), kErrCable2);
    configure_jig(jig, JigOptions{});
    EXPECT_EQ(CheckCables(jig), kErrCable1);
}

TEST_F(JigPorts_, CablesAreCheckedWithCableOneWinning) {
    EXPECT_EQ(CheckCables(jig), kOk);
    jigsim_set_cable(2, 0);
    EXPECT_EQ(CheckCables(jig), kErrCable2);
    jigsim_set_cable(1, 0);
    EXPECT_EQ(CheckCables(jig), kErrCable1);
}

TEST_F(JigPorts_, LatchesGoOutOverPort30WithTheirOwnStrobe) {
    ASSERT_EQ(WriteLatch(jig, 5, 0x10), kOk);
    ASSERT_EQ(WriteLatch(jig, 21, 0xA5), kOk);
    ASSERT_EQ(SetLatchBit(jig, 255, true), kOk);  // latch 31 bit 7
    EXPECT_EQ(jigsim_latch(5), 0x10);
    EXPECT_EQ(jigsim_latch(21), 0xA5);
    EXPECT_EQ(jigsim_latch(31), 0x80);
    EXPECT_EQ(jig.output_ports[30].load() & 0xC000, 0);  // both strobes low again
    const uint64_t writes = jigsim_port_writes();
    ASSERT_EQ(WriteLatch(jig, 21, 0xA5), kOk);
    EXPECT_EQ(jigsim_port_writes(), writes);
}

TEST_F(JigPorts_, TheSupplyLatchesEachChannelFromItsOwnStageOfTheChain) {
    ASSERT_EQ(LoadPowerSupply(jig, 1, 1000, 500), kOk);
    int volts = -1, amps = -1;
    EXPECT_EQ(jigsim_psu(1, &volts, &amps), 1);
    EXPECT_EQ(volts, 1000);
    EXPECT_EQ(amps, 500);
    EXPECT_EQ(jigsim_psu(2, &volts, &amps), 0);
    // Loading channel 2 shifts channel 1's words through again: channel 1 keeps its setting.
    ASSERT_EQ(LoadPowerSupply(jig, 2, 4095, 1023), kOk);
    EXPECT_EQ(jigsim_psu(2, &volts, &amps), 1);
    EXPECT_EQ(volts, 4095);
    EXPECT_EQ(amps, 1023);
    EXPECT_EQ(jigsim_psu(1, &volts, &amps), 1);
    EXPECT_EQ(volts, 1000);
    EXPECT_EQ(amps, 500);
    EXPECT_EQ(jig.output_ports[28].load() & 0x3000, 0);  // latch strobes back low
}

TEST_F(JigPorts_, BoardRegistersExt0WordsAndTheInputChannel) {
    ASSERT_EQ(WriteBoardRegister(jig, 0x120, 0x34), kOk);
    int datum = 0;
    EXPECT_EQ(jigsim_board_register(0x120, &datum), 1);
    EXPECT_EQ(datum, 0x34);
    ASSERT_EQ(WriteExt0Word(jig, 3, 0xBEEF), kOk);
    EXPECT_EQ(jigsim_ext0_word(3), 0xBEEF);
    ASSERT_EQ(WriteOutputPort(jig, 5, 0xFFFF), kOk);
    ASSERT_EQ(SelectInputChannel(jig, 2), kOk);
    EXPECT_EQ(jigsim_output_port(22) & 0x000C, 12);
    EXPECT_EQ(jigsim_output_port(9) & 0x08, 0x08);  // sw 75
    EXPECT_EQ(jigsim_output_port(5), (0xFFFF & 0x8F88) | 0x20D2);
}

TEST_F(JigPorts_, StationLinesOnTheSystemOrTheExtensionPorts) {
    int ok = -1, ng = -1;
    SetSequencerLamps(jig, true, false);
    EXPECT_EQ(jigsim_lamps(&ok, &ng), 0);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(ng, 0);
    EXPECT_EQ(SequencerStartInput(jig), 0);
    jigsim_set_start_switch(1);
    EXPECT_EQ(SequencerStartInput(jig), 1);
    jigsim_switch_press(2);
    EXPECT_EQ(ReadRemoteSwitches(jig), 0x04);

    start("", kAccessJig, true);
    jigsim_set_start_switch(1);
    jigsim_switch_press(3);
    EXPECT_EQ(SequencerStartInput(jig), 1);
    EXPECT_EQ(ReadRemoteSwitches(jig), 0x08);
    SetSequencerLamps(jig, false, true);  // the lamps are not wired with the extension handshake
    EXPECT_EQ(jigsim_lamps(&ok, &ng), 0);
    EXPECT_EQ(ng, 0);

    start("", kAccessNoPortIo);
    jigsim_set_start_switch(1);
    EXPECT_EQ(SequencerStartInput(jig), 0);  // no port I/O never reads as a held start input
    EXPECT_EQ(ReadRemoteSwitches(jig), -1);
}

TEST_F(JigPorts_, StartUpZeroesEveryOutputAndShutDownSetsEveryChipToInput) {
    ASSERT_EQ(WriteOutputPort(jig, 7, 0x00FF), kOk);
    ASSERT_EQ(WriteLatch(jig, 9, 0x0F), kOk);
    ResetJigOutputs(jig);
    EXPECT_EQ(jig.output_ports[7].load(), 0);
    const uint64_t writes = jigsim_port_writes();
    ASSERT_EQ(ZeroJigOutputs(jig), kOk);
    EXPECT_EQ(jigsim_output_port(7), 0);
    EXPECT_EQ(jigsim_latch(9), 0);
    // Each latch: the bus (unchanged for latch 0) and the strobe up and down; then every port,
    // each forced through its shadow although it already held 0.
    EXPECT_EQ(jigsim_port_writes() - writes, 2u + 31 * 3 + 32);
    jigsim_trace_clear();
    SetPortsInput(jig);
    EXPECT_EQ(accesses(), (Accesses{"C0.3=9B", "C1.3=9B", "C2.3=9B", "C3.3=9B"}));
}

}  // namespace
}  // namespace ksw
