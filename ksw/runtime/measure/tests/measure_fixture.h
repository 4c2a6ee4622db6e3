// Measuring programs on the simulated jig: a program compiled from its text with the station's
// command table, a run context with registers and the jig of SimJigTest, and the run's result.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "compile_support.h"
#include "language/program_compiler.h"
#include "runtime/sequencer.h"
#include "sim_jig.h"
#include "temp_dir.h"
#include "values/registers.h"
#include "zelw.h"

namespace ksw::testing {

class MeasureTest : public SimJigTest {
protected:
    void SetUp() override {
        SimJigTest::SetUp();
        ASSERT_EQ(allocate_registers(regs_), kOk);
        context.registers = &regs_;
        context.jig = &jig;
        OpenKeyBuffer(16);
    }
    void TearDown() override {
        CloseKeyBuffer();
        SimJigTest::TearDown();
    }

    // Compiles `source` as the program to run; false (with the failure) when it does not compile.
    bool load(const std::string &source) {
        write_text(dir_.file("p.ks"), source);
        const ProgramCompilation result = compile_program(dir_.file("p.ks"), model_, defines_, options_);
        EXPECT_TRUE(result.loaded) << result.report;
        context.use_program(&model_);
        return result.loaded;
    }
    // A fresh world from `scenario`, then `source` run from step 1: the run's result.
    int run(const std::string &scenario, const std::string &source) {
        start(scenario);
        if (!load(source)) return -1;
        return run_thread(context, 1);
    }

    double &rd(int i) { return (*regs_.rd)[static_cast<size_t>(i)]; }
    StepRunState &state(int step) { return *context.state(step); }
    std::string file(const std::string &name) { return dir_.file(name); }

    RunContext context;
    CompileOptions options_ = compile_options();  // what load() compiles with

private:
    TempDir dir_;
    ProgramModel model_;
    DefineTable defines_;
    Registers regs_;
};

// A quiet, fast jig on which ",dc_volt(" reads `volts` (channel 1 against 4000 counts).
inline std::string dc_volts(double volts) {
    return "[jig]\nadc_busy_us=0\n[adc.0]\ncounts_r6=4000\n[adc.1]\ncounts_r6=" + std::to_string(static_cast<int>(volts * 800)) +
           "\n";
}

}  // namespace ksw::testing
