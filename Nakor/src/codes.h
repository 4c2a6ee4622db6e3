// Result codes inside the transport: what one exchange or one call of the lower library came to,
// and how that becomes the code an export returns.
#pragma once

#include <cstdint>

namespace nakor {

// Internal results of one exchange or one lower-library call.
enum Internal : int {
    kDone = 0,
    kSessionFailed = 2,   // the session could not be opened
    kUnitError = 10,      // the unit refused the command with a detail other than 3
    kBadReply = 11,       // no echo of the command, a broken layout, or the unit's detail 3
    kLowerTimeout = 12,   // lower-library code 4
    kNoResources = 20,    // lower-library code 1, or a work buffer that could not be had
    kLowerGone = 40,      // lower-library code 5
    kLoadFailed = 50,     // the lower library could not be loaded or bound
    kOtherFailure = 100,  // any other lower-library code, a file that cannot be written
};

// The lower library's error code as an internal result: 0 -> 0, 1 -> 20, 2 -> 11, 3 -> 10,
// 4 -> 12, 5 -> 40, anything else -> 100.
int map_lower_error(int32_t code);

// The internal result of a lower-library call that failed: its mapped error, except that a
// library that reports no error for a failed call still gives a failure (100), never success.
int failed_call(int32_t code);

// An internal result as an export code: 0 -> 0, 2 -> 1, 10 -> 2, 11 -> 3, 12 -> 5, 20 -> 4,
// anything else -> 8.
int32_t export_code(int internal);

}  // namespace nakor
