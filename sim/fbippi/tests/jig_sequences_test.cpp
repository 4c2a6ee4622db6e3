// The station's jig operations through the board library, checked against what the jig board
// latched: output ports and switches, extension latches, Ext0 words, board registers, the power
// supply, product power, lamps, and the jig's inputs and faults.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "jigsim.h"
#include "port_driver.h"
#include "world_fixture.h"

namespace {

using jigtest::LoadedWorld;
using jigtest::StationPorts;

class JigSequences : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(jigsim_load(nullptr), 0);
        ports.set_ports_default();
    }
    void TearDown() override { jigsim_load(nullptr); }
    StationPorts ports;
};

TEST_F(JigSequences, SwitchesLandInTheirPortsAndAnUnchangedPortIsNotWritten) {
    const uint64_t writes = jigsim_port_writes();
    ASSERT_EQ(ports.set_switch(255, true), 0);
    ASSERT_EQ(ports.set_switch(256, true), 0);
    ASSERT_EQ(ports.set_switch(511, true), 0);
    EXPECT_EQ(jigsim_output_port(31), 0x8080);  // sw 255 low byte bit 7, sw 511 high byte bit 7
    EXPECT_EQ(jigsim_output_port(0), 0x0100);   // sw 256
    ASSERT_EQ(ports.set_switch(256, true), 0);  // same value: no I/O
    EXPECT_EQ(jigsim_port_writes(), writes + 3);
    ASSERT_EQ(ports.write_output_port(16, 0xFFFF), 0);  // port 16 needs SysPort1 B bit 0
    EXPECT_EQ(jigsim_output_port(16), 0xFFFF);
    EXPECT_EQ(jigsim_output_port(0), 0x0100);
}

TEST_F(JigSequences, ADataBusTheChipDoesNotDriveIsNotTheValueWritten) {
    ports.out(jigtest::kSys0, 0, 0x34);  // SysPort0 left as inputs (0x9B): the converter drives the bus
    ports.out(jigtest::kSys0, 2, 0x12);
    ports.out(jigtest::kSys1, 0, 0x70 | 4);
    for (int c : {0x01, 0x09, 0x01}) ports.out(jigtest::kSys1, 2, c);
    EXPECT_EQ(jigsim_output_port(4), 0x0000);
}

TEST_F(JigSequences, LatchesGoThroughPort30AndItsTwoStrobes) {
    ASSERT_EQ(ports.write_latch(3, 0x81), 0);
    ASSERT_EQ(ports.write_latch(19, 0x7E), 0);
    ASSERT_EQ(ports.write_latch(31, 0xFF), 0);
    EXPECT_EQ(jigsim_latch(3), 0x81);
    EXPECT_EQ(jigsim_latch(19), 0x7E);
    EXPECT_EQ(jigsim_latch(31), 0xFF);
    EXPECT_EQ(jigsim_latch(15), 0);
    EXPECT_EQ(jigsim_output_port(30), 0x0FFF);  // data of the last latch, both strobes low
    EXPECT_EQ(jigsim_latch(32), -1);
}

TEST_F(JigSequences, Ext0WordsSurviveAReinitialisationOfThePorts) {
    for (int n = 0; n < 4; ++n) ASSERT_EQ(ports.write_ext0_word(n, static_cast<uint16_t>(0x1111 * (n + 1))), 0);
    ports.set_ports_input();
    ports.set_ports_default();
    for (int n = 0; n < 4; ++n) EXPECT_EQ(jigsim_ext0_word(n), 0x1111 * (n + 1));
}

TEST_F(JigSequences, BoardRegistersAndBothPowerSupplyChannels) {
    int volt = -1, amp = -1;
    EXPECT_EQ(jigsim_psu(1, &volt, &amp), 0);
    ASSERT_EQ(ports.write_board_register(0x3340, 192), 0);
    ASSERT_EQ(ports.write_board_register(0x3310, 0x2B), 0);
    int datum = 0;
    EXPECT_EQ(jigsim_board_register(0x3340, &datum), 1);
    EXPECT_EQ(datum, 192);
    EXPECT_EQ(jigsim_board_register(0x3320, &datum), 0);
    int regs[4], data[4];
    ASSERT_EQ(jigsim_board_registers(regs, data, 4), 2);
    EXPECT_EQ(regs[0], 0x3310);
    EXPECT_EQ(data[0], 0x2B);
    ASSERT_EQ(ports.power_set(1, 4095, 3071), 0);
    ASSERT_EQ(ports.power_set(2, 100, 1024), 0);
    EXPECT_EQ(jigsim_psu(2, &volt, &amp), 1);
    EXPECT_EQ(volt, 100);
    EXPECT_EQ(amp, 1024);
    EXPECT_EQ(jigsim_psu(1, &volt, &amp), 1);  // kept while channel 2 was loaded
    EXPECT_EQ(volt, 4095);
    EXPECT_EQ(amp, 3071);
    EXPECT_EQ(jigsim_board_registers(nullptr, nullptr, 0), 2);  // the shifts wrote no register
    EXPECT_EQ(jigsim_psu(3, &volt, &amp), -1);
}

TEST_F(JigSequences, ProductPowerRelaysAndLamps) {
    ASSERT_EQ(ports.power(true), 0);
    EXPECT_EQ(jigsim_product_power(), 0x1FF);
    ASSERT_EQ(ports.power(false), 0);
    EXPECT_EQ(jigsim_product_power(), 0);
    int ok = -1, ng = -1;
    ports.set_lamps(true, false);
    jigsim_lamps(&ok, &ng);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(ng, 0);
    ports.set_ports_input();  // released lines light nothing
    jigsim_lamps(&ok, &ng);
    EXPECT_EQ(ok, 0);
}

TEST_F(JigSequences, CablesSwitchesAndTheStartInput) {
    jigsim_set_cable(2, 0);
    EXPECT_EQ(ports.check_cables(), jigtest::kCable2);
    jigsim_set_cable(1, 0);
    EXPECT_EQ(ports.check_cables(), jigtest::kCable1);  // both out: cable 1 is named
    EXPECT_EQ(jigsim_set_cable(3, 0), -1);
    jigsim_switch_press(0);
    jigsim_switch_press(3);
    EXPECT_EQ(ports.in(jigtest::kSys0, 1) & 0x0F, 0x06);  // a pressed switch reads 0
    EXPECT_EQ((ports.in(jigtest::kExt1, 2) >> 2) & 0x0F, 0x06);
    jigsim_switch_release(3);
    EXPECT_EQ(ports.in(jigtest::kSys0, 1) & 0x0F, 0x0E);
    EXPECT_EQ(jigsim_switch_press(4), -1);
    EXPECT_FALSE(ports.sequencer_start());
    jigsim_set_start_switch(1);
    EXPECT_TRUE(ports.sequencer_start());
    EXPECT_EQ(ports.in(jigtest::kExt1, 2) & 0x02, 0);
}

TEST_F(JigSequences, AScriptPressesTheRemoteSwitchesOnceItsSwitchGoesOn) {
    LoadedWorld w("[jig]\nswitches=1\nswitch_trigger_sw=200\nswitch_script=0:2,150:6,300:0\n");
    ASSERT_EQ(w.problems, 0) << w.messages;
    StationPorts ports;
    ports.set_ports_default();
    const auto held = [&ports] { return ~ports.in(jigtest::kSys0, 1) & 0x0F; };
    EXPECT_EQ(held(), 1);  // the switches held from the start until the script begins
    ASSERT_EQ(ports.set_switch(200, true), 0);
    EXPECT_EQ(held(), 2);
    EXPECT_EQ(~ports.in(jigtest::kExt1, 2) >> 2 & 0x0F, 2);  // the extension ports see them too
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(held(), 6);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(held(), 0);
    LoadedWorld bad("[jig]\nswitch_script=100:1,50:0\n");
    EXPECT_EQ(bad.problems, 1);
    EXPECT_NE(bad.messages.find("switch_script: \"100:1,50:0\" is not MS:BITS"), std::string::npos) << bad.messages;
}

TEST_F(JigSequences, WithTheJigPowerOffNothingIsLatched) {
    ASSERT_EQ(ports.write_output_port(6, 0x0006), 0);
    jigsim_set_power(0);
    EXPECT_EQ(ports.write_output_port(6, 0x0600), jigtest::kJigPowerOff);
    const uint64_t writes = jigsim_port_writes();
    ports.out(jigtest::kSys0, 3, 0x82);  // a station that writes anyway
    ports.out(jigtest::kSys0, 0, 0x00);
    ports.out(jigtest::kSys1, 0, 0x76);
    for (int c : {0x01, 0x09, 0x01}) ports.out(jigtest::kSys1, 2, c);
    EXPECT_EQ(jigsim_output_port(6), 0x0006);
    EXPECT_EQ(jigsim_port_writes(), writes);
    jigsim_set_power(1);
    EXPECT_EQ(ports.write_output_port(6, 0x0600), jigtest::kOk);
    EXPECT_EQ(jigsim_output_port(6), 0x0600);
}

TEST_F(JigSequences, TheWorldServesThreadsAtOnce) {
    std::thread faults([] {
        for (int i = 0; i < 300; ++i) {
            jigsim_switch_press(i % 4);
            jigsim_set_adc_counts(0, 6, i);
            jigsim_output_port(10);
            jigsim_trace_count();
            jigsim_switch_release(i % 4);
        }
    });
    uint16_t sample = 0;
    for (int i = 1; i <= 300; ++i) {
        ASSERT_EQ(ports.write_output_port(10, static_cast<uint16_t>(i)), 0);
        ASSERT_EQ(ports.read_ad(0, 6, &sample, 1, 1000, 0x0F), 0);
        EXPECT_LT(sample, 300);
    }
    faults.join();
    EXPECT_EQ(jigsim_output_port(10), 300);
}

}  // namespace
