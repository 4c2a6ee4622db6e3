#include "zelw.h"

namespace {
// The library's version text, read as hexadecimal.
constexpr const char *kVersionText = "275";
}  // namespace

// The version text "275" read as hexadecimal: 0x275.
ZELW_API int ZelwGetVersion(void) { return StrToHexA(kVersionText, -1); }
