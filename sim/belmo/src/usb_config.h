// The simulated USB unit as the [usb] section of a scenario describes it, with the defaults of a
// unit of kind 0 that is plugged in, answers at once and has no fault.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace belmo {

constexpr int kCalls = 6;  // BELMO_SIM_CALLS
constexpr int kItems = 7;  // identify items 1, 2, 4, 8, 16, 32, 64 (bit n = index n)
constexpr uint32_t kTextMax = 247;
constexpr size_t kAreaMax = 65536;
constexpr size_t kFirmwareMax = 1048576;
constexpr long kLatencyMax = 10000000;

struct UnitConfig {
    uint32_t kind = 0;
    bool present = true;
    std::array<std::string, kItems> items{"Orvane", "USB jig unit", "SIM-0001", "0", "A", "1.00", "belmo"};
    uint32_t diagnosis = 0;
    std::array<uint8_t, 12> diagnosis_data{};
    uint32_t test_word = 0;
    std::string test_data;      // bytes of the file `test_data`
    std::string diagnosis_log;  // bytes of the file `diagnosis_log`
    long latency_us = 0;
    // Faults that strike on every occasion.
    uint32_t unit_error = 0;    // 0: none
    bool bad_echo = false;
    bool timeout = false;
    int fail_call = -1;         // BELMO_SIM_CALL_..., -1 none
    int32_t fail_code = 3;
    long unplug_after = 0;      // 0: never
};

// Reads the [usb] section of the world's current scenario into *config. Every bad value is
// reported on stderr ("belmo: FILE: [usb] key: ...") and keeps its default; returns how many.
int load_unit_config(UnitConfig *config);

}  // namespace belmo
