// Measuring steps: readings of ",dc_volt(" per second through the simulated board (a conversion
// and two samples each), and the loop's own cost per reading with the jig left out (no port
// I/O: the loop judges the value in its result register), for one reading a pass and for many.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "compile_support.h"
#include "jigsim.h"
#include "language/program_compiler.h"
#include "platform/tick.h"
#include "runtime/jig/jig_ports.h"
#include "runtime/sequencer.h"
#include "simulated_jig.h"
#include "temp_dir.h"
#include "values/registers.h"

namespace {

using namespace ksw;

// The scenario of a quiet simulated jig (no conversion time) on which ",dc_volt(" reads
// 2048 / 2048 * 5 V, written into `dir`.
std::string quiet_world(const testing::TempDir &dir) {
    testing::write_text(dir.file("w.ini"), "[jig]\nadc_busy_us=0\n[adc.0]\ncounts_r6=2048\n[adc.1]\ncounts_r6=2048\n");
    return dir.file("w.ini");
}

// A compiled program, registers and the port layer on the quiet jig.
struct MeasuringStation {
    explicit MeasuringStation(const std::string &step) {
        testing::write_text(dir.file("p.ks"), "step 1\n" + step);
        if (!compile_program(dir.file("p.ks"), program, defines, testing::compile_options()).loaded) std::abort();
        if (allocate_registers(registers) != kOk) std::abort();
        (*registers.rd)[0] = 5.0;
        context.use_program(&program);
        context.registers = &registers;
        context.jig = &sim.jig;
        context.current_step = 1;
    }
    // One execution of step 1 (its set-up commands, then its item's loop).
    void measure() {
        reset_step(context.steps[1]);
        context.step_start_tick = platform::tick_count();
        if (run_command_list(context, 1, program.steps[1]->first_command()) != kOk) std::abort();
    }

    testing::TempDir dir;
    bench::SimulatedJig sim{quiet_world(dir).c_str()};
    ProgramModel program;
    DefineTable defines;
    Registers registers;
    RunContext context;
};

// Readings through the board: 100 a pass.
void BM_DcVoltReadings(benchmark::State &state) {
    MeasuringStation station("check,dc_volt(5,+-0.5)\naverage(100)\n");
    for (auto _ : state) station.measure();
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_DcVoltReadings)->Unit(benchmark::kMillisecond);

// The loop alone: `readings` readings a pass, 1000 readings an execution (1000 / readings
// consecutive OK passes), no port I/O.
void BM_LoopOwnCostPerReading(benchmark::State &state) {
    const int per_pass = static_cast<int>(state.range(0));
    MeasuringStation station("check,dc_volt(5,+-0.5)\naverage(" + std::to_string(per_pass) + ")\nok_count(" +
                             std::to_string(1000 / per_pass) + ")\n");
    set_port_access_mode(station.sim.jig, kAccessNoPortIo);
    for (auto _ : state) station.measure();
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_LoopOwnCostPerReading)->Arg(1)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace
