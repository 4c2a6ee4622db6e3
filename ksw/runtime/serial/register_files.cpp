// Run handler of rwfile(: registers written to and read from a text file or the clipboard.
// Files are read and written while the station holds the file mutex that every running copy
// shares; the clipboard is the front-end's.
#include <new>
#include <string>

#include "model/frontend.h"
#include "model/serial_modes.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/raw_file.h"
#include "runtime/run_handlers.h"
#include "runtime/run_operands.h"
#include "runtime/serial/register_text.h"
#include "runtime/serial/serial_link.h"

namespace ksw {
namespace {

constexpr const char *kFileMutexName = "KSWFileMutexSystem";
constexpr uint32_t kFileLockFirstWaitMs = 2000;
constexpr uint32_t kFileLockSecondWaitMs = 200;
constexpr uint32_t kFileLockSliceMs = 100;  // the run gate is passed this often while waiting
constexpr int kClipboardAttempts = 10;
constexpr uint32_t kClipboardPauseMs = 20;

struct Transfer {
    RegisterText form = RegisterText::rd;
    int32_t first = 0;
    int32_t count = 0;
    int32_t per_line = 0;  // writing: values per line; reading: fields skipped at the start
    bool append = false;
};

RegisterText form_of(int register_class) {
    return register_class == kRwfileRd ? RegisterText::rd
         : register_class == kRwfileAd ? RegisterText::hex_ad
                                       : RegisterText::decimal_ad;
}

// Holds the file mutex for a scope: waits 2000 ms, then 200 ms more, passing the run gate.
class FileMutexHold {
public:
    FileMutexHold(RunContext &context, platform::NamedFileMutex &mutex) : mutex_(mutex) {
        if (!mutex.is_open() && !mutex.open(kFileMutexName)) return;
        for (const uint32_t wait : {kFileLockFirstWaitMs, kFileLockSecondWaitMs}) {
            for (uint32_t waited = 0; waited < wait && !held_; waited += kFileLockSliceMs) {
                if (!context.checkpoint()) return;
                held_ = mutex.acquire(std::min(kFileLockSliceMs, wait - waited));
            }
            if (held_) return;
        }
    }
    ~FileMutexHold() {
        if (held_) mutex_.release();
    }
    FileMutexHold(const FileMutexHold &) = delete;
    FileMutexHold &operator=(const FileMutexHold &) = delete;
    bool held() const { return held_; }

private:
    platform::NamedFileMutex &mutex_;
    bool held_ = false;
};

int write_register_file(const std::string &path, const std::string &text, bool append) {
    if (!append) return platform::write_file_atomic(path, text) ? kOk : kErrOpenFile;
    const int fd = platform::open_append_file(path);
    if (fd < 0) return kErrOpenFile;
    const bool written = platform::write_all(fd, text.data(), text.size());
    return platform::close_file(fd) && written ? kOk : kErrOpenFile;
}

int read_register_file(const std::string &path, RegisterTextReader &reader) {
    const int fd = platform::open_regular_file(path);
    if (fd < 0) return kErrOpenFile;
    char buffer[65536];
    int rc = kOk;
    while (rc == kOk && !reader.done()) {
        const long n = platform::read_some(fd, buffer, sizeof buffer);
        if (n < 0) rc = kErrOpenFile;
        if (n <= 0) break;
        rc = reader.take_text(std::string_view(buffer, static_cast<size_t>(n)));
    }
    (void)platform::close_file(fd);
    return rc == kOk ? reader.finish() : rc;
}

// The clipboard's text, tried up to ten times; e149 when it cannot be had.
int clipboard_text(RunContext &context, std::string *text) {
    if (!context.frontend) return kErrCantOpenClipboard;
    for (int attempt = 0; attempt < kClipboardAttempts; ++attempt) {
        if (attempt > 0 && !(context.checkpoint() && context.gate.sleep(kClipboardPauseMs))) return kErrBreakedByUser;
        if (std::optional<std::string> got = context.frontend->clipboard_text()) {
            *text = std::move(*got);
            return kOk;
        }
    }
    return kErrCantOpenClipboard;
}

int set_clipboard(RunContext &context, const std::string &text) {
    if (!context.frontend) return kErrCantOpenClipboard;
    for (int attempt = 0; attempt < kClipboardAttempts; ++attempt) {
        if (attempt > 0 && !(context.checkpoint() && context.gate.sleep(kClipboardPauseMs))) return kErrBreakedByUser;
        if (context.frontend->set_clipboard_text(text)) return kOk;
    }
    return kErrCantOpenClipboard;
}

int to_clipboard(RunContext &context, const std::string &text, bool append) {
    if (!append) return set_clipboard(context, text);
    std::string old;
    if (const int rc = clipboard_text(context, &old); rc != kOk) return rc;
    return set_clipboard(context, old + text);
}

int from_clipboard(RunContext &context, RegisterTextReader &reader) {
    std::string text;
    if (const int rc = clipboard_text(context, &text); rc != kOk) return rc;
    const int rc = reader.take_text(text);
    return rc == kOk ? reader.finish() : rc;
}

int read_transfer(RunContext &context, const CommandRecord &command, Transfer *t) {
    t->form = form_of(command.sub_mode);
    t->append = command.ints[0] == kRwfileFastAppend || command.ints[0] == kRwfileAppend;
    if (const int rc = int_operand(context, command, 1, &t->first); rc != kOk) return rc;
    if (const int rc = int_operand(context, command, 2, &t->count); rc != kOk) return rc;
    if (const int rc = int_operand(context, command, 3, &t->per_line); rc != kOk) return rc;
    if (!is_register_index(t->first) || t->count < 0 || t->per_line < 0) return kErrOutOfRange;
    return kOk;
}

int run_transfer(RunContext &context, const CommandRecord &command, const Transfer &t) {
    Registers &registers = *run_registers(context);
    const bool clipboard = platform::equal_nocase(command.text, "clipboard");
    if (command.ints[4] != 0) {
        if (t.first + int64_t{t.count} > kRegisterCount) return kErrTooManyData;
        const std::string text = format_registers(registers, t.form, t.first, t.count, t.per_line);
        if (clipboard) return to_clipboard(context, text, t.append);
        if (!context.serial) return kErrOpenFile;
        const FileMutexHold hold(context, context.serial->file_mutex);
        if (!hold.held()) return context.gate.aborted() ? kErrBreakedByUser : kErrOpenFile;
        return write_register_file(command.text, text, t.append);
    }
    RegisterTextReader reader(registers, t.form, t.first, t.count, t.per_line);
    if (clipboard) return from_clipboard(context, reader);
    if (!context.serial) return kErrOpenFile;
    const FileMutexHold hold(context, context.serial->file_mutex);
    if (!hold.held()) return context.gate.aborted() ? kErrBreakedByUser : kErrOpenFile;
    return read_register_file(command.text, reader);
}

}  // namespace

// rwfile(r|fr|w|fw|a|fa, rd|ad|dad, first, count[, per line[, file]])
int run_rwfile(RunContext &context, const CommandRecord &command) {
    if (!run_registers(context)) return kErrNoMemory;
    Transfer transfer;
    if (const int rc = read_transfer(context, command, &transfer); rc != kOk) return rc;
    try {
        return run_transfer(context, command, transfer);
    } catch (const std::bad_alloc &) {
        return kErrNoMemory;
    }
}

}  // namespace ksw
