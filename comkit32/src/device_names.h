// Port names to device paths.
#pragma once

#include <string>
#include <string_view>

namespace comkit {

// "COMn" (n from 1, any case): the registry file's section "SerialDevices", key "COMn", when
// it is set and not empty, else /dev/ttyS<n-1>. Any other name is a device path already.
std::string device_path(std::string_view port_name);

}  // namespace comkit
