// Conditional compilation: the second pass hands each statement to this layer, which acts on
// "#define" and "#undef" against the define table and follows the nesting of "#ifdef",
// "#ifndef", "#else" and "#endif".
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "values/defines.h"

namespace ksw {

// What a second-pass statement is for the conditional layer.
enum DirectiveKind : int {
    kDirectiveError = -1,
    kOrdinaryStatement = 0,
    kDirectiveHandled = 1,   // #define / #undef (acted on only in an active part)
    kConditionHolds = 2,     // #ifdef of a defined name, #ifndef of an undefined one
    kConditionFails = 3,
    kDirectiveElse = 4,
    kDirectiveEndif = 5,
};

// Classifies `statement` (blanks already removed). `active` says whether the enclosing part is
// active. On kDirectiveError `*code` holds the error (e029 for an unknown directive or text
// after #else/#endif, or define_symbol's code).
[[nodiscard]] int classify_directive(DefineTable &table, std::string_view statement, bool active, int *code);

// The nesting of #ifdef/#ifndef blocks that the second pass works through.
class ConditionalBlocks {
public:
    // Feeds one classification; on success `*compile` says whether an ordinary statement is to
    // be compiled. Returns 0, e016 (#else or #endif outside a block) or e062 (a second #else).
    // `line` and `statement` say where the statement stands, so that a block left open can be
    // named at the end.
    int feed(int kind, bool *compile, int line = 0, std::string_view statement = {});
    // The line and statement of the innermost block still open (0 and empty when none).
    int open_line() const { return parts_.empty() ? 0 : parts_.back().line; }
    const std::string &open_statement() const;
    // True when statements are compiled here.
    bool active() const { return parts_.empty() || parts_.back().active; }
    bool inside_block() const { return !parts_.empty(); }
    // At the end of the intermediate file: e015 when a block is still open, else 0.
    int finish() const;
    void reset() { parts_.clear(); }

private:
    struct Part {
        bool active;         // this part is compiled
        bool parent_active;  // the enclosing part was active when the block opened
        bool held;           // the block's condition held
        bool in_else;
        int line;
        std::string statement;
    };
    std::vector<Part> parts_;
};

}  // namespace ksw
