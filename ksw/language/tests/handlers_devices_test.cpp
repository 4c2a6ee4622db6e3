// Jig, measuring-board, device and outside front-end commands: "this program compiles to these
// records", and the codes of the statements it refuses.
#include <gtest/gtest.h>

#include "language/listing.h"
#include "compile_support.h"
#include "language/program_compiler.h"
#include "resources/error_codes.h"
#include "temp_dir.h"

namespace ksw {
namespace {

class DeviceCommands : public ::testing::Test {
protected:
    ksw::testing::TempDir dir;
    ProgramModel model;
    DefineTable defines;

    CompileOptions options = ksw::testing::compile_options();

    // Compiles `program` (a whole source text); 0 or the code of the failing statement.
    int error_of(const std::string &program) {
        ksw::testing::write_text(dir.file("devices.ks"), program);
        const ProgramCompilation compiled = compile_program(dir.file("devices.ks"), model, defines, options);
        return compiled.loaded ? 0 : compiled.code;
    }
    // The step line and command lines of step `n` of `program`, or "error N".
    std::string step_of(const std::string &program, int n = 1) {
        if (const int rc = error_of(program)) return "error " + std::to_string(rc);
        const std::string all = compile_listing(model, command_table());
        const std::string head = "step " + std::to_string(n);
        size_t begin = all.find(head + " ");
        if (begin == std::string::npos) begin = all.find(head + "\n");
        if (begin == std::string::npos) return "no " + head;
        const size_t end = all.find("\nstep ", begin);
        return all.substr(begin, end == std::string::npos ? std::string::npos : end + 1 - begin);
    }
    // A statement compiled in step 1 after "no_operation".
    int error_in_step(const std::string &statement) { return error_of("step 1\nno_operation\n" + statement + "\n"); }
};

TEST_F(DeviceCommands, JigPortCommandsStoreTheirOperands) {
    EXPECT_EQ(step_of("step 1\nio(rea,H3F0,2)\nio(=,1008,255)\npower(ON)\npower_set(1,5,3.072)\n"
                      "power_set(2,20.48,1.024)\nkey(rel,13)\nstartsw()\nstartsw(CLEAR)\ndownsw(-1)\n"
                      "setesw(=,3,ad[7])\ngetad2(che,7,6)\ngetad2(add,1,2,100,16,12)\n"
                      "getad2(rea,0,6,10,ad[5],8,0.5)\ninput_ch(2)\n"),
              "step 1 channel=1\n"
              "  0 io( sub=0 ints=1008,2\n"
              "  1 io( sub=1 ints=1008,255\n"
              "  2 power( sub=1\n"
              "  3 power_set( sub=0 ints=1,1000,3071\n"
              "  4 power_set( sub=0 ints=2,4095,1024\n"
              "  5 key( sub=1 ints=13\n"
              "  6 startsw( sub=0\n"
              "  7 startsw( sub=2\n"
              "  8 downsw( sub=0 ints=-1\n"
              "  9 setesw( sub=0 ints=3,7 mask=2\n"
              "  10 getad2( sub=3 ints=7,6\n"
              "  11 getad2( sub=4 ints=1,2,100,0,16,12 reals=1\n"
              "  12 getad2( sub=1 ints=0,6,10,0,5,8 reals=0.5 mask=10\n"
              "  13 input_ch( sub=0 ints=1\n");
    const RegisterUsageMap &used = model.register_usage;
    EXPECT_EQ(used.ad[2], 1);
    EXPECT_EQ(used.ad[115], 1);  // getad2( "add": 16 registers from 100
    EXPECT_EQ(used.ad[116], 0);
    EXPECT_EQ(used.ad[10], 255);  // a count from ad[] leaves the block open
    EXPECT_EQ(step_of("step 1\ninput_ch(0)\n"), "step 1\n  0 input_ch( sub=0 ints=-1\n");
}

TEST_F(DeviceCommands, JigPortCommandsCheckTheirRanges) {
    EXPECT_EQ(error_in_step("power_set(2,5,2)"), kErrOutOfRange);  // channel 2 supplies 1.024 A at most
    EXPECT_EQ(error_in_step("power_set(1,5,3.073)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("power_set(1,20.49,0)"), kErrOutOfRange);  // code 4097
    EXPECT_EQ(error_in_step("power_set(1,5,-0.1)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("power_set(3,5,0)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("power_set(1,rd[1],0)"), kErrRdNotAllowed);
    EXPECT_EQ(error_in_step("io(=,1,4294967295)"), kErrOutOfRange);  // reads as -1
    EXPECT_EQ(error_in_step("io(rea,1,8000)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("io(rea,1)"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("io(out,1,2)"), kErrInvalidMode);
    EXPECT_EQ(error_in_step("key(pus,256)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("startsw(x)"), kErrInvalidMode);
    EXPECT_EQ(error_in_step("downsw(5000)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("setesw(+,1,1)"), kErrInvalidMode);
    EXPECT_EQ(error_in_step("setesw(=,4,1)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("getad2(rea,0,0,1,1,9)"), kErrOutOfRange);  // 8, 10, 12 or 16 bits
    EXPECT_EQ(error_in_step("getad2(rea,0,0,1,1)"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("getad2(tri,8,0)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("input_ch(3)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("input_ch(ad[1])"), kErrAdNotAllowed);  // it sets the step's channel
}

TEST_F(DeviceCommands, MeasuringBoardSetUp) {
    EXPECT_EQ(step_of("step 1\ninput_ch(2)\nac_range(400)\nfilter(8)\ncounter_ac()\ncounter_ttl(L)\ncounter_ttl(x)\n"
                      "1_ch(7,15,on)\naverage(10)\naverage(1,8)\nclamp(rd[3])\ncolor(-1,7)\ncolor(0,0,5)\n"
                      "colorbar(pal,2048,0,255,7967)\nchroma_out(EB-Y)\ndgtz_clk(1m)\ndgtz_clk(10m)\nppdet(p,2.5)\n"
                      "term(2,on)\nspl_enb_line(2)\nsquare(rou,1,2,3,4,-1)\nspec(1,2)\nspec(1,2,3,4,65535)\n"
                      "peakdet(bot,1,2,7997,0,65535)\nbar(10,20,1,2,0.5,rd[4],7)\na_osc(ad[1],1,2,3,on)\n"
                      "v_osc(9,255,0)\n"),
              "step 1 channel=1\n"
              "  0 input_ch( sub=0 ints=1\n"
              "  1 ac_range( sub=0 ints=400\n"
              "  2 filter( sub=0 ints=8\n"
              "  3 counter_ac( sub=0\n"
              "  4 counter_ttl( sub=1\n"
              "  5 counter_ttl( sub=-1\n"
              "  6 1_ch( sub=1 ints=7,15\n"
              "  7 average( sub=0 ints=10,2\n"
              "  8 average( sub=0 ints=1,8\n"
              "  9 clamp( sub=0 reals=3 mask=10000\n"
              "  10 color( sub=0 ints=-1,7\n"
              "  11 color( sub=1 ints=0,0,5\n"
              "  12 colorbar( sub=1 ints=2048,0,255,7967\n"
              "  13 chroma_out( sub=0 ints=3\n"
              "  14 dgtz_clk( sub=4\n"
              "  15 dgtz_clk( sub=2\n"
              "  16 ppdet( sub=1 reals=2.5\n"
              "  17 term( sub=1 ints=2\n"
              "  18 spl_enb_line( sub=0 ints=2,-1\n"
              "  19 square( sub=1 ints=1,2,3,4,-1\n"
              "  20 spec( sub=2 ints=1,2\n"
              "  21 spec( sub=5 ints=1,2,3,4,65535\n"
              "  22 peakdet( sub=3 ints=1,2,7997,0,65535\n"
              "  23 bar( sub=0 ints=10,20,1,2,7 reals=0.5,4 mask=20000\n"
              "  24 a_osc( sub=16974337 ints=1 mask=1\n"
              "  25 v_osc( sub=255 ints=9\n");
    EXPECT_EQ(model.register_usage.rd[7998], 1);  // colorbar( names 32 rd[] registers
    EXPECT_EQ(model.register_usage.rd[7999], 0);
    EXPECT_EQ(model.register_usage.ad[7999], 1);  // peakdet( names three from 7997

    // Channel-bound commands need input_ch( or trig_ch( first.
    EXPECT_EQ(error_in_step("ac_range(400)"), kErrNoChannel);
    EXPECT_EQ(error_in_step("filter(1)"), kErrNoChannel);
    EXPECT_EQ(error_in_step("counter_ac()"), kErrNoChannel);
    EXPECT_EQ(error_in_step("counter_ttl(h)"), kErrNoChannel);
    EXPECT_EQ(error_in_step("input_ch(1)\ndc(1)"), kErrTooManyParameters);
    EXPECT_EQ(error_in_step("input_ch(1)\nac_range(3)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("input_ch(1)\nfilter(9)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("average(0)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("average(1,9)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("spec(1,2,3)"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("spec(1,2,3,4,5,6)"), kErrTooManyParameters);
    EXPECT_EQ(error_in_step("spec(1,65536)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("color(8,0)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("colorbar(nts,0,0,0,7968)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("a_osc(1,256,0)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("a_osc(1,2)"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("peakdet(max,1,2,7998,0,0)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("square(nor,1,2,3,4,8)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("spl_enb_line(313)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("term(3,on)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("dgtz_clk(2m)"), kErrInvalidMode);
    EXPECT_EQ(error_in_step("input_ch(1)\nac_range(ad[3])"), 0);  // checked when it runs
}

TEST_F(DeviceCommands, CaptureCommands) {
    EXPECT_EQ(step_of("step 1\ntransient(pos,1,2)\ntransient(ini,1,7991)\ntransient(run,0,2.5,100)\n"
                      "vector(run,1000,50)\nvector(POSITION,1,2,3,4)\nwave(sto,9,rd[1],10,20)\n"
                      "wave(run,0,1,10,20,1,2,3,4,5,6,7,8)\n"),
              "step 1\n"
              "  0 transient( sub=1 ints=1,2,-1,-1\n"
              "  1 transient( sub=2 ints=1,7991\n"
              "  2 transient( sub=3 ints=0,100,1 reals=2.5\n"
              "  3 vector( sub=2 ints=1000,50\n"
              "  4 vector( sub=1 ints=1,2,3,4\n"
              "  5 wave( sub=0 ints=9,10,20,-1,-1,-1,-1,-1,-1,-1,-1 reals=1 mask=10000\n"
              "  6 wave( sub=2 ints=0,10,20,1,2,3,4,5,6,7,8 reals=1\n");
    const RegisterUsageMap &used = model.register_usage;
    EXPECT_EQ(used.ad[7997], 1);  // seven registers from 7991
    EXPECT_EQ(used.ad[7998], 0);
    EXPECT_EQ(used.rd[50], 255);
    EXPECT_EQ(used.rd[10], 255);

    EXPECT_EQ(error_in_step("transient(pos)"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("vector(pos,1,2,3,4,5)"), kErrTooManyParameters);
    EXPECT_EQ(error_in_step("wave(run,0,1,10,20,1,2,3,4,5,6,7,8,9)"), kErrTooManyParameters);
    EXPECT_EQ(error_in_step("vector(run,9,0)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("vector(run,10)"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("transient(ini,2,0)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("transient(ini,0,7992)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("wave(run,10,1,1,1)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("wave(run,0,1,1)"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("transient(stop,0,1)"), 0);  // longer words match their abbreviation
}

TEST_F(DeviceCommands, ChannelAndVideoStandardBelongToTheStep) {
    const std::string program = "step 1\ntrig_ch(4)\nstep 2\ninput_ch(2)\nchroma_mode(5,pal)\nv_level(PAL)\n"
                                "phase(v,l,pal)\nphase(p,h,l)\nstep 3\nv_level(500)\n";
    EXPECT_EQ(step_of(program, 1), "step 1 channel=3\n  0 trig_ch( sub=0 ints=3\n");
    EXPECT_EQ(step_of(program, 2),
              "step 2 video=1 channel=1\n"
              "  0 input_ch( sub=0 ints=1\n"
              "  1 chroma_mode( sub=1 ints=5\n"
              "  2 v_level( sub=0 ints=1\n"
              "  3 phase( sub=2 ints=1,-1,1\n"
              "  4 phase( sub=0 ints=0,1,-1\n");
    EXPECT_EQ(step_of(program, 3), "step 3 video=500\n  0 v_level( sub=0 ints=500\n");

    EXPECT_EQ(error_in_step("trig_ch(1)\ntrig_ch(2)"), kErrChannelDuplicated);
    EXPECT_EQ(error_in_step("input_ch(1)\ntrig_ch(1)"), kErrChannelDuplicated);
    EXPECT_EQ(error_in_step("trig_ch(5)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("input_ch(1)\nchroma_mode(0,nts)"), kErrUseInputCh2);
    EXPECT_EQ(error_in_step("v_level(pal)\nchroma_mode(0,nts)"), kErrChannelDuplicated);
    EXPECT_EQ(error_in_step("chroma_mode(0,secam)"), kErrInvalidMode);
    EXPECT_EQ(error_in_step("v_level(nts)\nv_level(pal)"), kErrChannelDuplicated);
    EXPECT_EQ(error_in_step("v_level(pal)\nv_level(1)"), 0);
    EXPECT_EQ(error_in_step("v_level(5048)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("v_level(pal)\nphase(p,h,nts)"), kErrChannelDuplicated);
    EXPECT_EQ(error_in_step("phase(p,x)"), kErrInvalidMode);
}

TEST_F(DeviceCommands, MeasuringBlockCommands) {
    EXPECT_EQ(step_of("step 1\ncheck,digital(5)\ndigital(ram,255,H00FF,7)\ndigital(ser,1,2,3)\n"
                      "gpib_mes(31,0.5,\"READ?,X\")\nevr_adj(2,16,-1,127,10,200,3,17)\nevr_adj(1,0,0,0)\n"
                      "evr_adj2(on,0.25,1,2,3)\nevr_adj2()\nevr_adj2(0.5)\n"),
              "step 1 mode=3 link=-1 target=5 upper=max lower=-max measure flags=2 evr=1 variant=2 "
              "gpib=\"READ?,X\"\n"
              "  0 digital( sub=1 ints=255,255,7\n"
              "  1 digital( sub=2 ints=1,2,-1\n"
              "  2 gpib_mes( sub=0 ints=31 reals=0.5\n"
              "  3 evr_adj( sub=2 ints=16,-1,127,10,200,3,17\n"
              "  4 evr_adj( sub=1 ints=0,0,0,0,255,-1,-1\n"
              "  5 evr_adj2( sub=1 ints=1,2,3 reals=0.25\n"
              "  6 evr_adj2( sub=0 ints=-1,-1,-1\n"
              "  7 evr_adj2( sub=0 ints=-1,-1,-1 reals=0.5\n"
              "  8 ,digital( sub=0 reals=5,max,-max measure\n");
    EXPECT_EQ(step_of("step 1\nno_operation\ngpib_mes(1,1,\"0123456789012345678901234567890123456789\")\n"),
              "step 1 measure gpib=\"0123456789012345678901234567890\"\n  0 gpib_mes( sub=0 ints=1 reals=1\n");

    EXPECT_EQ(error_of("step 1\ndigital(evr,1)\n"), kErrMissingFirst);
    EXPECT_EQ(error_of("step 1\ngpib_mes(1,1)\n"), kErrMissingFirst);
    EXPECT_EQ(error_of("step 1\nevr_adj(1,0,0,0)\n"), kErrMissingFirst);
    EXPECT_EQ(error_in_step("gpib_mes(32,1)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("digital(usb,1)"), kErrInvalidMode);
    EXPECT_EQ(error_in_step("evr_adj(5,0,0,0)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("evr_adj(1,256,0,0)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("evr_adj(1,0,0,128)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("evr_adj(1,0,0,0,0,65536)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("evr_adj(1,0,0)"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("evr_adj2(on)"), kErrMissingEvrAdj);
    EXPECT_EQ(error_of("step 1\nno_operation\nevr_adj(1,0,0,0)\nstep 2\nno_operation\nevr_adj2()\n"),
              kErrMissingEvrAdj);  // the evr_adj( must be in the same step
    EXPECT_EQ(error_in_step("evr_adj(1,0,0,0)\nevr_adj2(off,1,256)"), kErrOutOfRange);
}

TEST_F(DeviceCommands, EvrCommands) {
    EXPECT_EQ(step_of("step 1\nevr_page(255)\nevr_prn(prn,254,4)\nevr_rd(-1,7999)\nevr_wr(0,16,255)\n"
                      "evr_wr(2,-1)\nevr_wr(3)\nevr_func(3,21,100,0,200,16,2.5)\nevr_func(1,5,6)\nevr_func(0,5,7)\n"),
              "step 1\n"
              "  0 evr_page( sub=0 ints=255\n"
              "  1 evr_prn( sub=1 ints=254,4\n"
              "  2 evr_rd( sub=0 ints=-1,7999\n"
              "  3 evr_wr( sub=0 ints=16,255\n"
              "  4 evr_wr( sub=2 ints=-1\n"
              "  5 evr_wr( sub=3 ints=-1\n"
              "  6 evr_func( sub=3 ints=21,100,0,200,16 reals=2.5\n"
              "  7 evr_func( sub=1 ints=5,6\n"
              "  8 evr_func( sub=0 ints=5,7\n");
    EXPECT_EQ(model.register_usage.ad[7999], 1);
    EXPECT_EQ(model.register_usage.ad[100], 255);  // evr_func( blocks are sized by the operation
    EXPECT_EQ(model.register_usage.ad[200], 255);
    EXPECT_EQ(model.register_usage.ad[7], 1);
    EXPECT_EQ(model.register_usage.ad[5], 0);  // argument 1 of kind 1 is no register

    EXPECT_EQ(error_in_step("evr_wr(0,16,256)"), kErrOutOfRange);  // an 8-bit EVR
    options.language.evr_width = 16;
    EXPECT_EQ(error_in_step("evr_wr(1,16,65535)"), 0);
    EXPECT_EQ(error_in_step("evr_wr(1,16,65536)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("evr_wr(1,0)"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("evr_wr(2)"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("evr_wr(4,0)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("evr_wr(0,256,0)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("evr_page(256)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("evr_prn(log,0,257)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("evr_rd(-2,0)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("evr_func(4)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("evr_func(0,1,8000)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("evr_func(1,1,2,3,4,5,6,7)"), kErrTooManyParameters);
}

TEST_F(DeviceCommands, SerialCommands) {
    EXPECT_EQ(step_of("step 1\nrs232c(set,19200,7,eve,1.5)\nrs232c(set,300,5,odd,2)\nrs232c(res)\nrs232c(sta,10)\n"
                      "rs232c(cle)\nrs232c(tim,0.5)\nrs232c(tim,1,rd[2])\nrs232c(com,9)\nrscom(ret,0.5,3)\n"
                      "rscom(ftx,0,16)\nrscom(frx,100,ad[1])\nrscom(ftr,0,2,10,4,1.5)\nrscom(vtx,7998)\n"
                      "rscom(vrx,20,2)\nrscom(vtr,30,40,4096)\nsendmicon(RUN,\"micon.hex\")\n"),
              "step 1\n"
              "  0 rs232c( sub=0 ints=19200,7,2,1\n"
              "  1 rs232c( sub=0 ints=300,5,1,2\n"
              "  2 rs232c( sub=1\n"
              "  3 rs232c( sub=2 ints=10\n"
              "  4 rs232c( sub=3\n"
              "  5 rs232c( sub=4 reals=0.5,-1\n"
              "  6 rs232c( sub=4 reals=1,2 mask=20000\n"
              "  7 rs232c( sub=5 ints=9\n"
              "  8 rscom( sub=0 ints=3 reals=0.5\n"
              "  9 rscom( sub=1 ints=0,16\n"
              "  10 rscom( sub=2 ints=0,0,100,1 mask=8\n"
              "  11 rscom( sub=3 ints=0,2,10,4 reals=1.5\n"
              "  12 rscom( sub=4 ints=7998\n"
              "  13 rscom( sub=5 ints=0,0,20,2\n"
              "  14 rscom( sub=6 ints=30,0,40,4096\n"
              "  15 sendmicon( sub=1 text=\"micon.hex\"\n");
    const RegisterUsageMap &used = model.register_usage;
    EXPECT_EQ(used.ad[15], 1);  // ftx: 16 bytes from ad[0]
    EXPECT_EQ(used.ad[16], 0);
    EXPECT_EQ(used.ad[100], 255);  // a count from ad[] leaves the block open
    EXPECT_EQ(used.ad[7998], 255);

    EXPECT_EQ(error_in_step("rs232c(set,14400,8,non,1)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("rs232c(set,9600,9,non,1)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("rs232c(set,9600,8,mark,1)"), kErrInvalidMode);
    EXPECT_EQ(error_in_step("rs232c(set,9600,8,non,3)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("rs232c(set,9600,8,non)"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("rs232c(set,ad[1],8,non,2)"), 0);  // the baud rate is checked when it runs
    EXPECT_EQ(error_in_step("rs232c(com,0)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("rs232c(sta,8000)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("rscom(ret,1,0)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("rscom(ftx,0,4097)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("rscom(vrx,0,1)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("rscom(vtx,7999)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("rscom(ftr,0,1,2)"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("rscom(send,1,2)"), kErrInvalidMode);
    EXPECT_EQ(error_in_step("sendmicon(sen)"), kErrLackingArgument);
}

TEST_F(DeviceCommands, RegisterFilesLogAndTask) {
    EXPECT_EQ(step_of("step 1\nrwfile(r,rd,0,,5,data.txt)\nrwfile(fw,dad,10,20)\nrwfile(a,ad,0,1,2,clipboard)\n"
                      "rwfile(fr,ad,0)\nrwfile(r,rd,0,10,,name)\nlog(evr,250,5)\nlog(rd,10,3)\nlog(dwo,20,2)\n"
                      "log(fil,-1)\nlog(fil,300)\nlog(wor,0,8000)\ntask(foc,15)\ntask(=,255,65535)\n"
                      "task(rea,0,7990)\ntask(key,15,255)\ntask(cle)\n"),
              "step 1\n"
              "  0 rwfile( sub=0 ints=1,0,7999,5 text=\"data.txt\"\n"
              "  1 rwfile( sub=2 ints=2,10,20,0,1\n"
              "  2 rwfile( sub=1 ints=5,0,1,2,1 text=\"clipboard\"\n"
              "  3 rwfile( sub=1 ints=0,0,7999\n"
              "  4 rwfile( sub=0 ints=1,0,10\n"
              "  5 log( sub=0 ints=250,5\n"
              "  6 log( sub=1 ints=10,3\n"
              "  7 log( sub=5 ints=20,2\n"
              "  8 log( sub=3 ints=-1\n"
              "  9 log( sub=3 ints=300\n"
              "  10 log( sub=4 ints=0,8000\n"
              "  11 task( sub=0 ints=15\n"
              "  12 task( sub=1 ints=255,65535\n"
              "  13 task( sub=2 ints=0,7990\n"
              "  14 task( sub=3 ints=15,255\n"
              "  15 task( sub=4\n");
    const RegisterUsageMap &used = model.register_usage;
    EXPECT_EQ(used.rd[7998], 1);  // an empty count reads up to 7999 registers
    EXPECT_EQ(used.rd[7999], 0);
    EXPECT_EQ(used.ad[23], 1);  // dwo: two registers per count
    EXPECT_EQ(used.ad[300], 255);  // the data-file name's words end only at run time
    EXPECT_EQ(used.ad[7990], 1);

    EXPECT_EQ(error_in_step("rwfile(w,rd,0,,1,x)"), kErrLackingArgument);  // only reading may leave it empty
    EXPECT_EQ(error_in_step("rwfile(a,rd,0)"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("rwfile(x,rd,0,1)"), kErrInvalidMode);
    EXPECT_EQ(error_in_step("rwfile(r,bd,0,1)"), kErrInvalidMode);
    EXPECT_EQ(error_in_step("rwfile(r,rd,0,8000)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("rwfile(r,rd,0,1,4294967295)"), kErrOutOfRange);  // above 2147483647
    EXPECT_EQ(error_in_step("log(evr,0,257)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("log(ad,0,0)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("log(ad,0,8001)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("log(ad,8000,1)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("log(fil,-2)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("log(rd,1)"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("task(foc,16)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("task(=,256,0)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("task(=,1)"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("task(key,1,256)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("task(rea,1,8000)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("task(get)"), kErrInvalidMode);
}

TEST_F(DeviceCommands, GpibCommands) {
    EXPECT_EQ(step_of("step 1\ngpib(rea,31,7999)\ngpib(wri,5,\"*RST;*CLS\")\ngpib(tim,0.5)\ngpib(clr)\ngpib(boa,6)\n"),
              "step 1\n"
              "  0 gpib( sub=0 ints=31,7999\n"
              "  1 gpib( sub=1 ints=5 text=\"*RST;*CLS\"\n"
              "  2 gpib( sub=2 reals=0.5\n"
              "  3 gpib( sub=3\n"
              "  4 gpib( sub=4 ints=6\n");
    EXPECT_EQ(model.register_usage.rd[7999], 1);
    EXPECT_EQ(error_in_step("gpib(rea,32,0)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("gpib(boa,7)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("gpib(wri,1)"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("gpib(tim)"), kErrLackingArgument);
}

TEST_F(DeviceCommands, ScreenSoundAndOutsideDevices) {
    const std::string text90(90, 'x');
    EXPECT_EQ(step_of("step 1\ncls()\ncls(0,0,639,479)\nscreen(off)\nscreen(pos,-1,2,3,4)\nbeep()\nbeep(off)\n"
                      "beep(on,rd[3])\nbeep(wav,\"ok.wav\")\ninfo(-5)\nbarcode(\"A,B\")\nuser(\"edit x.txt\",2)\n"
                      "lanc(nch,1,ad[2])\npatgen(=bu,1)\nmotor(ccw,100)\ndic(set)\njt2642(pri,1,2,3,4,5,6,7," +
                          text90 + ")\n"),
              "step 1 flags=0\n"
              "  0 cls( sub=0\n"
              "  1 cls( sub=1 ints=0,0,639,479\n"
              "  2 screen( sub=2\n"
              "  3 screen( sub=0 ints=-1,2,3,4\n"
              "  4 beep( sub=1 reals=1\n"
              "  5 beep( sub=0 reals=1\n"
              "  6 beep( sub=1 reals=3 mask=10000\n"
              "  7 beep( sub=2 text=\"ok.wav\"\n"
              "  8 info( sub=0 ints=-5\n"
              "  9 barcode( sub=0 text=\"A,B\"\n"
              "  10 user( sub=0 reals=2 text=\"edit x.txt\"\n"
              "  11 lanc( sub=10 ints=1,2 mask=2\n"
              "  12 patgen( sub=6 ints=1\n"
              "  13 motor( sub=3 ints=100\n"
              "  14 dic( sub=16\n"
              "  15 jt2642( sub=1 ints=1,2,3,4,5,6,7 text=\"" +
                  text90.substr(0, 80) + "\"\n");
    EXPECT_EQ(step_of("step 1\nscreen(off)\nscreen(ON)\n"), "step 1\n  0 screen( sub=2\n  1 screen( sub=1\n");

    EXPECT_EQ(error_in_step("cls(1,2,3)"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("cls(1,2,3,4,5)"), kErrTooManyParameters);
    EXPECT_EQ(error_in_step("cls(-1,0,0,0)"), kErrOutOfRange);
    EXPECT_EQ(error_in_step("screen(pos,1,2,3)"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("screen(up)"), kErrInvalidMode);
    EXPECT_EQ(error_in_step("beep(wav)"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("beep(loud)"), kErrInvalidMode);
    EXPECT_EQ(error_in_step("info()"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("barcode()"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("jt2642(bar,1,2,3,4,5,6,7)"), kErrLackingArgument);
    EXPECT_EQ(error_in_step("lanc(play)"), kErrInvalidMode);
    EXPECT_EQ(error_in_step("motor(cw,1,2,3,4,5,6,7,8,9,10,11,12,13)"), 0);
    EXPECT_EQ(error_in_step("motor(cw,1,2,3,4,5,6,7,8,9,10,11,12,13,14)"), kErrTooManyParameters);
}

}  // namespace
}  // namespace ksw
