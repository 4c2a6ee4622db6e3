// Port names to device paths, and a guard for the registry file they are read from.
#pragma once

#include <string>
#include <string_view>

namespace comkit {

// "COMn" (n from 1, any case): the registry file's section "SerialDevices", key "COMn", when
// it is set and not empty, else /dev/ttyS<n-1>. Any other name is a device path already.
std::string device_path(std::string_view port_name);

// True when the registry file is missing or a regular file: anything else (a FIFO, a device)
// could block the read, so the registry is then treated as unreadable.
bool registry_file_usable();

}  // namespace comkit
