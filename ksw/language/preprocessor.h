// The first compiler pass: reads the program file and every file it includes, expands macros
// and writes one statement a line to the intermediate file. Conditions (#ifdef ...) are left
// for the second pass, so "#include" and "#macro" act wherever they stand, and an "end"
// statement ends the reading of its file already here.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "language/file_access.h"

namespace ksw {

constexpr int kMaxMacros = 500;
constexpr size_t kMaxMacroName = 31;
constexpr size_t kExpansionLimit = 4095;
constexpr int kMaxIncludeDepth = 10;

struct MacroEntry {
    std::string name;  // empty: a free entry
    std::string body;  // lines separated by LF, without a final line end
    bool has_body = false;
};

// Where each line of the intermediate file came from, so reports can name file and line.
struct SourceLine {
    int file = 0;  // index into Preprocessor::files
    int line = 0;  // 1-based line in that file
};

struct Preprocessor {
    ProgramFile *out = nullptr;    // the intermediate file, open for writing
    std::string base_folder;       // relative file names are opened from here (the program's folder)
    const std::function<void(int line)> *progress = nullptr;  // the line count every 100 lines

    // What the pass produced besides the file.
    std::vector<std::string> files;     // file names as given, main file first
    std::vector<SourceLine> line_map;   // one entry per line written
    std::string report;                 // the text of the failure report, empty on success
    int error_code = 0;                 // the code that failed the pass (0 for open failures)
    std::string failed_file;            // an #include that failed: the file and line it stands in
    int failed_line = 0;

    // Work state of one pass.
    std::vector<MacroEntry> macros;
    std::unordered_map<std::string, int> macro_index;  // lower-cased name -> first entry
    std::string expansion;
    int include_depth = 0;
    int defining = -1;  // entry of the macro whose body is being read
};

// Runs the whole first pass over `main_file` into `pp.out`. Returns true on success; on failure
// `pp.report` holds the text to show the user (caption word "MACRO").
bool preprocess_program(Preprocessor &pp, const std::string &main_file);

}  // namespace ksw
