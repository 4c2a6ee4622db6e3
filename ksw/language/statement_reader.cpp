#include "language/statement_reader.h"

#include "language/dbcs.h"
#include "resources/error_codes.h"
#include <climits>

namespace ksw {
namespace {

bool is_line_end(int c) { return c == '\r' || c == '\n' || c == 0; }
bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

// Counts the line end `c` just read, taking the LF of a CR LF with it.
void end_line(StatementReader &reader, int c) {
    if (reader.line < INT_MAX) ++reader.line;
    if (c == '\r') {
        const int next = reader.file->read_byte();
        if (next != '\n' && next >= 0) reader.file->unread_byte();
    }
}

void show_progress(StatementReader &reader) {
    if (!reader.progress || reader.line % 100 != 0 || reader.line == reader.shown_line) return;
    reader.shown_line = reader.line;
    (*reader.progress)(reader.line);
}

}  // namespace

int read_statement(StatementReader &reader, std::string &out, int mode) {
    show_progress(reader);
    out.clear();
    reader.statement_line = reader.line < INT_MAX ? reader.line + 1 : INT_MAX;
    ProgramFile &file = *reader.file;
    bool collected = false;  // anything read that belongs to this statement
    bool in_comment = false;
    char quote = 0;

    for (;;) {
        const int c = file.read_byte();
        if (c < 0) {
            if (file.read_failed()) return kErrOpenFile;
            return collected ? kOk : -1;
        }
        collected = true;

        if (is_line_end(c)) {
            end_line(reader, c);
            return kOk;
        }
        if (c == '\\' || is_lead_byte(static_cast<unsigned char>(c))) {
            // A pair: the second byte is taken as it stands. A line end or the end of the
            // file is never swallowed: the first byte then stands alone.
            const int second = file.read_byte();
            const bool paired = second >= 0 && !is_line_end(second);
            if (second >= 0 && !paired) file.unread_byte();
            if (in_comment) continue;
            out.push_back(static_cast<char>(c));
            if (paired) out.push_back(static_cast<char>(second));
        } else if (in_comment) {
            if (c == '}') in_comment = false;
            continue;
        } else if (quote) {
            out.push_back(static_cast<char>(c));
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            out.push_back(static_cast<char>(c));
            quote = static_cast<char>(c);
        } else if (c == '{') {
            in_comment = true;
            continue;
        } else if (c == ';') {
            return kOk;
        } else if (is_blank(c)) {
            if (mode == kStatementCompact || out.empty()) continue;
            out.push_back(' ');
        } else {
            out.push_back(static_cast<char>(c));
        }
        if (out.size() > kMaxStatementLength) return kErrLineTooLong;
    }
}

}  // namespace ksw
