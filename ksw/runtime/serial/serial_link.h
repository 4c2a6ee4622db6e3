// The station's own serial port: one settings record and one port handle for the whole
// program. The serial commands open, configure and use it; the EVR drivers get its handle as
// their context word. Beside it live the two locks the device commands share: the printer lock
// (a download and EVR printing never interleave) and the file mutex that every copy of the
// station holds while a register file is read or written.
//
// Threads: the sequencer thread uses the port while a run goes; the main thread only while no
// sequencer runs (start-up, exit). handle() may be read from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "comkit32.h"
#include "platform/lockfile.h"

namespace ksw {

// A port name the program uses ("COM1") and the device that stands for it in this run only.
struct SerialDeviceMapping {
    std::string port;
    std::string device;
};

struct SerialOptions {
    bool ignore = false;                       // the EVR page's "Ignore": rs232c( and rscom( do nothing
    std::vector<SerialDeviceMapping> devices;  // names mapped for this run (a simulated product)
};

class SerialLink {
public:
    // The record starts as "COM1", 9600 baud, 8 data bits, 1 stop bit, no parity; the port closed.
    SerialLink();
    ~SerialLink() { close(); }
    SerialLink(const SerialLink &) = delete;
    SerialLink &operator=(const SerialLink &) = delete;

    // Takes the options of this run. Main thread, no run going.
    void configure(SerialOptions options) { options_ = std::move(options); }
    const SerialOptions &options() const { return options_; }

    // The settings record the next open uses.
    RSPortSettings &record() { return record_; }
    const RSPortSettings &record() const { return record_; }
    // Sets the record's port name (cut to the record's room).
    void set_port_name(std::string_view name);
    std::string port_name() const { return record_.port; }

    // The open port's handle, -1 while closed.
    int handle() const { return handle_.load(std::memory_order_acquire); }
    bool is_open() const { return handle() != -1; }

    // Closes the port when open, then opens the record's port (a mapped name opens its device).
    // True on success; false leaves the port closed.
    bool open();
    // Closes the port; nothing happens when it is closed.
    void close();

    // The device an open of `name` reaches: the mapped device, or the name itself.
    std::string device_for(std::string_view name) const;

    std::mutex printer_lock;
    platform::NamedFileMutex file_mutex;  // opened by the station at start-up, else on first use

private:
    RSPortSettings record_{};
    std::atomic<int> handle_{-1};
    SerialOptions options_;
};

// The program error for a serial library code e: e + 88 ("e092: 232C:RX timeout" for 4);
// 0 stays 0 and a code the library does not define becomes "e097: 232C:Misc. error".
int serial_error(int library_code);

}  // namespace ksw
