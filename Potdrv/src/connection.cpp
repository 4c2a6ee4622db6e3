#include "connection.h"

#include "Nakor.h"

namespace potdrv {

// Constructed when the library loads, after the transport it links (whose state therefore
// outlives this object's destructor).
Connection g_connection;

int32_t Connection::open(uint32_t kind) {
    if (state == kNotInitialised) {
        if (const int32_t r = Nakor_Init(); r != NAKOR_OK) return r;
    } else if (state == kSessionOpen) {
        if (const int32_t r = Nakor_Close(timeout); r != NAKOR_OK) return r;
    }
    state = kInitialised;
    const int32_t r = Nakor_Open(kind, timeout);
    if (r == NAKOR_OK) state = kSessionOpen;
    return r;
}

int32_t Connection::close() {
    if (state != kSessionOpen) return NAKOR_OK;
    const int32_t r = Nakor_Close(timeout);
    if (r == NAKOR_OK) state = kInitialised;
    return r;
}

Connection::~Connection() {
    if (state == kSessionOpen) (void)Nakor_Close(timeout);
    (void)Nakor_Exit();
}

int32_t driver_code(int32_t transport) {
    switch (transport) {
    case NAKOR_OK: return EVR_OK;
    case NAKOR_UNIT_ERROR: return EVR_UNIT_ERROR;
    case NAKOR_BAD_ARGUMENT: return EVR_BAD_ARGUMENT;
    case NAKOR_NO_MEMORY: return EVR_OUT_OF_MEMORY;
    case NAKOR_TIMEOUT: return EVR_TIMEOUT;
    default: return EVR_FAILED;
    }
}

int32_t version_from_text(const char *text) {
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (!text || !digit(text[0]) || text[1] == '\0' || !digit(text[2]) || !digit(text[3])) return -1;
    return (text[0] - '0') * 256 + (text[2] - '0') * 16 + (text[3] - '0');
}

}  // namespace potdrv
