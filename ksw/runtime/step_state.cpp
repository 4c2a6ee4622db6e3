#include "runtime/step_state.h"

namespace ksw {

void StepStateTable::reset_from(const ProgramModel *program) {
    program_ = program;
    states_.clear();
    if (program) states_.resize(kStepCount);
}

StepRunState *StepStateTable::get(int n) {
    const StepRecord *step = program_ ? program_->step(n) : nullptr;
    if (!step) return nullptr;
    std::unique_ptr<StepRunState> &slot = states_[static_cast<size_t>(n)];
    if (!slot) {
        slot = std::make_unique<StepRunState>();
        slot->repetition_count = step->repetition_count;
        slot->time_limit = step->time_limit;
        if (const MeasureBlock *block = step->measure.get()) {
            slot->adjustment.item_variant = block->item_variant;
            slot->adjustment.direction = block->adjust_direction;
            slot->adjustment.comment = block->comment;
            slot->adjustment.gpib_text = block->gpib_text;
        }
    }
    return slot.get();
}

const StepRunState *StepStateTable::find(int n) const {
    if (n < 0 || static_cast<size_t>(n) >= states_.size()) return nullptr;
    return states_[static_cast<size_t>(n)].get();
}

}  // namespace ksw
