// What the measurement loop asks of devices that other parts of the station drive: the EVR
// front-end (automatic adjustment during the loop, and the data words of ",digital(" sources 0
// and 1) and the GPIB link (the samples of ",gpib_mes("). The run context points to one object
// of each once that part exists; until then the pointers are null and the loop says so with the
// error the missing device would give (e170 for the EVR link, e147 for the GPIB board library).
//
// Every method runs on the thread that measures (the sequencer, or a link member while the head
// lets it run) and returns 0 or an error number of the message table.
#pragma once

#include <cstdint>
#include <string>

namespace ksw {

struct RunContext;

// What an NG pass of an adjusting step did to the product.
enum class AdjustOutcome {
    kMeasureAgain,  // the product was adjusted (or left alone): the loop measures again
    kLimitHigh,     // the EVR is at its limit with the measurement at or above the lower limit: NG "U"
    kLimitLow,      // at its limit with the measurement below the lower limit: NG "L"
};

// The facts of the pass the adjustment needs.
struct AdjustPass {
    int step = 0;             // the step being measured
    double average = 0.0;     // the pass's average (corrected)
    double nominal = 0.0;     // the item's nominal value
    double lower = 0.0;       // the limits the loop judges against
    double upper = 0.0;
    bool first_ng = false;    // the step's first NG pass of this loop
    int result_register = 0;  // rd[] index of the result; ad[] of the same index holds the working value
};

class AdjustmentDevice {
public:
    virtual ~AdjustmentDevice() = default;

    // Before the loop of an adjusting step ("adjust," or "auto_adjust,"): takes the start value
    // and writes it to the product. May set the step's single-reading flag or EVR index.
    // `result_register` is as in AdjustPass.
    virtual int begin(RunContext &context, int step, int result_register) = 0;
    // An NG pass of an adjusting step: predicts or searches the next EVR value and writes it,
    // per the step's mode, its adjustment record and the measurement mode. An error ends the
    // loop with it.
    virtual int ng_pass(RunContext &context, const AdjustPass &pass, AdjustOutcome *outcome) = 0;
    // After the loop of an adjusting step; `ok` is its verdict, `at_limit` whether it ended with
    // the EVR at a limit (the adjusting table is updated then).
    virtual void end(RunContext &context, int step, bool ok, bool at_limit) = 0;
    // ",digital(" sources 0 (the EVR cell in ROM) and 1 (in RAM): the cell at `address` of page
    // `page` (-1: the current page) into `*value`.
    virtual int read_word(RunContext &context, int source, int address, int page, uint32_t *value) = 0;
    // What is shown before an adjusting step's measured value: its EVR value ("%02X:", or
    // "(%04X)" for a 16-bit value) while the step adjusts automatically; empty otherwise.
    virtual std::string value_prefix(int /*step*/) { return {}; }
};


}  // namespace ksw
