#include "bus.h"

#include <algorithm>

#include "Belmo.h"
#include "belmo_sim.h"

namespace belmo {

Bus &bus() {
    static Bus *const b = [] {
        Bus *fresh = new Bus;
        fresh->reset();
        return fresh;
    }();
    return *b;
}

int Bus::reset() {
    UnitConfig config;
    const int problems = load_unit_config(&config);
    unit.setup(config);
    kind = config.kind;
    sessions.clear();
    clear_faults();
    plug(config.present);
    if (config.unit_error != 0) unit_error = {BELMO_SIM_ALWAYS, static_cast<int32_t>(config.unit_error)};
    if (config.bad_echo) bad_echo.remaining = BELMO_SIM_ALWAYS;
    if (config.timeout) timeout.remaining = BELMO_SIM_ALWAYS;
    if (config.fail_call >= 0) lower[static_cast<size_t>(config.fail_call)] = {BELMO_SIM_ALWAYS, config.fail_code};
    unplug_after = config.unplug_after;
    latency_us = config.latency_us;
    exchanges = 0;
    last_command = Packet{};
    last_timeout = 0;
    return problems;
}

void Bus::plug(bool in) {
    if (in && !present) ++device_id;
    if (in && device_id == 0) device_id = 0x00010001;
    present = in;
}

void Bus::clear_faults() {
    unit_error = bad_echo = timeout = Fault{};
    lower.fill(Fault{});
    unplug_after = 0;
}

Session *Bus::session(uint32_t handle) {
    const auto it = std::find_if(sessions.begin(), sessions.end(), [&](const Session &s) { return s.handle == handle; });
    return it == sessions.end() ? nullptr : &*it;
}

Session *Bus::usable(uint32_t handle) {
    Session *s = session(handle);
    if (!s) {
        library_error = BELMO_ERROR_ARGUMENT;
        return nullptr;
    }
    if (!attached(s->device)) {
        s->last_error = BELMO_ERROR_GONE;
        return nullptr;
    }
    return s;
}

}  // namespace belmo
