// EVRFunction: the connection (kind 0), unit functions (kinds 1 and 2), and the memory and unit
// services of kind 3. Record words are numbers or pointers to the caller's 16-bit values and
// 32-bit counts; the driver checks every pointer a kind needs before it uses it.
#include <algorithm>
#include <array>

#include "connection.h"
#include "Nakor.h"
#include "Potdrv.h"

using potdrv::Connection;

namespace potdrv {
namespace {

constexpr uint32_t kMaxFunctionValues = 512;
constexpr size_t kIdentifyUnits = 256;  // each identify text area of OUT
constexpr size_t kMaxPathBytes = 261;

uint32_t number(EvrWord word) { return static_cast<uint32_t>(word); }
template <typename T>
T *pointer(EvrWord word) {
    return reinterpret_cast<T *>(word);
}
// A count the caller points to, taken as no count when negative.
uint32_t count_at(const int32_t *count) { return *count > 0 ? static_cast<uint32_t>(*count) : 0; }

// The record of a kind-3 call.
struct Services {
    Connection &c;
    uint32_t selector;
    const uint16_t *in;
    uint32_t n;
    uint16_t *out;
    int32_t *m;

    int32_t run(uint32_t k);
    int32_t identify();
    int32_t memory_read();
    int32_t memory_write();
    int32_t memory_info();
    int32_t diagnose();
    int32_t files(uint32_t k);
    void store_32(uint32_t value) {
        out[0] = static_cast<uint16_t>(value);
        out[1] = static_cast<uint16_t>(value >> 16);
    }
};

int32_t connection_function(Connection &c, const EvrWord *record) {
    uint16_t *v = pointer<uint16_t>(record[1]);
    const uint32_t sub = number(record[0]);
    if (sub > 3) return EVR_OK;
    if (!v && sub != 1) return EVR_BAD_ARGUMENT;
    switch (sub) {
    case 0: return driver_code(c.open(v[0]));
    case 1: return driver_code(c.close());
    case 2: c.timeout = static_cast<uint32_t>(v[0]) * 65536u + v[1]; return EVR_OK;
    default: v[1] = static_cast<uint16_t>(c.open(v[0])); return EVR_OK;
    }
}

int32_t unit_function(Connection &c, const EvrWord *record) {
    const uint16_t *in = pointer<const uint16_t>(record[1]);
    const uint32_t count = std::min(number(record[2]), kMaxFunctionValues);
    uint16_t *out = pointer<uint16_t>(record[3]);
    int32_t *capacity = pointer<int32_t>(record[4]);
    if (!capacity || (!in && count > 0) || (!out && count_at(capacity) > 0)) return EVR_BAD_ARGUMENT;
    // More than 256 values are refused by the transport before it reads any: only what can be
    // sent is narrowed.
    std::array<uint8_t, NAKOR_MAX_DATA> sent{};
    for (uint32_t i = 0; i < std::min<uint32_t>(count, NAKOR_MAX_DATA); ++i) sent[i] = static_cast<uint8_t>(in[i]);
    std::array<uint8_t, NAKOR_MAX_DATA> returned{};
    uint32_t length = 0;
    const int32_t r = Nakor_FunctionEx(number(record[0]), sent.data(), count, returned.data(), &length, c.timeout);
    if (r != NAKOR_OK) return driver_code(r);
    const uint32_t stored = std::min({length, kMaxFunctionValues, count_at(capacity), uint32_t{NAKOR_MAX_DATA}});
    std::copy_n(returned.begin(), stored, out);
    *capacity = static_cast<int32_t>(length);
    return EVR_OK;
}

int32_t Services::run(uint32_t k) {
    switch (k % 10) {
    case 0: return identify();
    case 1: return memory_read();
    case 2: return memory_write();
    case 3: return memory_info();
    case 4: return driver_code(Nakor_Nop(c.timeout));
    case 5: return diagnose();
    case 6: {
        if (!out) return EVR_BAD_ARGUMENT;
        uint32_t word = 0;
        const int32_t r = Nakor_ReadTestData(&word, c.timeout);
        if (r == NAKOR_OK) store_32(word);
        return driver_code(r);
    }
    case 7: return files(k);
    case 8: {
        if (!out) return EVR_BAD_ARGUMENT;
        return driver_code(Nakor_GetWord(selector, c.page, n, out, c.timeout));
    }
    default:
        if (!in || !m) return EVR_BAD_ARGUMENT;
        return driver_code(Nakor_SetWord(selector, c.page, static_cast<uint32_t>(*m), in[0], c.timeout));
    }
}

int32_t Services::identify() {
    if (!out) return EVR_BAD_ARGUMENT;
    uint16_t *t = out;
    return driver_code(Nakor_Inquiry(t, t + kIdentifyUnits, t + 2 * kIdentifyUnits, t + 3 * kIdentifyUnits,
                                     t + 4 * kIdentifyUnits, t + 5 * kIdentifyUnits, t + 6 * kIdentifyUnits,
                                     c.timeout));
}

int32_t Services::memory_read() {
    if (!m || !out) return EVR_BAD_ARGUMENT;
    std::array<uint8_t, NAKOR_MAX_DATA> bytes{};
    uint32_t read = 0;
    const int32_t r = Nakor_ReadMemory(selector, c.page, n, static_cast<uint32_t>(*m), bytes.data(), &read, c.timeout);
    if (r == NAKOR_OK) std::copy_n(bytes.begin(), read, out);
    return driver_code(r);
}

int32_t Services::memory_write() {
    if (!m || (!in && n > 0)) return EVR_BAD_ARGUMENT;
    std::array<uint8_t, NAKOR_MAX_DATA> bytes{};
    for (uint32_t i = 0; i < std::min<uint32_t>(n, NAKOR_MAX_DATA); ++i) bytes[i] = static_cast<uint8_t>(in[i]);
    uint32_t written = 0;
    // A length above 256 is refused by the transport before it reads any byte.
    return driver_code(
        Nakor_WriteMemory(selector, c.page, static_cast<uint32_t>(*m), n, bytes.data(), &written, c.timeout));
}

int32_t Services::memory_info() {
    if (!m || (!out && count_at(m) > 0)) return EVR_BAD_ARGUMENT;
    uint32_t values[3] = {};
    const int32_t r = Nakor_GetMemInfo(selector, &values[0], &values[1], &values[2], c.timeout);
    if (r == NAKOR_OK) std::transform(values, values + std::min(count_at(m), 3u), out, [](uint32_t v) {
            return static_cast<uint16_t>(v);
        });
    return driver_code(r);
}

int32_t Services::diagnose() {
    if (!m || (!out && count_at(m) > 0)) return EVR_BAD_ARGUMENT;
    uint32_t code = 0;
    uint8_t data[12] = {};
    const int32_t r = Nakor_Diagnose(&code, data, c.timeout);
    if (r != NAKOR_OK || count_at(m) == 0) return driver_code(r);
    out[0] = static_cast<uint16_t>(code);
    if (code != 0) std::copy_n(data, std::min(count_at(m) - 1, 12u), out + 1);
    return EVR_OK;
}

int32_t Services::files(uint32_t k) {
    if (k != 7 && k != 17 && k != 27 && k != 37) return EVR_OK;
    if (!in || (!out && (k == 17 || k == 27))) return EVR_BAD_ARGUMENT;
    char text[kMaxPathBytes + 1];
    size_t length = 0;
    while (length < kMaxPathBytes && in[length] != 0 && in[length] < 256) {
        text[length] = static_cast<char>(in[length]);
        ++length;
    }
    text[length] = '\0';
    uint32_t result = 0;
    int32_t r = NAKOR_OK;
    switch (k) {
    case 7: r = Nakor_ReadTestDataEx(n, text, c.timeout); break;
    case 17: r = Nakor_SendTestDataEx(n, text, &result, c.timeout); break;
    case 27: r = Nakor_SendFirmware(text, &result, c.timeout); break;
    default: r = Nakor_ReadDiagnosis(n, text, c.timeout); break;
    }
    if (r == NAKOR_OK && (k == 17 || k == 27)) store_32(result);
    return driver_code(r);
}

}  // namespace
}  // namespace potdrv

POTDRV_API int32_t EVRFunction(EvrContext /*ctx*/, int32_t kind, EvrWord *record) {
    const uint32_t which = static_cast<uint32_t>(kind);
    if (which > 3) return EVR_OK;
    if (!record) return EVR_BAD_ARGUMENT;
    return potdrv::locked([&](Connection &c) {
        switch (which) {
        case 0: return potdrv::connection_function(c, record);
        case 1: return potdrv::driver_code(
                    Nakor_Function(potdrv::number(record[0]), static_cast<uint8_t>(record[1]), c.timeout));
        case 2: return potdrv::unit_function(c, record);
        default: {
            const uint32_t k = potdrv::number(record[0]);
            potdrv::Services services{c,
                                      k / 10,
                                      potdrv::pointer<const uint16_t>(record[1]),
                                      potdrv::number(record[2]),
                                      potdrv::pointer<uint16_t>(record[3]),
                                      potdrv::pointer<int32_t>(record[4])};
            return services.run(k);
        }
        }
    });
}
