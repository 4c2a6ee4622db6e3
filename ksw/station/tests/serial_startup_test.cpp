// The station's serial port at start-up: the settings record, "OpenRSFirst", and the simulated
// product that --sim starts as a program of its own.
#include <gtest/gtest.h>

#include <filesystem>

#include "recording_frontend.h"
#include "station/serial_startup.h"
#include "temp_dir.h"

namespace ksw {
namespace {

using testing::TempDir;
using testing::write_text;

class SerialStartup : public ::testing::Test {
protected:
    TempDir dir;
    testing::ScopedEnv config_home{"XDG_CONFIG_HOME", dir.file("cfg")};
    testing::ScopedEnv runtime_home{"XDG_RUNTIME_DIR", dir.file("run")};
    testing::RecordingFrontend frontend;
    Settings settings;
};

TEST_F(SerialStartup, TheScenarioNamesThePortOfItsProduct) {
    std::string port, error;
    write_text(dir.file("none.ini"), "[jig]\ncable1=1\n");
    ASSERT_TRUE(simulated_serial_port(dir.file("none.ini"), &port, &error)) << error;
    EXPECT_EQ(port, "");
    write_text(dir.file("default.ini"), "[serial]\nmode=echo\n");
    ASSERT_TRUE(simulated_serial_port(dir.file("default.ini"), &port, &error)) << error;
    EXPECT_EQ(port, "COM1");
    write_text(dir.file("com3.ini"), "[Serial]\nPort = com3\n");
    ASSERT_TRUE(simulated_serial_port(dir.file("com3.ini"), &port, &error)) << error;
    EXPECT_EQ(port, "COM3");
    for (const char *bad : {"COM0", "COM10", "LPT1", "/dev/ttyS0", ""}) {
        write_text(dir.file("bad.ini"), std::string("[serial]\nport=") + bad + "\n");
        EXPECT_FALSE(simulated_serial_port(dir.file("bad.ini"), &port, &error)) << bad;
        EXPECT_NE(error.find("[serial] port"), std::string::npos) << error;
    }
    EXPECT_FALSE(simulated_serial_port(dir.file("missing.ini"), &port, &error));
}

TEST_F(SerialStartup, WithSimTheProgramsPortReachesTheProductUntilTheStationCloses) {
    write_text(dir.file("world.ini"), "[serial]\nmode=echo\nport=COM2\n");
    settings.rs_port = "com2";
    settings.baud_rate = 19200;
    SerialStation station(frontend);
    std::string error;
    ASSERT_TRUE(station.open(settings, dir.file("world.ini"), &error)) << error;
    EXPECT_TRUE(frontend.boxes.empty());
    const std::string device = station.simulated_device();
    ASSERT_FALSE(device.empty());
    EXPECT_EQ(station.link().device_for("COM2"), device);
    EXPECT_EQ(station.link().device_for("COM1"), "COM1");
    // "OpenRSFirst" opened it with 1000 ms time-outs; the product echoes.
    ASSERT_TRUE(station.link().is_open());
    EXPECT_EQ(station.link().record().baud_rate, 19200);
    const int handle = station.link().handle();
    uint32_t receive = 0, send = 0;
    ASSERT_TRUE(RSGetTimeout(handle, &receive, &send));
    EXPECT_EQ(receive, 1000u);
    EXPECT_EQ(send, 1000u);
    ASSERT_EQ(RSSendfData(handle, "hi", 2), RS_OK);
    char echo[3] = {};
    ASSERT_EQ(RSGetfData(handle, echo, 2), RS_OK);
    EXPECT_STREQ(echo, "hi");
    // The context gets the port; closing the station closes it and ends the product.
    RunContext context;
    station.attach(context);
    EXPECT_EQ(context.serial, &station.link());
    station.close();
    EXPECT_FALSE(station.link().is_open());
    EXPECT_FALSE(std::filesystem::exists(device));
}

TEST_F(SerialStartup, APortThatDoesNotOpenIsShownAndTheStationGoesOn) {
    settings.rs_port = dir.file("no-such-line");
    SerialStation station(frontend);
    std::string error;
    ASSERT_TRUE(station.open(settings, "", &error)) << error;
    ASSERT_EQ(frontend.boxes.size(), 1u);
    EXPECT_EQ(frontend.boxes[0].text, "s010: Can't open RS-232C port " + dir.file("no-such-line") + " ");
    EXPECT_EQ(frontend.boxes[0].caption, "KSW.exe - ERROR");
    EXPECT_FALSE(station.link().is_open());
    EXPECT_EQ(station.link().port_name(), dir.file("no-such-line"));
    // Without "OpenRSFirst" nothing is opened or shown; "Ignore" reaches the run side.
    settings.open_rs_first = false;
    settings.evr_ignore = true;
    frontend.boxes.clear();
    ASSERT_TRUE(station.open(settings, "", &error)) << error;
    EXPECT_TRUE(frontend.boxes.empty());
    EXPECT_TRUE(station.link().options().ignore);
}

TEST_F(SerialStartup, AScenarioWhoseProductCannotStartEndsTheStartUp) {
    write_text(dir.file("bad.ini"), "[serial]\nmode=telepathy\n");
    SerialStation station(frontend);
    std::string error;
    EXPECT_FALSE(station.open(settings, dir.file("bad.ini"), &error));
    EXPECT_NE(error.find("did not start"), std::string::npos) << error;
    EXPECT_TRUE(station.simulated_device().empty());
    write_text(dir.file("port.ini"), "[serial]\nport=COM12\n");
    EXPECT_FALSE(station.open(settings, dir.file("port.ini"), &error));
    EXPECT_NE(error.find("COM12"), std::string::npos) << error;
}

}  // namespace
}  // namespace ksw
