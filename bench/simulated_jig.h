// The station's port layer bound by name to the simulated jig, as ksw --sim binds it, wired as
// the world's default port settings, on the world of `scenario` (null: every default).
#pragma once

#include <cstdlib>

#include "jigsim.h"
#include "runtime/jig/jig_ports.h"

namespace ksw::bench {

struct SimulatedJig {
    explicit SimulatedJig(const char *scenario = nullptr) {
        ::setenv("KSW_LIBRARY_PATH", KSW_SIM_LIBRARY_DIR, 1);
        jigsim_load(scenario);
        boards = LoadPpiBoards(jig);
        JigOptions options;
        options.direct_io = false;
        options.chips = {ChipAddresses{0x10, 0x12, 0x14, 0x16}, ChipAddresses{0x11, 0x13, 0x15, 0x17},
                         ChipAddresses{0x20, 0x22, 0x24, 0x26}, ChipAddresses{0x21, 0x23, 0x25, 0x27}};
        configure_jig(jig, options);
        SetPortsDefault(jig);
    }
    ~SimulatedJig() {
        reset_jig_ports(jig);
        jigsim_trace_clear();
    }
    SimulatedJig(const SimulatedJig &) = delete;
    SimulatedJig &operator=(const SimulatedJig &) = delete;

    JigPorts jig;
    int boards = 0;
};

}  // namespace ksw::bench
