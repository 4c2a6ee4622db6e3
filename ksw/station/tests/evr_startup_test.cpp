// The EVR layer's start-up: the back-end "EVRType" asks for, the messages of a refused library,
// the options from the settings, and the run context's use of the layer.
#include <gtest/gtest.h>

#include <filesystem>

#include "recording_frontend.h"
#include "resources/error_codes.h"
#include "station/evr_startup.h"
#include "temp_dir.h"

namespace ksw {
namespace {

using testing::RecordingFrontend;
using testing::ScopedEnv;

TEST(EvrStartup, LancAndIeee1284HaveNoLibraryHereAndFallBackToNone) {
    for (const int wanted : {0, 1}) {
        EvrLayer layer;
        EvrStation station(layer);
        RecordingFrontend frontend;
        int type = wanted;
        ASSERT_EQ(station.open(&type, Settings{}, frontend, nullptr), kOk);
        EXPECT_EQ(type, -1);
        EXPECT_EQ(layer.type.load(), -1);
        ASSERT_EQ(frontend.boxes.size(), 1u);
        EXPECT_EQ(frontend.boxes[0].text, wanted == 0 ? "s014: Missing DLL for LANC or too old"
                                                       : "s015: Missing DLL for IEEE1284 or too old");
    }
}

TEST(EvrStartup, TheDriverIsBoundAtStartAndTheSettingsReachTheLayer) {
    ScopedEnv path("KSW_LIBRARY_PATH", KSW_EVR_LIBRARY_PATH);
    EvrLayer layer;
    RecordingFrontend frontend;
    Settings settings;
    settings.evr_width = 16;
    settings.evr_interval = 300;
    settings.adjust_file = "tables/adj";
    settings.print_step = "lpt2";
    int type = 2;
    {
        EvrStation station(layer);
        layer.auto_adjust.store(false);
        ASSERT_EQ(station.open(&type, settings, frontend, nullptr), kOk);
        EXPECT_EQ(type, 2);
        EXPECT_TRUE(frontend.boxes.empty());
        EXPECT_TRUE(layer.library.loaded());
        EXPECT_EQ(layer.width.load(), 16);
        EXPECT_EQ(layer.interval_ms.load(), 300u);
        EXPECT_EQ(layer.adjust_file, "tables/adj");
        EXPECT_EQ(evr_printer_device(layer.printer), "/dev/lp1");
        EXPECT_TRUE(layer.auto_adjust.load());     // "&Auto Adjustment" is on at start
        EXPECT_EQ(layer.image->values[77], 0xFFFF);  // cleared for the width
        RunContext context;
        station.attach(context);
        EXPECT_EQ(context.evr, &layer);
        EXPECT_EQ(context.adjuster, &station.adjuster());
    }
    EXPECT_FALSE(layer.library.loaded());  // released at exit
    settings.print_step = "COM3";  // a serial port prints NG tickets, not EVR cells
    EXPECT_EQ(evr_printer_for(settings), "LPT1");
}

TEST(EvrStartup, ARefusedDriverShowsItsMessageAndTheSettingStays) {
    ScopedEnv path("KSW_LIBRARY_PATH", std::string(KSW_FAKE_EVR_DIR) + "/old");
    EvrLayer layer;
    EvrStation station(layer);
    RecordingFrontend frontend;
    int type = 2;
    ASSERT_EQ(station.open(&type, Settings{}, frontend, nullptr), kOk);
    ASSERT_EQ(frontend.boxes.size(), 1u);
    EXPECT_EQ(frontend.boxes[0].text, "s024: Missing DLL for EVR or too old");
    EXPECT_FALSE(layer.library.loaded());
    EXPECT_EQ(type, -1);  // no back-end; evr_func( may still bind a driver later
    EXPECT_EQ(layer.type.load(), -1);
}

TEST(EvrStartup, WithoutMemoryForTheImageStartUpEndsWithE018UnderEvr) {
    EvrLayer layer;
    layer.image.reset();  // as when the allocation failed
    EvrStation station(layer);
    RecordingFrontend frontend;
    int type = -1;
    EXPECT_EQ(station.open(&type, Settings{}, frontend, nullptr), kErrNoMemory);
    ASSERT_EQ(frontend.boxes.size(), 1u);
    EXPECT_EQ(frontend.boxes[0].text, "e018: No memory of computor");
    EXPECT_NE(frontend.boxes[0].caption.find("EVR"), std::string::npos) << frontend.boxes[0].caption;
}

}  // namespace
}  // namespace ksw
