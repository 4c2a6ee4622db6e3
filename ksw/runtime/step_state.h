// What a run changes per step, kept beside the compiled program (which is never written once
// loaded). The table is made when a program is loaded, from the program's own values, and lives
// as long as that program: values that a run set (a repetition count or time limit from
// limit(, settings link( copied) carry over into later runs of the same program, as they would
// in the step itself.
#pragma once

#include <array>
#include <cfloat>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/program_model.h"

namespace ksw {

// What evr_adj( and evr_adj2( leave for the step's automatic adjustment.
struct EvrAdjustRecord {
    int32_t address = -1;        // the EVR address; -1 until evr_adj( ran
    int32_t start = -1;          // start value, -1: the value the cell holds
    int32_t step = 0;            // the initial search step
    int32_t lower = 0;           // the limits of the value
    int32_t upper = 255;
    int32_t page = -1;           // -1: the command page
    int32_t high_address = -1;   // the high byte's address of a 16-bit value, -1 none
    bool on = false;             // evr_adj2( "on"
    double sensitivity = 0.0;    // measured units per EVR step, 0 or less: none
    int32_t second_address = -1; // a second EVR written with the adjusted one, -1 none
    int32_t second_page = -1;
    int32_t second_value = -1;
};

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
    EvrAdjustRecord evr;
};

// Where a ",digital(" item reads its word, as digital( set it up.
struct DigitalSetup {
    int32_t source = 0;       // 0 EVR ROM, 1 EVR RAM, 2 serial (A/D channel 7 - n), 3 parallel, 4 I/O port
    int32_t address = 0;      // EVR address, channel offset n or I/O address
    int32_t mask = 0xFFFF;    // ANDed with the word read
    int32_t cell = -1;        // EVR sources: the page (-1: the current one)
};

// What the measurement loop keeps for its step, and what the step's set-up commands leave for
// its item. The first group is cleared before every pass of the step; the outputs live until the
// next run begins (a later step's "step[n]" reads them); the set-up stays until a command changes it.
struct MeasureRunState {
    int32_t consecutive_ok = 0;    // OK passes in a row
    bool single_reading = false;   // one reading per pass until the next OK pass (the adjustment sets it)
    int32_t evr_index = -1;        // the EVR cell the adjustment moves, -1 none
    bool reuse_capture = false;    // input_ch(0): video items analyse the samples captured before
    bool link_ok = false;          // a linked step's last pass completed its OK count

    double average = 0.0;          // the last pass's average (the step's measured value)
    double total = 0.0;            // the averages of the consecutive OK passes, summed
    uint32_t readings = 0;         // readings the last loop took
    uint32_t adjusted_value = 0;   // an adjusting step's EVR value when its loop ended
    double lower = -DBL_MAX;       // the limits the last loop judged against (the records keep them)
    double upper = DBL_MAX;

    int32_t average_mode = 2;      // average( second field: 1 median, 2 mean, 3..8 trimmed mean
    DigitalSetup digital;

    // Clears the first group (a new pass of the step begins) and the outputs.
    void clear_for_pass() {
        consecutive_ok = 0;
        single_reading = false;
        evr_index = -1;
        reuse_capture = false;
        link_ok = false;
        average = 0.0;
        total = 0.0;
        readings = 0;
        adjusted_value = 0;
        lower = -DBL_MAX;
        upper = DBL_MAX;
    }
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
    MeasureRunState measure;       // the measurement item's run fields
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
