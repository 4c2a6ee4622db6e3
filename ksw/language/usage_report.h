// The register usage report "adrdinfo.txt": which ad[] and rd[] registers a compiled program
// names, written after a compile when the compile-data option is on.
#pragma once

#include <string>
#include <string_view>

#include "model/program_model.h"

namespace ksw {

// The report's bytes. Each map is scanned from 0 to 7999: a run of entries marked 1 gives a line
// "ad[first]-ad[last]" (or "ad[n]" for a run of one), an entry of 255 (an open block) ends any
// run before it and gives "ad[n]-". The rd[] lines ("rd[...]") follow after an empty line.
// Every line ends in CR LF.
std::string format_register_usage(const RegisterUsageMap &usage);

// Writes the report as "adrdinfo.txt" in `folder` (atomically). When the file cannot be written,
// stores "s007: [<path>]\nCan't open file" with the reason in `report` (shown under the caption
// "Data saving"), writes nothing, and returns the message id 3007; otherwise returns 0.
[[nodiscard]] int write_register_usage(const RegisterUsageMap &usage, std::string_view folder, std::string *report);

}  // namespace ksw
