// Run handler of task(: values and keys exchanged with the line server.
//
//   task(foc, n)         n 0..15: "FOCUS" with n, under the task lock
//   task(=, n, value)    n 0..255, value 0..65535: "SET" with "n,value"
//   task(rea, n, i)      n 0..255, i 0..7999: under the task lock "GET" with "n", then a reply
//                        within 10000 ms; ad[i] := the decimal number from its fourth character
//   task(key, n, key)    n 0..15, key 0..255: "KEY" with "n,key"
//   task(cle)            under the task lock, drops the replies that are waiting
//
// An argument out of its range is e004; otherwise the link's own result is the command's.
#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "platform/tick.h"
#include "resources/format.h"
#include "runtime/records/server_channel.h"
#include "runtime/run_handlers.h"
#include "runtime/run_operands.h"

namespace ksw {
namespace {

enum TaskWord : int { kTaskFocus = 0, kTaskSet, kTaskRead, kTaskKey, kTaskClear };
constexpr uint32_t kReplyWaitMs = 10000;
constexpr uint32_t kReplySliceMs = 100;

// The number a reply carries: decimal digits from its fourth character (0 when there are none,
// as a C conversion of the text would give), kept to a 16-bit register word.
uint16_t reply_number(const std::string &reply) {
    if (reply.size() <= 3) return 0;
    return static_cast<uint16_t>(std::strtol(reply.c_str() + 3, nullptr, 10));
}

int task_read(RunContext &context, ServerChannel *server, int32_t n, int32_t register_index) {
    if (!server) return kErrTaskMissingServer;
    std::lock_guard<std::mutex> hold(server->task_lock());
    if (const int rc = server->send(kServerGet, std::to_string(n)); rc != kOk) return rc;
    // The wait looks at the run gate between short waits, so an abort ends it at once. A halt is
    // not taken here: parking would hold the task lock while the station waits for the operator;
    // the sequencer halts at its next checkpoint, once the reply is in or the wait is over.
    std::string reply;
    uint32_t waited = 0;
    for (;;) {
        const uint32_t slice = std::min(kReplySliceMs, kReplyWaitMs - waited);
        const uint32_t start = platform::tick_count();
        const int rc = server->receive(&reply, slice);
        if (rc != kErrTaskRxTimeout) {
            if (rc != kOk) return rc;
            break;
        }
        waited += std::max(platform::ticks_since(start), slice);
        if (waited >= kReplyWaitMs) return rc;
        if (context.gate.aborted()) return kErrBreakedByUser;
    }
    Registers *registers = run_registers(context);
    if (!registers) return kErrNoMemory;
    (*registers->ad)[static_cast<size_t>(register_index)] = reply_number(reply);
    return kOk;
}

}  // namespace

// task(foc|=|rea|key|cle, ...)
int run_task(RunContext &context, const CommandRecord &command) {
    const int word = command.sub_mode;
    int32_t n = 0;
    int32_t value = 0;
    if (word != kTaskClear)
        if (const int rc = int_operand(context, command, 0, &n); rc != kOk) return rc;
    if (word == kTaskSet || word == kTaskRead || word == kTaskKey)
        if (const int rc = int_operand(context, command, 1, &value); rc != kOk) return rc;
    const int32_t largest_n = (word == kTaskFocus || word == kTaskKey) ? 15 : 255;
    const int32_t largest_value = word == kTaskSet ? 65535 : word == kTaskRead ? kRegisterCount - 1 : 255;
    if (word != kTaskClear && (n < 0 || n > largest_n)) return kErrOutOfRange;
    if ((word == kTaskSet || word == kTaskRead || word == kTaskKey) && (value < 0 || value > largest_value))
        return kErrOutOfRange;
    ServerChannel *server = context.server;
    switch (word) {
    case kTaskFocus: {
        if (!server) return kErrTaskMissingServer;
        std::lock_guard<std::mutex> hold(server->task_lock());
        return server->send(kServerFocus, format_text("%02d", {n}));
    }
    case kTaskSet: return server ? server->send(kServerSet, format_text("%d,%d", {n, value})) : kErrTaskMissingServer;
    case kTaskRead: return task_read(context, server, n, value);
    case kTaskKey: return server ? server->send(kServerKey, format_text("%d,%d", {n, value})) : kErrTaskMissingServer;
    default: {
        if (!server) return kErrTaskCantComm;
        std::lock_guard<std::mutex> hold(server->task_lock());
        return server->flush();
    }
    }
}

}  // namespace ksw
