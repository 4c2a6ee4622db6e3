#include "model/program_model.h"

#include <new>

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
    std::unique_ptr<StepRecord> &slot = model.steps[static_cast<size_t>(n)];
    if (!slot) {
        slot.reset(new (std::nothrow) StepRecord);
        if (!slot) return kErrNoMemory;
    }
    return kOk;
}

void free_program(ProgramModel &model) {
    for (auto &slot : model.steps) slot.reset();
    model.global = GlobalDeclaration{};
}

}  // namespace ksw
