// The commands layer joins the two halves of every keyword: it holds the one command table, whose
// rows pair the compile handlers of the language layer with the run handlers of the runtime
// layer, and hands it to whoever compiles. A new keyword is a compile handler in language/, a
// run handler in runtime/ and one row here.
#pragma once

#include "model/command_row.h"

namespace ksw {

// The table of every keyword, kRowTotal rows in row-id order, ending with the kEndOfTable row.
CommandTable command_table();

}  // namespace ksw
