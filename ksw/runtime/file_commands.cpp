// Run handlers of file( and user(. Names count from the station's working folder (the folder it
// was started in, which the station never changes); "\" separates folders as "/" does.
//
//   file(sea, name, n)   ad[n] = 1 a file, 2 a folder, 3 something else (a FIFO, a device),
//                        0 nothing of that name
//   file(tim, name, n)   ad[n..n+5] = year, month, day, hour, minute, second of the file's
//                        last change, local time; e107 when there is no such file
//   file(del, name, n)   deletes the file (a link itself, never what it points to):
//                        ad[n] = 1 deleted, 0 there was none; a folder or anything else that
//                        is not a file is left alone with e107, as is a file that cannot go
//   file(sub, name, n)   the folder part of the name ("data\\x.txt" gives "data", a bare name
//                        ".") into ad[n], ad[n+1] ... with a closing 0
//   user(command line[, t])   starts the program with its arguments (words split at blanks,
//                        double quotes group) and waits for it at most t seconds: 0 (the
//                        default) goes on at once, a negative t waits until it ends. The run
//                        goes on when the time is up and the program keeps running. e107 when
//                        it cannot be started.
#include <chrono>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/tick.h"
#include "runtime/run_handlers.h"
#include "runtime/run_operands.h"
#include "runtime/screen_text.h"

namespace ksw {
namespace {

namespace fs = std::filesystem;

enum FileMode : int { kFileSearch, kFileTime, kFileDelete, kFileFolder };
constexpr int kTimeRegisters = 6;
constexpr uint32_t kProcessPollMs = 20;

int file_failure(RunContext &context, const std::string &name, const std::string &why) {
    context.failure_detail = "file( \"" + name + "\": " + why;
    return kErrOpenFile;
}

uint16_t kind_number(fs::file_type type) {
    switch (type) {
    case fs::file_type::not_found:
    case fs::file_type::none: return 0;
    case fs::file_type::regular: return 1;
    case fs::file_type::directory: return 2;
    default: return 3;
    }
}

// ad[n..n+5] = the local date and time of the file's last change.
int file_time(RunContext &context, AdFile &ad, const std::string &name, int32_t n) {
    if (!is_register_index(n) || !is_register_index(int64_t{n} + kTimeRegisters - 1)) return kErrOutOfRange;
    std::error_code error;
    const fs::file_time_type changed = fs::last_write_time(platform::platform_path(name), error);
    if (error) return file_failure(context, name, error.message());
    const std::time_t seconds = std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(changed));
    std::tm local{};
    if (!localtime_r(&seconds, &local)) return file_failure(context, name, "its time cannot be read");
    const int values[kTimeRegisters] = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                        local.tm_hour,        local.tm_min,     local.tm_sec};
    for (int i = 0; i < kTimeRegisters; ++i) ad[static_cast<size_t>(n + i)] = static_cast<uint16_t>(values[i]);
    return kOk;
}

// Deletes a file or a link; ad[n] = 1, or 0 when there is none.
int delete_file(RunContext &context, AdFile &ad, const std::string &name, int32_t n) {
    if (!is_register_index(n)) return kErrOutOfRange;
    std::error_code error;
    const fs::file_type type = fs::symlink_status(platform::platform_path(name), error).type();
    if (type == fs::file_type::not_found) {
        ad[static_cast<size_t>(n)] = 0;
        return kOk;
    }
    if (error) return file_failure(context, name, error.message());
    if (type != fs::file_type::regular && type != fs::file_type::symlink)
        return file_failure(context, name, type == fs::file_type::directory ? "a folder is not deleted" : "not a file");
    if (!fs::remove(platform::platform_path(name), error) || error)
        return file_failure(context, name, error ? error.message() : "it went away");
    ad[static_cast<size_t>(n)] = 1;
    return kOk;
}

// Looks at the programs user( started before: those that ended are waited for, so none stays
// behind as a zombie.
void forget_ended_programs(RunContext &context) {
    std::erase_if(context.started_programs, [](int pid) { return platform::poll_process(pid) != platform::kStillRunning; });
}

// Waits until `pid` ends or `ms` pass (forever when `forever`). Returns 0 or 27 (aborted).
int wait_for_program(RunContext &context, int pid, uint32_t ms, bool forever) {
    const uint32_t start = platform::tick_count();
    while (platform::poll_process(pid) == platform::kStillRunning) {
        if (!forever && platform::ticks_since(start) >= ms) {
            context.started_programs.push_back(pid);
            return kOk;
        }
        if (!context.gate.sleep(kProcessPollMs)) {
            context.started_programs.push_back(pid);
            return kErrBreakedByUser;
        }
    }
    return kOk;
}

}  // namespace

int run_file(RunContext &context, const CommandRecord &command) {
    Registers *registers = run_registers(context);
    if (!registers) return kErrNoMemory;
    AdFile &ad = *registers->ad;
    int32_t n = 0;
    if (const int rc = int_operand(context, command, 0, &n); rc != kOk) return rc;
    const std::string &name = command.text;
    switch (command.sub_mode) {
    case kFileSearch: {
        if (!is_register_index(n)) return kErrOutOfRange;
        std::error_code error;
        const fs::file_type type = name.empty() ? fs::file_type::not_found : fs::status(platform::platform_path(name), error).type();
        ad[static_cast<size_t>(n)] = kind_number(type);
        return kOk;
    }
    case kFileTime: return file_time(context, ad, name, n);
    case kFileDelete: return delete_file(context, ad, name, n);
    case kFileFolder: return store_ad_text(ad, n, platform::directory_of(name));
    default: return kErrInvalidMode;
    }
}

int run_user(RunContext &context, const CommandRecord &command) {
    double seconds = 0;
    if (const int rc = real_operand(context, command, 0, &seconds); rc != kOk) return rc;
    uint32_t ms = 0;
    const bool forever = seconds < 0;
    if (!forever)
        if (const int rc = to_milliseconds(seconds, &ms); rc != kOk) return rc;
    forget_ended_programs(context);
    std::string error;
    const int pid = platform::start_process(platform::split_command_line(command.text), &error);
    if (pid < 0) {
        context.failure_detail = "user( " + error;
        return kErrOpenFile;
    }
    return wait_for_program(context, pid, ms, forever);
}

}  // namespace ksw
