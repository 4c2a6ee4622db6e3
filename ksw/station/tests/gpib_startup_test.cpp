// The GPIB link's options from the settings, a board change from the settings page, and the
// release at exit, on the simulated board.
#include <gtest/gtest.h>

#include "resources/error_codes.h"
#include "sim_gpib.h"
#include "station/gpib_startup.h"

namespace ksw {
namespace {

class GpibStartup : public testing::SimGpibTest {};

TEST_F(GpibStartup, TheSettingsGiveBoardDelayAndIgnore) {
    Settings settings;
    settings.gpib_board_no = 3;
    settings.gpib_mes_delay = -20;
    settings.evr_ignore = true;
    const GpibOptions options = gpib_options_for(settings);
    EXPECT_EQ(options.board, 3);
    EXPECT_EQ(options.mes_delay_ms, 0u);  // a negative delay waits nothing
    EXPECT_TRUE(options.ignore);
    settings.gpib_mes_delay = 250;
    EXPECT_EQ(gpib_options_for(settings).mes_delay_ms, 250u);
}

TEST_F(GpibStartup, ABoardChangedOnTheSettingsPageIsInitialisedOnceTheLibraryIsBound) {
    load("[gpib]\nboards=0,2\n");
    GpibStation station(link);
    station.open(Settings{});
    RunContext context;
    station.attach(context);
    EXPECT_EQ(context.gpib, &link);
    // Before the first GPIB use nothing is bound: only the number changes.
    ASSERT_EQ(station.change_board(2), kOk);
    EXPECT_FALSE(link.library.loaded());
    ASSERT_EQ(gpib_ready(link), kOk);
    EXPECT_EQ(board(2).inits, 1);
    EXPECT_EQ(board(0).inits, 0);
    ASSERT_EQ(station.change_board(0), kOk);
    EXPECT_EQ(board(2).finishes, 1);
    EXPECT_EQ(board(0).initialised, 1);
    // At exit the library goes without the board being finished.
    station.close();
    EXPECT_FALSE(link.library.loaded());
    EXPECT_EQ(board(0).initialised, 1);
    EXPECT_EQ(board(0).finishes, 0);
}

}  // namespace
}  // namespace ksw
