// Run handler of sendmicon(: a file sent byte by byte to the product's microcontroller over the
// station's serial port. "run" wraps it in the loader's handshake: a blank answered by a blank
// says the loader listens, "L" CR (each echoed) starts the download, a "*" says the loader took
// the file, and "TA000" CR starts the program.
#include <mutex>

#include "model/serial_modes.h"
#include "platform/raw_file.h"
#include "resources/error_codes.h"
#include "runtime/run_handlers.h"
#include "runtime/serial/serial_link.h"

namespace ksw {
namespace {

constexpr int kBlank = 0x20;
constexpr int kEndOfFile = 0x1A;  // the download ends at this byte; nothing after it is sent
constexpr int kLoaderReady = '*';
constexpr const char *kStartCommand = "TA000\r";
// A loader that chatters this long without its "*" is not going to send it.
constexpr int kLongestWaitForReady = 65536;

// One byte from the line, or the library's error as a program error in *rc.
bool read_byte(int handle, int *byte, int *rc) {
    *byte = RSGetc(handle);
    if (*byte >= 0) return true;
    *rc = serial_error(RSGetLastError());
    if (*rc == kOk) *rc = serial_error(RS_PORT_FAILED);
    return false;
}

// "L" and CR, each followed by its echo.
int announce_download(int handle) {
    for (const int c : {'L', '\r'}) {
        if (const int rc = RSPutc(handle, c); rc != RS_OK) return serial_error(rc);
        int echo = 0, rc = kOk;
        if (!read_byte(handle, &echo, &rc)) return rc;
    }
    return kOk;
}

// The file's bytes up to its end or its first 0x1A. The printer lock is held meanwhile, so a
// halt is not waited for here; an abort ends the download.
int send_file(RunContext &context, int handle, int fd) {
    uint8_t buffer[4096];
    for (;;) {
        if (context.gate.aborted()) return kErrBreakedByUser;
        const long n = platform::read_some(fd, buffer, sizeof buffer);
        if (n < 0) return kErrOpenFile;
        if (n == 0) return kOk;
        for (long i = 0; i < n; ++i) {
            if (buffer[i] == kEndOfFile) return kOk;
            if (const int rc = RSPutc(handle, buffer[i]); rc != RS_OK) return serial_error(rc);
        }
    }
}

// Reads until the loader's "*"; every read waits up to the receive time-out.
int wait_until_loaded(RunContext &context, int handle) {
    for (int count = 0; count < kLongestWaitForReady; ++count) {
        if (!context.checkpoint()) return kErrBreakedByUser;
        int byte = 0, rc = kOk;
        if (!read_byte(handle, &byte, &rc)) return rc;
        if (byte == kLoaderReady) return kOk;
    }
    return kErrSerialTooManyRx;
}

// Steps 3 to 5: the file sent under the printer lock ("run" announces it first).
int download(RunContext &context, SerialLink &link, const std::string &file, bool handshake) {
    const int handle = link.handle();
    (void)RSClearRXBuffer(handle);
    std::lock_guard<std::mutex> printer(link.printer_lock);
    const int fd = platform::open_regular_file(file);
    if (fd < 0) return kErrOpenFile;
    int rc = handshake ? announce_download(handle) : kOk;
    if (rc == kOk) rc = send_file(context, handle, fd);
    (void)platform::close_file(fd);
    return rc;
}

}  // namespace

// sendmicon(sen|run, file)
int run_sendmicon(RunContext &context, const CommandRecord &command) {
    SerialLink *link = context.serial;
    if (!link || !link->is_open()) return kErrSerialNotOpen;
    const int handle = link->handle();
    const bool handshake = command.sub_mode == kSendmiconRun;
    (void)RSClearRXBuffer(handle);
    if (handshake) {
        // A product whose loader does not answer the blank is running already: nothing to do.
        if (const int rc = RSPutc(handle, kBlank); rc != RS_OK) return serial_error(rc);
        int reply = 0, rc = kOk;
        if (!read_byte(handle, &reply, &rc)) return rc;
        if (reply != kBlank) return kOk;
    }
    if (const int rc = download(context, *link, command.text, handshake); rc != kOk) return rc;
    if (!handshake) {
        (void)RSClearRXBuffer(handle);
        return kOk;
    }
    if (const int rc = wait_until_loaded(context, handle); rc != kOk) return rc;
    if (const int rc = RSPuts(handle, kStartCommand); rc != RS_OK) return serial_error(rc);
    (void)RSClearRXBuffer(handle);
    return kOk;
}

}  // namespace ksw
