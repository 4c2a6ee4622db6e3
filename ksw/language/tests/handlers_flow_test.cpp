// Declarations, register, flow and screen commands: "this source compiles to these records".
#include <gtest/gtest.h>

#include "language/listing.h"
#include "compile_support.h"
#include "language/program_compiler.h"
#include "resources/error_codes.h"
#include "temp_dir.h"

namespace ksw {
namespace {

class Handlers : public ::testing::Test {
protected:
    ksw::testing::TempDir dir;
    ProgramModel model;
    DefineTable defines;

    // Compiles a whole program; 0 or the code of the statement that failed.
    int build(const std::string &source) {
        ksw::testing::write_text(dir.file("p.ks"), source);
        const ProgramCompilation result = compile_program(dir.file("p.ks"), model, defines, ksw::testing::compile_options());
        return result.loaded ? 0 : result.code;
    }
    // The whole program's listing, or "error N".
    std::string listing(const std::string &source) {
        const int rc = build(source);
        return rc ? "error " + std::to_string(rc) : compile_listing(model, command_table());
    }
    // `body` compiled into step 1 behind "no_operation": its command records, or "error N".
    std::string commands(const std::string &body) {
        if (const int rc = build("step 1\nno_operation\n" + body)) return "error " + std::to_string(rc);
        std::string out;
        for (const CommandRecord *c = model.step(1)->first_command(); c; c = c->next) out += command_listing(*c, command_table()) + "\n";
        return out;
    }
    int error_of(const std::string &body) { return build("step 1\nno_operation\n" + body); }
};

TEST_F(Handlers, CopyCommandsTakeBlockOperandsOrAValue) {
    EXPECT_EQ(commands("copy(=,1,2)\ncopyad(=,1,2,-1,3,4,5)\ncopy(=,1,2,,9)\nCOPYAD(BYTES,3,4,5)\n"
                       "copyad(+,1,2,rd[3])\ncopy(flo,5,6)\ncopy(fft,5,6,64)\n"),
              "0 copy( sub=0 ints=1,2,1,0,1,1\n"
              "1 copyad( sub=0 ints=1,2,-1,3,4,5\n"
              "2 copy( sub=0 ints=1,2,1,0,1,1\n"
              "3 copyad( sub=6 ints=3,4,5,0,1,1\n"
              "4 copyad( sub=9 ints=1,2,1,0,1,1 reals=3 mask=10000\n"
              "5 copy( sub=22 ints=5,6,1,0,1,1\n"
              "6 copy( sub=24 ints=5,6,1,0,1,1 reals=64\n");
    EXPECT_EQ(model.register_usage.rd[1], 1);
    EXPECT_EQ(model.register_usage.rd[2], 1);
    EXPECT_EQ(model.register_usage.ad[4], 1);
    EXPECT_EQ(error_of("copyad(rev,1,2,-1)\n"), kErrOutOfRange);  // -1 only for "="
    EXPECT_EQ(error_of("copyad(+,1,2)\n"), kErrLackingArgument);
    EXPECT_EQ(error_of("copy(=,1)\n"), kErrLackingArgument);
    EXPECT_EQ(error_of("copy(=,1,8000)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("copyad(=,rd[1],2)\n"), kErrRdNotAllowed);
    EXPECT_EQ(error_of("copy(nope,1,2)\n"), kErrInvalidMode);
    EXPECT_EQ(error_of("copy(=,1,2,1,2,0)\n"), kErrOutOfRange);  // a group of 0
}

TEST_F(Handlers, MoveadChecksItsValueByMode) {
    EXPECT_EQ(commands("movead(dir,5,2.5,100,3,2)\nmovead(=,1,1,2)\nmovead(and,1,255,2)\nmovead(ave,1,2,3,4,5,-20)\n"),
              "0 movead( sub=0 ints=5,100,3,2 reals=2.5\n"
              "1 movead( sub=0 ints=1,2,1,1 reals=1\n"
              "2 movead( sub=2 ints=1,2,1,1 reals=255\n"
              "3 movead( sub=3 ints=1,3,4,5 reals=2,10\n");
    // rd[5..7] and ad[100], ad[102], ad[104] are named.
    EXPECT_EQ(model.register_usage.rd[7], 1);
    EXPECT_EQ(model.register_usage.rd[8], 0);
    EXPECT_EQ(model.register_usage.ad[104], 1);
    EXPECT_EQ(model.register_usage.ad[105], 0);
    EXPECT_EQ(error_of("movead(and,1,65536,2)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("movead(ave,1,0,3,4,5,6)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("movead(max,1,1,3,4,5,61)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("movead(ave,1,2,3)\n"), kErrLackingArgument);
    EXPECT_EQ(error_of("movead(dir,1,1,2,0)\n"), kErrOutOfRange);
}

TEST_F(Handlers, SetaddataKeepsByteStringsWithTheirZero) {
    EXPECT_EQ(commands("setaddata(10,\"abc\\x41\")\nsetaddata(20,-65535)\nad[30]=\"a,b\"\nsetdata(4,rd[2])\n"),
              "0 setaddata( sub=1 ints=10,5 text=\"abcA\"\n"
              "1 setaddata( sub=0 ints=20,-65535\n"
              "2 setaddata( sub=1 ints=30,4 text=\"a,b\"\n"
              "3 setdata( sub=0 ints=4 reals=2 mask=10000\n");
    EXPECT_EQ(model.register_usage.ad[10], 255);
    EXPECT_EQ(model.register_usage.ad[20], 1);
    EXPECT_EQ(model.register_usage.rd[4], 1);
    EXPECT_EQ(commands("setaddata(1,\"\\x00\\xfF\")\n"), "0 setaddata( sub=1 ints=1,3 text=\"\\x00\\xff\"\n");
    EXPECT_EQ(error_of("setaddata(10,\"\\xZ1\")\n"), kErrWrongStyle);
    EXPECT_EQ(error_of("setaddata(10,\"ab\\x4\")\n"), kErrWrongStyle);
    EXPECT_EQ(error_of("setaddata(10,65536)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("setaddata(8000,1)\n"), kErrOutOfRange);
}

TEST_F(Handlers, RegisterCalculationsNameTheirFiles) {
    EXPECT_EQ(commands("calcad(max,1,2,3)\ncalcrd(log,4,5,6)\nsearch(ad,7,8,9)\nshiftd(ad,rig,10,11)\n"
                       "judge(ad,12,13,14,15)\n"),
              "0 calcad( sub=4 ints=1,2,3\n"
              "1 calcrd( sub=14 ints=4,5,6\n"
              "2 search( sub=1 ints=7,8,9\n"
              "3 shiftd( sub=1 ints=10,11,1\n"
              "4 judge( sub=1 ints=12,13,14,15\n");
    const RegisterUsageMap &u = model.register_usage;
    EXPECT_EQ(u.ad[3], 1);
    EXPECT_EQ(u.rd[6], 1);
    EXPECT_EQ(u.ad[7], 255);
    EXPECT_EQ(u.ad[8], 1);
    EXPECT_EQ(u.ad[10], 255);
    EXPECT_EQ(u.rd[12], 1);  // judge( always tests rd[a]
    EXPECT_EQ(u.ad[12], 0);
    EXPECT_EQ(u.ad[15], 1);
    EXPECT_EQ(error_of("calcrd(log,1,2,8000)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("calcad(max,1,2)\n"), kErrLackingArgument);
    EXPECT_EQ(error_of("shiftd(ad,up,1,2)\n"), kErrInvalidMode);
}

TEST_F(Handlers, JumpConditionsStoreTheirOperands) {
    EXPECT_EQ(commands("jump(5)\njump(-1)\ncall(5,ok)\njump(5,ok,6,7)\njump(5,ok,,7)\njump(5,sca,27)\n"
                       "jump(5,<=,rd[1],2.5)\ncall(ad[3],ng)\n"),
              "0 jump( sub=11 ints=5\n"
              "1 jump( sub=11 ints=-1\n"
              "2 call( sub=0 ints=5,-1,-1\n"
              "3 jump( sub=0 ints=5,6,7\n"
              "4 jump( sub=0 ints=5,-1,-1\n"
              "5 jump( sub=4 ints=5,27\n"
              "6 jump( sub=7 ints=5 reals=1,2.5 mask=10000\n"
              "7 call( sub=1 ints=3 mask=1\n");
}

TEST_F(Handlers, JumpTargetsMustBeStepsTheRunCanTake) {
    // The ends themselves: -1 (the end of the program) anywhere, 5008 in the closing steps.
    EXPECT_EQ(build("step 5006\nno_operation\njump(5008)\njump(-1)\n"), 0);
    EXPECT_EQ(error_of("jump(-2)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("jump(0)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("jump(5009)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("jump(5,ok,5009)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("jump(5,key)\n"), kErrLackingArgument);
    EXPECT_EQ(error_of("jump(5,key,256)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("jump(5,=,1)\n"), kErrLackingArgument);
    EXPECT_EQ(error_of("jump(5,maybe)\n"), kErrInvalidMode);
    // Relative targets: 65535 is one step back; nothing may lead below step 1.
    EXPECT_EQ(listing("step 10\nno_operation\nrjump(65535)\nrjump(-9,ok,0,2)\n"),
              "step 10 measure\n  0 rjump( sub=11 ints=65535\n  1 rjump( sub=0 ints=-9,0,2\n");
    EXPECT_EQ(build("step 10\nno_operation\nrjump(-10)\n"), kErrOutOfRange);
    EXPECT_EQ(build("step 10\nno_operation\nrjump(1,ok,65526)\n"), kErrOutOfRange);
    EXPECT_EQ(commands("ret()\nret(ng)\nret(LARGER)\n"), "0 ret( sub=0\n1 ret( sub=2\n2 ret( sub=4\n");
    EXPECT_EQ(error_of("ret(=)\n"), kErrInvalidMode);
    EXPECT_EQ(error_of("ret(key)\n"), kErrInvalidMode);
}

TEST_F(Handlers, LinkBuildsTheChainOfItsHead) {
    EXPECT_EQ(listing("step 1\ncheck,dc_volt(1)\ncount(2,3)\nlink(2)\nlink(3)\n"
                      "step 2\nadjust,dc_volt(2)\nlink(4)\n"),
              "step 1 mode=3 link=3 target=1 upper=max lower=-max ok_threshold=2 ng_threshold=3 measure chain=0:-1>2\n"
              "  0 link( sub=0 ints=2\n"
              "  1 link( sub=0 ints=3\n"
              "  2 ,dc_volt( sub=0 reals=1,max,-max measure\n"
              "step 2 mode=4 link=0 flags=0 target=2 upper=max lower=-max ok_threshold=2 ng_threshold=3 measure "
              "chain=1:1>3\n"
              "  0 link( sub=0 ints=4\n"
              "  1 ,dc_volt( sub=0 reals=2,max,-max measure\n"
              "step 3 link=0 flags=0 ok_threshold=2 ng_threshold=3 measure chain=2:2>4\n"
              "step 4 link=0 flags=0 ok_threshold=2 ng_threshold=3 measure chain=3:3>-1\n");
    EXPECT_EQ(model.step(4)->measure->link->step, 4);
    EXPECT_EQ(build("step 1\ncheck,dc_volt(1)\nlink(2)\nlink(2)\n"), kErrLinkDuplicated);
    EXPECT_EQ(build("step 1\ncheck,dc_volt(1)\nlink(1)\n"), kErrLinkDuplicated);
    EXPECT_EQ(build("step 3\nno_operation\nstep 1\ncheck,dc_volt(1)\nlink(3)\n"), kErrLinkDuplicated);
    EXPECT_EQ(build("step 1\ncheck,dc_volt(1)\nlink(5000)\n"), kErrOutOfRange);
    EXPECT_EQ(build("step 1\nlink(2)\n"), kErrMissingFirst);
    EXPECT_EQ(error_of("link(2)\n"), kErrMissingFirst);  // no_operation is no measuring first command
    // A step made by link( may not jump away from its chain.
    const std::string member = "step 1\ncheck,dc_volt(1)\nlink(2)\nstep 2\ncheck,dc_volt(2)\n";
    EXPECT_EQ(build(member + "jump(5)\n"), kErrJumpFromLinked);
    EXPECT_EQ(build(member + "call(5,ok)\n"), kErrJumpFromLinked);
    EXPECT_EQ(build(member + "ng_jmp(5)\n"), kErrJumpFromLinked);
    EXPECT_EQ(build(member + "ok_jmp(5)\n"), kErrJumpFromLinked);
}

TEST_F(Handlers, JudgementCommandsAndStepFields) {
    EXPECT_EQ(listing("step 1\nno_operation\nlimit(2.6,5)\ncalc(*,rd[4])\ncalc(+,rd[5])\ncalc(-,step[7])\n"
                      "step 2\nno_operation\nlimit(-0.3,-1)\nlimit(rd[1],ad[2])\ncalc(/,2.5)\n"),
              "step 1 repeat=5 time_limit=2600 calc_a=4 calc_b=5 calc_step=7 calc_op=3 measure\n"
              "  0 limit( sub=0 ints=5 reals=2.6000000000000001\n"
              "  1 calc( sub=0 reals=4 mask=10000\n"
              "  2 calc( sub=1 reals=5 mask=10000\n"
              "  3 calc( sub=3 ints=7 mask=10000\n"
              "step 2 repeat=-1 measure\n"
              "  0 limit( sub=0 ints=-1 reals=-0.29999999999999999\n"
              "  1 limit( sub=0 ints=2 reals=1 mask=10001\n"
              "  2 calc( sub=2 reals=2.5\n");
    EXPECT_EQ(error_of("limit(1,0)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("limit(1,3000000000)\n"), kErrOutOfRange);  // read as a negative number
    EXPECT_EQ(error_of("calc(/,rd[5])\n"), kErrInvalidMode);
    EXPECT_EQ(commands("check(dum)\ncheck(ad,5)\ncheck(ARD,6)\ncheck(H1FFFF,7)\nokng(rev)\nokng(ok,3)\n"),
              "0 check( sub=0\n1 check( sub=1 ints=5\n2 check( sub=4 ints=6\n3 check( sub=5 ints=7,65535\n"
              "4 okng( sub=2\n5 okng( sub=0 ints=3\n");
    EXPECT_EQ(model.register_usage.ad[5], 1);  // "ad" and sub-mode 5 read ad[n], "ard" rd[n]
    EXPECT_EQ(model.register_usage.ad[7], 1);
    EXPECT_EQ(model.register_usage.rd[6], 1);
    EXPECT_EQ(model.register_usage.rd[5], 0);
    EXPECT_EQ(error_of("check(ad)\n"), kErrLackingArgument);
    EXPECT_EQ(error_of("check(xx,1)\n"), kErrInvalidMode);
    EXPECT_EQ(error_of("okng(ng)\n"), kErrLackingArgument);
    EXPECT_EQ(error_of("okng(ok,-1)\n"), kErrOutOfRange);
}

TEST_F(Handlers, RunModeTimerWaitAndSwitches) {
    EXPECT_EQ(commands("stopmode()\nstopmode(,off)\nstopmode(AUTO)\ntimer(set)\ntimer(rea,5)\ntimer(wri,rd[2])\n"
                       "wait(1.5)\nwait(set,2)\nwait(dum)\n"),
              "0 stopmode( sub=0 ints=-1,-1\n1 stopmode( sub=0 ints=-1\n2 stopmode( sub=0 ints=3,-1\n"
              "3 timer( sub=2\n4 timer( sub=1 ints=5\n5 timer( sub=2 reals=2 mask=10000\n"
              "6 wait( sub=2 reals=1.5\n7 wait( sub=0 reals=2\n8 wait( sub=1\n");
    EXPECT_EQ(error_of("stopmode(x)\n"), kErrInvalidMode);
    EXPECT_EQ(error_of("timer(wri)\n"), kErrLackingArgument);
    EXPECT_EQ(error_of("wait(set)\n"), kErrLackingArgument);
    // A word that is neither a number nor a choice is an invalid mode, as for check(.
    EXPECT_EQ(error_of("wait(later)\n"), kErrInvalidMode);
    EXPECT_EQ(error_of("wait(xx)\n"), kErrInvalidMode);
    EXPECT_EQ(error_of("check(abc)\n"), kErrInvalidMode);
    EXPECT_EQ(commands("setsw(on,1,2)\nsw[3]=off\nsetsw(on,1,2,3,4,5,6,7,8)\nsetfsw(reset,2,15)\nsetsw(rea,0,9)\n"
                       "setsw(rem,511,rd[2])\nsw[31]=ad[4]\n"),
              "0 setsw( sub=1 ints=1,2,-1,-1,-1,-1,-1,-1\n"
              "1 setsw( sub=0 ints=3,-1,-1,-1,-1,-1,-1,-1\n"
              "2 setsw( sub=1 ints=1,2,3,4,5,6,7,8\n"
              "3 setfsw( sub=5 ints=2,15\n"
              "4 setsw( sub=6 ints=0,9\n"
              "5 setsw( sub=3 ints=511 reals=2 mask=10000\n"
              "6 setsw( sub=2 ints=31,4 mask=2\n");
    EXPECT_EQ(model.register_usage.ad[9], 1);
    EXPECT_EQ(error_of("setsw(on,1,2,3,4,5,6,7,8,9)\n"), kErrTooManyParameters);
    EXPECT_EQ(error_of("setsw(off,512)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("setsw(=,32,1)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("sw[0]=-1\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("setfsw(set,1,16)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("setsw(=,1)\n"), kErrLackingArgument);
    EXPECT_EQ(commands("clear()\nreset()\nfreset()\n"), "0 clear( sub=0\n1 reset( sub=0\n2 freset( sub=0\n");
    EXPECT_EQ(error_of("clear(1)\n"), kErrTooManyParameters);
}

TEST_F(Handlers, ScreenCommandsKeepTheirTextsAndDefaults) {
    EXPECT_EQ(commands("message(10,20,\"a, b\")\nmessage(1,2,text,3,,5)\nshow(rd,1,2,3,4,5,6,7)\nshow(str,1,2,100)\n"
                       "showokng(1,2)\ninput(rd,5)\ninput(ad,6,\"Value?\",1,rd[2])\ninput(str,7,p)\ninput(id,1)\n"
                       "file(del,\"a b.txt\",9)\n"),
              "0 message( sub=0 ints=10,20,0,0,8,-1,-1 text=\"a, b\"\n"
              "1 message( sub=0 ints=1,2,0,0,3,-1,-1 text=\"text\"\n"
              "2 show( sub=0 ints=1,2,3,4,5,6,7\n"
              "3 show( sub=3 ints=1,2,100,1,8,-1,-1\n"
              "4 showokng( sub=0 ints=1,2,8,-1,-1\n"
              "5 input( sub=0 ints=5 reals=-max,max\n"
              "6 input( sub=1 ints=6 reals=1,2 mask=20000 text=\"Value?\"\n"
              "7 input( sub=3 ints=7 reals=10 text=\"p\"\n"
              "8 input( sub=4 ints=1 reals=10\n"
              "9 file( sub=2 ints=9 text=\"a b.txt\"\n");
    const RegisterUsageMap &u = model.register_usage;
    EXPECT_EQ(u.ad[179], 1);  // show(str, ...) names 80 registers
    EXPECT_EQ(u.ad[180], 0);
    EXPECT_EQ(u.rd[3], 1);
    EXPECT_EQ(u.ad[9], 255);
    const std::string long_text(70, 'x');
    EXPECT_EQ(commands("message(0,0," + long_text + ")\n"),
              "0 message( sub=0 ints=0,0,0,0,8,-1,-1 text=\"" + long_text.substr(0, 64) + "\"\n");
    EXPECT_EQ(error_of("message(3000000000,1,x)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("message(1,2,x,-5)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("message(1,2)\n"), kErrLackingArgument);
    EXPECT_EQ(error_of("show(cou,1,2,3,4,-4)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("input(dad)\n"), kErrLackingArgument);
}

TEST_F(Handlers, DeclarationsFillTheStepAndItsMeasuringBlock) {
    EXPECT_EQ(listing("step 1\ncheck,dc_volt(1)\nabs()\ncomment(\"Supply, 5 V\")\ncount(2,3)\nfocus(WAVE)\n"
                      "min_max(5,1)\nng_jmp(3)\nok_jmp(4)\nsample_tact(2.5)\nsetcall(7)\nsetup_time(1.4)\n"
                      "wform(3,50)\ncheck_time(500.5)\nstep 2\nno_operation\nmode(adj)\nok_count(9)\n"
                      "step 4999\nno_operation\nng_jmp(5008)\n"),
              "step 1 mode=3 link=-1 target=1 upper=max lower=-max ok_threshold=2 ng_threshold=3 link_wait=501 "
              "setup=1 tact=3 focus=1 measure flags=1 ok_jmp=4 ng_jmp=3 min=1 max=5 wform=3 level=50 call=7 "
              "comment=\"Supply, 5 V\"\n"
              "  0 ,dc_volt( sub=0 reals=1,max,-max measure\n"
              "step 2 mode=0 ok_threshold=9 measure\n"
              "step 4999 measure ng_jmp=5008\n");
    for (const char *needs_block : {"abs()", "comment(x)", "level(1,a,1)", "min_max(1,2)", "ng_jmp(2)", "ok_jmp(2)",
                                     "setcall(2)", "wform(1)", "interval(1,2,3,4,5,6,7,8)"}) {
        EXPECT_EQ(build(std::string("step 1\n") + needs_block + "\n"), kErrMissingFirst) << needs_block;
    }
    EXPECT_EQ(error_of("ng_jmp(5000)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("sample_tact(-1)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("setup_time(-0.2)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("check_time(3e9)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("count(0,1)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("count(1)\n"), kErrLackingArgument);
    EXPECT_EQ(error_of("wform(5)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("wform(1,101)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("focus(xyz)\n"), kErrInvalidMode);
    EXPECT_EQ(build("global(ngs,t)\n"), kErrStepOutOfRange);  // before the first label
}

TEST_F(Handlers, GlobalStoresTheRunSettings) {
    ASSERT_EQ(error_of("global(ngs,\"My station, line 2\")\n"), 0);
    EXPECT_TRUE(model.global.given);
    EXPECT_EQ(model.global.title, "My station, line 2");
    EXPECT_EQ(model.global.file_recording, -1);
    ASSERT_EQ(error_of("global(AUTO," + std::string(90, 't') + ",fil,3,1)\n"), 0);
    EXPECT_EQ(model.global.run_mode, 3);
    EXPECT_EQ(model.global.title, std::string(80, 't'));
    EXPECT_EQ(model.global.file_recording, 1);
    EXPECT_EQ(model.global.retry_count, 3);
    EXPECT_EQ(model.global.option, 1);
    ASSERT_EQ(error_of("global(ste,t,,5)\n"), 0);  // an empty field ends the optional ones
    EXPECT_EQ(model.global.retry_count, 0);
    EXPECT_EQ(error_of("global(ngs)\n"), kErrLackingArgument);
    EXPECT_EQ(error_of("global(ngs,t,x)\n"), kErrInvalidMode);
    EXPECT_EQ(error_of("global(ngs,t,off,11)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("global(ngs,t,off,1,2)\n"), kErrOutOfRange);
}

TEST_F(Handlers, DetectionWindowsAndTheirLimits) {
    EXPECT_EQ(listing("step 1\nno_operation\nlevel(1,pp,100,50)\nlevel(9,b,1)\nlevel(2,P,8000,192)\n"),
              "step 1 measure windows=99:50:1;7999:192:2;-1:0:0;0:0:3\n");
    EXPECT_EQ(error_of("level(2,a,8000,193)\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("level(1,x,1)\n"), kErrInvalidMode);
    EXPECT_EQ(error_of("global(ngs,t,off,0,1)\nlevel(1,a,5000,48)\n"), 0);
    EXPECT_EQ(error_of("global(ngs,t,off,0,1)\nlevel(1,a,5000,49)\n"), kErrOutOfRange);
    EXPECT_EQ(listing("step 1\nno_operation\nlevel(1,b,5)\ninterval(1,2,3,4,5,6,7,8)\n"),
              "step 1 measure windows=0:2:0;2:4:0;4:6:0;6:8:0\n  0 interval( sub=0 ints=1,2,3,4,5,6,7,8\n");
    EXPECT_EQ(error_of("interval(1,2,3,4,5,6,7)\n"), kErrLackingArgument);
}

}  // namespace
}  // namespace ksw
