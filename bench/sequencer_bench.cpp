// The sequencer's own cost: register commands run back to back with every checkpoint (gate,
// time limit, status board), and the overhead of a step that does nothing.
#include <benchmark/benchmark.h>

#include "program_builder.h"
#include "platform/tick.h"
#include "runtime/sequencer.h"

namespace {

using ksw::kModeNoOperation;

// One step of 1000 register commands (rd[r] += 1 in turn over ten registers), run as a pass.
void BM_RegisterCommands(benchmark::State &state) {
    ksw::ProgramBuilder b;
    if (!b.allocate()) std::abort();
    b.step(1, kModeNoOperation).time_limit = 600000;  // the time-limit test runs before every command
    for (int i = 0; i < 1000; ++i) b.count_into(1, i % 10);
    ksw::RunContext context;
    context.use_program(&b.program);
    context.registers = &b.registers;
    context.current_step = 1;
    for (auto _ : state) {
        context.step_start_tick = ksw::platform::tick_count();
        benchmark::DoNotOptimize(ksw::run_command_list(context, 1, b.program.steps[1]->first_command()));
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_RegisterCommands);

// A run over 4999 steps that have a first command and no other: the per-step overhead of the
// run loop (display, gate, start tick, reset, pass loop).
void BM_EmptySteps(benchmark::State &state) {
    ksw::ProgramBuilder b;
    if (!b.allocate()) std::abort();
    for (int n = 1; n <= 4999; ++n) b.step(n, kModeNoOperation);
    ksw::RunContext context;
    context.use_program(&b.program);
    context.registers = &b.registers;
    for (auto _ : state) benchmark::DoNotOptimize(ksw::run_steps(context, 1));
    state.SetItemsProcessed(state.iterations() * 4999);
}
BENCHMARK(BM_EmptySteps);

}  // namespace
