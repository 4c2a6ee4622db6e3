// Reads a test program statement by statement. Both compiler passes use it: the first pass
// keeps the blanks inside a statement, the second removes all whitespace outside quotes.
#pragma once

#include <functional>
#include <string>

#include "language/file_access.h"

namespace ksw {

constexpr size_t kMaxStatementLength = 254;

enum StatementMode : int {
    kStatementCompact = 0,     // all whitespace outside quotes removed
    kStatementKeepBlanks = 1,  // leading whitespace dropped, each inner whitespace byte one blank
};

struct StatementReader {
    ProgramFile *file = nullptr;
    int line = 0;                   // line ends read so far
    int statement_line = 0;         // 1-based line on which the last statement began
    const std::function<void(int line)> *progress = nullptr;  // told the line count every 100 lines
    int shown_line = -1;
};

// Reads the next statement into `out` (never holding a line end). A statement ends at a line
// end (CR, LF, CR LF or NUL, counted as one line) or at a ";" outside quotes and comments (the
// rest of the line is the next statement). A "{" outside quotes starts a comment that ends at
// "}" or at the line end. Double or single quotes keep everything up to the matching quote. A
// backslash or a double-byte lead byte takes the next byte with it, so that byte never acts as
// a quote, brace or separator. Returns 0, -1 at the end of the file when nothing was
// collected, e068 when the statement grows beyond 254 characters, or e107 when the file could
// not be read (the file's error() says why).
[[nodiscard]] int read_statement(StatementReader &reader, std::string &out, int mode);

}  // namespace ksw
