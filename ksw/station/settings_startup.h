// The settings at start-up and whenever both stores are saved (a confirmed settings page, before
// a reload, at exit), with their messages shown through the front-end.
#pragma once

#include <string>
#include <string_view>

#include "station/settings.h"
#include "model/frontend.h"

namespace ksw {

// Start-up: makes writes past the file-size limit fail (EFBIG) instead of ending the process,
// gives every setting its default, then reads the registry, the settings file at
// `ini_path` and `command_line` into settings(). A store that exists but cannot be read is named
// in a message box (its defaults stay), and so are values of the settings file that are out of
// range; an unknown switch opens the help through `frontend`.
// Returns the command-line result (kCommandLineDone or kCommandLineHelp).
[[nodiscard]] int read_startup_settings(Frontend &frontend, const std::string &ini_path, std::string_view command_line,
                          CalendarDate today);

// Writes settings() to the settings file (on failure "s011: Can't write file." followed by the
// file and the system's reason, with the caption ".ini File") and to the registry (on failure a message naming the registry file). Returns 1
// when both were written, else 0.
[[nodiscard]] int save_settings_stores(Frontend &frontend, const std::string &ini_path, CalendarDate today);

}  // namespace ksw
