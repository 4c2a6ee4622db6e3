// A process that has not loaded the USB library yet: without it on the library path the
// transport reports it missing and loads nothing; once it is there, the unit comes from the
// scenario that KSW_SIM_SCENARIO names. A program of its own that does not link the stand-in.
#include <gtest/gtest.h>

#include "Nakor.h"
#include "temp_dir.h"

namespace {

TEST(FirstUse, AMissingLibraryIsTriedAgainAndTheUnitComesFromTheNamedScenario) {
    ksw::testing::TempDir dir;
    ksw::testing::write_text(dir.file("usb.ini"), "[usb]\nkind=2\n");
    ksw::testing::ScopedEnv scenario("KSW_SIM_SCENARIO", dir.file("usb.ini"));
    {
        ksw::testing::ScopedEnv empty("KSW_LIBRARY_PATH", dir.path());
        EXPECT_EQ(Nakor_Init(), NAKOR_NO_LIBRARY);
        EXPECT_EQ(Nakor_Exit(), NAKOR_WRONG_STATE);
    }
    ksw::testing::ScopedEnv path("KSW_LIBRARY_PATH", KSW_SIM_LIBRARY_DIR);
    ASSERT_EQ(Nakor_Init(), NAKOR_OK);
    EXPECT_EQ(Nakor_Open(0, 100), NAKOR_NO_UNIT);
    ASSERT_EQ(Nakor_Open(2, 100), NAKOR_OK);
    EXPECT_EQ(Nakor_Nop(100), NAKOR_OK);
    EXPECT_EQ(Nakor_Close(100), NAKOR_OK);
    EXPECT_EQ(Nakor_Exit(), NAKOR_OK);
}

}  // namespace
