// How fast the simulated jig answers through the board library: single port writes, whole
// output-port write sequences of the station, and A/D samples read the fast way.
#include <benchmark/benchmark.h>

#include "fbippi.h"
#include "jigsim.h"

namespace {

// Board 1 carries SysPort0 (chip 0) and SysPort1 (chip 1) with the default port settings.
struct Jig {
    Jig() {
        jigsim_load(nullptr);
        handle = PpiOpen("FBIPPI1", 2);
        PpiControl(handle, 0, 0x9B);
        PpiControl(handle, 1, 0x88);
        PpiOutputPort(handle, 1, 2, 0x01);
        PpiOutputPort(handle, 1, 0, 0x70);
        jigsim_set_adc_counts(0, -1, 1234);
    }
    ~Jig() {
        PpiClose(handle);
        jigsim_load(nullptr);
    }
    int32_t in(int chip, int port) {
        int32_t v = 0;
        PpiInputPort(handle, chip, port, &v);
        return v;
    }
    int32_t handle = -1;
};

void BM_PpiOutputPort(benchmark::State &state) {
    Jig jig;
    int32_t value = 0;
    for (auto _ : state) PpiOutputPort(jig.handle, 1, 1, (value++ & 0x0E) | 0x40);
    state.SetItemsProcessed(state.iterations());
    jigsim_trace_clear();
}
BENCHMARK(BM_PpiOutputPort);

// The station's output-port write: 13 byte accesses and one strobe per iteration.
void BM_OutputPortWriteSequence(benchmark::State &state) {
    Jig jig;
    int value = 0;
    for (auto _ : state) {
        ++value;
        if (jig.in(0, 1) & 0x80) state.SkipWithError("jig power off");
        PpiControl(jig.handle, 0, 0x82);
        PpiOutputPort(jig.handle, 0, 0, value & 0xFF);
        PpiOutputPort(jig.handle, 0, 2, (value >> 8) & 0xFF);
        PpiOutputPort(jig.handle, 1, 0, (jig.in(1, 0) & 0xF0) | 10);
        PpiOutputPort(jig.handle, 1, 1, jig.in(1, 1) & 0xFE);
        const int32_t c = jig.in(1, 2);
        PpiOutputPort(jig.handle, 1, 2, c & ~8);
        PpiOutputPort(jig.handle, 1, 2, c | 8);
        PpiOutputPort(jig.handle, 1, 2, c & ~8);
        PpiControl(jig.handle, 0, 0x9B);
    }
    state.SetItemsProcessed(state.iterations());
    jigsim_trace_clear();
}
BENCHMARK(BM_OutputPortWriteSequence);

// One A/D sample as the fast read takes it: a read-strobe pulse and the two data bytes.
void BM_AdSamples(benchmark::State &state) {
    Jig jig;
    const int32_t c = jig.in(1, 2) & 0x0F;
    uint32_t sum = 0;
    for (auto _ : state) {
        PpiOutputPort(jig.handle, 1, 2, c | 4);
        PpiOutputPort(jig.handle, 1, 2, c & ~4);
        sum += static_cast<uint32_t>((jig.in(0, 2) & 0x0F) << 8 | jig.in(0, 0));
    }
    benchmark::DoNotOptimize(sum);
    if (sum != 1234u * static_cast<uint32_t>(state.iterations())) state.SkipWithError("wrong samples");
    state.SetItemsProcessed(state.iterations());
    jigsim_trace_clear();
}
BENCHMARK(BM_AdSamples);

}  // namespace
