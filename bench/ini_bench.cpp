// How fast a settings file of the station's size parses and serialises.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/ini.h"

namespace {

std::string settings_text() {
    std::string text;
    for (int s = 0; s < 16; ++s) {
        text += "[Section" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < 12; ++k) text += "Key" + std::to_string(k) + "=value " + std::to_string(k) + "\r\n";
    }
    return text;
}

void BM_ParseSettings(benchmark::State &state) {
    const std::string text = settings_text();
    for (auto _ : state) {
        ksw::platform::IniFile ini;
        ini.parse(text);
        benchmark::DoNotOptimize(ini.get("Section15", "key11"));
    }
}
BENCHMARK(BM_ParseSettings);

}  // namespace
