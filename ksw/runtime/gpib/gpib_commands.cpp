// Run handlers of gpib( and gpib_mes(. Both run on the sequencer thread.
//
//   gpib(rea, n, m)   reads a number from instrument n (0..31) into rd[m]
//   gpib(wri, n, "T") sends the text T to instrument n
//   gpib(tim, t)      sets the board's time-out to t seconds (0.1 .. 6553.5, in tenths)
//   gpib(clr)         interface clear
//   gpib(boa, n)      finishes the board, takes board n (0..6) and initialises it
//   gpib_mes(n, t)    the instrument (0..31) and reply wait (t seconds) of the step's ",gpib_mes("
#include "model/program_model.h"
#include "runtime/gpib/gpib_link.h"
#include "runtime/run_handlers.h"
#include "runtime/run_operands.h"

namespace ksw {
namespace {

enum GpibWord : int { kWordRead = 0, kWordWrite = 1, kWordTimeout = 2, kWordClear = 3, kWordBoard = 4 };

// Integer operand `slot` within 0..last, else e004.
int bounded(RunContext &context, const CommandRecord &command, int slot, int32_t last, int32_t *value) {
    if (const int rc = int_operand(context, command, slot, value); rc != kOk) return rc;
    return *value < 0 || *value > last ? kErrOutOfRange : kOk;
}

// gpib(rea, n, m): the reply of instrument n read as a number into rd[m].
int read_into_register(RunContext &context, GpibLink &link, const CommandRecord &command) {
    int32_t address = 0, index = 0;
    if (const int rc = bounded(context, command, 0, kGpibLastAddress, &address); rc != kOk) return rc;
    if (const int rc = bounded(context, command, 1, kRegisterCount - 1, &index); rc != kOk) return rc;
    Registers *registers = run_registers(context);
    if (!registers) return kErrNoMemory;
    std::string reply;
    if (const int rc = gpib_transfer(link, kGpibReceive, address, {}, &reply); rc != kOk) return rc;
    return gpib_read_number(reply, &(*registers->rd)[static_cast<size_t>(index)]);
}

// gpib(tim, t): t x 10 tenths of a second, at least 1 and below 65536.
int set_timeout(RunContext &context, GpibLink &link, const CommandRecord &command) {
    double seconds = 0;
    if (const int rc = real_operand(context, command, 0, &seconds); rc != kOk) return rc;
    const double tenths = seconds * 10.0;
    if (!(tenths >= 1.0 && tenths < 65536.0)) return kErrOutOfRange;
    return gpib_transfer(link, kGpibSetTimeout, static_cast<int>(tenths));
}

}  // namespace

int run_gpib(RunContext &context, const CommandRecord &command) {
    GpibLink *link = context.gpib;
    if (!link) return kErrGpibMissingDll;
    if (link->ignore.load(std::memory_order_relaxed)) return kOk;
    // "boa" is how a board that failed to initialise is brought back, so it needs none.
    if (const int rc = gpib_ready(*link, command.sub_mode != kWordBoard); rc != kOk) {
        if (rc == kErrGpibMissingDll) context.failure_detail = link->bind_notice;
        return rc;
    }
    int32_t n = 0;
    switch (command.sub_mode) {
    case kWordRead: return read_into_register(context, *link, command);
    case kWordWrite:
        if (const int rc = bounded(context, command, 0, kGpibLastAddress, &n); rc != kOk) return rc;
        return gpib_transfer(*link, kGpibSend, n, command.text);
    case kWordTimeout: return set_timeout(context, *link, command);
    case kWordClear: return gpib_transfer(*link, kGpibClear, 0);
    case kWordBoard:
        if (const int rc = bounded(context, command, 0, kGpibLastBoard, &n); rc != kOk) return rc;
        return change_gpib_board(*link, n);
    default: return kErrInvalidMode;
    }
}

int run_gpib_mes(RunContext &context, const CommandRecord &command) {
    StepRunState *state = context.state(context.current_step);
    if (!state) return kErrMissingFirst;
    int32_t address = 0;
    double seconds = 0;
    uint32_t wait_ms = 0;
    if (const int rc = bounded(context, command, 0, kGpibLastAddress, &address); rc != kOk) return rc;
    if (const int rc = real_operand(context, command, 0, &seconds); rc != kOk) return rc;
    if (const int rc = to_milliseconds(seconds, &wait_ms); rc != kOk) return rc;
    state->adjustment.gpib_address = address;
    state->adjustment.gpib_reply_wait_ms = wait_ms;
    return kOk;
}

GpibQuery step_gpib_query(const StepRunState &state) {
    return GpibQuery{state.adjustment.gpib_address, state.adjustment.gpib_reply_wait_ms, state.adjustment.gpib_text};
}

}  // namespace ksw
