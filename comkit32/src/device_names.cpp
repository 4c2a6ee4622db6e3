#include "device_names.h"

#include <filesystem>
#include <optional>

#include "platform/ascii.h"
#include "platform/ini.h"
#include "platform/registry.h"

namespace comkit {
namespace {

// The n of "COMn", or nothing for any other name. n runs from 1 and fits in an int.
std::optional<unsigned> com_number(std::string_view name) {
    if (name.size() < 4 || name.size() > 12 || !ksw::platform::equal_nocase(name.substr(0, 3), "COM"))
        return std::nullopt;
    unsigned n = 0;
    for (const char c : name.substr(3)) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + static_cast<unsigned>(c - '0');
        if (n > 999999u) return std::nullopt;
    }
    if (n == 0) return std::nullopt;
    return n;
}

}  // namespace

bool registry_file_usable() {
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::status(ksw::platform::registry_file_path(), ec);
    return st.type() == std::filesystem::file_type::not_found || st.type() == std::filesystem::file_type::regular;
}

std::string device_path(std::string_view port_name) {
    const std::optional<unsigned> n = com_number(port_name);
    if (!n) return std::string(port_name);
    ksw::platform::IniFile registry;
    if (registry_file_usable()) registry.load(ksw::platform::registry_file_path());
    const std::string key = "COM" + std::to_string(*n);
    if (const std::optional<std::string> mapped = registry.get("SerialDevices", key); mapped && !mapped->empty())
        return *mapped;
    return "/dev/ttyS" + std::to_string(*n - 1);
}

}  // namespace comkit
