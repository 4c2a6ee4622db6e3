// Automatic adjustment inside the measurement loop: a step in "auto_adjust," mode whose evr_adj(
// named an EVR starts from its start value, then on each NG pass writes a prediction (from the
// step's sensitivity or its adjusting table) or takes one search step, until the reading lies in
// the window or the EVR reaches a limit. The adjusting table line that gave a prediction learns
// the final value when the step ends OK or at a limit.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "runtime/evr/evr_layer.h"
#include "runtime/measure/measure_devices.h"
#include "runtime/step_state.h"

namespace ksw {

// One line of an adjusting table.
struct AdjustTableLine {
    std::string text;        // the line as read (without its line end)
    double threshold = 0.0;  // unused on the first line (minus infinity)
    int32_t value = 0;       // the EVR value
    int32_t count = 0;       // how often the line was learnt
};

// The table file of step `step` under the prefix: prefix + "%04d.txt".
std::string adjust_table_path(const std::string &prefix, int step);

// Reads a table. False when the file is missing or unreadable (no prediction); a field that is
// not a number sets *bad_field (the table then gives no prediction either).
bool read_adjust_table(const std::string &path, std::vector<AdjustTableLine> *lines, bool *bad_field);
// The line whose value predicts for `measured`: the last line whose threshold is not above it
// (the first line always qualifies).
size_t adjust_table_pick(const std::vector<AdjustTableLine> &lines, double measured);
// Rewrites line `index` as "%f,h%x,%d\r\n" with the new value (the final value when the line's
// value was negative, else the mean of old and final) and its count plus 1, through a temporary
// file that then replaces the table. 0, or -1 when the table could not be replaced.
int learn_adjust_table(const std::string &path, size_t index, int32_t final_value);

// Moves `current` by `step` within [lower, upper] of a value range of `range` values (256 or
// 65536); with lower > upper the allowed range wraps through the top of the value range.
int32_t move_within_limits(int32_t current, int32_t step, int32_t lower, int32_t upper, int32_t range);
// The next search step for the direction selector (1 rising, 2 falling); false for another
// selector (e006).
bool next_search_step(int selector, bool below, bool first_ng, int32_t *step);

class EvrAdjuster : public AdjustmentDevice {
public:
    explicit EvrAdjuster(EvrLayer &layer) : layer_(layer) {}

    int begin(RunContext &context, int step, int result_register) override;
    int ng_pass(RunContext &context, const AdjustPass &pass, AdjustOutcome *outcome) override;
    void end(RunContext &context, int step, bool ok, bool at_limit) override;
    int read_word(RunContext &context, int source, int address, int page, uint32_t *value) override;
    std::string value_prefix(int step) override;

private:
    // What the adjustment of one step keeps between its passes.
    struct Work {
        bool active = false;       // auto adjustment runs for the step
        int32_t value = 0;         // the value written last
        int32_t step = 0;          // the search step
        int32_t range = 256;       // 256 (8-bit value) or 65536
        bool from_table = false;   // the prediction came from the adjusting table ...
        size_t table_line = 0;     // ... from this line
    };

    bool auto_adjusts(RunContext &context, int step, const EvrAdjustRecord &record) const;
    int start_value(const EvrAdjustRecord &record, int32_t *value);
    int write_value(RunContext &context, const EvrAdjustRecord &record, int32_t value);
    std::optional<int32_t> predict(RunContext &context, const AdjustPass &pass, const EvrAdjustRecord &record,
                                   int selector, Work &work);
    void trace(RunContext &context, const AdjustPass &pass, const EvrAdjustRecord &record, int32_t value,
               const char *how);

    EvrLayer &layer_;
    std::mutex work_lock_;  // link members adjust on their own threads
    std::map<int, Work> work_;
};

}  // namespace ksw
