// The station's serial port through the station's life: the file mutex that every running copy
// shares, the settings record from section "RS232C", the port opened at start-up when
// "OpenRSFirst" asks for it, and, with --sim, the simulated product on a pseudo-terminal.
//
// Order at start-up: settings -> open (file mutex, simulated product, record, "OpenRSFirst")
// -> attach to the run context -> program load -> runs. At exit: close (port closed, simulated
// product stopped).
#pragma once

#include <string>

#include "model/frontend.h"
#include "platform/process.h"
#include "runtime/run_context.h"
#include "runtime/serial/serial_link.h"
#include "station/settings.h"

namespace ksw {

// The port name the scenario's [serial] section gives its simulated product: the value of its
// "port" key ("COMn", n from 1 to 9, any case; default "COM1"), upper-cased. Empty when the
// scenario has no [serial] section. False with the reason when the scenario cannot be read or
// the port is no such name.
bool simulated_serial_port(const std::string &scenario, std::string *port, std::string *error);

class SerialStation {
public:
    explicit SerialStation(Frontend &frontend) : frontend_(frontend) {}
    ~SerialStation() { close(); }
    SerialStation(const SerialStation &) = delete;
    SerialStation &operator=(const SerialStation &) = delete;

    // Opens the file mutex ("Can't create FileMutex", caption "Error", when it cannot be: the
    // station ends). With a scenario that has a [serial] section, starts the simulated product
    // (ksw-serialpeer beside the station's executable) and maps the scenario's port name to the
    // product's line for this run; nothing is saved. Takes the "Ignore" choice, fills the record
    // from section "RS232C" and, when "OpenRSFirst" is on, opens the port with 1000 ms time-outs
    // (a port that does not open is shown with s010 and the station goes on). False with the
    // reason in `error` only when start-up must end.
    bool open(const Settings &settings, const std::string &scenario, std::string *error);
    // The run context uses the port.
    void attach(RunContext &context) { context.serial = &link_; }
    SerialLink &link() { return link_; }
    // The simulated product's line; empty without one.
    const std::string &simulated_device() const { return simulated_device_; }
    // Closes the port and stops the simulated product.
    void close();

private:
    bool start_simulated_product(const std::string &scenario, std::string *error);

    Frontend &frontend_;
    SerialLink link_;
    platform::ChildProcess product_;
    std::string simulated_device_;
};

}  // namespace ksw
