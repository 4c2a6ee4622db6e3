// The fixed-length, length-prefixed and text exchanges.
#include "comkit32.h"
#include "procedures.h"

using namespace comkit;

namespace {

constexpr uint8_t kCR = 0x0D;

int fail(int code) {
    set_last_error(code);
    return code;
}

// Runs `body` on the port of `handle`; an unknown handle, or a buffer missing where bytes are
// to move, gives 9 without touching any port.
template <class Body>
int on_port(int handle, bool buffers_present, Body body) {
    PortSlot *port = find_port(handle);
    if (!port || !buffers_present) return fail(9);
    return body(*port);
}

const uint8_t *bytes(const void *p) { return static_cast<const uint8_t *>(p); }
uint8_t *bytes(void *p) { return static_cast<uint8_t *>(p); }

// Packets: byte 0, the payload length, the payload.
int send_packet(PortSlot &port, const uint8_t *packet) {
    discard_input(port);
    return send_bytes(port, packet, static_cast<size_t>(packet[1]) + 2);
}

int receive_packet(PortSlot &port, uint8_t *buffer) {
    if (const int e = receive_bytes(port, buffer, 2)) return e;
    return receive_bytes(port, buffer + 2, buffer[1]);
}

// Text: the bytes through the first CR, or through the terminator; 0 when neither comes
// within the longest text.
size_t text_length(const char *text) {
    for (size_t i = 0; i < RS_TEXT_BUFFER_SIZE; ++i)
        if (static_cast<uint8_t>(text[i]) == kCR || text[i] == '\0') return i + 1;
    return 0;
}

int send_text(PortSlot &port, const char *text, size_t length) {
    discard_input(port);
    return send_bytes(port, reinterpret_cast<const uint8_t *>(text), length);
}

// One byte at a time, each waiting up to the receive time-out, until CR or 0 or a full buffer.
int receive_text(PortSlot &port, char *buffer) {
    for (size_t i = 0; i < RS_TEXT_BUFFER_SIZE - 1; ++i) {
        uint8_t byte = 0;
        if (const int e = receive_bytes(port, &byte, 1)) return e;
        if (byte == kCR || byte == 0) {
            buffer[i] = '\0';
            return 0;
        }
        buffer[i] = static_cast<char>(byte);
    }
    buffer[RS_TEXT_BUFFER_SIZE - 1] = '\0';
    return 0;
}

}  // namespace

// ---- fixed length ----

COMKIT_API int RSSendfData(int handle, const void *data, uint32_t length) {
    return on_port(handle, data || length == 0, [&](PortSlot &port) {
        return with_retries(port, [&] { return send_bytes(port, bytes(data), length); });
    });
}

COMKIT_API int RSGetfData(int handle, void *buffer, uint32_t length) {
    return on_port(handle, buffer || length == 0,
                   [&](PortSlot &port) { return receive_bytes(port, bytes(buffer), length); });
}

COMKIT_API int RSSendGetfData(int handle, const void *data, uint32_t length, void *reply, uint32_t reply_length,
                              uint32_t receive_ms) {
    return on_port(handle, (data || length == 0) && (reply || reply_length == 0), [&](PortSlot &port) {
        const ReceiveTimeoutOverride timeout(port, receive_ms);
        return with_retries(port, [&] {
            if (const int e = send_bytes(port, bytes(data), length)) return e;
            return receive_bytes(port, bytes(reply), reply_length);
        });
    });
}

COMKIT_API int RSGetSendfData(int handle, const void *data, uint32_t length, void *buffer, uint32_t receive_length,
                              uint32_t delay_ms) {
    return on_port(handle, (data || length == 0) && (buffer || receive_length == 0), [&](PortSlot &port) {
        return with_retries(port, [&] {
            if (const int e = receive_bytes(port, bytes(buffer), receive_length)) return e;
            ksw::platform::sleep_ms(delay_ms);
            return send_bytes(port, bytes(data), length);
        });
    });
}

// ---- length-prefixed ----

COMKIT_API int RSSendnData(int handle, const uint8_t *packet) {
    return on_port(handle, packet != nullptr,
                   [&](PortSlot &port) { return with_retries(port, [&] { return send_packet(port, packet); }); });
}

COMKIT_API int RSGetnData(int handle, uint8_t *buffer) {
    return on_port(handle, buffer != nullptr, [&](PortSlot &port) { return receive_packet(port, buffer); });
}

COMKIT_API int RSSendGetnData(int handle, const uint8_t *packet, uint8_t *reply, uint32_t receive_ms) {
    return on_port(handle, packet && reply, [&](PortSlot &port) {
        const ReceiveTimeoutOverride timeout(port, receive_ms);
        return with_retries(port, [&] {
            if (const int e = send_packet(port, packet)) return e;
            return receive_packet(port, reply);
        });
    });
}

COMKIT_API int RSGetSendnData(int handle, const uint8_t *packet, uint8_t *buffer, uint32_t delay_ms) {
    return on_port(handle, packet && buffer, [&](PortSlot &port) {
        return with_retries(port, [&] {
            if (const int e = receive_packet(port, buffer)) return e;
            ksw::platform::sleep_ms(delay_ms);
            return send_bytes(port, packet, static_cast<size_t>(packet[1]) + 2);
        });
    });
}

// ---- text ----

COMKIT_API int RSPuts(int handle, const char *text) {
    return on_port(handle, text != nullptr, [&](PortSlot &port) {
        const size_t length = text_length(text);
        if (length == 0) return fail(5);
        return with_retries(port, [&] { return send_text(port, text, length); });
    });
}

COMKIT_API int RSGets(int handle, char *buffer) {
    return on_port(handle, buffer != nullptr, [&](PortSlot &port) { return receive_text(port, buffer); });
}

COMKIT_API int RSPutGetsData(int handle, const char *text, char *reply, uint32_t receive_ms) {
    return on_port(handle, text && reply, [&](PortSlot &port) {
        const size_t length = text_length(text);
        if (length == 0) return fail(5);
        const ReceiveTimeoutOverride timeout(port, receive_ms);
        return with_retries(port, [&] {
            if (const int e = send_text(port, text, length)) return e;
            return receive_text(port, reply);
        });
    });
}

COMKIT_API int RSGetPutsData(int handle, const char *text, char *buffer, uint32_t delay_ms) {
    return on_port(handle, text && buffer, [&](PortSlot &port) {
        const size_t length = text_length(text);
        if (length == 0) return fail(5);
        return with_retries(port, [&] {
            if (const int e = receive_text(port, buffer)) return e;
            ksw::platform::sleep_ms(delay_ms);
            return send_text(port, text, length);
        });
    });
}
