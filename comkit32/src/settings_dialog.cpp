// The settings dialog's choices over the port settings record. The window itself is the
// front-end's; it installs a handler that shows these choices and reports "OK" or "Cancel".
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "comkit32.h"
#include "platform/ini.h"

namespace {

constexpr int kBaudRates[] = {110, 300, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200};
constexpr size_t kBaudTextMax = sizeof(RSDialogState::baud_text) - 1;

std::atomic<RSDialogHandler> g_handler{nullptr};

int in_range_or(int value, int low, int high, int first_choice) {
    return value >= low && value <= high ? value : first_choice;
}

// The number after "COM" (read like the settings file reads numbers), 0 when there is none.
int port_number(const RSPortSettings &s) {
    const size_t length = strnlen(s.port, sizeof s.port);
    if (length <= 3) return 0;
    return ksw::platform::profile_int_from_text(std::string_view(s.port + 3, length - 3));
}

}  // namespace

COMKIT_API void RSSetDialogHandler(RSDialogHandler handler) { g_handler.store(handler); }

COMKIT_API int RSDialogBaudRate(int index) {
    constexpr int count = static_cast<int>(sizeof kBaudRates / sizeof kBaudRates[0]);
    return index >= 0 && index < count ? kBaudRates[index] : 0;
}

COMKIT_API void RSDialogFromRecord(const RSPortSettings *settings, RSDialogState *state) {
    if (!settings || !state) return;
    state->port = in_range_or(port_number(*settings), 1, 4, 1);
    state->byte_size = in_range_or(settings->byte_size, 7, 8, 7);
    state->stop_bits = in_range_or(settings->stop_bits, 0, 2, 0);
    state->parity = in_range_or(settings->parity, 0, 2, 0);
    std::snprintf(state->baud_text, sizeof state->baud_text, "%d", static_cast<int>(settings->baud_rate));
}

COMKIT_API void RSDialogOriginal(RSDialogState *state) {
    if (!state) return;
    std::snprintf(state->baud_text, sizeof state->baud_text, "%d", 9600);
    state->byte_size = 8;
    state->stop_bits = 0;
    state->parity = 0;
}

COMKIT_API void RSDialogToRecord(const RSDialogState *state, RSPortSettings *settings) {
    if (!state || !settings) return;
    std::memset(settings->port, 0, sizeof settings->port);
    std::snprintf(settings->port, sizeof settings->port, "COM%d", in_range_or(state->port, 1, 4, 1));
    // An empty or wordy list text keeps the rate the record had rather than writing 0.
    const int baud = ksw::platform::profile_int_from_text(
        std::string_view(state->baud_text, strnlen(state->baud_text, kBaudTextMax)));
    if (baud > 0) settings->baud_rate = baud;
    settings->byte_size = static_cast<uint8_t>(in_range_or(state->byte_size, 7, 8, 7));
    settings->stop_bits = static_cast<uint8_t>(in_range_or(state->stop_bits, 0, 2, 0));
    settings->parity = static_cast<uint8_t>(in_range_or(state->parity, 0, 2, 0));
}

COMKIT_API int RSSet232CProc(void *owner, RSPortSettings *settings) {
    const RSDialogHandler handler = g_handler.load();
    if (!handler || !settings) return 0;
    RSDialogState state{};
    RSDialogFromRecord(settings, &state);
    try {
        if (handler(owner, &state) != 1) return 0;
    } catch (...) {
        return 0;
    }
    RSDialogToRecord(&state, settings);
    return 1;
}
