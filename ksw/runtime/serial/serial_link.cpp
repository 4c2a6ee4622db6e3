#include "runtime/serial/serial_link.h"

#include <cstring>

#include "platform/ascii.h"

namespace ksw {
namespace {

constexpr int kSerialErrorBase = 88;
constexpr int kFirstLibraryError = 1;
constexpr int kLastLibraryError = 9;

void copy_name(RSPortSettings &record, std::string_view name) {
    const size_t n = name.size() < sizeof record.port - 1 ? name.size() : sizeof record.port - 1;
    std::memcpy(record.port, name.data(), n);
    record.port[n] = '\0';
}

}  // namespace

SerialLink::SerialLink() {
    copy_name(record_, "COM1");
    record_.baud_rate = 9600;
    record_.byte_size = 8;
    record_.stop_bits = 0;
    record_.parity = 0;
}

void SerialLink::set_port_name(std::string_view name) { copy_name(record_, name); }

std::string SerialLink::device_for(std::string_view name) const {
    for (const SerialDeviceMapping &mapping : options_.devices)
        if (platform::equal_nocase(mapping.port, name)) return mapping.device;
    return std::string(name);
}

bool SerialLink::open() {
    close();
    RSPortSettings settings = record_;
    const std::string device = device_for(record_.port);
    if (device.size() >= sizeof settings.port) return false;  // a path the record cannot carry
    copy_name(settings, device);
    const int handle = Open232C(&settings);
    handle_.store(handle, std::memory_order_release);
    return handle != -1;
}

void SerialLink::close() {
    const int handle = handle_.exchange(-1, std::memory_order_acq_rel);
    if (handle != -1) (void)Close232C(handle);
}

int serial_error(int library_code) {
    if (library_code == 0) return 0;
    if (library_code < kFirstLibraryError || library_code > kLastLibraryError) return kSerialErrorBase + kLastLibraryError;
    return kSerialErrorBase + library_code;
}

}  // namespace ksw
