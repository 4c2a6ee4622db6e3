// The second compiler pass: reads the intermediate file statement by statement (all blanks
// outside quotes removed), lets the conditional layer filter it, rewrites register and switch
// assignments into commands, and compiles each statement into the program model. It stops at
// the first error and says where: the step, the number of statements compiled in it, and the
// statement.
#pragma once

#include <string>
#include <string_view>

#include "language/conditionals.h"
#include "language/file_access.h"
#include "language/program_build.h"
#include "values/defines.h"

namespace ksw {

struct CompileState {
    ProgramBuild build;                   // the program being built, its table and options
    DefineTable *defines = nullptr;
    ProgramFile *compile_data = nullptr;  // "temp0002.$$$" while the -C option is on, else null

    int reported_step = 0;       // the step named in an error report
    int label_base = 0;          // base of labels written with a sign
    bool first_command = true;   // no statement compiled yet in this step
    int command_count = 0;       // statements compiled in this step
    int line = 0;                // lines of the intermediate file read so far
    int current_line = 0;        // line on which the statement being compiled began
    ConditionalBlocks blocks;

    // Where the pending measurement item was written, so that an error found when it is
    // compiled at the end of its step names the item's own statement and line.
    std::string item_statement;
    int item_line = 0;
    int item_command_count = 0;
    bool item_failed = false;    // the last error came from compiling the pending item
};

// The outcome of a second pass.
struct CompileResult {
    int code = 0;            // 0 compiled, else the error
    int step = 0;            // the reported step
    int command_count = 0;
    int line = 0;            // line of the intermediate file holding the statement (1-based)
    std::string statement;   // the statement as compiled (after rewriting)
};

// Resets the compile state and the model's compile fields for a new pass.
void reset_compile_state(CompileState &state);

// Compiles the whole open intermediate file. At its end the statement "end" is compiled as if
// it stood there, so the last step's measurement item is compiled. Returns the outcome.
CompileResult compile_pass(CompileState &state, ProgramFile &intermediate);

// Compiles one statement (blanks already removed). Returns 0, -1 for the end of the program,
// or an error code. `statement` is replaced by its rewritten form when it was an assignment.
[[nodiscard]] int compile_line(CompileState &state, std::string &statement);

// Rewrites "ad[..]=...", "rd[..]=...", "ad[..]++", "sw[..]=..." and "fsw[..]=..." statements into
// the command they stand for; other statements stay as they are. Returns 0 or an error code.
[[nodiscard]] int rewrite_assignment(std::string &statement);

// Checks the brackets of an argument text that follows a keyword's "(": 0 when a ")" closes it
// with nothing after it, e071 when text follows that ")", e070 when it is never closed.
[[nodiscard]] int check_brackets(std::string_view args);

// The s005 report text of a failed pass.
std::string compile_error_report(const CompileResult &result);

}  // namespace ksw
