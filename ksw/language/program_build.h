// The compiler's scratch while it builds a program, and the two operations every compile step
// uses: finding a statement's keyword and making a command record.
#pragma once

#include <string>
#include <string_view>

#include "model/command_row.h"

namespace ksw {

struct ProgramBuild {
    ProgramModel *model = nullptr;
    CommandTable table;                       // the rows statements are looked up in
    LanguageOptions options;
    int current_step = -1;                    // step of the last label, -1 before the first
    int command_counter = 0;                  // index of the next command in the current step
    std::string pending_item;                 // the current step's measurement item, at most 255 bytes
    MeasureBlock *current_measure = nullptr;  // always owned by a step

    // Back to the start of a compilation: no label, no pending item, no measuring block.
    void reset();
};

struct KeywordMatch {
    int row = -1;       // -1: no row matches
    size_t length = 0;  // length of the matched keyword; the arguments start there
};

// The first row of `table` whose keyword begins `statement`, ignoring the case of ASCII letters.
KeywordMatch lookup_keyword(CommandTable table, std::string_view statement);

// Makes a command record for a statement of step `step` with the given row and argument text,
// links it after the step's last command, stores the row's run handler in it and runs the row's
// compile handler. Before the first label (step < 0) nothing is stored and 0 is returned. For a
// measurement item the record points to the current measuring block, which then belongs to the
// step. Returns 0, e035, e018 or the compile handler's code.
[[nodiscard]] int new_command(ProgramBuild &build, int step, CommandKind kind, int row, std::string_view args);

}  // namespace ksw
