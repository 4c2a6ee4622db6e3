#include "station/serial_startup.h"

#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "resources/format.h"
#include "resources/messages.h"
#include "station/message_box.h"

namespace ksw {
namespace {

constexpr const char *kFileMutexName = "KSWFileMutexSystem";
constexpr size_t kScenarioLimit = 1 << 20;
constexpr uint32_t kProductStartMs = 5000;  // for the simulated product to name its line
constexpr uint32_t kStartupTimeoutMs = 1000;

// "COMn" with n from 1 to 9, any case.
bool is_com_name(std::string_view name) {
    return name.size() == 4 && platform::starts_with_nocase(name, "COM") && name[3] >= '1' && name[3] <= '9';
}

}  // namespace

bool simulated_serial_port(const std::string &scenario, std::string *port, std::string *error) {
    port->clear();
    std::string text;
    if (!platform::read_file(scenario, &text, error, nullptr, kScenarioLimit)) return false;
    platform::IniFile document;
    document.parse(text);
    if (!document.has_section("serial")) return true;
    const std::string name = document.get("serial", "port").value_or("COM1");
    if (!is_com_name(name)) {
        *error = scenario + ": [serial] port: expected COM1 to COM9, not \"" + name + "\"";
        return false;
    }
    *port = "COM" + name.substr(3);
    return true;
}

bool SerialStation::start_simulated_product(const std::string &scenario, std::string *error) {
    std::string port;
    if (!simulated_serial_port(scenario, &port, error)) return false;
    if (port.empty()) return true;
    const std::string program = platform::executable_dir() + "/ksw-serialpeer";
    std::string reason;
    if (!product_.start({program, scenario}, &reason) ||
        !product_.read_line(&simulated_device_, kProductStartMs, 4096, &reason) || simulated_device_.empty()) {
        (void)product_.stop();
        simulated_device_.clear();
        *error = "--sim: the simulated serial product (" + program + ") did not start: " + reason;
        return false;
    }
    SerialOptions options = link_.options();
    options.devices.push_back({port, simulated_device_});
    link_.configure(std::move(options));
    return true;
}

bool SerialStation::open(const Settings &settings, const std::string &scenario, std::string *error) {
    close();
    link_.configure(SerialOptions{});
    std::string reason;
    if (!link_.file_mutex.is_open() && !link_.file_mutex.open(kFileMutexName, &reason)) {
        (void)frontend_.ask("Can't create FileMutex", "Error", Buttons::Ok, BoxIcon::Stop);
        *error = "the file mutex " + std::string(kFileMutexName) + " cannot be created: " + reason;
        return false;
    }
    if (!scenario.empty() && !start_simulated_product(scenario, error)) return false;
    SerialOptions options = link_.options();
    options.ignore = settings.evr_ignore;
    link_.configure(std::move(options));
    RSPortSettings &record = link_.record();
    link_.set_port_name(settings.rs_port);
    record.baud_rate = settings.baud_rate;
    record.byte_size = settings.byte_size;
    record.stop_bits = settings.stop_bits;
    record.parity = settings.parity;
    if (!settings.open_rs_first) return true;
    if (!link_.open()) {
        show_message(&frontend_, format_text(message_text(kMsgCantOpenSerialPort), {link_.port_name()}), "ERROR",
                     Buttons::Ok, BoxIcon::Stop);
        return true;
    }
    (void)RSSetTimeout(link_.handle(), kStartupTimeoutMs, kStartupTimeoutMs);
    return true;
}

void SerialStation::close() {
    link_.close();
    if (product_.running()) (void)product_.stop();
    simulated_device_.clear();
}

}  // namespace ksw
