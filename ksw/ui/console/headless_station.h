// The station without a window: loads the test program, runs STEP0, then the asked number of
// runs as if the operator pressed Enter each time, each followed by its closing steps, exactly
// as run control drives them in the window. Halts that the program asks for (run modes "STEP"
// and "LINE") are passed at once, since nobody is there to press Enter.
#pragma once

#include "ui/console/console_frontend.h"
#include "ui/launch_options.h"

namespace ksw {

// Exit codes of a headless run.
enum HeadlessExit : int { kExitOk = 0, kExitNg = 1, kExitNotLoaded = 2, kExitStartupFailed = 3 };

// Runs the station on the settings already read; returns the exit code. A close request
// (kMsgCloseRequest, posted when a termination signal arrives) ends it at once: a run still
// going is aborted without its closing steps.
[[nodiscard]] int run_headless_station(ConsoleFrontend &frontend, const LaunchOptions &options);

// Prints the registers of `ranges`, one per line ("ad[5]=65535", "rd[1]=2.5" with %.17g).
std::string dump_registers(const std::vector<DumpRange> &ranges);

}  // namespace ksw
