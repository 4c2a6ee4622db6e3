// The measurement items: each is a set-up, run once before its loop, and a measure operation,
// called by the loop once per reading, that gives one value (or an error). The loop
// (measure_loop.h) does everything the items share.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "model/program_model.h"
#include "runtime/jig/jig_ports.h"
#include "runtime/run_context.h"

namespace ksw {

// The raw samples behind one reading, kept for the jig trace (the first few).
struct RawSamples {
    static constexpr int kKept = 4;
    std::array<uint32_t, kKept> values{};
    int count = 0;  // samples taken (more than kKept are counted, not kept)
    void add(uint32_t v) {
        if (count < kKept) values[static_cast<size_t>(count)] = v;
        ++count;
    }
};

// What the waveform items analyse with, prepared before the loop: the slice level (0.15 times
// the video level reference, in counts: the least swing a window must have to hold an edge or a
// period), the length of a window the step did not declare, and the valid length of the capture.
struct AnalysisParameters {
    double slice = 0;
    size_t default_window = 500;
    size_t capture_length = 0;
};

// Everything a set-up or measure operation works with.
struct ItemContext {
    RunContext &run;
    int step;                       // the step measured (a link member's own, on its thread)
    const StepRecord &record;
    StepRunState &state;
    const CommandRecord &command;   // the item's record
    int result_register;            // rd[] index of the result
    JigWaiter waiter;               // how a jig wait passes the run gate
    RawSamples raw;                 // the current reading's samples
    AnalysisParameters analysis;
    std::vector<uint16_t> work;     // the item's own sample buffer (",peak_peak(")

    JigPorts &jig() const { return *run.jig; }
    const MeasureBlock &block() const { return *record.measure; }
};

struct MeasureItem {
    int (*setup)(ItemContext &item);                     // null: nothing before the loop
    int (*measure)(ItemContext &item, double *value);
    bool waveform = false;                               // prepares the analysis parameters
};

// The item of a command-table row (one of the ",..." rows), or null.
const MeasureItem *measure_item(int row);

}  // namespace ksw
