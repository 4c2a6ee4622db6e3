#include "language/preprocessor.h"
#include "platform/ascii.h"

#include <algorithm>

#include "language/arguments.h"
#include "language/dbcs.h"
#include "language/statement_reader.h"
#include "resources/error_codes.h"
#include "resources/format.h"
#include "resources/messages.h"

namespace ksw {
namespace {

std::string without_blanks(std::string_view text) {
    std::string out;
    for (const char c : text)
        if (c != ' ' && c != '\t' && c != '\v' && c != '\f') out.push_back(c);
    return out;
}

// The one name after a directive word: e003 without one, e074 with two.
int directive_name(std::string_view rest, std::string *name) {
    std::vector<std::string> fields;
    const std::string text = without_blanks(rest);
    if (split_args(text, 1, fields) != kOk) return kErrLackingArgument;
    *name = fields[0];
    if (split_args(text, 2, fields) == kOk) return kErrTooManyParameters;
    return kOk;
}

void fail(Preprocessor &pp, int code, std::string report) {
    pp.error_code = code;
    pp.report = std::move(report);
}

// The "can't open" report for `name`, with the reason.
void fail_open(Preprocessor &pp, const std::string &name, const std::string &reason) {
    std::string report = format_text(message_text(kMsgCantOpenFile), {name});
    if (!reason.empty()) report += "\n(" + reason + ")";
    fail(pp, 0, std::move(report));
}

// Where a program file named `name` is opened: names that are not absolute count from the
// program's folder ("\\" separates folders too).
std::string resolved(const Preprocessor &pp, const std::string &name) {
    const std::string path = platform_path(name);
    if (path.empty() || path.front() == '/' || pp.base_folder.empty() || pp.base_folder == ".") return path;
    return pp.base_folder + "/" + path;
}

// Enters `name` in the macro table: e064 when an entry of that exact name exists, e066 when
// all entries are used.
int define_macro(Preprocessor &pp, std::string name) {
    if (name.size() > kMaxMacroName) name.resize(kMaxMacroName);
    for (size_t i = 0; i < pp.macros.size(); ++i) {
        if (pp.macros[i].name.empty()) continue;
        if (pp.macros[i].name == name) return kErrMacroDuplicated;
    }
    if (pp.macros.size() >= static_cast<size_t>(kMaxMacros)) return kErrTooManyMacros;
    pp.macros.push_back(MacroEntry{name, {}, false});
    pp.defining = static_cast<int>(pp.macros.size()) - 1;
    pp.macro_index.emplace(platform::ascii_lowered(name), pp.defining);  // an earlier entry of that name wins
    return kOk;
}

// Appends the expansion of one statement and a line end to the expansion buffer.
int expand_statement(Preprocessor &pp, std::string_view statement) {
    size_t start = statement.find_first_not_of(" \t\v\f");
    if (start == std::string_view::npos) start = statement.size();
    const std::string_view text = statement.substr(start);
    const std::string_view word = text.substr(0, text.find_first_of(" \t\v\f"));
    const auto found = word.empty() ? pp.macro_index.end() : pp.macro_index.find(platform::ascii_lowered(word));
    if (found == pp.macro_index.end()) {
        if (pp.expansion.size() + text.size() > kExpansionLimit) return kErrLineTooLong;
        pp.expansion.append(text);
    } else if (found->second == pp.defining) {
        return kErrMacroDuplicated;
    } else {
        const MacroEntry &macro = pp.macros[static_cast<size_t>(found->second)];
        if (pp.expansion.size() + macro.body.size() > kExpansionLimit) return kErrMacroTooLong;
        pp.expansion.append(macro.body);
    }
    pp.expansion.push_back('\n');
    return kOk;
}

// Writes the expansion buffer to the intermediate file (CR LF line ends), noting the origin of
// every line.
int write_expansion(Preprocessor &pp, int file_index, int line) {
    if (pp.expansion.empty() || pp.expansion.front() == '\n') return kOk;
    std::string text;
    text.reserve(pp.expansion.size() + 8);
    for (const char c : pp.expansion) {
        if (c == '\n') {
            text += "\r\n";
            pp.line_map.push_back(SourceLine{file_index, line});
        } else {
            text.push_back(c);
        }
    }
    return pp.out->write(text) ? kOk : kErrOpenFile;
}

bool preprocess_file(Preprocessor &pp, std::string_view name_text);

// Reads a macro body up to "#endm" into the expansion buffer and stores it.
int read_macro_body(Preprocessor &pp, StatementReader &reader, std::string &statement) {
    for (;;) {
        const int rc = read_statement(reader, statement, kStatementKeepBlanks);
        if (rc == -1) break;
        if (rc != kOk) return rc;
        if (starts_with_word(statement, "#endm")) break;
        if (starts_with_word(statement, "#macro")) return kErrNestedMacro;
        if (const int e = expand_statement(pp, statement); e != kOk) return e;
    }
    MacroEntry &macro = pp.macros[static_cast<size_t>(pp.defining)];
    if (!pp.expansion.empty()) {
        macro.body.assign(pp.expansion, 0, pp.expansion.size() - 1);  // without the final line end
        macro.has_body = true;
    }
    pp.defining = -1;
    return kOk;
}

// Runs the included file `name` and comes back to `file` at the position it had.
bool include_file(Preprocessor &pp, ProgramFile &file, const std::string &name) {
    const int64_t position = file.position();
    const std::string current = file.name();
    file.close();  // the coded-file library keeps one file open per direction
    const bool ok = preprocess_file(pp, name);
    --pp.include_depth;
    if (!ok) return false;
    if (!file.open_read(current) || !file.seek(position)) {
        fail_open(pp, current, file.error());
        return false;
    }
    return true;
}

// One statement of the first pass: 0 go on, -1 this file ends, else an error code. `*failed`
// is set when a nested file failed (it has reported already).
int handle_statement(Preprocessor &pp, ProgramFile &file, StatementReader &reader, std::string &statement, int file_index,
                     bool *failed) {
    pp.expansion.clear();
    if (starts_with_word(statement, "#include")) {
        // "\\" separates folders in an include name (programs written on other systems use it),
        // so it is no escape here.
        std::string rest = statement.substr(8);
        for (size_t i = 0; i < rest.size(); ++i) {
            if (is_lead_byte(static_cast<unsigned char>(rest[i]))) ++i;  // its trail byte stays
            else if (rest[i] == '\\') rest[i] = '/';
        }
        std::string name;
        if (const int rc = directive_name(rest, &name); rc != kOk) return rc;
        if (++pp.include_depth > kMaxIncludeDepth) {
            --pp.include_depth;
            return kErrIncludeTooDeep;  // reported with the file, line and statement of this #include
        }
        if (!include_file(pp, file, name)) {
            if (pp.failed_file.empty()) {  // the innermost #include that failed
                pp.failed_file = pp.files[static_cast<size_t>(file_index)];
                pp.failed_line = reader.statement_line;
            }
            *failed = true;
            return kErrOpenFile;
        }
        return kOk;
    }
    if (starts_with_word(statement, "#macro")) {
        std::string name;
        if (const int rc = directive_name(std::string_view(statement).substr(6), &name); rc != kOk) return rc;
        if (const int rc = define_macro(pp, name); rc != kOk) return rc;
        return read_macro_body(pp, reader, statement);
    }
    if (starts_with_word(statement, "end")) return -1;
    if (const int rc = expand_statement(pp, statement); rc != kOk) return rc;
    return write_expansion(pp, file_index, reader.statement_line);
}

bool preprocess_file(Preprocessor &pp, std::string_view name_text) {
    std::string name(name_text.substr(std::min(name_text.find_first_not_of(" \t"), name_text.size())));
    ProgramFile file;
    if (!file.open_read(resolved(pp, name))) {
        fail_open(pp, name, file.error());
        return false;
    }
    const int file_index = static_cast<int>(pp.files.size());
    pp.files.push_back(name);
    StatementReader reader{&file, 0, 0, pp.progress};
    std::string statement;
    for (;;) {
        int rc = read_statement(reader, statement, kStatementKeepBlanks);
        if (rc == -1) return true;
        if (rc == kErrOpenFile && file.read_failed()) {
            std::string report = format_text(message_text(kMsgPreprocessError), {reader.line + 1, name, std::string()});
            report.append(message_text(rc)).append("\n(").append(file.error()).append(")");
            fail(pp, rc, std::move(report));
            return false;
        }
        bool nested_failed = false;
        if (rc == kOk) rc = handle_statement(pp, file, reader, statement, file_index, &nested_failed);
        if (rc == -1) return true;
        if (nested_failed) return false;
        if (rc != kOk) {
            if (pp.defining >= 0) {
                const auto entry = pp.macro_index.find(platform::ascii_lowered(pp.macros[static_cast<size_t>(pp.defining)].name));
                if (entry != pp.macro_index.end() && entry->second == pp.defining) pp.macro_index.erase(entry);
                pp.macros[static_cast<size_t>(pp.defining)] = MacroEntry{};
                pp.defining = -1;
            }
            std::string report = format_text(message_text(kMsgPreprocessError), {reader.statement_line, name, statement});
            report += message_text(rc);
            fail(pp, rc, std::move(report));
            return false;
        }
    }
}

}  // namespace

bool preprocess_program(Preprocessor &pp, const std::string &main_file) {
    pp.files.clear();
    pp.line_map.clear();
    pp.report.clear();
    pp.error_code = 0;
    pp.failed_file.clear();
    pp.failed_line = 0;
    pp.macros.clear();
    pp.macros.reserve(64);
    pp.macro_index.clear();
    pp.expansion.clear();
    pp.expansion.reserve(kExpansionLimit + 2);
    pp.include_depth = 0;
    pp.defining = -1;
    const bool ok = preprocess_file(pp, main_file);
    pp.include_depth = 0;
    pp.macros.clear();
    pp.macros.shrink_to_fit();
    pp.macro_index.clear();
    pp.expansion.clear();
    return ok;
}

}  // namespace ksw
