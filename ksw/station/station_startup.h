// The parts of start-up that the station shows to the operator: the registers, and the
// threads it starts.
#pragma once

#include "model/frontend.h"

namespace ksw {

// Allocates the registers; on failure shows "e018: No memory of computor" under the caption of
// the file that failed ("rd[]" or "ad[]") and returns e018 (start-up then ends).
[[nodiscard]] int start_station_registers(Frontend &frontend, int fail_allocation = 0);

}  // namespace ksw
