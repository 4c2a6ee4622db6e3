// The station's port layer on the simulated jig: the real board library bound by name from
// sim/lib (through KSW_LIBRARY_PATH, as ksw --sim does), a fresh world per test, and a port
// layer of the test's own wired as the world expects. What the jig saw is read back through
// jigsim.h: decoded ports, latches and supplies, strobe counts, every byte access.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "jigsim.h"
#include "runtime/jig/jig_ports.h"
#include "temp_dir.h"

namespace ksw::testing {

class SimJigTest : public ::testing::Test {
protected:
    void SetUp() override { start(""); }
    void TearDown() override {
        reset_jig_ports(jig);
        jigsim_load(nullptr);
    }

    // A fresh world from `scenario` (empty: every default) and the port layer bound to it.
    void start(const std::string &scenario, int access_mode = kAccessJig, bool e0_seq_mode = false) {
        reset_jig_ports(jig);
        if (scenario.empty()) {
            jigsim_load(nullptr);
        } else {
            write_text(dir_.file("world.ini"), scenario);
            jigsim_load(dir_.file("world.ini").c_str());
        }
        ASSERT_EQ(LoadPpiBoards(jig), 2);
        JigOptions options;
        options.access_mode = access_mode;
        options.e0_seq_mode = e0_seq_mode;
        options.direct_io = false;
        static const char *const kKeys[] = {"SysPort0", "SysPort1", "Ext0Port0", "Ext0Port1"};
        for (size_t chip = 0; chip < 4; ++chip) {
            char text[64];
            unsigned a[4] = {};
            jigsim_port_setting(kKeys[chip], text, sizeof text);
            ASSERT_EQ(std::sscanf(text, "%X,%X,%X,%X", &a[0], &a[1], &a[2], &a[3]), 4);
            for (size_t i = 0; i < 4; ++i) options.chips[chip][i] = static_cast<uint16_t>(a[i]);
        }
        configure_jig(jig, options);
        SetPortsDefault(jig);
        jigsim_trace_clear();
    }

    // The byte accesses the chips saw since the trace was cleared, as "W1.2=08": kind (R read,
    // W write, C control word), port group, port, value (read or written).
    static std::vector<std::string> accesses() {
        std::vector<std::string> out;
        for (size_t i = 0; i < jigsim_trace_count(); ++i) {
            jigsim_access a{};
            jigsim_trace_get(i, &a);
            char text[16];
            std::snprintf(text, sizeof text, "%c%d.%d=%02X", a.kind, a.chip, a.port, a.value);
            out.emplace_back(text);
        }
        return out;
    }

    JigPorts jig;

private:
    ScopedEnv library_path_{"KSW_LIBRARY_PATH", KSW_SIM_LIBRARY_DIR};
    TempDir dir_;
};

}  // namespace ksw::testing
