// The GPIB link on the simulated board: the real board library bound by name from sim/lib
// (through KSW_LIBRARY_PATH, as ksw --sim does), a fresh world and bus per test from the test's
// scenario, and a link of the test's own. What the instruments received is read back through
// gpib_sim.h.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "gpib_sim.h"
#include "jigsim.h"
#include "runtime/gpib/gpib_link.h"
#include "temp_dir.h"

namespace ksw::testing {

class SimGpibTest : public ::testing::Test {
protected:
    void SetUp() override { load(""); }
    void TearDown() override {
        reset_gpib_link(link);
        jigsim_load(nullptr);
        gpib_sim_reset();
    }

    // A fresh world and bus from `scenario`, and a link that has not bound its library yet.
    void load(const std::string &scenario) {
        reset_gpib_link(link);
        write_text(dir_.file("world.ini"), scenario);
        jigsim_load(dir_.file("world.ini").c_str());
        ASSERT_EQ(gpib_sim_reset(), 0) << scenario;
    }

    static gpib_sim_board_state board(int n) {
        gpib_sim_board_state state{};
        EXPECT_EQ(gpib_sim_board(n, &state), 0);
        return state;
    }
    // The commands sent so far, as "address:text" lines.
    static std::string sent() {
        std::string out;
        for (size_t i = 0; i < gpib_sim_sent_count(); ++i) {
            int address = -1;
            char text[256];
            gpib_sim_sent(i, &address, text, sizeof text);
            out += std::to_string(address) + ":" + text + "\n";
        }
        return out;
    }
    static long ms_since(std::chrono::steady_clock::time_point start) {
        return static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
    }

    GpibLink link;

private:
    ScopedEnv library_path_{"KSW_LIBRARY_PATH", KSW_SIM_LIBRARY_DIR};
    TempDir dir_;
};

}  // namespace ksw::testing
