// The station's port layer on the simulated board: output-port writes and A/D samples per
// second, and what the layer itself adds to a byte access compared with calling the board
// library directly. The zero-length yields of an output-port write (two per write) are measured
// on their own, so their cost can be taken out of the write figure.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "fbippi.h"
#include "jigsim.h"
#include "platform/tick.h"
#include "runtime/jig/jig_ports.h"
#include "simulated_jig.h"

namespace {

using namespace ksw;

// The layer on the simulated jig; channel 0 reads 1234.
struct BoundJig : bench::SimulatedJig {
    BoundJig() { jigsim_set_adc_counts(0, -1, 1234); }
};

// A direct call of the board library: SysPort1 B (slot 1, chip 1, port 1).
void BM_DirectBoardWrite(benchmark::State &state) {
    BoundJig bound;
    const int32_t handle = PpiOpen("FBIPPI1", 2);
    int32_t value = 0;
    for (auto _ : state) PpiOutputPort(handle, 1, 1, (value++ & 0x0E) | 0x40);
    PpiClose(handle);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DirectBoardWrite);

// The same byte through PortOut: mode check, slot lookup, chip and port from the address.
void BM_LayerPortOut(benchmark::State &state) {
    BoundJig bound;
    uint8_t value = 0;
    for (auto _ : state) PortOut(bound.jig, 0x13, static_cast<uint8_t>((value++ & 0x0E) | 0x40));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LayerPortOut);

void BM_DirectBoardRead(benchmark::State &state) {
    BoundJig bound;
    const int32_t handle = PpiOpen("FBIPPI1", 2);
    int32_t value = 0;
    for (auto _ : state) {
        PpiInputPort(handle, 0, 1, &value);
        benchmark::DoNotOptimize(value);
    }
    PpiClose(handle);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DirectBoardRead);

void BM_LayerPortIn(benchmark::State &state) {
    BoundJig bound;
    for (auto _ : state) benchmark::DoNotOptimize(PortIn(bound.jig, 0x12));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LayerPortIn);

// The zero-length sleep between the data bytes of a write.
void BM_ZeroLengthYield(benchmark::State &state) {
    for (auto _ : state) platform::sleep_ms(0);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ZeroLengthYield);

// Whole output-port writes: the power check, 12 byte accesses around the strobe, two yields.
void BM_OutputPortWrites(benchmark::State &state) {
    BoundJig bound;
    uint16_t value = 0;
    for (auto _ : state) {
        if (WriteOutputPort(bound.jig, 10, ++value) != 0) state.SkipWithError("write failed");
    }
    if (jigsim_output_port(10) != value) state.SkipWithError("the board did not take the writes");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OutputPortWrites);

// A/D samples read the fast way, `range(0)` per call; items are samples.
void BM_AdSamples(benchmark::State &state) {
    BoundJig bound;
    std::vector<uint16_t> samples(static_cast<size_t>(state.range(0)));
    const int count = static_cast<int>(samples.size());
    for (auto _ : state) {
        if (ReadAdFast(bound.jig, 0, 0, samples.data(), count, 0x0F) != 0) state.SkipWithError("read failed");
    }
    if (samples.back() != 1234) state.SkipWithError("wrong samples");
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_AdSamples)->Arg(1)->Arg(64)->Arg(1024);

// A/D samples through ReadAd on a converter that is not busy (no 100 ms poll).
void BM_AdSamplesAfterBusyCheck(benchmark::State &state) {
    BoundJig bound;
    std::vector<uint16_t> samples(64);
    for (auto _ : state) {
        if (ReadAd(bound.jig, 0, 0, samples.data(), 64, 1000, 0x0F) != 0) state.SkipWithError("read failed");
    }
    state.SetItemsProcessed(state.iterations() * 64);
}
BENCHMARK(BM_AdSamplesAfterBusyCheck);

}  // namespace
