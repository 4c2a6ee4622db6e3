// Compiling a test program file as a load does it: the program's folder is the current folder
// for the whole compilation, the first pass writes "temp0001.$$$" there, the previous program
// is freed only when the first pass succeeded, and the second pass builds the new one. After a
// compile error no program is loaded.
#pragma once

#include <string>
#include <vector>

#include "compiler/preprocessor.h"
#include "compiler/step_compiler.h"

namespace ksw {

class Frontend;

struct CompileOptions {
    bool keep_macro_data = false;    // keep "temp0001.$$$" (-M)
    bool save_compile_data = false;  // write "temp0002.$$$" and "adrdinfo.txt" (-C)
    Frontend *frontend = nullptr;    // message boxes and progress; none in quiet tools
};

enum class CompileStage { kNone, kFirstPass, kSecondPass };

struct ProgramCompilation {
    bool loaded = false;
    CompileStage failed_stage = CompileStage::kNone;
    int code = 0;              // the error that failed it (0 when a file could not be opened)
    std::string report;        // the report shown to the user (s006, s007, s008, s005)
    CompileResult result;      // the second pass's outcome
    std::string source_file;   // where the failing statement came from, when known
    int source_line = 0;
};

// Compiles `path` into `model`, using `defines`. Returns to the current folder of the caller
// when it ends. A first-pass failure leaves the previous program in `model`; a second-pass
// failure leaves no program.
ProgramCompilation compile_program(const std::string &path, ProgramModel &model, DefineTable &defines,
                                   const CompileOptions &options);

}  // namespace ksw
