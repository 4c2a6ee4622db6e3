#include "station/settings.h"

#include <ctime>

namespace ksw {
namespace {

Settings g_settings;

constexpr std::string_view kFixedWindowKeys[] = {"Main", "OkNg", "Error", "ad", "rd", "sw", "fsw", "EVR"};
static_assert(std::size(kFixedWindowKeys) == kWinWave0, "fixed window keys and WindowId out of step");

}  // namespace

// "Main" ... "EVR", "Wave0".."Wave9", "PRecorder0", "PRecorder1", "Vector"; empty when out of range.
std::string window_key(int window) {
    if (window < 0 || window >= kWindowCount) return {};
    if (window < kWinWave0) return std::string(kFixedWindowKeys[window]);
    if (window <= kWinWave9) return "Wave" + std::to_string(window - kWinWave0);
    if (window <= kWinPRecorder1) return "PRecorder" + std::to_string(window - kWinPRecorder0);
    return "Vector";
}

// The main window at 0,0 to 640,480; every other window 0,0,0,0.
std::array<WindowRect, kWindowCount> Settings::default_windows() {
    std::array<WindowRect, kWindowCount> windows{};
    windows[kWinMain] = WindowRect{0, 0, 640, 480};
    return windows;
}

Settings &settings() { return g_settings; }

void reset_settings() { g_settings = Settings{}; }

// Reads the local calendar through the thread-safe conversion.
CalendarDate today_local() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return CalendarDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

// Define pieces (source 2) come first, as the file is read before the command line is parsed.
std::vector<PreprocessorDefinition> preprocessor_definitions(const Settings &s) {
    std::vector<PreprocessorDefinition> out;
    std::string_view rest = s.define;
    while (!rest.empty()) {
        const size_t semicolon = rest.find(';');
        const std::string_view piece = rest.substr(0, semicolon);
        if (!piece.empty()) out.push_back({std::string(piece), kDefineSourceSetting});
        if (semicolon == std::string_view::npos) break;
        rest.remove_prefix(semicolon + 1);
    }
    for (const std::string &text : s.command_line_defines)
        if (!text.empty()) out.push_back({text, kDefineSourceCommandLine});
    return out;
}

// An empty path would become the file-system root once a separator is appended, so it falls
// back to the current folder.
std::string normalize_data_path(std::string_view text) {
    std::string path(text.substr(0, kPathTextLimit));
    if (path.empty()) return "./";
    if (path.back() != '/' && path.back() != '\\') path += '/';
    return path;
}

}  // namespace ksw
