#include "runtime/run_context.h"

#include "model/program_model.h"
#include "values/registers.h"

namespace ksw {

void RunContext::use_program(const ProgramModel *loaded) {
    program = loaded;
    steps.reset_from(loaded);
}

void RunContext::set_run_mode(int mode) {
    run_mode = ((mode % 4) + 4) % 4;
    status.run_mode.store(run_mode, std::memory_order_relaxed);
}

void RunContext::set_file_recording(bool on) {
    file_recording = on;
    status.file_recording.store(on, std::memory_order_relaxed);
}

void RunContext::take_requests() {
    gate.clear_requests();
    const int mode = requests.run_mode.exchange(RunRequests::kNone, std::memory_order_acq_rel);
    if (mode != RunRequests::kNone) set_run_mode(mode);
    const int recording = requests.file_recording.exchange(RunRequests::kNone, std::memory_order_acq_rel);
    if (recording != RunRequests::kNone) set_file_recording(recording != 0);
    const int step = requests.selected_step.exchange(RunRequests::kNone, std::memory_order_acq_rel);
    if (step != RunRequests::kNone && step != current_step) {
        current_step = step;
        step_reselected = true;
        status.step.store(step, std::memory_order_relaxed);
    }
}

Registers *run_registers(RunContext &context) {
    return (context.registers && context.registers->allocated()) ? context.registers : nullptr;
}

}  // namespace ksw
