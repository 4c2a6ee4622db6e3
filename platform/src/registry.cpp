#include "platform/registry.h"

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "platform/files.h"
#include "platform/ini.h"
#include "platform/lockfile.h"

namespace ksw::platform {
namespace {

constexpr std::string_view kDwordTag = "dword:";

std::string section_name(RegistryRoot root, std::string_view key_path) {
    std::string name;
    switch (root) {
    case RegistryRoot::CurrentUser: name = "HKEY_CURRENT_USER"; break;
    case RegistryRoot::Users: name = "HKEY_USERS"; break;
    case RegistryRoot::LocalMachine: name = "HKEY_LOCAL_MACHINE"; break;
    }
    while (!key_path.empty() && (key_path.back() == '\\' || key_path.back() == '/')) key_path.remove_suffix(1);
    name += '\\';
    for (const char c : key_path) name += (c == '/') ? '\\' : c;
    return name;
}

std::optional<std::string> read_raw(RegistryRoot root, std::string_view key_path, std::string_view name) {
    IniFile ini;
    ini.load(registry_file_path());
    return ini.get_raw(section_name(root, key_path), name);
}

// Loads the file under its lock, lets `change` edit it, and writes it back.
bool modify(const std::function<void(IniFile &)> &change, std::string *error) {
    const std::string path = registry_file_path();
    if (!make_directories(directory_of(path), 0700, error)) return false;
    FileLock lock;
    if (!lock.lock(path + ".lock", 5000)) {
        if (error) *error = "registry file is locked: " + path;
        return false;
    }
    IniFile ini;
    if (!ini.load(path, error)) return false;
    change(ini);
    return ini.save(path, error);
}

}  // namespace

std::string registry_file_path() {
    const char *config = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (config && *config) {
        base = config;
    } else {
        const char *home = std::getenv("HOME");
        base = std::string(home && *home ? home : ".") + "/.config";
    }
    return base + "/Orvane/KSW/registry.ini";
}

std::optional<std::string> registry_read_string(RegistryRoot root, std::string_view key_path, std::string_view name) {
    const std::optional<std::string> raw = read_raw(root, key_path, name);
    if (!raw || raw->size() < 2 || raw->front() != '"' || raw->back() != '"') return std::nullopt;
    return raw->substr(1, raw->size() - 2);
}

std::optional<uint32_t> registry_read_dword(RegistryRoot root, std::string_view key_path, std::string_view name) {
    const std::optional<std::string> raw = read_raw(root, key_path, name);
    if (!raw || raw->compare(0, kDwordTag.size(), kDwordTag) != 0) return std::nullopt;
    char *end = nullptr;
    const unsigned long value = std::strtoul(raw->c_str() + kDwordTag.size(), &end, 16);
    if (end == raw->c_str() + kDwordTag.size()) return std::nullopt;
    return static_cast<uint32_t>(value);
}

bool registry_key_exists(RegistryRoot root, std::string_view key_path) {
    IniFile ini;
    ini.load(registry_file_path());
    return ini.has_section(section_name(root, key_path));
}

bool registry_create_key(RegistryRoot root, std::string_view key_path, std::string *error) {
    const std::string section = section_name(root, key_path);
    return modify([&](IniFile &ini) { ini.add_section(section); }, error);
}

bool registry_write_string(RegistryRoot root, std::string_view key_path, std::string_view name, std::string_view value,
                           std::string *error) {
    const std::string section = section_name(root, key_path);
    std::string quoted = "\"";
    quoted += value;
    quoted += '"';
    return modify([&](IniFile &ini) { ini.set(section, name, quoted); }, error);
}

bool registry_write_dword(RegistryRoot root, std::string_view key_path, std::string_view name, uint32_t value,
                          std::string *error) {
    const std::string section = section_name(root, key_path);
    char text[32];
    std::snprintf(text, sizeof text, "dword:%08x", value);
    return modify([&](IniFile &ini) { ini.set(section, name, text); }, error);
}

}  // namespace ksw::platform
