#include "compiler/program_model.h"

#include <new>

#include "compiler/command_table.h"
#include "resources/error_codes.h"

namespace ksw {

ProgramModel &program_model() {
    static ProgramModel model;
    return model;
}

int ProgramModel::step_count() const {
    int n = 0;
    for (const auto &slot : steps) n += slot != nullptr;
    return n;
}

int ensure_step(ProgramModel &model, int n) {
    if (n < 0 || n > kLastStep) return kErrStepOutOfRange;
    std::unique_ptr<StepRecord> &slot = model.steps[n];
    if (!slot) {
        slot.reset(new (std::nothrow) StepRecord);
        if (!slot) return kErrNoMemory;
    }
    if (n == model.current_step) model.current_record = slot.get();
    return kOk;
}

int new_command(ProgramModel &model, int step, CommandKind kind, int row, std::string_view args) {
    if (step < 0) return kOk;
    if (const int rc = ensure_step(model, step); rc != kOk) return rc;
    StepRecord &record = *model.steps[step];

    std::unique_ptr<CommandRecord> command(new (std::nothrow) CommandRecord);
    if (!command) return kErrNoMemory;
    command->index = model.command_counter++;
    command->row = row;
    if (!record.commands.empty()) {
        CommandRecord *last = record.commands.back().get();
        last->next = command.get();
        command->prev = last;
    }
    CommandRecord *current = command.get();
    record.commands.push_back(std::move(command));

    const CompileHandler handler = (row >= 0 && row < kRowTotal) ? kCommandTable[row].compile : nullptr;
    if (!handler) return kErrUndefinedCommand;
    CompileArgs args_for_handler{model, &record, current, row, args};
    const int rc = handler(args_for_handler);

    if (kind == kMeasureItem) {
        // The item measures with the block its step's first command made.
        current->measure = model.current_measure;
        model.current_measure = nullptr;
    }
    return rc;
}

void free_program(ProgramModel &model) {
    for (auto &slot : model.steps) slot.reset();
    model.current_step = -1;
    model.current_record = nullptr;
    model.command_counter = 0;
    model.current_measure = nullptr;
    model.item_work_buffer.reset();
    model.pending_item.clear();
    model.global = GlobalDeclaration{};
}

}  // namespace ksw
