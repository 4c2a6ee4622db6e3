// The registry values of the settings: the machine's editor, the menu inhibition and the port
// groups that the settings file does not hold.
#include <optional>

#include "station/settings_store.h"
#include "station/settings_text.h"
#include "platform/ini.h"
#include "platform/registry.h"
#include "resources/messages.h"

namespace ksw {
namespace {

using platform::RegistryRoot;

constexpr std::string_view kPortValueNames[kPortGroupCount] = {"SysPort0", "SysPort1", "Ext0Port0", "Ext0Port1"};

// A text value as the loader takes it: present, text, and below 256 bytes.
std::optional<std::string> read_text_value(std::string_view key, std::string_view name) {
    std::optional<std::string> value = platform::registry_read_string(RegistryRoot::CurrentUser, key, name);
    if (value && value->size() > kRegistryTextLimit) return std::nullopt;
    return value;
}

// True when the registry file is missing or readable; otherwise the message names it.
bool registry_file_readable(std::string *message) {
    platform::IniFile probe;
    std::string error;
    if (probe.load(platform::registry_file_path(), &error)) return true;
    if (message) *message = "The registry file could not be read; defaults are used.\n" + error;
    return false;
}

}  // namespace

std::string registry_settings_key() { return std::string(message_text(kStrRegistryRoot)) + "System"; }

int LoadRegistrySettings(Settings &s, std::string *message) {
    if (!registry_file_readable(message)) return 0;
    const std::string key = registry_settings_key();
    int read = 0;
    if (const auto inhibit = platform::registry_read_dword(RegistryRoot::CurrentUser, key, "InhibitMenu")) {
        s.inhibit_menu = *inhibit;
        ++read;
    }
    if (const std::optional<std::string> editor = read_text_value(key, "Editor")) {
        s.editor = *editor;
        ++read;
    }
    for (size_t g = 0; g < kPortGroupCount; ++g) {
        const std::optional<std::string> text = read_text_value(key, kPortValueNames[g]);
        if (!text) continue;
        config::parse_port_text(*text, &s.ports[g]);
        ++read;
    }
    return read == 2 + kPortGroupCount ? 1 : 0;
}

int SaveRegistrySettings(const Settings &s, std::string *message) {
    const std::string key = registry_settings_key();
    std::string error;
    bool ok = platform::registry_create_key(RegistryRoot::CurrentUser, key, &error) &&
              platform::registry_write_dword(RegistryRoot::CurrentUser, key, "InhibitMenu", s.inhibit_menu, &error) &&
              platform::registry_write_string(RegistryRoot::CurrentUser, key, "Editor",
                                              std::string_view(s.editor).substr(0, kRegistryTextLimit), &error);
    for (size_t g = 0; ok && g < kPortGroupCount; ++g)
        if (!s.ports_from_ini[g])
            ok = platform::registry_write_string(RegistryRoot::CurrentUser, key, kPortValueNames[g],
                                                 config::format_port_text(s.ports[g]), &error);
    if (!ok && message) *message = "The registry values could not be written.\n" + error;
    return ok ? 1 : 0;
}

}  // namespace ksw
