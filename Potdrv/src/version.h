// The driver's version texts, as the library carries them in place of a version resource.
#pragma once

namespace potdrv {

constexpr const char kFileVersion[] = "1.07";
constexpr const char kFileDescription[] = "EVR driver by USB";
constexpr const char kProductName[] = "HBUS.DLL";

}  // namespace potdrv
