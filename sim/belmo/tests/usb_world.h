// A simulated world with a USB unit for one test: the scenario is written into a fresh folder and
// loaded, the unit set up from its [usb] section, and the transport pointed at the stand-in
// library (KSW_LIBRARY_PATH = the build's sim/lib). When the test ends the world and the unit go
// back to every default. Problems the scenario reports on stderr are kept in `messages`.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "belmo_sim.h"
#include "jigsim.h"
#include "temp_dir.h"

namespace usbtest {

class UsbWorld {
public:
    explicit UsbWorld(const std::string &scenario = "")
        : path_(dir_.file("world.ini")),
          library_path_("KSW_LIBRARY_PATH", KSW_SIM_LIBRARY_DIR),
          scenario_env_("KSW_SIM_SCENARIO", path_) {
        ksw::testing::write_text(path_, scenario);
        ::testing::internal::CaptureStderr();
        problems = jigsim_load(path_.c_str());
        problems += belmo_sim_reset();
        messages = ::testing::internal::GetCapturedStderr();
    }
    ~UsbWorld() {
        jigsim_load(nullptr);
        belmo_sim_reset();
    }
    UsbWorld(const UsbWorld &) = delete;
    UsbWorld &operator=(const UsbWorld &) = delete;

    // A file of the test's folder, written with `bytes` when given.
    std::string file(const std::string &name) const { return dir_.file(name); }
    std::string write(const std::string &name, const std::string &bytes) const {
        ksw::testing::write_text(dir_.file(name), bytes);
        return dir_.file(name);
    }

    int problems = 0;
    std::string messages;

private:
    ksw::testing::TempDir dir_;
    std::string path_;
    ksw::testing::ScopedEnv library_path_;
    ksw::testing::ScopedEnv scenario_env_;
};

// The EVR cell of the product's memory (JIGSIM_EEPROM or JIGSIM_RAM).
inline uint16_t evr(int memory, int page, int address) {
    uint16_t value = 0;
    jigsim_evr_read(memory, page, address, &value);
    return value;
}

}  // namespace usbtest
