// Loading a large program: 5000 steps, about 50,000 statements, with an included library,
// macros, conditionals and every kind of statement (labels, first commands with their items,
// declarations, commands, register and switch assignments). Both passes are measured together,
// as a load does them.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "compile_support.h"
#include "language/program_compiler.h"

namespace {

const std::vector<std::string> kMeasuringDeclarations = {
    "min_max(1,2)", "abs()", "comment(\"supply rail\")", "setup_time(10)", "sample_tact(5)", "wform(2,50)",
    "level(1,pp,10,20)", "count(2,1)",
};

const std::vector<std::string> kCommands = {
    "copy(=,1,2,3,0,1,1)", "copyad(+,1,2,5)", "calcrd(+,1,2,3)", "calcad(max,1,2,3)", "movead(dir,1,1,2)",
    "setdata(5,1.5k)", "setaddata(6,\"AB\\x41\")", "rd[7]=rd[8]*2", "ad[9]=ad[10]+1", "sw[3]=on",
    "fsw[1,2]=off", "setsw(on,1,2,3)", "wait(0.01)", "timer(rea,11)", "okng(ok,1)", "check(rd,12)",
    "jump(3,=,rd[1],2)", "rjump(1,ok,1,2)", "stopmode(,on)", "judge(rd,1,2,3,4)",
    "message(10,20,\"hello, world\",3)", "show(rd,1,2,3)", "io(=,5,255)", "power_set(1,5,0.5)", "key(pus,13)",
    "input_ch(1)", "average(16)", "rs232c(set,9600,8,non,1)", "log(rd,1,10)", "beep(on)", "Settle", "Power",
};

// Writes main.ks and lib.ks into `folder`; returns the number of statements written.
int write_program(const std::string &folder) {
    std::ofstream lib(folder + "/lib.ks");
    lib << "{ shared routines }\n#macro Settle\nwait(0.001)\ntimer(rea,20)\n#endm\n"
           "#macro Power\nsetsw(on,1)\nsw[2]=off\n#endm\n";
    std::ofstream main(folder + "/main.ks");
    main << "#include \"lib.ks\"\n#define GAIN(2.5)\n";
    int statements = 3;
    size_t next = 0;
    for (int step = 0; step < 5000; ++step) {
        main << "step " << step << "\n";
        const bool measuring = step % 3 == 0;
        if (measuring) {
            main << "check,dc_volt(GAIN,+-0.5)\n";
            for (int i = 0; i < 2; ++i) main << kMeasuringDeclarations[(step + i) % kMeasuringDeclarations.size()] << "\n";
            statements += 3;
        } else {
            main << "no_operation\n";
            ++statements;
        }
        if (step % 50 == 0) {
            main << "#ifdef GAIN\nrd[1]=GAIN\n#else\nrd[1]=0\n#endif\n";
            statements += 5;
        }
        for (int i = 0; i < 7; ++i, ++next) main << kCommands[next % kCommands.size()] << " { note }\n";
        statements += 8;
    }
    return statements;
}

void BM_CompileLargeProgram(benchmark::State &state) {
    std::string folder = "/tmp/ksw-bench-XXXXXX";
    if (!mkdtemp(folder.data())) std::abort();
    const int statements = write_program(folder);
    ksw::ProgramModel model;
    ksw::DefineTable defines;
    for (auto _ : state) {
        const ksw::ProgramCompilation result = ksw::compile_program(folder + "/main.ks", model, defines, ksw::testing::compile_options());
        if (!result.loaded) {
            state.SkipWithError(result.report.c_str());
            break;
        }
        benchmark::DoNotOptimize(model.steps[4999].get());
    }
    state.counters["statements"] = statements;
    state.counters["steps"] = model.step_count();
    std::system(("rm -rf '" + folder + "'").c_str());
}
BENCHMARK(BM_CompileLargeProgram)->Unit(benchmark::kMillisecond);

}  // namespace
