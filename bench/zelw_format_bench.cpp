// How fast MakeFloatStringA fills its 10-character field for values a data window shows.
#include <benchmark/benchmark.h>

#include <array>

#include "zelw.h"

namespace {

// Measurements, limits and counters of the sizes a test run produces.
constexpr std::array<double, 8> kTypical{12.5, 0.00123, -1.0, 3.3045, 99999999.97, 5e-05, -0.25, 1234567.0};

void BM_MakeFloatStringTypical(benchmark::State &state) {
    std::array<char, 11> buf{};
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(MakeFloatStringA(kTypical[i], buf.data()));
        i = (i + 1) % kTypical.size();
    }
}
BENCHMARK(BM_MakeFloatStringTypical);

void BM_MakeFloatStringOne(benchmark::State &state) {
    std::array<char, 11> buf{};
    const double x = kTypical[static_cast<std::size_t>(state.range(0))];
    for (auto _ : state) benchmark::DoNotOptimize(MakeFloatStringA(x, buf.data()));
}
BENCHMARK(BM_MakeFloatStringOne)->DenseRange(0, kTypical.size() - 1);

}  // namespace
