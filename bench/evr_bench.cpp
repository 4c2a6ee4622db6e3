// Automatic adjustment against the simulated chain (the EVR layer, the real driver library, the
// real USB transport, the stand-in USB library and the simulated product, whose reading follows
// the adjusted cell): adjusting passes per second, and the passes an adjusting step takes to
// converge from the worst start values, searching alone and with an adjusting table.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "belmo_sim.h"
#include "compile_support.h"
#include "jigsim.h"
#include "language/program_compiler.h"
#include "platform/tick.h"
#include "runtime/evr/evr_adjust.h"
#include "runtime/evr/evr_layer.h"
#include "runtime/sequencer.h"
#include "simulated_jig.h"
#include "temp_dir.h"
#include "values/registers.h"

namespace {

using namespace ksw;

// Channel 1 reads 0.5 V + 10 mV per step of RAM cell 0:10 against the reference: 2.5 V wants 195..205.
std::string following_world(const testing::TempDir &dir) {
    testing::write_text(dir.file("w.ini"),
                        "[jig]\nadc_busy_us=0\n[adc.0]\ncounts_r6=4000\n[adc.1]\ncounts=400\nevr=0:0x10\nper_step=8\n");
    return dir.file("w.ini");
}

struct AdjustingStation {
    explicit AdjustingStation(const std::string &step) {
        ::setenv("KSW_LIBRARY_PATH", KSW_EVR_LIBRARY_PATH, 1);
        belmo_sim_reset();
        testing::write_text(dir.file("p.ks"), "step 0\nevr_func(0,0,7999)\nstep 1\n" + step);
        if (!compile_program(dir.file("p.ks"), program, defines, testing::compile_options()).loaded) std::abort();
        if (allocate_registers(registers) != kOk) std::abort();
        layer.type.store(kEvrTypeDriver);
        clear_evr_image(layer);
        if (load_evr_driver(layer) != EvrLoad::kLoaded) std::abort();
        context.use_program(&program);
        context.registers = &registers;
        context.jig = &sim.jig;
        context.evr = &layer;
        context.adjuster = &adjuster;
        context.current_step = 0;
        if (run_command_list(context, 0, program.steps[0]->first_command()) != kOk) std::abort();
        context.current_step = 1;
    }
    ~AdjustingStation() { unload_evr_driver(layer); }
    // One execution of step 1; the passes it took.
    uint32_t adjust() {
        reset_step(context.steps[1]);
        context.step_start_tick = platform::tick_count();
        // An NG at the limit is this benchmark's steady state; only an error stops it.
        const int rc = run_command_list(context, 1, program.steps[1]->first_command());
        if (rc != kOk && rc != kErrStepNg) std::abort();
        return context.steps[1].measure.readings;
    }

    testing::TempDir dir;
    bench::SimulatedJig sim{following_world(dir).c_str()};
    ProgramModel program;
    DefineTable defines;
    Registers registers;
    EvrLayer layer;
    EvrAdjuster adjuster{layer};
    RunContext context;
};

// Search passes that never reach the window: from 0 by 1 up to the limit of 100 (101 passes, each
// a reading and a write of the cell).
void BM_AdjustingPasses(benchmark::State &state) {
    AdjustingStation station("auto_adjust,dc_volt(2.5,+-0.05)\nevr_adj(1,16,0,1,0,100)\n");
    uint64_t passes = 0;
    for (auto _ : state) passes += station.adjust();
    state.SetItemsProcessed(static_cast<int64_t>(passes));
}
BENCHMARK(BM_AdjustingPasses)->UseRealTime()->Unit(benchmark::kMillisecond);

// Passes to converge from start value range(0) with the initial search step 16; range(1) 1 adds
// the adjusting table the station would have learnt (2.5 V wants 200).
void BM_PassesToConverge(benchmark::State &state) {
    const int start = static_cast<int>(state.range(0));
    const bool table = state.range(1) != 0;
    AdjustingStation station("auto_adjust,dc_volt(2.5,+-0.05)\nevr_adj(1,16," + std::to_string(start) + ",16)\n");
    if (table) {
        station.layer.adjust_file = station.dir.file("adj");
        testing::write_text(station.dir.file("adj0001.txt"), "0,hC8,3\r\n");
    }
    uint32_t passes = 0;
    for (auto _ : state) passes = station.adjust();
    state.counters["passes"] = passes;
}
BENCHMARK(BM_PassesToConverge)->Args({0, 0})->Args({255, 0})->Args({0, 1})->Args({255, 1})->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
