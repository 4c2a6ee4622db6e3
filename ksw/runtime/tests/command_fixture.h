// Registers and a run context for driving register commands through their command records.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>

#include "runtime/run_handlers.h"
#include "runtime/run_context.h"
#include "values/registers.h"

namespace ksw::testing {

class RegisterCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(allocate_registers(regs_), kOk);
        context.registers = &regs_;
    }
    AdFile &ad() { return *regs_.ad; }
    RdFile &rd() { return *regs_.rd; }

    RunContext context;

private:
    Registers regs_;
};

// A command record as the compiler fills it: sub-mode, leading integer slots, leading real
// slots and the register mask.
inline CommandRecord record(int sub_mode, std::initializer_list<int32_t> ints,
                            std::initializer_list<double> reals = {}, uint32_t mask = 0) {
    CommandRecord c;
    c.sub_mode = sub_mode;
    size_t i = 0;
    for (int32_t v : ints) c.ints[i++] = v;
    i = 0;
    for (double v : reals) c.reals[i++] = v;
    c.mask = mask;
    return c;
}

// A copy( or copyad( record: source, destination and the block slots (compiler defaults 1, 0,
// 1, 1), and x in real slot 0 for the value modes.
inline CommandRecord copy_record(int mode, int32_t a, int32_t b, int32_t count = 1, int32_t skip = 0,
                                 int32_t group = 1, int32_t rep = 1, double x = 0) {
    return record(mode, {a, b, count, skip, group, rep}, {x});
}

// A value-mode copy record: source, destination, x.
inline CommandRecord value_record(int mode, int32_t a, int32_t b, double x) {
    return copy_record(mode, a, b, 1, 0, 1, 1, x);
}

}  // namespace ksw::testing
