// The USB transfer library in front of the simulated unit: enumeration, sessions, command
// blocks, last errors, and the injected faults of each call. Transfers take no real time unless
// the unit is given a latency; a reply read then waits that long, or the caller's time-out when
// that is shorter (and fails with error 4).
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "Belmo.h"
#include "belmo_sim.h"
#include "bus.h"

using belmo::Bus;
using belmo::Session;

namespace {

constexpr uint32_t kLibraryVersion = 0x100;
constexpr uint32_t kMaxBlock = 4096;

void wait_us(long long microseconds) {
    if (microseconds > 0) std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
}

const char *error_text(int32_t code) {
    switch (code) {
    case BELMO_ERROR_NONE: return "no error";
    case BELMO_ERROR_RESOURCES: return "out of resources";
    case BELMO_ERROR_ARGUMENT: return "invalid argument or handle";
    case BELMO_ERROR_DEVICE: return "the device failed the transfer";
    case BELMO_ERROR_TIMEOUT: return "time-out";
    case BELMO_ERROR_GONE: return "the device is not available";
    default: return "unknown error";
    }
}

// Applies the reply faults: an error of the unit, a wrong echo.
void spoil(Bus &b, belmo::Packet *reply) {
    if (b.unit_error.strikes()) {
        reply->set_word(NAKOR_WORD_ERROR, 1);
        reply->set_word(NAKOR_WORD_DETAIL, static_cast<uint32_t>(b.unit_error.value));
    }
    if (b.bad_echo.strikes()) reply->set_word(NAKOR_WORD_CODE, reply->word(NAKOR_WORD_CODE) ^ 0x80000000u);
}

}  // namespace

BELMO_API int32_t BELMO_Init(uint32_t flags) {
    return belmo::with_bus([&](Bus &b) -> int32_t {
        if (b.injected(BELMO_SIM_CALL_INIT, &b.library_error)) return -1;
        b.library_error = flags == 0 ? BELMO_ERROR_NONE : BELMO_ERROR_ARGUMENT;
        if (flags != 0) return -1;
        b.initialised = true;
        return 0;
    });
}

BELMO_API int32_t BELMO_Query(uint32_t item, uint32_t *value) {
    return belmo::with_bus([&](Bus &b) -> int32_t {
        if (!value || item > BELMO_QUERY_DEVICES) return -1;
        *value = item == BELMO_QUERY_VERSION ? kLibraryVersion : b.present ? 1 : 0;
        return 0;
    });
}

BELMO_API int32_t BELMO_GetLastError(uint32_t session) {
    return belmo::with_bus([&](Bus &b) {
        const Session *s = b.session(session);
        return s ? s->last_error : b.library_error;
    });
}

BELMO_API int32_t BELMO_GetLastErrorEx(uint32_t session, char *text, uint32_t size) {
    const int32_t code = BELMO_GetLastError(session);
    if (text && size > 0) {
        std::strncpy(text, error_text(code), size - 1);
        text[size - 1] = '\0';
    }
    return code;
}

BELMO_API int32_t BELMO_Exit(void) {
    return belmo::with_bus([](Bus &b) {
        b.sessions.clear();
        b.initialised = false;
        b.library_error = BELMO_ERROR_NONE;
        return 0;
    });
}

BELMO_API int32_t BELMO_EnumDevice(const uint32_t *filter, uint32_t filter_bytes, uint32_t *ids, uint32_t max,
                                   uint32_t timeout) {
    return belmo::with_bus([&](Bus &b) -> int32_t {
        b.last_timeout = timeout;
        if (b.injected(BELMO_SIM_CALL_ENUM, &b.library_error)) return -1;
        if (!b.initialised || !filter || filter_bytes < 4 || (!ids && max > 0)) {
            b.library_error = BELMO_ERROR_ARGUMENT;
            return -1;
        }
        b.library_error = BELMO_ERROR_NONE;
        if (!b.present || filter[0] != b.kind || max == 0) return 0;
        ids[0] = b.device_id;
        return 1;
    });
}

BELMO_API int32_t BELMO_GetDeviceInfo(uint32_t device, uint32_t *info, uint32_t count) {
    return belmo::with_bus([&](Bus &b) -> int32_t {
        if (!b.initialised || !b.attached(device) || (!info && count > 0)) {
            b.library_error = b.initialised && !b.present ? BELMO_ERROR_GONE : BELMO_ERROR_ARGUMENT;
            return -1;
        }
        const uint32_t values[BELMO_DEVICE_INFO_VALUES] = {b.kind, device, static_cast<uint32_t>(b.sessions.size())};
        std::copy_n(values, std::min(count, BELMO_DEVICE_INFO_VALUES), info);
        b.library_error = BELMO_ERROR_NONE;
        return 0;
    });
}

BELMO_API int32_t BELMO_ResetDevice(uint32_t device, uint32_t /*timeout*/) {
    return belmo::with_bus([&](Bus &b) -> int32_t {
        if (!b.initialised || !b.attached(device)) {
            b.library_error = BELMO_ERROR_ARGUMENT;
            return -1;
        }
        for (Session &s : b.sessions) s.has_reply = false;
        b.library_error = BELMO_ERROR_NONE;
        return 0;
    });
}

BELMO_API uint32_t BELMO_OpenSession(uint32_t device, uint32_t flags, uint32_t timeout) {
    return belmo::with_bus([&](Bus &b) -> uint32_t {
        b.last_timeout = timeout;
        if (b.injected(BELMO_SIM_CALL_OPEN, &b.library_error)) return 0;
        if (!b.initialised || flags != 0 || !b.attached(device)) {
            b.library_error = b.initialised && flags == 0 && !b.present ? BELMO_ERROR_GONE : BELMO_ERROR_ARGUMENT;
            return 0;
        }
        if (!b.sessions.empty()) {  // the unit serves one session at a time
            b.library_error = BELMO_ERROR_DEVICE;
            return 0;
        }
        Session s;
        s.handle = b.next_session++;
        if (b.next_session == 0) b.next_session = 1;
        s.device = device;
        b.sessions.push_back(s);
        b.library_error = BELMO_ERROR_NONE;
        return s.handle;
    });
}

BELMO_API int32_t BELMO_Ping(uint32_t session, uint32_t /*timeout*/) {
    return belmo::with_bus([&](Bus &b) -> int32_t {
        Session *s = b.usable(session);
        if (!s) return -1;
        s->last_error = BELMO_ERROR_NONE;
        return 0;
    });
}

BELMO_API int32_t BELMO_CloseSession(uint32_t session) {
    return belmo::with_bus([&](Bus &b) -> int32_t {
        Session *s = b.session(session);
        if (!s) {
            b.library_error = BELMO_ERROR_ARGUMENT;
            return -1;
        }
        if (b.injected(BELMO_SIM_CALL_CLOSE, &s->last_error)) return -1;
        b.sessions.erase(b.sessions.begin() + (s - b.sessions.data()));
        return 0;
    });
}

BELMO_API int32_t BELMO_FunctionEx(uint32_t session, uint32_t function, const void *in, uint32_t in_length,
                                   void *out, uint32_t out_size, uint32_t /*timeout*/) {
    return belmo::with_bus([&](Bus &b) -> int32_t {
        Session *s = b.usable(session);
        if (!s) return -1;
        std::string result;
        s->last_error = BELMO_ERROR_ARGUMENT;
        if ((!in && in_length > 0) || (!out && out_size > 0) || in_length > NAKOR_DATA_BYTES) return -1;
        s->last_error = BELMO_ERROR_DEVICE;
        if (!b.unit.function(function, {static_cast<const uint8_t *>(in), in_length}, &result)) return -1;
        const size_t n = std::min<size_t>(out_size, result.size());
        if (n > 0) std::memcpy(out, result.data(), n);
        s->last_error = BELMO_ERROR_NONE;
        return static_cast<int32_t>(n);
    });
}

BELMO_API int32_t BELMO_WriteCmd(uint32_t session, const void *block, uint32_t length, uint32_t timeout) {
    return belmo::with_bus([&](Bus &b) -> int32_t {
        b.last_timeout = timeout;
        Session *s = b.usable(session);
        if (!s) return -1;
        if (b.injected(BELMO_SIM_CALL_WRITE, &s->last_error)) return -1;
        if (!block || length < 4 || length > kMaxBlock) {
            s->last_error = BELMO_ERROR_ARGUMENT;
            return -1;
        }
        const auto *bytes = static_cast<const uint8_t *>(block);
        b.last_command.size = std::min<size_t>(length, b.last_command.bytes.size());
        std::memcpy(b.last_command.bytes.data(), bytes, b.last_command.size);
        s->reply = b.unit.answer(bytes, length);
        spoil(b, &s->reply);
        s->has_reply = true;
        s->last_error = BELMO_ERROR_NONE;
        return 0;
    });
}

BELMO_API int32_t BELMO_ReadCmd(uint32_t session, void *block, uint32_t length, uint32_t timeout) {
    belmo::Packet reply;
    long long wait = 0;
    const int32_t taken = belmo::with_bus([&](Bus &b) -> int32_t {
        b.last_timeout = timeout;
        Session *s = b.usable(session);
        if (!s) return -1;
        if (b.injected(BELMO_SIM_CALL_READ, &s->last_error)) return -1;
        s->last_error = BELMO_ERROR_ARGUMENT;
        if (!block) return -1;
        s->last_error = BELMO_ERROR_TIMEOUT;
        if (!s->has_reply) return -1;  // nothing was asked
        s->has_reply = false;
        if (b.timeout.strikes()) return -1;
        const long long limit = static_cast<long long>(timeout) * 1000;
        wait = std::min<long long>(b.latency_us, limit);
        if (b.latency_us > limit) return -1;
        reply = s->reply;
        s->last_error = BELMO_ERROR_NONE;
        ++b.exchanges;
        if (b.unplug_after > 0 && --b.unplug_after == 0) b.plug(false);
        return static_cast<int32_t>(std::min<size_t>(length, reply.size));
    });
    wait_us(wait);
    if (taken > 0) std::memcpy(block, reply.bytes.data(), static_cast<size_t>(taken));
    return taken;
}

BELMO_API int32_t BELMO_WriteData(uint32_t session, const void * /*data*/, uint32_t /*length*/, uint32_t /*timeout*/) {
    return belmo::with_bus([&](Bus &b) -> int32_t {
        Session *s = b.usable(session);
        if (s) s->last_error = BELMO_ERROR_ARGUMENT;  // the unit has no bulk data pipe
        return -1;
    });
}

BELMO_API int32_t BELMO_ReadData(uint32_t session, void *data, uint32_t length, uint32_t timeout) {
    return BELMO_WriteData(session, data, length, timeout);
}
