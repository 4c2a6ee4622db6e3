// The A/D converters through the station's sequences: channel and range taken at each read,
// busy and stuck, gates, the EVR term, noise, samples files, clamping and the extension A/D.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <vector>

#include "jigsim.h"
#include "port_driver.h"
#include "world_fixture.h"

namespace {

using jigtest::LoadedWorld;
using jigtest::StationPorts;

// A world from `scenario` and the station's ports on it, set to their defaults.
struct Jig {
    explicit Jig(const std::string &scenario, const LoadedWorld::Files &files = {}) : world(scenario, files) {
        EXPECT_EQ(world.problems, 0) << world.messages;
        ports.emplace();
        ports->set_ports_default();
    }
    std::vector<uint16_t> read(int channel, int range, int count, bool fast = false) {
        std::vector<uint16_t> samples(static_cast<size_t>(count), 0xFFFF);
        const int e = fast ? ports->read_ad_fast(channel, range, samples.data(), count, 0x0F)
                           : ports->read_ad(channel, range, samples.data(), count, 1000, 0x0F);
        EXPECT_EQ(e, jigtest::kOk);
        return samples;
    }
    int one(int channel, int range) { return read(channel, range, 1)[0]; }
    LoadedWorld world;
    std::optional<StationPorts> ports;
};

using Samples = std::vector<uint16_t>;

TEST(Adc, EveryReadTakesTheChannelAndRangeSelectedAtThatRead) {
    Jig jig("[adc.0]\ncounts=100\ncounts_r6=606\n[adc.1]\ncounts=1111\n[adc.7]\ncounts=4095\n");
    ASSERT_EQ(jig.ports->write_output_port(1, 0xAB05), 0);
    EXPECT_EQ(jig.one(0, 6), 606);
    EXPECT_EQ(jigsim_output_port(1), 0x0000);  // selecting rewrites port 1 with its high byte 0
    EXPECT_EQ(jig.one(0, 2), 100);
    EXPECT_EQ(jig.one(1, 6), 1111);
    EXPECT_EQ(jig.read(7, 0, 3, true), (Samples{4095, 4095, 4095}));
    int channel = -1, range = -1;
    jigsim_adc_selection(&channel, &range);
    EXPECT_EQ(channel, 7);
    EXPECT_EQ(range, 7);  // SysPort1 A is back at 0x70 after a read
    EXPECT_EQ(jigsim_set_adc_counts(1, 6, 222), 0);
    EXPECT_EQ(jig.one(1, 6), 222);
    EXPECT_EQ(jig.one(1, 5), 1111);
    EXPECT_EQ(jigsim_set_adc_counts(8, -1, 1), -1);
    EXPECT_EQ(jigsim_set_adc_counts(0, 7, 1), -1);
}

TEST(Adc, AConversionKeepsItBusyAndAStuckConverterTimesOut) {
    Jig jig("[jig]\nadc_busy_us=150000\n[adc.3]\ncounts=333\n");
    ASSERT_EQ(jig.ports->start_ad(3, 6), 0);
    EXPECT_EQ(jigsim_conversions(), 1u);
    EXPECT_NE(jig.ports->in(jigtest::kSys0, 1) & 0x20, 0);
    EXPECT_EQ(jig.one(3, 6), 333);  // waited for the conversion
    EXPECT_EQ(jig.ports->in(jigtest::kSys0, 1) & 0x20, 0);
    jigsim_set_adc_stuck(1);
    uint16_t sample = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(jig.ports->read_ad(3, 6, &sample, 1, 250, 0x0F), jigtest::kAdTimeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
}

TEST(Adc, GatedByARelayAndTheProductPower) {
    Jig jig("[adc.2]\ncounts=500\ngate_sw=67\nneeds_power=1\n");
    EXPECT_EQ(jig.one(2, 6), 0);
    ASSERT_EQ(jig.ports->set_switch(67, true), 0);
    EXPECT_EQ(jig.one(2, 6), 0);
    ASSERT_EQ(jig.ports->power(true), 0);
    EXPECT_EQ(jig.one(2, 6), 500);
    ASSERT_EQ(jig.ports->set_switch(67, false), 0);
    EXPECT_EQ(jig.one(2, 6), 0);
}

TEST(Adc, AnEvrCellMovesTheReading) {
    Jig jig("[adc.3]\ncounts=100\nevr=1:0x10\nper_step=2.5\n");
    EXPECT_EQ(jig.one(3, 6), 100);
    jigsim_evr_write(JIGSIM_RAM, 1, 0x10, 40);
    EXPECT_EQ(jig.one(3, 6), 200);
    jigsim_evr_write(JIGSIM_EEPROM, 1, 0x10, 80);  // only the RAM counts
    EXPECT_EQ(jig.one(3, 6), 200);
    jigsim_evr_write(JIGSIM_RAM, 1, 0x10, 2000);
    EXPECT_EQ(jig.one(3, 6), 4095);
}

TEST(Adc, NoiseStaysInItsBoundsAndRepeatsWithTheSeed) {
    Jig jig("[jig]\nseed=9\n[adc.4]\ncounts=2000\nnoise=5\n");
    const Samples first = jig.read(4, 6, 400);
    std::set<int> seen;
    for (uint16_t s : first) {
        EXPECT_GE(s, 1995);
        EXPECT_LE(s, 2005);
        seen.insert(s);
    }
    EXPECT_GE(seen.size(), 8u);
    jigsim_reset();
    jig.ports.emplace();  // a fresh world: the station starts over with it
    jig.ports->set_ports_default();
    EXPECT_EQ(jig.read(4, 6, 400, true), first);
}

TEST(Adc, SamplesCycleAcrossReadsAndARangesCountsWin) {
    Jig jig("[adc.5]\nsamples=wave.txt\ncounts_r5=5\n[adc.6]\nsamples=clamp.txt\n",
            {{"wave.txt", "10\n20\r\n\n  30\n"}, {"clamp.txt", "-5\n5000\n"}});
    EXPECT_EQ(jig.read(5, 6, 7), (Samples{10, 20, 30, 10, 20, 30, 10}));
    EXPECT_EQ(jig.read(5, 6, 2, true), (Samples{20, 30}));
    EXPECT_EQ(jig.read(5, 5, 2), (Samples{5, 5}));
    EXPECT_EQ(jig.one(5, 6), 10);
    EXPECT_EQ(jig.read(6, 0, 3), (Samples{0, 4095, 0}));
    jigsim_set_adc_counts(6, -1, 77);  // plain counts replace the samples
    EXPECT_EQ(jig.read(6, 0, 2), (Samples{77, 77}));
}

TEST(Adc, AGeneratedWavePlaysFromItsStartAfterEveryConversionStart) {
    // 12 samples: level 100, then samples 4..7 a sine of amplitude 50 and period 4 around 500
    // (phase 90: 550, 500, 450, 500), then samples 8..11 flat at 900.
    Jig jig("[adc.4]\nwave_length=12\nwave_level=100\nseg1=4,8,500,50,4,90\nseg2=8,12,900\n"
            "[adc.5]\ncounts=7\nwave_length=3\nseg1=0,3,-20\ncounts_r6=66\n");
    const Samples wave{100, 100, 100, 100, 550, 500, 450, 500, 900, 900, 900, 900, 100, 100};
    EXPECT_EQ(jig.read(4, 5, 14), wave);
    EXPECT_EQ(jig.read(4, 5, 3), (Samples{100, 100, 550}));  // no conversion between: the wave goes on
    ASSERT_EQ(jig.ports->start_ad(0, 6), 0);
    EXPECT_EQ(jig.read(4, 5, 14), wave);
    EXPECT_EQ(jig.one(5, 5), 0);   // clamped; a wave wins over the counts
    EXPECT_EQ(jig.one(5, 6), 66);  // and the counts of a range win over the wave
    jigsim_set_adc_counts(5, -1, 77);
    EXPECT_EQ(jig.one(5, 5), 77);
}

TEST(Adc, BadWaveSegmentsAreReportedAndLeftOut) {
    LoadedWorld w("[adc.2]\nseg1=0,4,10\n[adc.3]\nwave_length=8\nseg1=0,9,10\nseg2=4,2,1\nseg3=0,4,x\n"
                  "seg4=0,4,1,1,0\nseg5=0,4\nseg6=2,6,300\n");
    EXPECT_EQ(w.problems, 6) << w.messages;
    EXPECT_NE(w.messages.find("[adc.2] seg1: \"0,4,10\" needs wave_length"), std::string::npos) << w.messages;
    EXPECT_NE(w.messages.find("[adc.3] seg1: \"0,9,10\" needs 0 <= START < END <= wave_length (8)"), std::string::npos);
    EXPECT_NE(w.messages.find("seg3: \"0,4,x\" field 3 \"x\" is not a number"), std::string::npos) << w.messages;
    EXPECT_NE(w.messages.find("seg4: \"0,4,1,1,0\" PERIOD must be above 0"), std::string::npos) << w.messages;
    StationPorts ports;
    ports.set_ports_default();
    uint16_t s[8];
    ASSERT_EQ(ports.read_ad(3, 0, s, 8, 1000, 0x0F), 0);
    EXPECT_EQ(std::vector<uint16_t>(s, s + 8), (Samples{0, 0, 300, 300, 300, 300, 0, 0}));
}

TEST(Adc, ABadSamplesFileIsReportedAndIgnored) {
    LoadedWorld w("[adc.5]\ncounts=9\nsamples=wave.txt\n", {{"wave.txt", "10\n2O\n"}});
    EXPECT_EQ(w.problems, 1);
    EXPECT_NE(w.messages.find("world.ini:3: [adc.5] samples: samples file"), std::string::npos) << w.messages;
    EXPECT_NE(w.messages.find("line 2: \"2O\""), std::string::npos) << w.messages;
    StationPorts ports;
    ports.set_ports_default();
    uint16_t s[2];
    ASSERT_EQ(ports.read_ad(5, 0, s, 2, 1000, 0x0F), 0);
    EXPECT_EQ(s[1], 9);
}

TEST(Adc, WithTheJigPowerOffTheConverterNeitherStartsNorDelivers) {
    Jig jig("[adc.0]\ncounts=1234\n");
    EXPECT_EQ(jig.one(0, 6), 1234);
    jigsim_set_power(0);
    EXPECT_EQ(jig.ports->start_ad(0, 6), jigtest::kJigPowerOff);
    for (int a : {0x60, 0xE0, 0x60}) jig.ports->out(jigtest::kSys1, 0, a);  // started anyway
    EXPECT_EQ(jigsim_conversions(), 0u);
    for (int c : {0x03, 0x07, 0x03}) jig.ports->out(jigtest::kSys1, 2, c);
    EXPECT_EQ(jig.ports->in(jigtest::kSys0, 0) | jig.ports->in(jigtest::kSys0, 2) << 8, 0);
}

TEST(Adc, TheExtensionConverterReadsEitherSelector) {
    Jig jig("[ext_adc]\nsel0=1234\nsel1=4000\nbusy_us=150000\n");
    ASSERT_EQ(jig.ports->start_ext_ad(), 0);
    EXPECT_EQ(jig.ports->in(jigtest::kExt0, 2) & 1, 1);
    int value = 0;
    ASSERT_EQ(jig.ports->read_ext_ad(1, &value, 2000, 0x0F), 0);
    EXPECT_EQ(value, 4000);
    ASSERT_EQ(jig.ports->read_ext_ad(0, &value, 2000, 0x0F), 0);
    EXPECT_EQ(value, 1234);
    jigsim_set_ext_adc(0, 99999);
    ASSERT_EQ(jig.ports->read_ext_ad(0, &value, 2000, 0x0F), 0);
    EXPECT_EQ(value, 4095);
}

}  // namespace
