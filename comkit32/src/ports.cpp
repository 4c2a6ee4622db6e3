// Opening, closing and the per-port settings; single bytes and the receive queue.
#include <algorithm>
#include <cstring>
#include <string>

#include "comkit32.h"
#include "device_names.h"
#include "procedures.h"

using namespace comkit;

namespace {

constexpr uint32_t kLongestDrainMs = 2000;

// Runs `use` on the port of `handle`: 1, or 0 for an unknown handle.
template <class Use>
int change_port(int handle, Use use) {
    PortSlot *port = find_port(handle);
    if (!port) return 0;
    use(*port);
    return 1;
}

}  // namespace

COMKIT_API int ComkitGetVersion(void) { return 0x113; }

COMKIT_API int Open232C(const RSPortSettings *settings) {
    set_last_error(0);
    if (!settings) return -1;
    // An unterminated name would be read past the record.
    const size_t length = strnlen(settings->port, sizeof settings->port);
    if (length == 0 || length == sizeof settings->port) return -1;
    std::lock_guard<std::mutex> lock(table_mutex());
    if (!slot_free()) return -1;
    std::string path;
    try {
        path = device_path(std::string_view(settings->port, length));
    } catch (...) {
        return -1;
    }
    const LineSettings line_settings{settings->baud_rate, settings->byte_size, settings->stop_bits, settings->parity};
    Line line;
    if (!line_open(path.c_str(), line_settings, &line)) return -1;
    return claim_slot(line);
}

COMKIT_API int Close232C(int handle) {
    std::lock_guard<std::mutex> lock(table_mutex());
    const PortSlot *port = find_port(handle);
    if (!port) return 0;
    // Queued output gets the send time-out to leave, but a close never waits long.
    const uint32_t drain_ms = std::min(port->send_ms, kLongestDrainMs);
    Line line;
    if (release_slot(handle, &line)) line_close(&line, drain_ms);
    return 0;
}

COMKIT_API int Reset232C(int handle) {
    const PortSlot *port = find_port(handle);
    return port && line_reapply(port->line) ? 0 : -1;
}

COMKIT_API int RSGetComNo(int handle) { return slot_index(handle); }

COMKIT_API int RSSetTimeout(int handle, uint32_t receive_ms, uint32_t send_ms) {
    return change_port(handle, [&](PortSlot &port) {
        port.receive_ms = receive_ms;
        port.send_ms = send_ms;
    });
}

COMKIT_API int RSGetTimeout(int handle, uint32_t *receive_ms, uint32_t *send_ms) {
    return change_port(handle, [&](PortSlot &port) {
        if (receive_ms) *receive_ms = port.receive_ms;
        if (send_ms) *send_ms = port.send_ms;
    });
}

COMKIT_API int RSSetRetry(int handle, uint32_t count, uint32_t interval_ms) {
    return change_port(handle, [&](PortSlot &port) {
        port.retry_count = count;
        port.retry_interval_ms = interval_ms;
    });
}

COMKIT_API int RSIntervalTimeout(int handle, uint32_t read_ms_per_byte, uint32_t write_ms_per_byte) {
    return change_port(handle, [&](PortSlot &port) {
        port.read_ms_per_byte = read_ms_per_byte;
        port.write_ms_per_byte = write_ms_per_byte;
    });
}

COMKIT_API int RSGetc(int handle) {
    PortSlot *port = find_port(handle);
    if (!port) {
        set_last_error(9);
        return -1;
    }
    uint8_t byte = 0;
    return receive_bytes(*port, &byte, 1) == 0 ? byte : -1;
}

COMKIT_API int RSPutc(int handle, int byte) {
    PortSlot *port = find_port(handle);
    if (!port) {
        set_last_error(9);
        return 9;
    }
    const uint8_t b = static_cast<uint8_t>(byte);
    return send_bytes(*port, &b, 1);
}

COMKIT_API int RSGetReceived(int handle) {
    PortSlot *port = find_port(handle);
    int error = 9;
    if (port) {
        error = line_take_error(&port->line);
        if (error == 0) {
            const int queued = line_queued(port->line);
            if (queued >= 0) return queued;
            error = 9;
        }
    }
    set_last_error(error);
    return -1;
}

COMKIT_API int RSClearRXBuffer(int handle) {
    const PortSlot *port = find_port(handle);
    return port && line_discard_input(port->line) ? 1 : 0;
}

COMKIT_API int RSGetLastError(void) { return last_error(); }
