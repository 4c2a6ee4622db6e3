// What `ksw --check --strict` adds to a check: the commands of a loaded program that this
// station cannot run because their device front-end is not part of it, so an engineer learns
// it before the program reaches a line.
#pragma once

#include <string>
#include <vector>

#include "language/program_compiler.h"

namespace ksw {

// One line per such command, in step order: "main.ks:12: step 3: lanc( needs the LANC
// front-end, which is not part of this station"; without a known origin the line begins with
// "step 3, command 2: ". Texts from the program are escaped for a terminal.
std::vector<std::string> missing_front_end_lines(const ProgramModel &model, const ProgramCompilation &compilation);

}  // namespace ksw
