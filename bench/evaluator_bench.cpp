// Evaluations per second of typical argument texts of test programs.
#include <benchmark/benchmark.h>

#include <string_view>

#include "values/evaluator.h"

namespace {

// Evaluates one text over and over; items per second is evaluations per second.
void evaluate_text(benchmark::State &state, std::string_view text) {
    double value = 0;
    size_t stop = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ksw::evaluate_expression(text, &value, &stop));
        benchmark::DoNotOptimize(value);
    }
    state.SetItemsProcessed(state.iterations());
}

// A define table of ten symbols for the symbol benchmark.
size_t match_ten_symbols(const void *, std::string_view text, double *value) {
    static constexpr std::string_view kNames[] = {"GAIN", "OFFSET", "VREF", "CH1", "CH2",
                                                  "LIMIT", "TMAX", "TMIN", "STEPS", "SCALE"};
    for (size_t i = 0; i < std::size(kNames); ++i) {
        if (text.starts_with(kNames[i])) {
            *value = static_cast<double>(i + 1);
            return kNames[i].size();
        }
    }
    return 0;
}

void evaluate_with_symbols(benchmark::State &state) {
    const ksw::SymbolLookup lookup{match_ten_symbols, nullptr};
    double value = 0;
    size_t stop = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ksw::evaluate_expression("SCALE*2+VREF", &value, &stop, &lookup));
        benchmark::DoNotOptimize(value);
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK_CAPTURE(evaluate_text, integer, std::string_view("1000"));
BENCHMARK_CAPTURE(evaluate_text, suffix_and_hex, std::string_view("1.5k*2+H10"));
BENCHMARK_CAPTURE(evaluate_text, unit, std::string_view("5mV"));
BENCHMARK_CAPTURE(evaluate_text, rest_of_level, std::string_view("10-2*3+1"));
BENCHMARK_CAPTURE(evaluate_text, brackets, std::string_view("(2+3)*4-B101"));
BENCHMARK_CAPTURE(evaluate_text, function, std::string_view("sin(30)*2"));
BENCHMARK(evaluate_with_symbols);
