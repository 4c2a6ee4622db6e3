// What a run changes per step, kept beside the compiled program (which is never written once
// loaded). The table is made when a program is loaded, from the program's own values, and lives
// as long as that program: values that a run set (a repetition count or time limit from
// limit(, settings link( copied) carry over into later runs of the same program, as they would
// in the step itself.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/program_model.h"

namespace ksw {

// The adjustment settings of a measuring step as the run side uses them. They start as the
// compiler left them in the measuring block; link( copies them from the linking step into the
// linked one, so both adjust alike.
struct AdjustmentSettings {
    int32_t item_variant = 0;      // the item's choice (chroma/v_level items, digital( source)
    int32_t direction = -1;        // evr_adj( selector
    int32_t reading_count = 1;     // readings averaged per pass
    std::string comment;
    std::string gpib_text;         // the query a ",gpib_mes(" sample sends first
    int32_t gpib_address = 0;      // gpib_mes(: the instrument, 0..31
    uint32_t gpib_reply_wait_ms = 0;  // gpib_mes(: how long its reply's time-outs are retried
};

struct StepRunState {
    Judgement judgement = kNotJudged;
    int32_t ok_counter = 0;
    int32_t ng_counter = 0;
    int32_t ok_tally = 0;          // OK judgements of a check-mode step over the program's life
    int32_t ng_tally = 0;
    int32_t repetition_count = 1;  // passes of the step; limit( changes it at run time
    int32_t time_limit = -1;       // ms, -1 none; limit( changes it at run time
    double scale = 1.0;            // item scale, reset before every pass
    double offset = 0.0;           // item offset, reset before every pass
    double last_value = 1.0;       // the value the step judged last
    double correction = 0.0;       // calibration correction of the last judged value
    int32_t elapsed_ms = -1;       // how long the step's last run took
    // The item's own run fields, cleared before every pass.
    int32_t item_state = 0;
    uint16_t item_word = 0;
    int32_t item_index = -1;
    AdjustmentSettings adjustment;
};

// One run state per existing step of a program, made from the step's compiled values when it
// is first asked for; missing steps have none. Only the thread that runs the program uses it
// while it runs.
class StepStateTable {
public:
    // Starts over for `program` (null: none): every earlier state is dropped.
    void reset_from(const ProgramModel *program);
    // The state of step n, or null when the program has no step n.
    StepRunState *get(int n);
    // The state of step n if it was made already, else null.
    const StepRunState *find(int n) const;
    // The state of an existing step n.
    StepRunState &operator[](int n) { return *get(n); }

private:
    const ProgramModel *program_ = nullptr;
    std::vector<std::unique_ptr<StepRunState>> states_;
};

}  // namespace ksw
