// EVR programs on the simulated product: the measuring fixture's jig and run context, plus an EVR
// layer of the test's own with the real driver library (Potdrv, bound by name as the station binds
// it) over the real transport and the stand-in USB library, whose unit serves the world's EVR
// memory.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "belmo_sim.h"
#include "jigsim.h"
#include "measure_fixture.h"
#include "runtime/evr/evr_adjust.h"
#include "runtime/evr/evr_layer.h"

namespace ksw::testing {

class EvrTest : public MeasureTest {
protected:
    void SetUp() override {
        MeasureTest::SetUp();
        belmo_sim_reset();
        context.evr = &layer;
        context.adjuster = &adjuster;
    }
    void TearDown() override {
        unload_evr_driver(layer);
        belmo_sim_reset();
        MeasureTest::TearDown();
    }

    // A fresh world and unit from `scenario`, the layer cleared at `width` with the driver bound,
    // then `source` run from step 1 after a step 0 that opens the unit: the run's result.
    int run_evr(const std::string &scenario, const std::string &source, int width = 8) {
        unload_evr_driver(layer);  // the driver's session belongs to the unit of the world before
        start(scenario);
        belmo_sim_reset();
        layer.width.store(width);
        layer.type.store(kEvrTypeDriver);
        clear_evr_image(layer);
        if (load_evr_driver(layer) != EvrLoad::kLoaded) return -2;
        options_.language.evr_width = width;
        if (!load("step 0\nevr_func(0,0,7999)\n" + source)) return -1;
        if (const int rc = step0_thread(context); rc != kOk) return rc;
        return run_thread(context, 1);
    }

    static uint16_t product(int memory, int page, int address) {
        uint16_t value = 0;
        jigsim_evr_read(memory, page, address, &value);
        return value;
    }
    uint16_t image(int cell) const { return layer.image->values[static_cast<size_t>(cell)]; }
    uint16_t cell_state(int cell) const { return layer.image->states[static_cast<size_t>(cell)]; }
    uint16_t &ad(int i) { return (*context.registers->ad)[static_cast<size_t>(i)]; }

    EvrLayer layer;
    EvrAdjuster adjuster{layer};

private:
    ScopedEnv library_path_{"KSW_LIBRARY_PATH", KSW_EVR_LIBRARY_PATH};
};

}  // namespace ksw::testing
