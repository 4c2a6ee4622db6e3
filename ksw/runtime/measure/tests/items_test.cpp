// The items' hardware sequences and arithmetic, and the board set-up commands, on the simulated
// jig: each program's step 1 measures, and the value it stored in rd[0] is compared (or, for the
// set-up commands, what the jig board latched).
#include <gtest/gtest.h>

#include "jigsim.h"
#include "measure_fixture.h"

namespace ksw::testing {
namespace {

class Items : public MeasureTest {
protected:
    // Runs `body` as step 1 behind "check," and `item` (with an unlimited window) and returns
    // rd[0]; NaN when the step failed.
    double measured(const std::string &scenario, const std::string &item, const std::string &body = "") {
        const int rc = run(scenario, "step 1\ncheck," + item + "\n" + body);
        EXPECT_EQ(rc, kOk) << item;
        return rc == kOk ? rd(0) : std::nan("");
    }
    static int breg(int bits) {
        int datum = -1;
        jigsim_board_register(bits, &datum);
        return datum;
    }
};

constexpr const char *kQuiet = "[jig]\nadc_busy_us=0\n";

TEST_F(Items, VoltageItems) {
    // ",dc_volt2(": raw 768 of the 10-bit converter, gain code 5 in port 22 bits 12-14 (g = 4).
    EXPECT_DOUBLE_EQ(measured(std::string(kQuiet) + "[adc.0]\ncounts_r5=768\n", "dc_volt2(0)", "setsw(=,22,20480)\nsetsw(on,179)\n"),
                     768 * 0.0078125 + 8.0 - 12.0);
    EXPECT_EQ(jigsim_output_port(22) & 0x0008, 0);  // sw 179 cleared by the item
    // ",peak(": the ratio of channels 1 and 0, through input 1 on the range of gain 0.75.
    EXPECT_DOUBLE_EQ(measured(std::string(kQuiet) + "[adc.0]\ncounts_r6=4000\n[adc.1]\ncounts_r6=2400\n", "peak(0)",
                              "input_ch(1)\nac_range(2)\n"),
                     3.0 / 0.75);
    EXPECT_NE(jigsim_output_port(6) & 0x0200, 0);  // the peak hold, sw 305
}

TEST_F(Items, TheCounterItemsUseTheSelectedClockAndPrescaler) {
    // 4000 counts of 50 ns (port 10 bits 8-10 = 3) after a prescaler of 4 (port 11 bits 8-12 = 9).
    const std::string scenario = std::string(kQuiet) + "[adc.0]\ncounts_r6=3999\n[adc.1]\ncounts_r6=0\n";
    EXPECT_DOUBLE_EQ(measured(scenario, "pulse_width(0)", "setsw(=,10,768)\nsetsw(=,11,2304)\n"), 4000 * 5e-8 / 4);
    EXPECT_DOUBLE_EQ(measured(scenario, "period(0)", "setsw(=,10,768)\n"), 2 * 4000 * 5e-8);
    EXPECT_EQ(run(std::string(kQuiet) + "[adc.0]\ncounts_r6=0\n", "step 1\ncheck,frequency(0)\n"), kOk);  // 1 count
    EXPECT_DOUBLE_EQ(rd(0), 0.5 / 2.5e-7);
}

TEST_F(Items, TheExtensionConverterMeasuresARatioOrCounts) {
    const std::string scenario = "[ext_adc]\nsel0=2000\nsel1=1000\nbusy_us=0\n";
    EXPECT_DOUBLE_EQ(measured(scenario, "extention(0)", "extention(vol)\n"), 5.0);  // doubled: word 0 bit 0 clear
    EXPECT_DOUBLE_EQ(measured(scenario, "extention(0)", "extention(vol)\nsetesw(=,0,1)\n"), 2.5);
    // Counting: (1000 << 12) + 2000 + 1 counts of 50 ns (word 3 bits 4-6 = 1), 2^(7 + 8 - 7).
    EXPECT_DOUBLE_EQ(measured(scenario, "extention(0)", "extention(cou)\nsetesw(=,3,16)\nsetesw(=,2,23)\n"),
                     256.0 / (2.0 * ((1000 << 12) + 2001) * 5e-8));
    EXPECT_EQ(jigsim_ext0_word(1) & 1, 1);
}

TEST_F(Items, DigitalWordsFromTheConvertersAndAnIoPort) {
    // Serial: channel 7 - 2 with the low byte's bits in the opposite order (0x01 -> 0x80).
    const std::string serial = std::string(kQuiet) + "[adc.5]\ncounts_r6=2561\n";
    EXPECT_EQ(measured(serial, "digital(0)", "digital(ser,2)\n"), 0x0A80);
    EXPECT_EQ(measured(serial, "digital(0)", "digital(ser,2,255)\n"), 0x80);
    EXPECT_EQ(measured(std::string(kQuiet) + "[adc.0]\ncounts_r1=291\n", "digital(0)", "digital(par,0)\n"), 291);
    // An I/O port: SysPort0 B (0x12) reads 0x0F with no switch held; its input group 2 is routed.
    EXPECT_EQ(measured(kQuiet, "digital(0)", "digital(io,18)\n"), 0x0F);
    EXPECT_EQ(jigsim_output_port(29) & 0x0F00, 0x0200);
    EXPECT_NE(jigsim_output_port(3) & 0x40, 0);  // sw 30
    EXPECT_EQ(run(kQuiet, "step 1\ncheck,digital(0)\ndigital(ser,9)\n"), kErrOutOfRange);  // channel 7 - 9
}

// A video line on channel 4 (2048 samples): sync tip 150 over samples 0-39, blank 300, a burst
// of amplitude 80 at 0 degrees over 100-199, chroma of amplitude 40 at 90 degrees over 400-799
// around 600, a flat 700 over 1000-1199.
constexpr const char *kLine = "[jig]\nadc_busy_us=0\n[adc.4]\nwave_length=2048\nwave_level=300\nseg1=0,40,150\n"
                              "seg2=100,200,300,80,4,0\nseg3=400,800,600,40,4,90\nseg4=1000,1200,700\n";

TEST_F(Items, VideoItemsAnalyseTheCapture) {
    const std::string windows = "v_level(nts)\nlevel(1,a,101,100)\nlevel(2,a,401,400)\n";
    EXPECT_DOUBLE_EQ(measured(kLine, "chroma_gain(0)", windows), 50.0);
    EXPECT_DOUBLE_EQ(measured(kLine, "chroma_phase(0)", windows), 90.0);
    EXPECT_DOUBLE_EQ(measured(kLine, "chroma_det(0)", windows), 40.0 / 512);
    EXPECT_NEAR(measured(kLine, "v_level(0)", "v_level(nts)\nlevel(1,a,1001,200)\n"), 700.0 / 512, 1e-9);
    EXPECT_NEAR(measured(kLine, "v_level_level(0)", "v_level(nts)\nlevel(1,p,1001,200)\nlevel(2,b,1,40)\n"),
                550.0 / 512, 1e-9);
    EXPECT_NEAR(measured(kLine, "bottom(0)", "level(1,a,1,100)\n"), 150.0 / 512, 1e-9);
    // The same analyses divide by the routed input's gain (input 2 on the range of gain 7.5).
    EXPECT_NEAR(measured(kLine, "v_level(0)", "v_level(nts)\ninput_ch(2)\nac_range(200)\nlevel(1,a,1001,200)\n"),
                700.0 / 512 / 7.5, 1e-9);
    EXPECT_NE(jigsim_output_port(5) & 0x0070, 0);  // the capture path on
    EXPECT_EQ(context.board.captured, 8192u);
    // global( option 1: one block of 5048 samples of channel 4.
    EXPECT_NEAR(measured(kLine, "v_level(0)", "global(ngs,t,off,0,1)\nv_level(nts)\nlevel(1,a,1001,200)\n"), 700.0 / 512, 1e-9);
    EXPECT_EQ(context.board.captured, 5048u);
    // ",peak_peak(": its own 2048 samples, in window 1 or else the first 500 (up to the chroma's
    // peak of 640).
    EXPECT_DOUBLE_EQ(measured(kLine, "peak_peak(0)", "level(1,pp,1,100)\n"), 150.0 / 512);
    EXPECT_DOUBLE_EQ(measured(kLine, "peak_peak(0)"), 490.0 / 512);
}

TEST_F(Items, EdgesAndPeriodsAreTimedWithTheDigitiserClock) {
    // Two rising edges 800 samples apart at 20 MHz: 40 us.
    const std::string edges = "[jig]\nadc_busy_us=0\n[adc.4]\nwave_length=2048\nwave_level=100\nseg1=200,300,600\n"
                              "seg2=1000,1100,600\n";
    EXPECT_NEAR(measured(edges, "interval(0)", "interval(151,100,951,100,0,0,0,0)\ndgtz_clk(20m)\nv_level(nts)\n"), 40.0, 1e-9);
    // A window without a swing of 0.15 x the 2.0 V reference holds no edge.
    EXPECT_EQ(run(edges, "step 1\ncheck,interval(0)\ninterval(401,100,951,100,0,0,0,0)\nv_level(nts)\n"), kErrTooBigSmall);
    // ",phase(": a delay of 10 counts of 250 ns over a period of 40 samples at 1 MHz.
    const std::string wave = "[jig]\nadc_busy_us=0\n[adc.0]\ncounts_r6=9\n[adc.1]\ncounts_r6=0\n[adc.4]\n"
                             "wave_length=2048\nseg1=0,2048,500,200,40\n";
    EXPECT_NEAR(measured(wave, "phase(0)", "dgtz_clk(1m)\n"), 22.5, 0.01);
}

TEST_F(Items, InputChannelZeroAnalysesTheSamplesCapturedBefore) {
    const std::string step = "step 1\ncheck,v_level(0)\nv_level(nts)\nlevel(1,a,1001,200)\n";
    ASSERT_EQ(run(kLine, step), kOk);
    jigsim_set_adc_counts(4, -1, 100);
    ASSERT_TRUE(load(step + "input_ch(0)\n"));
    ASSERT_EQ(run_thread(context, 1), kOk);
    EXPECT_NEAR(rd(0), 700.0 / 512, 1e-9);
    ASSERT_TRUE(load(step));
    ASSERT_EQ(run_thread(context, 1), kOk);
    EXPECT_NEAR(rd(0), 100.0 / 512, 1e-9);
}

TEST_F(Items, BoardSetUpCommandsReachTheBoard) {
    ASSERT_EQ(run(kQuiet, "step 1\nno_operation\ninput_ch(2)\n1_ch(3,5,on)\n2_ch(1,2,off)\nac_range(400)\nclamp(100.7)\n"
                          "cmp(2)\nfilter(3)\npre(ac)\ndgtz_clk(10m)\nchroma_out(b-y)\nspl_enb_line(20,262)\nshift(2)\n"
                          "chroma_mode(5,pal)\n"),
              kOk);
    EXPECT_EQ(jigsim_output_port(24), 0x215B);
    EXPECT_EQ(jigsim_output_port(9) & 0x07F0, 0x0290);       // range 400, filter 3, sw 76 (AC)
    EXPECT_EQ(jigsim_output_port(22) & 0x8771, 0x8220);      // filter, shift 2, chroma path; sw 176 off
    EXPECT_EQ(jigsim_output_port(10), 34);
    EXPECT_EQ(jigsim_output_port(7), 0x0011);
    EXPECT_EQ(jigsim_output_port(4) & 0x0300, 0x0100);
    EXPECT_EQ(jigsim_output_port(19), 20);
    EXPECT_EQ(jigsim_output_port(20), 262);
    EXPECT_EQ(jigsim_output_port(29) & 0x004F, 0x0045);
    EXPECT_EQ(breg(0x3380), 100);
    EXPECT_EQ(breg(0x3320), 127);  // cmp( after ac_range('s 16
    EXPECT_EQ(breg(0x3340), 64);
    EXPECT_DOUBLE_EQ(context.board.video_reference, 16 / 63.75);
    // A filter out of range is refused after its first write; a clamp beyond a byte is refused.
    ASSERT_EQ(run(kQuiet, "step 1\nno_operation\ninput_ch(1)\nsetaddata(5,9)\nfilter(ad[5])\n"), kErrOutOfRange);
    EXPECT_EQ(jigsim_output_port(22) & 0x0070, 0);
    EXPECT_EQ(run(kQuiet, "step 1\nno_operation\nclamp(256)\n"), kErrOutOfRange);
    // The counter inputs, the level path, the detector, reset( and freset(.
    ASSERT_EQ(run(kQuiet, "step 1\nno_operation\ninput_ch(1)\nsetsw(=,22,65535)\ncounter_ttl()\n"), kOk);
    EXPECT_EQ(jigsim_output_port(22), 0xBFBF);
    ASSERT_EQ(run(kQuiet, "step 1\nno_operation\nsetsw(=,22,65535)\nv_level(nts)\nppdet(p,1)\ntrig_ch(3)\n"), kOk);
    EXPECT_EQ(jigsim_output_port(22), 0x7FFD);
    EXPECT_EQ(jigsim_output_port(29) & 0x00B0, 0x0090);
    EXPECT_EQ(jigsim_output_port(5) & 0x0700, 0x0200);
    EXPECT_EQ(jigsim_output_port(8) & 0x07FF, 0x01C8);
    EXPECT_EQ(breg(0x3340), 192);
    ASSERT_EQ(run(kQuiet, "step 1\nno_operation\nsetfsw(=,31,7)\nsetfsw(=,4,9)\nsetsw(=,12,4660)\nfreset()\nreset()\n"), kOk);
    EXPECT_EQ(jigsim_latch(31), 7);
    EXPECT_EQ(jigsim_latch(4), 0);
    EXPECT_EQ(jigsim_output_port(12), 0);
    EXPECT_EQ(breg(0x3380), 144);
    EXPECT_EQ(breg(0x3310), 32);
    EXPECT_DOUBLE_EQ(context.board.video_reference, 2.0);
}

}  // namespace
}  // namespace ksw::testing
