#include "language/program_build.h"

#include <memory>
#include <new>

#include "language/arguments.h"
#include "resources/error_codes.h"

namespace ksw {

void ProgramBuild::reset() {
    current_step = -1;
    command_counter = 0;
    pending_item.clear();
    current_measure = nullptr;
}

KeywordMatch lookup_keyword(CommandTable table, std::string_view statement) {
    for (const CommandRow &row : table) {
        if (row.kind == kEndOfTable) break;
        const std::string_view keyword = row.keyword;  // never empty before the end row
        if (starts_with_word(statement, keyword)) return KeywordMatch{row.id, keyword.size()};
    }
    return KeywordMatch{};
}

int new_command(ProgramBuild &build, int step, CommandKind kind, int row, std::string_view args) {
    if (step < 0) return kOk;
    ProgramModel &model = *build.model;
    if (const int rc = ensure_step(model, step); rc != kOk) return rc;
    StepRecord &record = *model.steps[static_cast<size_t>(step)];

    std::unique_ptr<CommandRecord> command(new (std::nothrow) CommandRecord);
    if (!command) return kErrNoMemory;
    command->index = build.command_counter++;
    command->row = row;
    const bool known = row >= 0 && static_cast<size_t>(row) < build.table.size();
    command->run = known ? build.table[static_cast<size_t>(row)].run : nullptr;
    if (!record.commands.empty()) {
        CommandRecord *last = record.commands.back().get();
        last->next = command.get();
        command->prev = last;
    }
    CommandRecord *current = command.get();
    record.commands.push_back(std::move(command));

    const CompileHandler handler = known ? build.table[static_cast<size_t>(row)].compile : nullptr;
    if (!handler) return kErrUndefinedCommand;
    CompileArgs args_for_handler{model, build, &record, current, row, args};
    const int rc = handler(args_for_handler);

    if (kind == kMeasureItem) {
        // The item measures with the block its step's first command made.
        current->measure = build.current_measure;
        build.current_measure = nullptr;
    }
    return rc;
}

}  // namespace ksw
