// The test interface of the simulated unit: scenario reset, plugging, fault injection and the
// counters that tests read.
#include <algorithm>
#include <cstring>

#include "belmo_sim.h"
#include "bus.h"

using belmo::Bus;

namespace {

bool valid_count(int count) { return count >= BELMO_SIM_ALWAYS; }

int arm(belmo::Fault *fault, int32_t value, int count) {
    if (!valid_count(count)) return -1;
    *fault = {count, value};
    return 0;
}

}  // namespace

BELMO_SIM_API int belmo_sim_reset(void) {
    return belmo::with_bus([](Bus &b) { return b.reset(); });
}

BELMO_SIM_API void belmo_sim_set_present(int present) {
    belmo::with_bus([&](Bus &b) { b.plug(present != 0); });
}

BELMO_SIM_API int belmo_sim_unplug_after(long exchanges) {
    if (exchanges < 0) return -1;
    return belmo::with_bus([&](Bus &b) {
        b.unplug_after = exchanges;
        return 0;
    });
}

BELMO_SIM_API int belmo_sim_set_kind(int kind) {
    if (kind < 0 || kind > 255) return -1;
    return belmo::with_bus([&](Bus &b) {
        b.kind = static_cast<uint32_t>(kind);
        return 0;
    });
}

BELMO_SIM_API int belmo_sim_unit_error(uint32_t detail, int count) {
    return belmo::with_bus([&](Bus &b) { return arm(&b.unit_error, static_cast<int32_t>(detail), count); });
}

BELMO_SIM_API int belmo_sim_bad_echo(int count) {
    return belmo::with_bus([&](Bus &b) { return arm(&b.bad_echo, 0, count); });
}

BELMO_SIM_API int belmo_sim_timeout(int count) {
    return belmo::with_bus([&](Bus &b) { return arm(&b.timeout, 0, count); });
}

BELMO_SIM_API int belmo_sim_lower_error(int call, int32_t code, int count) {
    if (call < 0 || call >= BELMO_SIM_CALLS) return -1;
    return belmo::with_bus([&](Bus &b) { return arm(&b.lower[static_cast<size_t>(call)], code, count); });
}

BELMO_SIM_API void belmo_sim_clear_faults(void) {
    belmo::with_bus([](Bus &b) { b.clear_faults(); });
}

BELMO_SIM_API int belmo_sim_set_latency(long microseconds) {
    if (microseconds < 0 || microseconds > belmo::kLatencyMax) return -1;
    return belmo::with_bus([&](Bus &b) {
        b.latency_us = microseconds;
        return 0;
    });
}

BELMO_SIM_API void belmo_sim_set_test_word(uint32_t word) {
    belmo::with_bus([&](Bus &b) { b.unit.set_test_word(word); });
}

BELMO_SIM_API int belmo_sim_set_area(int area, const void *bytes, size_t length) {
    if (area < 0 || (!bytes && length > 0)) return -1;
    return belmo::with_bus([&](Bus &b) {
        belmo::DataArea *a = b.unit.area(static_cast<uint32_t>(area));
        if (!a || length > a->capacity) return -1;
        a->bytes.assign(static_cast<const char *>(bytes), length);
        a->writing = false;
        return 0;
    });
}

BELMO_SIM_API long belmo_sim_area(int area, void *buf, size_t max) {
    if (area < 0 || (!buf && max > 0)) return -1;
    return belmo::with_bus([&](Bus &b) -> long {
        const belmo::DataArea *a = b.unit.area(static_cast<uint32_t>(area));
        if (!a) return -1;
        if (max > 0) std::memcpy(buf, a->bytes.data(), std::min(max, a->bytes.size()));
        return static_cast<long>(a->bytes.size());
    });
}

BELMO_SIM_API uint64_t belmo_sim_exchanges(void) {
    return belmo::with_bus([](Bus &b) { return b.exchanges; });
}

BELMO_SIM_API size_t belmo_sim_last_command(void *buf, size_t max) {
    return belmo::with_bus([&](Bus &b) {
        if (buf && max > 0) std::memcpy(buf, b.last_command.bytes.data(), std::min(max, b.last_command.size));
        return b.last_command.size;
    });
}

BELMO_SIM_API uint32_t belmo_sim_last_timeout(void) {
    return belmo::with_bus([](Bus &b) { return b.last_timeout; });
}

BELMO_SIM_API int belmo_sim_open_sessions(void) {
    return belmo::with_bus([](Bus &b) { return static_cast<int>(b.sessions.size()); });
}
