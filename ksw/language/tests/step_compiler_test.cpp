#include <gtest/gtest.h>

#include <unistd.h>

#include "language/listing.h"
#include "compile_support.h"
#include "language/program_compiler.h"
#include "resources/error_codes.h"
#include "temp_dir.h"

namespace ksw {
namespace {

using ksw::testing::write_text;

class Compile : public ::testing::Test {
protected:
    ksw::testing::TempDir dir;
    ProgramModel model;
    DefineTable defines;
    ProgramCompilation last;

    // Compiles `source` as main.ks; returns the listing, or "error N: report" on failure.
    std::string compile(const std::string &source, CompileOptions options = ksw::testing::compile_options()) {
        write_text(dir.file("main.ks"), source);
        last = compile_program(dir.file("main.ks"), model, defines, options);
        if (!last.loaded) return "error " + std::to_string(last.code) + ": " + last.report;
        return compile_listing(model, command_table());
    }
    int error_of(const std::string &source) {
        compile(source);
        return last.loaded ? 0 : last.code;
    }
};

TEST_F(Compile, LabelsAreAbsoluteOrRelativeToTheLastAbsoluteOne) {
    EXPECT_EQ(compile("step 10\nno_operation\nstep +1\nno_operation\nSTEP(+2)\nno_operation\nstep(3)\nno_operation\n"
                      "step -1\nno_operation\n"),
              "step 2 measure\nstep 3 measure\nstep 10 measure\nstep 11 measure\nstep 12 measure\n");
    EXPECT_EQ(error_of("step 5\nstep 5\n"), kErrStepDuplicated);
    EXPECT_EQ(error_of("step 5009\n"), kErrStepOutOfRange);
    EXPECT_EQ(error_of("step -1\n"), kErrStepOutOfRange);
    EXPECT_EQ(error_of("step(5)x\n"), kErrDataAfterBracket);
    EXPECT_EQ(error_of("stepx\n"), kErrLackingArgument);
    EXPECT_EQ(error_of("step 1\ncheck,dc_volt(1)\nstep 2\nstep 1\n"), kErrStepDuplicated);
}

TEST_F(Compile, FirstCommandsMustOpenTheStepAndComeOnce) {
    EXPECT_EQ(error_of("step 1\ncheck,dc_volt(1)\nadjust,dc_volt(2)\n"), kErrFirstDuplicated);
    EXPECT_EQ(error_of("step 1\nno_operation\nno_operation\n"), kErrFirstNotOnTop);
    EXPECT_EQ(error_of("step 1\n,dc_volt(1)\n"), kErrMissingFirst);
    EXPECT_EQ(error_of("check,dc_volt(1)\n"), kErrStepOutOfRange);  // before the first label
    // Text after no_operation is ignored; a file without "end" still compiles its last item.
    EXPECT_EQ(compile("step 1\nno_operation(junk\nstep 2\ncheck,dc_volt(5,+-1)"),
              "step 1 measure\n"
              "step 2 mode=3 link=-1 target=5 upper=1 lower=-1 measure\n"
              "  0 ,dc_volt( sub=0 reals=5,1,-1 measure\n");
}

TEST_F(Compile, ItemsTakeLimitsTolerancesPercentagesAndStepTargets) {
    EXPECT_EQ(compile("step 1\nauto_adjust,dc_volt(rd[7],10%,-5%)\nstep 2\nadjust,frequency(step[1],+-inf)\n"
                      "step 3\ncheck,rd(2.5)\nstep 4\ncheck,peak(1,-+rd[9])\nend\nnever(1)\n"),
              "step 1 mode=5 link=-1 target=7 upper=10 lower=-5 measure\n"
              "  0 ,dc_volt( sub=0 reals=7,10,-5 mask=610000 measure\n"
              "step 2 mode=4 link=-1 target=1 upper=max lower=-max measure\n"
              "  0 ,frequency( sub=0 reals=1,max,-max mask=100000 measure\n"
              "step 3 mode=3 link=-1 target=2.5 upper=max lower=-max measure\n"
              "  0 ,rd( sub=0 reals=2.5,max,-max measure\n"
              "step 4 mode=3 link=-1 target=1 upper=9 lower=-9 measure\n"
              "  0 ,peak( sub=0 reals=1,9,-9 mask=820000 measure\n");
    EXPECT_EQ(model.register_usage.rd[7], 1);
    EXPECT_EQ(model.register_usage.rd[0], 1);  // the result register of an unlinked step
    EXPECT_EQ(model.register_usage.ad[0], 1);  // auto adjustment also names ad[]
    EXPECT_EQ(error_of("step 1\ncheck,dc_volt(1,rd[2]%,0)\n"), kErrWrongStyle);
    EXPECT_EQ(error_of("step 1\ncheck,dc_volt(1,5)\n"), kErrWrongStyle);
    EXPECT_EQ(error_of("step 1\ncheck,dc_volt(step[5000])\n"), kErrOutOfRange);
    EXPECT_EQ(error_of("step 1\ncheck,v_level(1)\n"), kErrNoVideoStandard);
    EXPECT_EQ(error_of("step 1\ncheck,nothing(1)\n"), kErrUndefinedCommand);
}

TEST_F(Compile, DeclarationsOfAMeasuringStepNeedItsFirstCommand) {
    // min_max( needs a measuring block: none before the first command, and the block of an
    // earlier step is not taken.
    EXPECT_EQ(error_of("step 1\nno_operation\nstep 2\nabs()\n"), kErrMissingFirst);
}

TEST_F(Compile, ConditionalBlocksFilterTheSecondPass) {
    defines = DefineTable{};
    ASSERT_EQ(define_symbol(defines, "HAVE", kSourceCommandLine), kOk);
    EXPECT_EQ(compile("#ifdef HAVE\nstep 1\n#else\nstep 2\n#endif\nno_operation\n#ifndef HAVE\nstep 3\n#endif\n"),
              "step 1 measure\n");
    EXPECT_EQ(error_of("step 1\n#ifdef HAVE\nno_operation\n"), kErrMissingEndif);
    EXPECT_EQ(error_of("step 1\n#ifdef HAVE\nend\n#endif\n"), kErrMissingEndif);  // end cuts the file in the first pass
    // A macro defined inside a block that is not compiled is defined all the same.
    EXPECT_EQ(compile("#ifdef NOTDEFINED\n#macro Ops\nno_operation\n#endm\n#endif\nstep 4\nOps\n"), "step 4 measure\n");
    EXPECT_EQ(error_of("#else\n"), kErrMissingIfdef);
    EXPECT_EQ(error_of("#define X\n#define X\n"), kErrAlreadyDefined);
    EXPECT_EQ(error_of("#DEFINE X\n"), kErrUndefinedCommand);
    // Symbols of the compilation's own table are seen by every evaluation in it.
    EXPECT_EQ(compile("#define GAIN(2.5)\nstep 1\nno_operation\nrd[1]=GAIN\n"),
              "step 1 measure\n  0 setdata( sub=0 ints=1 reals=2.5\n");
    // A program's own symbols are gone at the next compilation; the switch's stay.
    EXPECT_EQ(compile("#define MINE\nstep 1\nno_operation\n"), "step 1 measure\n");
    EXPECT_EQ(compile("#ifdef MINE\nstep 1\n#endif\n#ifdef HAVE\nstep 2\n#endif\nno_operation\n"), "step 2 measure\n");
}

TEST_F(Compile, ErrorsNameTheStepTheCountAndTheStatement) {
    compile("step 7\nno_operation\nstep 8\nno_operation\ncopyad(=,1,8000)\n");
    ASSERT_FALSE(last.loaded);
    EXPECT_EQ(last.report, "s005: Compile error\nStep 8 - 1\n[copyad(=,1,8000)]\ne004: Argument out of range");
    EXPECT_EQ(last.source_file, "main.ks");
    EXPECT_EQ(last.source_line, 5);
    EXPECT_EQ(model.step_count(), 0);  // nothing stays loaded after a compile error
    EXPECT_EQ(compile("step 1\nundefined(1)\n").substr(0, 8), "error 29");
}

TEST_F(Compile, APreprocessingFailureKeepsThePreviousProgram) {
    ASSERT_EQ(compile("step 3\nno_operation\n"), "step 3 measure\n");
    compile("#include missing.ks\n");
    EXPECT_EQ(last.failed_stage, CompileStage::kFirstPass);
    EXPECT_EQ(compile_listing(model, command_table()), "step 3 measure\n");
}

// An #else inside a block that is not compiled is not compiled either: both its parts stay out.
TEST_F(Compile, AnElseInsideAnInactiveBlockStaysInactive) {
    compile("step 1\nno_operation\n#ifdef NEVER\n#ifdef ALSO_NEVER\nrd[1]=1\n#else\nrd[2]=2\n#endif\n#endif\nrd[3]=3\n");
    ASSERT_TRUE(last.loaded) << last.report;
    ASSERT_NE(model.step(1), nullptr);
    ASSERT_EQ(model.step(1)->commands.size(), 1u);
    EXPECT_EQ(model.step(1)->commands[0]->ints[0], 3);  // only rd[3]=3
}

TEST_F(Compile, TheIntermediateAndCompileDataFilesStayOnlyWhenAsked) {
    compile("step 1\nno_operation\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("temp0001.$$$")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("adrdinfo.txt")));
    CompileOptions keep = ksw::testing::compile_options();
    keep.keep_macro_data = true;
    keep.save_compile_data = true;
    compile("step 1\ncheck,dc_volt(rd[3])\n", keep);
    EXPECT_EQ(ksw::testing::read_text(dir.file("temp0001.$$$")), "step 1\r\ncheck,dc_volt(rd[3])\r\n");
    EXPECT_EQ(ksw::testing::read_text(dir.file("temp0002.$$$")), "step1\r\ncheck,dc_volt(rd[3])\r\nend\r\n");
    EXPECT_TRUE(std::filesystem::exists(dir.file("adrdinfo.txt")));
}

TEST(AssignmentRewrite, RegisterAssignmentsBecomeRegisterCommands) {
    const std::pair<const char *, const char *> cases[] = {
        {"ad[5]=ad[6]", "copyad(=,6,5)"},
        {"AD[5]=RD[6]", "movead(inv,6,1,5)"},
        {"rd[1]=rd[2]", "copy(=,2,1)"},
        {"rd[1]=ad[2]", "movead(dir,1,1,2)"},
        {"rd[1]=2*rd[3]", "copy(*,3,1,2)"},
        {"rd[1]=2-rd[3]", "copy(i-,3,1,2)"},
        {"rd[1]=rd[3]-2", "copy(-,3,1,2)"},
        {"ad[1]=4>>ad[2]", "copyad(iri,2,1,4)"},
        {"ad[1]=ad[2]<<3", "copyad(lef,2,1,3)"},
        {"ad[1]=ad[2]|ad[3]", "calcad(or,2,3,1)"},
        {"rd[9]=rd[1]/rd[2]", "calcrd(/,1,2,9)"},
        {"ad[3]=\"ab,c\"", "setaddata(3,\"ab,c\")"},
        {"rd[4]=0.1", "setdata(4,0.10000000000000001)"},
        {"ad[4]=2*3+4", "setaddata(4,10)"},
        {"ad[7]++", "copyad(+,7,7,1)"},
        {"rd[7]--", "copy(-,7,7,1)"},
        {"wait(1)", "wait(1)"},
    };
    for (const auto &[in, out] : cases) {
        std::string s = in;
        EXPECT_EQ(rewrite_assignment(s), kOk) << in;
        EXPECT_EQ(s, out) << in;
    }
    const std::pair<const char *, int> errors[] = {
        {"ad[1]=rd[2]+1", kErrWrongStyle}, {"rd[1]=ad[2]*ad[3]", kErrWrongStyle}, {"ad[1]=ad[2]>>ad[3]", kErrWrongStyle},
        {"rd[1]=rd[2]&rd[3]", kErrWrongStyle}, {"rd[1]=\"text\"", kErrRdNotAllowed}, {"ad[8000]=1", kErrLackingArgument},
        {"ad[1", kErrLackingArgument}, {"ad[1]:=2", kErrWrongStyle}, {"ad[1]=", kErrWrongStyle},
    };
    for (const auto &[in, code] : errors) {
        std::string s = in;
        EXPECT_EQ(rewrite_assignment(s), code) << in;
    }
}

TEST(AssignmentRewrite, SwitchAssignmentsBecomeSwitchCommands) {
    const std::pair<const char *, const char *> cases[] = {
        {"sw[5]=ON", "setsw(on,5)"},
        {"sw[5]=off", "setsw(off,5)"},
        {"fsw[2,3]=on", "setfsw(set,2,3)"},
        {"fsw[2,3]=Off", "setfsw(reset,2,3)"},
        {"sw[1]=ad[12]", "setsw(=,1,ad[12])"},
        {"sw[1,2]=ad[12]", "setsw(=,2,ad[12])"},
        {"sw[1]=H1F", "setsw(=,1,31)"},
        {"sw[0]=-1", "setsw(=,0,4294967295)"},
    };
    for (const auto &[in, out] : cases) {
        std::string s = in;
        EXPECT_EQ(rewrite_assignment(s), kOk) << in;
        EXPECT_EQ(s, out) << in;
    }
    for (const char *bad : {"sw[1,2,3]=on", "sw[1]on", "sw[1]=ad[9000]"}) {
        std::string s = bad;
        EXPECT_EQ(rewrite_assignment(s), kErrWrongStyle) << bad;
    }
    std::string negative = "sw[-1]=on";
    EXPECT_EQ(rewrite_assignment(negative), kErrOutOfRange);
}

TEST(BracketCheck, QuotedBracketsAndEscapesDoNotCount) {
    EXPECT_EQ(check_brackets("1,2)"), kOk);
    EXPECT_EQ(check_brackets("max(1,2))"), kOk);
    EXPECT_EQ(check_brackets("1,\"a)b\")"), kOk);
    EXPECT_EQ(check_brackets("1,a\\)b)"), kOk);
    EXPECT_EQ(check_brackets("1,2)x"), kErrDataAfterBracket);
    EXPECT_EQ(check_brackets("1,2"), kErrBracketMissing);
    EXPECT_EQ(check_brackets("1,\"2)"), kErrBracketMissing);
    EXPECT_EQ(check_brackets(""), kErrBracketMissing);
}

}  // namespace
}  // namespace ksw
