// The two stores of the settings record: the settings file (ksw.ini in the folder that was
// current at start) and the registry stand-in (key Software\Orvane\KSW\System). Start-up reads
// the registry, then the settings file, then the command line; the stores are written when a
// settings page is confirmed, before a reload and at exit.
#pragma once

#include <string>
#include <string_view>

#include "station/settings.h"

namespace ksw {

// The settings file of the program `program_name` started in `start_directory`: the folder, a
// "/" when it ends in neither "/" nor "\", and the program's name with its extension replaced
// by "ini" ("ksw" -> "ksw.ini").
std::string ini_settings_path(std::string_view start_directory, std::string_view program_name = "ksw");

// Reads every key of the settings file at `path` into `s`. A missing key leaves its value; the
// daily totals are taken only when the file's Year/Month/Day equal `today`, else both become 0;
// texts are cut at their limits; a number outside its range gets its default; a port group is
// taken (and marked as the file's) only when its key gives four 16-bit addresses; the effective
// port-access mode becomes DebugMode. A number too large for where it is kept (an int, a
// 32-bit word, a byte) is not wrapped round: its setting keeps its value and the key is listed in
// `message` (the result is still 1). A missing file changes nothing and gives 1. A file that
// exists but cannot be read (a folder, FIFO or device, too large, UTF-16 text) changes nothing,
// stores a message naming it in `message` and gives 0.
[[nodiscard]] int LoadIniSettings(Settings &s, const std::string &path, CalendarDate today, std::string *message);

// Writes every key of the settings file at `path`, with `today` as Year/Month/Day, keeping every
// other line of the file byte for byte; port groups only when the file supplied them at
// start-up. The file is replaced atomically, keeping its owner and permissions, and a symbolic
// link is written through to its target. Gives 1, or 0 with the reason, naming the file and the
// system's error, in `message` when the existing file cannot be read or parsed or the file
// cannot be written (the file is then left as it was).
[[nodiscard]] int SaveIniSettings(const Settings &s, const std::string &path, CalendarDate today, std::string *message);

// The registry key of the settings: the root text of message 5000 followed by "System".
std::string registry_settings_key();

// Reads "InhibitMenu", "Editor", "SysPort0", "SysPort1", "Ext0Port0", "Ext0Port1". A value that
// is missing, of the wrong kind or 256 bytes or longer leaves its setting as it was, and the
// values after it are still read: a port group kept in the settings file is never in the
// registry, and must not hide the groups after it. A port text is taken only when it gives four
// 16-bit addresses. Gives 1 only when all six were read.
// When the registry file exists but cannot be read, stores a message naming it in `message`.
[[nodiscard]] int LoadRegistrySettings(Settings &s, std::string *message);

// Creates the key and writes "InhibitMenu", "Editor" (cut to 255 characters) and every port group that the settings file
// did not supply. Gives 0 with the reason in `message` when the key cannot be created or a value
// cannot be written, else 1.
[[nodiscard]] int SaveRegistrySettings(const Settings &s, std::string *message);

}  // namespace ksw
