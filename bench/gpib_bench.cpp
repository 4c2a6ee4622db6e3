// GPIB reads through the simulated board: how many reads a second the simulated bus answers
// (calling the board library directly), and what the station's link adds to each read (the GPIB
// section, the ready check, the address list, the buffer, the result mapping, and for gpib(rea
// the number read from the reply).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

#include "gpib_board.h"
#include "gpib_sim.h"
#include "jigsim.h"
#include "runtime/gpib/gpib_link.h"

namespace {

using namespace ksw;

// An instrument with a fixed reply at address 5 and a voltmeter on the product's channel 1 at
// address 22, and a link bound to the board by name, as ksw --sim binds it.
struct BoundBus {
    BoundBus() {
        ::setenv("KSW_LIBRARY_PATH", KSW_SIM_LIBRARY_DIR, 1);
        char path[] = "/tmp/ksw-gpib-bench-XXXXXX";
        const int fd = ::mkstemp(path);
        if (fd >= 0) {
            const std::string scenario = "[adc.1]\ncounts=2000\n[gpib.22]\nfollows=adc.1\nscale=0.0025\nformat=%+.5E\n"
                                         "[gpib.5]\nreply=\"  +1.234E-3\"\n";
            const bool written = ::write(fd, scenario.data(), scenario.size()) == static_cast<ssize_t>(scenario.size());
            ::close(fd);
            if (written) jigsim_load(path);
            ::unlink(path);
        }
        gpib_sim_reset();
        ready = gpib_ready(link);
    }
    ~BoundBus() {
        reset_gpib_link(link);
        jigsim_load(nullptr);
        gpib_sim_reset();
    }
    GpibLink link;
    int ready = -1;
};

// A receive straight from the board library: the simulated bus's own cost.
void BM_BoardReceive(benchmark::State &state) {
    BoundBus bus;
    const int32_t addresses[2] = {5, -1};
    char buffer[GPIB_RECEIVE_ROOM + 1];
    for (auto _ : state) {
        int32_t length = GPIB_RECEIVE_ROOM;
        benchmark::DoNotOptimize(PciGpibExMastRecvData(0, addresses, &length, buffer, 0));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BoardReceive);

// The same read through the link's transfer.
void BM_LinkReceive(benchmark::State &state) {
    BoundBus bus;
    if (bus.ready != 0) state.SkipWithError("the board library is not bound");
    std::string reply;
    for (auto _ : state) benchmark::DoNotOptimize(gpib_transfer(bus.link, kGpibReceive, 5, {}, &reply));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LinkReceive);

// What gpib(rea does: the transfer and the number read from the reply.
void BM_LinkReadNumber(benchmark::State &state) {
    BoundBus bus;
    if (bus.ready != 0) state.SkipWithError("the board library is not bound");
    std::string reply;
    double value = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(gpib_transfer(bus.link, kGpibReceive, 5, {}, &reply));
        benchmark::DoNotOptimize(gpib_read_number(reply, &value));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LinkReadNumber);

// The number read alone.
void BM_ReadNumber(benchmark::State &state) {
    double value = 0;
    for (auto _ : state) benchmark::DoNotOptimize(gpib_read_number("  +1.234E-3", &value));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadNumber);

// A measuring step's sample of a voltmeter that follows the product's output (a sample drawn in
// the simulated world and printed by the instrument), without a query.
void BM_SampleVoltmeter(benchmark::State &state) {
    BoundBus bus;
    if (bus.ready != 0) state.SkipWithError("the board library is not bound");
    const GpibQuery query{22, 0, ""};
    double value = 0;
    for (auto _ : state) benchmark::DoNotOptimize(gpib_sample(bus.link, query, &value));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SampleVoltmeter);

}  // namespace
