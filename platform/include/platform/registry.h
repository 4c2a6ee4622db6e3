// The registry stand-in: one INI-format file, $XDG_CONFIG_HOME/Orvane/KSW/registry.ini (or
// ~/.config/...), one section per key path with its root ("HKEY_CURRENT_USER\Software\Orvane\KSW\System").
// Text values are stored quoted, 32-bit numbers as "dword:XXXXXXXX", so the two kinds never
// mix. Every write is a locked read-modify-write of the whole file, replaced atomically, so
// copies of the program that save at the same time lose nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ksw::platform {

enum class RegistryRoot { CurrentUser, Users, LocalMachine };

// The file that holds the registry; its folder is created on the first write.
std::string registry_file_path();

// A text value; nullopt when the key or value is missing or holds a number.
std::optional<std::string> registry_read_string(RegistryRoot root, std::string_view key_path, std::string_view name);
// A 32-bit number; nullopt when missing or text.
std::optional<uint32_t> registry_read_dword(RegistryRoot root, std::string_view key_path, std::string_view name);
// True when the key exists (it may hold no values).
bool registry_key_exists(RegistryRoot root, std::string_view key_path);

// Create the key when missing and store the value. False, with the reason in `error`, when
// the file cannot be written.
bool registry_create_key(RegistryRoot root, std::string_view key_path, std::string *error = nullptr);
bool registry_write_string(RegistryRoot root, std::string_view key_path, std::string_view name, std::string_view value,
                           std::string *error = nullptr);
bool registry_write_dword(RegistryRoot root, std::string_view key_path, std::string_view name, uint32_t value,
                          std::string *error = nullptr);

}  // namespace ksw::platform
