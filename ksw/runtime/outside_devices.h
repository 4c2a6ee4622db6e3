// The outside devices whose front-end this station does not have: their commands compile, so a
// program written for a station that has them still loads, but a step that runs one stops with
// e029 and names the device; `ksw --check --strict` lists them before a program reaches a line.
#pragma once

#include <string>

namespace ksw {

struct MissingFrontEnd {
    int row;              // the command-table row (CommandRowId)
    const char *keyword;  // the command's keyword, "lanc("
    const char *device;   // what it needs, "the LANC front-end"
};

// The front-end that the command of table row `row` needs and this station lacks; null for a
// command that this station runs.
const MissingFrontEnd *missing_front_end(int row);

// "lanc( needs the LANC front-end, which is not part of this station".
std::string missing_front_end_text(const MissingFrontEnd &missing);

}  // namespace ksw
