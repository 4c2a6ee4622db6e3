// Compiling a test program file as a load does it. Names in the program (includes) count from
// the program's folder; the process's current folder is never changed. The first pass writes
// the intermediate file beside the program under a name of this process's own (created
// exclusively, private to its owner, never through a symbolic link, removed when the compile
// ends); the previous program is freed only when the first pass succeeded, and the second pass
// builds the new one. After a compile error no program is loaded. Nothing is shown from here:
// the outcome carries the reports, and the station shows them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "language/preprocessor.h"
#include "language/step_compiler.h"

namespace ksw {

constexpr const char *kIntermediateFile = "temp0001.$$$";
constexpr const char *kCompileDataFile = "temp0002.$$$";

struct CompileOptions {
    bool keep_macro_data = false;    // keep the intermediate file as "temp0001.$$$" (-M)
    bool save_compile_data = false;  // write "temp0002.$$$" and "adrdinfo.txt" (-C)
    CommandTable table;              // the keywords to compile with
    LanguageOptions language;        // EVR width, code page
    std::function<void(int line)> progress;  // told the line count every 100 lines, if set
};

enum class CompileStage { kNone, kFirstPass, kSecondPass };

// A message for the user that the compile produced: the text and the caption under which the
// station shows it ("ERROR", "MACRO" after the program title, or a caption of its own).
struct CompileNotice {
    std::string text;
    std::string caption_word;
    bool whole_caption = false;  // the caption is `caption_word` alone, not "title - word"
};

struct ProgramCompilation {
    bool loaded = false;
    CompileStage failed_stage = CompileStage::kNone;
    int code = 0;              // the error that failed it (0 when a file could not be opened)
    std::string report;        // the failure report (s006, s007, s008, s005), empty on success
    std::vector<CompileNotice> notices;  // what to show, in order (the report among them)
    CompileResult result;      // the second pass's outcome
    std::string source_file;   // where the failing statement came from, when known
    int source_line = 0;
    // A loaded program's origins: the files it was read from, main file first, and where each
    // line of the intermediate file came from (see source_of).
    std::vector<std::string> source_files;
    std::vector<SourceLine> line_map;
};

// The file and line that line `intermediate_line` (1-based) of a loaded program's intermediate
// file came from; false when that is not known.
bool source_of(const ProgramCompilation &compilation, int intermediate_line, std::string *file, int *line);

// Compiles `path` into `model`, using `defines`. A first-pass failure leaves the previous
// program in `model`; a second-pass failure leaves no program.
ProgramCompilation compile_program(const std::string &path, ProgramModel &model, DefineTable &defines,
                                   const CompileOptions &options);

// The per-process name of an intermediate file ("temp0001.$$$" -> "temp0001-<pid>.$$$").
std::string private_file_name(const char *name);

}  // namespace ksw
