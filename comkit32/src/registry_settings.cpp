// Port settings saved under and loaded from a key below HKEY_USERS.
#include <cstring>
#include <optional>
#include <string>

#include "comkit32.h"
#include "device_names.h"
#include "platform/registry.h"

namespace {

using ksw::platform::RegistryRoot;

constexpr RegistryRoot kRoot = RegistryRoot::Users;

void fill_defaults(RSPortSettings *s) {
    std::memset(s->port, 0, sizeof s->port);
    std::strcpy(s->port, "COM1");
    s->baud_rate = 9600;
    s->byte_size = 8;
    s->stop_bits = 0;
    s->parity = 0;
}

bool accepted_baud(uint32_t baud) {
    return baud == 1200 || baud == 2400 || baud == 4800 || baud == 9600 || baud == 19200;
}

// Reads and checks every value, in the order the checks are made; false at the first failure.
bool load_values(const char *key, RSPortSettings *out) {
    if (!ksw::platform::registry_key_exists(kRoot, key)) return false;
    // The stored size counts the terminator: 1 to 6 bytes is a name of at most 5 characters.
    const std::optional<std::string> port = ksw::platform::registry_read_string(kRoot, key, "Port");
    if (!port || port->size() + 1 > 6) return false;
    const std::optional<uint32_t> baud = ksw::platform::registry_read_dword(kRoot, key, "BaudRate");
    if (!baud || !accepted_baud(*baud)) return false;
    const std::optional<uint32_t> bits = ksw::platform::registry_read_dword(kRoot, key, "ByteSize");
    if (!bits || (*bits != 7 && *bits != 8)) return false;
    const std::optional<uint32_t> stop = ksw::platform::registry_read_dword(kRoot, key, "StopBits");
    if (!stop || *stop > 2) return false;
    const std::optional<uint32_t> parity = ksw::platform::registry_read_dword(kRoot, key, "Parity");
    if (!parity || *parity > 3) return false;
    // The port digit; a name too short to have one fails here too.
    if (port->size() < 4 || (*port)[3] < '1' || (*port)[3] > '4') return false;
    std::memset(out->port, 0, sizeof out->port);
    std::memcpy(out->port, port->data(), port->size());
    out->baud_rate = static_cast<int32_t>(*baud);
    out->byte_size = static_cast<uint8_t>(*bits);
    out->stop_bits = static_cast<uint8_t>(*stop);
    out->parity = static_cast<uint8_t>(*parity);
    return true;
}

}  // namespace

COMKIT_API int RSRegSaveComInfo(const RSPortSettings *settings, const char *key_path) {
    if (!settings || !key_path || !*key_path || !comkit::registry_file_usable()) return 0;
    try {
        const std::string port(settings->port, strnlen(settings->port, sizeof settings->port));
        const bool saved = ksw::platform::registry_create_key(kRoot, key_path) &&
                           ksw::platform::registry_write_string(kRoot, key_path, "Port", port) &&
                           ksw::platform::registry_write_dword(kRoot, key_path, "BaudRate",
                                                               static_cast<uint32_t>(settings->baud_rate)) &&
                           ksw::platform::registry_write_dword(kRoot, key_path, "ByteSize", settings->byte_size) &&
                           ksw::platform::registry_write_dword(kRoot, key_path, "StopBits", settings->stop_bits) &&
                           ksw::platform::registry_write_dword(kRoot, key_path, "Parity", settings->parity);
        return saved ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

COMKIT_API int RSRegLoadComInfo(RSPortSettings *settings, const char *key_path) {
    if (!settings) return 0;
    try {
        RSPortSettings loaded{};
        if (key_path && *key_path && comkit::registry_file_usable() && load_values(key_path, &loaded)) {
            *settings = loaded;
            return 1;
        }
    } catch (...) {
    }
    fill_defaults(settings);
    return 0;
}
