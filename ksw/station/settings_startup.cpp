#include "station/settings_startup.h"

#include "station/command_line.h"
#include "station/settings_store.h"
#include "platform/files.h"
#include "resources/messages.h"

namespace ksw {
namespace {

constexpr std::string_view kIniCaption = ".ini File";
constexpr std::string_view kRegistryCaption = "Registry";

// Shows `message` in an OK box with `caption`.
void tell(Frontend &frontend, const std::string &message, std::string_view caption) {
    frontend.ask(message, caption, Buttons::Ok, BoxIcon::Exclamation);
}

}  // namespace

int read_startup_settings(Frontend &frontend, const std::string &ini_path, std::string_view command_line,
                          CalendarDate today) {
    // From the start, a write past the file-size limit fails and is reported like a full disk
    // instead of ending the station.
    platform::ignore_file_size_signal();
    reset_settings();
    Settings &s = settings();
    std::string message;
    (void)LoadRegistrySettings(s, &message);  // a missing value keeps its default; an unreadable file is in `message`
    if (!message.empty()) tell(frontend, message, kRegistryCaption);
    message.clear();
    if (!LoadIniSettings(s, ini_path, today, &message) || !message.empty()) tell(frontend, message, kIniCaption);
    return ParseCommandLine(s, command_line, [&frontend](std::string_view file) { frontend.open_help(file); });
}

int save_settings_stores(Frontend &frontend, const std::string &ini_path, CalendarDate today) {
    std::string message;
    const int ini_saved = SaveIniSettings(settings(), ini_path, today, &message);
    if (!ini_saved) tell(frontend, std::string(message_text(kMsgCantWriteFile)) + "\n" + message, kIniCaption);
    message.clear();
    const int registry_saved = SaveRegistrySettings(settings(), &message);
    if (!registry_saved) tell(frontend, message, kRegistryCaption);
    return ini_saved && registry_saved ? 1 : 0;
}

}  // namespace ksw
