// Run handler of log(: collects text for the run's data-file line, or names the data file.
//
//   log(evr, a, n)   ",%d" of the EVR RAM bytes a .. a+n-1 (a + n <= 255), each read through the
//                    EVR front-end after the EVR interval
//   log(rd, i, n)    ",%s" of rd[i..i+n-1] in the ten-character float form
//   log(ad, i, n)    ",%d" of ad[i..i+n-1]
//   log(wor, i, n)   ",%04X" of ad[i..i+n-1]
//   log(dwo, i, n)   ",%04X%04X" of n pairs ad[i], ad[i+1] ...
//   log(fil, i)      the data file's name: i = -1 today's date as "YYYYMMDD.csv", else the
//                    characters held one per word in ad[i], ad[i+1] ... (up to 80, ending at a
//                    word that is 0 or above 255)
//
// Each value is one piece of the log text: the piece that would fill the buffer is refused with
// e017 and the pieces before it stay.
#include <cstdio>
#include <ctime>

#include "resources/format.h"
#include "runtime/measure/measure_devices.h"
#include "runtime/run_handlers.h"
#include "runtime/run_operands.h"
#include "zelw.h"

namespace ksw {
namespace {

enum LogWord : int { kLogEvr = 0, kLogRd, kLogAd, kLogFile, kLogWord, kLogDword };
constexpr int kLastEvrAddress = 255;
constexpr size_t kLongestFileName = 80;

int log_evr(RunContext &context, int32_t address, int32_t count) {
    if (address < 0 || count < 1 || address + count > kLastEvrAddress) return kErrOutOfRange;
    if (!context.adjuster) {
        context.failure_detail = "log(evr needs the EVR front-end, which this station does not have";
        return kErrNotSupportedComType;
    }
    for (int32_t a = address; a < address + count; ++a) {
        if (context.evr_interval_ms && !context.gate.sleep(context.evr_interval_ms)) return kErrBreakedByUser;
        uint32_t value = 0;
        if (const int rc = context.adjuster->read_word(context, 1, a, -1, &value); rc != kOk) return rc;
        if (const int rc = context.log.append(format_text(",%d", {static_cast<int>(value & 0xFF)})); rc != kOk)
            return rc;
    }
    return kOk;
}

int log_registers(RunContext &context, const Registers &registers, int word, int32_t first, int32_t count) {
    const int64_t span = word == kLogDword ? int64_t{count} * 2 : count;
    if (count < 1 || !is_register_index(first) || !is_register_index(first + span - 1)) return kErrOutOfRange;
    const AdFile &ad = *registers.ad;
    char piece[32];
    for (int32_t k = 0; k < count; ++k) {
        const size_t i = static_cast<size_t>(first + (word == kLogDword ? 2 * k : k));
        switch (word) {
        case kLogRd: {
            char number[11];
            std::snprintf(piece, sizeof piece, ",%s", MakeFloatStringA((*registers.rd)[i], number));
            break;
        }
        case kLogAd: std::snprintf(piece, sizeof piece, ",%d", ad[i]); break;
        case kLogWord: std::snprintf(piece, sizeof piece, ",%04X", ad[i]); break;
        default: std::snprintf(piece, sizeof piece, ",%04X%04X", ad[i], ad[i + 1]); break;
        }
        if (const int rc = context.log.append(piece); rc != kOk) return rc;
    }
    return kOk;
}

int log_file_name(RunContext &context, const Registers &registers, int32_t first) {
    if (first == -1) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        context.data_file_name =
            format_text("%04d%02d%02d.csv", {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday});
        return kOk;
    }
    if (!is_register_index(first)) return kErrOutOfRange;
    std::string name;
    for (int32_t i = first; is_register_index(i) && name.size() < kLongestFileName; ++i) {
        const uint16_t c = (*registers.ad)[static_cast<size_t>(i)];
        if (c == 0 || c > 255) break;
        name += static_cast<char>(c);
    }
    context.data_file_name = name;
    return kOk;
}

}  // namespace

// log(evr|rd|ad|fil|wor|dwo, n[, count])
int run_log(RunContext &context, const CommandRecord &command) {
    int32_t first = 0;
    int32_t count = 0;
    if (const int rc = int_operand(context, command, 0, &first); rc != kOk) return rc;
    if (command.sub_mode != kLogFile)
        if (const int rc = int_operand(context, command, 1, &count); rc != kOk) return rc;
    if (command.sub_mode == kLogEvr) return log_evr(context, first, count);
    const Registers *registers = run_registers(context);
    if (!registers) return kErrNoMemory;
    if (command.sub_mode == kLogFile) return log_file_name(context, *registers, first);
    return log_registers(context, *registers, command.sub_mode, first, count);
}

}  // namespace ksw
