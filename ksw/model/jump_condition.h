// The sub-modes of jump(, rjump(, call( and ret(: the condition words in list order ("ok", "ng",
// "sma", "lar", "sca", "key", "=", "<=", ">=", "<", ">"), and "always" for a jump or call with a
// target alone. ret( stores the word's index plus one (0: return always). The compile handlers
// store them and the run handlers test them.
#pragma once

#include <array>
#include <string_view>

namespace ksw {

enum JumpCondition : int {
    kCondOk, kCondNg, kCondSmaller, kCondLarger,
    kCondKeyHeld,     // "sca": the key is held down now
    kCondKeyWaiting,  // "key": the key waits in the key buffer
    kCondEqual, kCondLessEqual, kCondGreaterEqual, kCondLess, kCondGreater,
    kCondAlways,
};

// The condition words in sub-mode order ("always" has none).
inline constexpr std::array<std::string_view, kCondAlways> kJumpConditionWords{
    "ok", "ng", "sma", "lar", "sca", "key", "=", "<=", ">=", "<", ">"};
static_assert(kJumpConditionWords[kCondKeyHeld] == "sca" && kJumpConditionWords[kCondEqual] == "=" &&
              kJumpConditionWords[kCondGreater] == ">");

}  // namespace ksw
