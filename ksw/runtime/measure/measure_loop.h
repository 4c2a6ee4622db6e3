// The measurement loop that every item shares. A step's item runs it once per execution of the
// step: the limits are computed, the item is set up, and passes follow until the verdict and the
// run mode let it end. Each pass takes the step's reading count of readings (settled, corrected,
// one measure operation each), averages them into the result register and judges the average.
//
// On the sequencer thread the loop runs from begin to finish in one go. A linked step runs it on
// its own member thread and yields to the head of its group after every pass.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "runtime/measure/measure_item.h"

namespace ksw {

struct LinkGroup;
class MemberThread;

// The verdict of a loop so far.
enum class Verdict { kPending, kOk, kNg };

class MeasurementLoop {
public:
    // `group`, `position` and `member`: the link group the step measures in, its place in the
    // chain and its thread (told to stop when the group ends early); null, -1 and null for a step
    // measured on its own.
    MeasurementLoop(RunContext &context, int step, const CommandRecord &item, const MeasureItem &kind,
                    LinkGroup *group = nullptr, int position = -1, const MemberThread *member = nullptr);
    MeasurementLoop(const MeasurementLoop &) = delete;  // its jig waiter points into it
    MeasurementLoop &operator=(const MeasurementLoop &) = delete;

    // Computes the limits, sets the item up and starts the clock. 0 or an error (the loop then
    // goes straight to finish).
    int begin();
    // One pass. True: measure again; false: the loop ends, with `*rc` 0 or an error.
    bool pass(int *rc);
    // Ends the loop whatever happened: clears sw 68, 76 and 176, records the verdict and the
    // step's tallies, computes the calibration correction in measurement mode 2, and picks the
    // OK or NG jump target. Returns what the item's run handler returns: 0, an error, or -1 with
    // the jump target set.
    int finish(int rc);

    // The loop from begin to finish on the calling thread.
    int run();

    double lower_limit() const { return lower_; }
    double upper_limit() const { return upper_; }
    double nominal() const { return nominal_; }
    Verdict verdict() const { return verdict_; }

private:
    int compute_limits();
    bool checkpoint();
    bool settled();
    // The operator's keys: true when the loop is to end (Enter, or "-" back to the previous step).
    bool operator_left();
    int take_reading(double *value);
    int correct(double *value) const;
    double combine_readings();
    int judge(double average, bool *ends);
    bool keeps_measuring(bool timed_out) const;
    bool adjusting() const;
    bool group_adjusts() const;
    void calibrate();
    void show_pass(double average);
    void trace_reading(int index, int count, double value, const char *pass_text);

    RunContext &context_;
    int step_;
    const StepRecord &record_;
    StepRunState &state_;
    const CommandRecord &command_;
    const MeasureItem &kind_;
    LinkGroup *group_;
    int position_;
    const MemberThread *member_;
    ItemContext item_;

    double nominal_ = 0, lower_ = 0, upper_ = 0;
    int required_ok_ = 1;
    uint32_t loop_start_ = 0;  // the step time-out counts from here (halted time not counted)
    std::pair<RunContext *, uint32_t *> waiter_context_{};
    Verdict verdict_ = Verdict::kPending;
    int direction_ = 0;        // of the last pass: -1 below, +1 above the limits, 0 inside
    bool ng_seen_ = false;     // an NG pass happened in this loop
    bool left_by_operator_ = false;
    int back_to_ = 0;          // "-": the step to continue at
    bool at_limit_ = false;    // the adjustment ran into an EVR limit
    std::vector<double> readings_;
    std::string shown_;  // what the tool-bar field shows
    std::string evr_prefix_;   // the EVR value the pass measured with, shown before its value
};

// Runs the item `command` of the current step: on the sequencer thread, or, for a member of the
// link group being run, by starting the member's thread (the head lets it run pass by pass).
int run_measurement_item(RunContext &context, const CommandRecord &command);

}  // namespace ksw
