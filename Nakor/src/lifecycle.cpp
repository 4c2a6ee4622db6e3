// Initialising, opening and closing: the states 0 -> 1 -> 2 -> 1 -> 0 and nothing else.
#include "codes.h"
#include "Nakor.h"
#include "transport.h"

namespace nakor {

namespace {
// A namespace-scope object, constructed when the library loads: its destructor is registered
// before that of any library that links this one, so such a library may still call in from its
// own unload code (the EVR driver does).
Transport g_transport;
}  // namespace

Transport &transport() { return g_transport; }

}  // namespace nakor

using nakor::Transport;

NAKOR_API int32_t Nakor_Init(void) {
    return nakor::locked([](Transport &t) {
        if (t.state != nakor::kNotInitialised) return NAKOR_WRONG_STATE;
        if (!t.lower.load()) return NAKOR_NO_LIBRARY;
        t.devices.fill(0);
        if (t.lower.init(0) != 0) {
            const int failure = t.lower.failure(0);
            t.lower.unload();  // not initialised: a later Nakor_Init starts afresh
            return failure == nakor::kNoResources ? NAKOR_NO_MEMORY : NAKOR_FAILED;
        }
        t.state = nakor::kInitialised;
        return NAKOR_OK;
    });
}

NAKOR_API int32_t Nakor_Exit(void) {
    return nakor::locked([](Transport &t) {
        if (t.state != nakor::kInitialised) return NAKOR_WRONG_STATE;
        t.lower.exit();
        t.lower.unload();
        t.state = nakor::kNotInitialised;
        return NAKOR_OK;
    });
}

NAKOR_API int32_t Nakor_Open(uint32_t kind, uint32_t timeout) {
    return nakor::locked([&](Transport &t) {
        if (t.state != nakor::kInitialised) return NAKOR_WRONG_STATE;
        if (kind > 2) return NAKOR_BAD_ARGUMENT;
        const uint32_t filter[3] = {kind, 0, 0};
        const int32_t count = t.lower.enum_device(filter, sizeof filter, t.devices.data(),
                                                  static_cast<uint32_t>(t.devices.size()), timeout);
        if (count < 0) return nakor::export_code(t.lower.failure(0));
        if (count == 0) return NAKOR_NO_UNIT;
        const uint32_t session = t.lower.open_session(t.devices[0], 0, timeout);
        if (session == 0) return NAKOR_NO_UNIT;
        t.session = session;
        t.state = nakor::kSessionOpen;
        return NAKOR_OK;
    });
}

NAKOR_API int32_t Nakor_Close(uint32_t /*timeout*/) {
    return nakor::in_session([](Transport &t) {
        if (t.lower.close_session(t.session) != 0) return nakor::export_code(t.lower.failure(t.session));
        t.session = 0;
        t.state = nakor::kInitialised;
        return NAKOR_OK;
    });
}
