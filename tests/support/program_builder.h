// Builds small programs by hand, step by step and command by command, as the compiler would
// store them; used by the sequencer tests, which must not depend on the compile handlers.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <memory>

#include "commands/commands.h"
#include "model/program_model.h"
#include "resources/error_codes.h"
#include "model/register_modes.h"
#include "values/registers.h"

namespace ksw {

struct ProgramBuilder {
    ProgramModel program;
    Registers registers;

    bool allocate() { return allocate_registers(registers) == kOk; }
    StepRecord &step(int n, int mode = kModeNoOperation) {
        if (ensure_step(program, n) != kOk) std::abort();
        program.steps[n]->mode = mode;
        if (program.steps[n]->link_count == -2) program.steps[n]->link_count = -1;
        return *program.steps[n];
    }
    CommandRecord &command(int n, int row, int sub_mode = 0, std::initializer_list<int32_t> ints = {},
                           std::initializer_list<double> reals = {}) {
        StepRecord &s = *program.steps[n];
        auto record = std::make_unique<CommandRecord>();
        record->index = static_cast<int32_t>(s.commands.size());
        record->row = row;
        record->run = command_table()[static_cast<size_t>(row)].run;
        record->sub_mode = sub_mode;
        std::copy(ints.begin(), ints.end(), record->ints.begin());
        std::copy(reals.begin(), reals.end(), record->reals.begin());
        if (!s.commands.empty()) {
            s.commands.back()->next = record.get();
            record->prev = s.commands.back().get();
        }
        s.commands.push_back(std::move(record));
        return *s.commands.back();
    }
    // rd[r] += 1
    void count_into(int n, int r) { command(n, kRowCopy, kCopyAdd, {r, r}, {1.0}); }
    // wait(seconds)
    void wait_in(int n, double seconds) { command(n, kRowWait, 2, {}, {seconds}); }
    double rd(int i) const { return (*registers.rd)[static_cast<size_t>(i)]; }
    double &rd_mut(int i) { return (*registers.rd)[static_cast<size_t>(i)]; }
};

}  // namespace ksw
