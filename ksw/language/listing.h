// A readable listing of a compiled program: every existing step with the fields that differ
// from a fresh step, then its commands with their row keyword, sub-mode, slots, mask and text.
// Tests compare it with the listing they expect ("this source compiles to this").
#pragma once

#include <string>

#include "model/command_row.h"

namespace ksw {

// One line per step and per command, for example:
//   step 1 mode=3 link=-1 target=5 upper=1 lower=-1
//     0 copyad( sub=0 ints=1,2,1,0,1,1
//     1 ,dc_volt( sub=0 reals=5,1,-1 measure
// Slots are listed up to the last non-zero one; reals print with "%.17g"; the mask in hex.
std::string compile_listing(const ProgramModel &model, CommandTable table);

// The listing of one command record, its keyword taken from `table`.
std::string command_listing(const CommandRecord &command, CommandTable table);

}  // namespace ksw
