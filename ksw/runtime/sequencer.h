// The run loop: walks the steps of the compiled program on a thread of its own, runs each
// step's commands through their run handlers, repeats steps, enforces time limits, judges, and
// follows the run mode (stop at the first NG, halt before each step or each command, or go on).
// Steps 1..4999 are a run, step 0 is STEP0, 5000..5008 the closing steps after OK, after NG and
// after either.
#pragma once

#include <string>

#include "runtime/run_context.h"

namespace ksw {

struct ProgramModel;

constexpr uint32_t kHaltCommand = 1624;  // sent to the main window: halt the run, by the program

// Internal result of a command list or step that was left because the operator selected
// another step while the run was halted; never a run result.
constexpr int kStepReselected = -2;

// Runs the steps from `start` to the end of its range (0 alone, 1..4999, 5000..5002,
// 5003..5005 or 5006..5008). Returns -1 at the normal end of the range, 0 when a sub-routine
// returns, or a positive error code.
[[nodiscard]] int run_steps(RunContext &context, int start);

// Runs the steps from `target` as a sub-routine of the current command (call(, setcall():
// the call depth grows by one (e009 once it is 100), and the current step and command, the step
// start tick and the item timers are put back afterwards. Returns what run_steps returned.
[[nodiscard]] int call_subroutine(RunContext &context, int target);

// One pass over a step: its command list, or a whole link group when it heads one.
[[nodiscard]] int execute_step(RunContext &context, int step, const CommandRecord *first);

// Runs a step's command list: 0, an error, -1 when a handler asks to leave the order, or
// kStepReselected.
[[nodiscard]] int run_command_list(RunContext &context, int step, const CommandRecord *first);

// Prepares a step for a pass: not judged, counters 0, scale 1, offset 0, last value 1,
// correction 0, the item's run fields cleared.
void reset_step(StepRunState &state);

// The step that a move by `direction` from step `from` selects: the next existing step that is
// not a link member, within 1..4999 or within the closing block (the other outcome's block is
// passed over); `from` itself when there is none, when `from` is 0 or the direction 0.
[[nodiscard]] int next_selectable_step(const ProgramModel &program, int from, int direction);

// Moves the current step by `direction` (next_selectable_step); 0 only refreshes the display.
// Returns 0 when the current step is 0 and the direction is not 0, else 1.
int select_step(RunContext &context, int direction);

// The result text of `step` for `code`: "STEP%d" with "U"/"L" and ":" the NG detail or the
// message for 28 and 113, "STEP%dS:%s" for any other code, followed by ": " and the failing
// command's own detail when it left one.
std::string format_step_message(const RunContext &context, int step, int code);

// The three thread procedures. Each runs on the calling thread, posts its message to the
// front-end when it ends (0x8005 with the result, 0x8004 with -1, 0x8006) and returns the
// result. An aborted run ends with result 27.
int run_thread(RunContext &context, int start);
int step0_thread(RunContext &context);
int closing_steps_thread(RunContext &context, int run_result);

}  // namespace ksw
