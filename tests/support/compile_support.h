// Compile options as the station gives them: the real command table, 8-bit EVR values, no
// double-byte code page.
#pragma once

#include "commands/commands.h"
#include "language/program_compiler.h"

namespace ksw::testing {

inline CompileOptions compile_options() {
    CompileOptions options;
    options.table = command_table();
    return options;
}

}  // namespace ksw::testing
