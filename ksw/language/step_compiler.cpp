#include "language/step_compiler.h"

#include <cmath>
#include <cstdlib>

#include "language/arguments.h"
#include "language/dbcs.h"
#include "language/program_build.h"
#include "language/statement_reader.h"
#include "resources/error_codes.h"
#include "resources/format.h"
#include "resources/messages.h"

namespace ksw {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The step's position in its link chain, 0 when it is not linked.
int link_position(const StepRecord &step) {
    return (step.measure && step.measure->link) ? step.measure->link->position : 0;
}

// Compiles the measurement item waiting for the step that ends now.
int flush_pending_item(CompileState &state) {
    ProgramBuild &build = state.build;
    if (build.pending_item.empty()) return kOk;
    const std::string item = std::move(build.pending_item);
    build.pending_item.clear();
    const KeywordMatch match = lookup_keyword(build.table, item);
    const int rc = match.row < 0 ? kErrUndefinedCommand
                                 : new_command(build, build.current_step, kMeasureItem, match.row,
                                               std::string_view(item).substr(match.length));
    state.item_failed = rc != kOk;
    return rc;
}

// "step" followed by the number, optionally in brackets; a sign makes it relative to the last
// absolute label.
int compile_label(CompileState &state, std::string_view args) {
    const ProgramModel &model = *state.build.model;
    ProgramBuild &build = state.build;
    if (const int rc = flush_pending_item(state); rc != kOk) return rc;
    state.first_command = true;
    size_t i = 0;
    if (i < args.size() && args[i] == '(') ++i;
    const bool relative = i < args.size() && (args[i] == '+' || args[i] == '-');
    const bool negative = relative && args[i] == '-';
    if (relative) ++i;
    if (i >= args.size() || !is_digit(args[i])) return kErrLackingArgument;
    long long value = 0;
    const size_t digits = i;
    while (i < args.size() && is_digit(args[i])) {
        if (value < 100000000) value = value * 10 + (args[i] - '0');
        ++i;
    }
    // A number written with a point or an exponent ("step 1e308") is judged as a number: far
    // out of range, or not a whole step number.
    if (i < args.size() && (args[i] == '.' || args[i] == 'e' || args[i] == 'E')) {
        const std::string number(args.substr(digits));
        char *end = nullptr;
        const double v = std::strtod(number.c_str(), &end);
        if (end == number.c_str()) return kErrWrongStyle;
        if (!(v >= 0 && v <= kLastStep)) return kErrStepOutOfRange;
        if (v != std::floor(v)) return kErrWrongStyle;
        value = static_cast<long long>(v);
        i = digits + static_cast<size_t>(end - number.c_str());
    }
    if (negative) value = -value;
    long long number = relative ? state.label_base + value : value;
    if (!relative) state.label_base = static_cast<int>(value > kLastStep ? kLastStep + 1 : value);
    if (number < 0 || number > kLastStep) return kErrStepOutOfRange;
    const int n = static_cast<int>(number);
    const StepRecord *existing = model.step(n);
    if (n == build.current_step || (existing && !existing->commands.empty() && existing->link_count < 0))
        return kErrStepDuplicated;

    build.current_step = n;
    build.command_counter = 0;
    build.current_measure = nullptr;  // declarations of the new step need its own first command
    state.reported_step = n;
    state.command_count = 0;
    if (i < args.size() && args[i] == ')') ++i;
    return i < args.size() ? kErrDataAfterBracket : kOk;
}

// Entry of "no_operation" and the end of every first command: the first-command rule and the
// step's measuring block.
int finish_first_command(CompileState &state) {
    ProgramBuild &build = state.build;
    if (!state.first_command) return kErrFirstNotOnTop;
    state.first_command = false;
    ++state.command_count;
    if (const int rc = ensure_step(*build.model, build.current_step); rc != kOk) return rc;
    StepRecord &step = *build.model->steps[static_cast<size_t>(build.current_step)];
    if (!step.measure) {
        step.measure.reset(new (std::nothrow) MeasureBlock);
        if (!step.measure) return kErrNoMemory;
    }
    build.current_measure = step.measure.get();
    return kOk;
}

// A mode keyword: keeps the item that follows it for the end of the step.
int compile_first_command(CompileState &state, int row, std::string_view statement, size_t keyword_length) {
    ProgramBuild &build = state.build;
    ProgramModel &model = *build.model;
    if (const int rc = ensure_step(model, build.current_step); rc != kOk) return rc;
    if (!build.pending_item.empty()) return kErrFirstDuplicated;
    build.pending_item = std::string(statement.substr(keyword_length - 1));  // from the keyword's comma on
    state.item_statement = std::string(statement);
    state.item_line = state.current_line;
    state.item_command_count = state.command_count;
    StepRecord &step = *model.steps[static_cast<size_t>(build.current_step)];
    CompileArgs args{model, build, &step, nullptr, row, statement.substr(keyword_length)};
    if (const int rc = build.table[static_cast<size_t>(row)].compile(args); rc != kOk) return rc;
    const int k = link_position(step);
    mark_registers(model.register_usage.rd, k, 1);
    if (step.mode == kModeAutoAdjustItem) mark_registers(model.register_usage.ad, k, 1);
    return finish_first_command(state);
}

}  // namespace

void reset_compile_state(CompileState &state) {
    state.reported_step = 0;
    state.label_base = 0;
    state.first_command = true;
    state.command_count = 0;
    state.line = 0;
    state.current_line = 0;
    state.item_failed = false;
    state.blocks.reset();
    state.build.reset();
}

int check_brackets(std::string_view args) {
    int depth = 1;
    bool quoted = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const char c = args[i];
        if (c == '\\' || is_lead_byte(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (quoted) continue;
        if (c == '(') ++depth;
        if (c == ')' && --depth == 0) return i + 1 < args.size() ? kErrDataAfterBracket : kOk;
    }
    return kErrBracketMissing;
}

int compile_line(CompileState &state, std::string &statement) {
    ProgramBuild &build = state.build;
    ProgramModel &model = *build.model;
    if (build.current_step < 0) state.first_command = true;
    if (const int rc = rewrite_assignment(statement); rc != kOk) return rc;
    if (state.compile_data && !state.compile_data->write(statement + "\r\n")) return kErrOpenFile;

    const KeywordMatch match = lookup_keyword(build.table, statement);
    if (match.row < 0) return kErrUndefinedCommand;
    const CommandRow &row = build.table[static_cast<size_t>(match.row)];
    const std::string_view args = std::string_view(statement).substr(match.length);
    int rc = kOk;
    switch (row.kind) {
    case kStepLabel:
        return compile_label(state, args);
    case kDeclaration: {
        if ((rc = ensure_step(model, build.current_step)) != kOk) return rc;
        CompileArgs declaration{model, build, model.steps[static_cast<size_t>(build.current_step)].get(), nullptr,
                                match.row, args};
        rc = row.compile(declaration);
        break;
    }
    case kCommand:
        rc = new_command(build, build.current_step, kCommand, match.row, args);
        if (StepRecord *step = model.step(build.current_step); step && !step->commands.empty())
            step->commands.back()->source_line = state.current_line;
        break;
    case kMeasureItem:
        return kErrMissingFirst;
    case kModeKeyword:
        return compile_first_command(state, match.row, statement, match.length);
    case kFirstCommand:
        return finish_first_command(state);
    case kEndOfProgram:
        rc = flush_pending_item(state);
        return rc == kOk ? -1 : rc;
    default:
        return kErrUndefinedCommand;
    }
    if (rc != kOk) return rc;
    state.first_command = false;
    if ((rc = check_brackets(args)) != kOk) return rc;
    ++state.command_count;
    return kOk;
}

CompileResult compile_pass(CompileState &state, ProgramFile &intermediate) {
    reset_compile_state(state);
    CompileResult result;
    StatementReader reader{&intermediate};
    std::string statement;
    int rc = kOk;
    for (;;) {
        rc = read_statement(reader, statement, kStatementCompact);
        state.line = reader.line;
        state.current_line = result.line = reader.statement_line;
        if (rc == -1) {
            rc = state.blocks.finish();
            if (rc == kOk) {
                statement = "end";
                rc = compile_line(state, statement);
                if (rc == -1) rc = kOk;
            }
            break;
        }
        if (rc != kOk) break;
        if (statement.empty()) continue;
        int code = kOk;
        const int kind = classify_directive(*state.defines, statement, state.blocks.active(), &code);
        if (kind == kDirectiveError) {
            rc = code;
            break;
        }
        bool compile = false;
        if ((rc = state.blocks.feed(kind, &compile, reader.statement_line, statement)) != kOk) break;
        if (!compile) continue;
        rc = compile_line(state, statement);
        if (rc == -1) {
            rc = state.blocks.inside_block() ? kErrMissingEndif : kOk;
            break;
        }
        if (rc != kOk) break;
    }
    result.code = rc;
    result.step = state.reported_step;
    result.command_count = state.command_count;
    result.statement = statement;
    if (rc == kErrMissingEndif && state.blocks.open_line() > 0) {
        // Named by the block that was never closed.
        result.statement = state.blocks.open_statement();
        result.line = state.blocks.open_line();
    } else if (rc != kOk && state.item_failed) {
        result.command_count = state.item_command_count;
        result.statement = state.item_statement;
        result.line = state.item_line;
    }
    return result;
}

std::string compile_error_report(const CompileResult &result) {
    return format_text(message_text(kMsgCompileError),
                       {result.step, result.command_count, result.statement, message_text(result.code)});
}

}  // namespace ksw
