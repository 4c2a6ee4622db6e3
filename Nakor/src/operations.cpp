// The operations of an open session, each one exchange (Nakor_Inquiry: seven).
#include <algorithm>
#include <array>
#include <cstring>

#include "codes.h"
#include "Nakor.h"
#include "transport.h"

namespace nakor {
namespace {

constexpr std::array<uint32_t, NAKOR_IDENTIFY_ITEMS> kIdentifyItems{1, 2, 4, 32, 16, 8, 64};

// A command block of the short kind: only the code and word 4 (the Identify item) set.
Block short_block(uint32_t code, uint32_t select = 0) {
    Block block(NAKOR_SHORT_BLOCK);
    block.set_word(NAKOR_WORD_CODE, code);
    block.set_word(NAKOR_WORD_SELECT, select);
    return block;
}

// Copies the reply's text into `text` (room for NAKOR_TEXT_CAPACITY units), terminated even
// when the unit sent none.
void copy_text(const Block &reply, uint16_t *text) {
    const uint8_t *p = reply.bytes() + NAKOR_TEXT_OFFSET;
    size_t n = 0;
    for (; n + 1 < NAKOR_TEXT_CAPACITY; ++n) {
        const uint16_t unit = static_cast<uint16_t>(p[2 * n] | p[2 * n + 1] << 8);
        if (unit == 0) break;
        text[n] = unit;
    }
    text[n] = 0;
}

int identify(const Transport &t, uint32_t item, uint16_t *text, uint32_t timeout) {
    Block reply(NAKOR_IDENTIFY_REPLY);
    const int result = t.exchange(short_block(NAKOR_CMD_IDENTIFY, item), &reply, timeout);
    if (result == kDone) copy_text(reply, text);
    return result;
}

// Memory read of `length` bytes; a reply that claims more than was asked for is not used.
int read_memory(const Transport &t, const Params &where, uint8_t *destination, uint32_t *read, uint32_t timeout) {
    Block reply(NAKOR_UNIT_BLOCK);
    const int result = t.data_exchange(NAKOR_CMD_UNIT, NAKOR_UNIT_READ, where, {}, &reply, timeout);
    if (result != kDone) return result;
    const uint32_t delivered = result_param(reply, 3);
    if (delivered > where[3]) return kBadReply;
    std::memcpy(destination, reply.data(), delivered);
    *read = delivered;
    return kDone;
}

int write_memory(const Transport &t, const Params &where, const uint8_t *source, uint32_t *written,
                 uint32_t timeout) {
    Block reply(NAKOR_UNIT_BLOCK);
    const std::span<const uint8_t> data(source, where[3]);
    const int result = t.data_exchange(NAKOR_CMD_UNIT, NAKOR_UNIT_WRITE, where, data, &reply, timeout);
    if (result == kDone) *written = result_param(reply, 3);
    return result;
}

// Reads exactly `length` bytes (1 or 2): a unit that delivers fewer gave no value.
int read_exact(const Transport &t, uint32_t selector, uint32_t page, uint32_t address, uint8_t *bytes,
               uint32_t length, uint32_t timeout) {
    uint32_t read = 0;
    const int result = read_memory(t, {selector, page, address, length}, bytes, &read, timeout);
    return result == kDone && read != length ? kBadReply : result;
}

// Writes exactly `length` bytes: a unit that takes fewer did not store the value.
int write_exact(const Transport &t, uint32_t selector, uint32_t page, uint32_t address, const uint8_t *bytes,
                uint32_t length, uint32_t timeout) {
    uint32_t written = 0;
    const int result = write_memory(t, {selector, page, address, length}, bytes, &written, timeout);
    return result == kDone && written != length ? kBadReply : result;
}

int32_t get_word(uint32_t selector, uint32_t page, uint32_t address, uint16_t *value, bool high_first,
                 uint32_t timeout) {
    return in_session([&](const Transport &t) {
        if (!value) return NAKOR_BAD_ARGUMENT;
        uint8_t bytes[2] = {};
        const int result = read_exact(t, selector, page, address, bytes, 2, timeout);
        if (result == kDone)
            *value = high_first ? static_cast<uint16_t>(bytes[0] << 8 | bytes[1])
                                : static_cast<uint16_t>(bytes[1] << 8 | bytes[0]);
        return export_code(result);
    });
}

int32_t set_word(uint32_t selector, uint32_t page, uint32_t address, uint16_t value, bool high_first,
                 uint32_t timeout) {
    return in_session([&](const Transport &t) {
        const uint8_t low = static_cast<uint8_t>(value), high = static_cast<uint8_t>(value >> 8);
        const uint8_t bytes[2] = {high_first ? high : low, high_first ? low : high};
        return export_code(write_exact(t, selector, page, address, bytes, 2, timeout));
    });
}

}  // namespace
}  // namespace nakor

using nakor::Transport;

NAKOR_API int32_t Nakor_Inquiry(uint16_t *text1, uint16_t *text2, uint16_t *text3, uint16_t *text4,
                                uint16_t *text5, uint16_t *text6, uint16_t *text7, uint32_t timeout) {
    return nakor::in_session([&](const Transport &t) {
        const std::array<uint16_t *, NAKOR_IDENTIFY_ITEMS> texts{text1, text2, text3, text4, text5, text6, text7};
        if (std::find(texts.begin(), texts.end(), nullptr) != texts.end()) return NAKOR_BAD_ARGUMENT;
        for (size_t i = 0; i < texts.size(); ++i) {
            const int result = nakor::identify(t, nakor::kIdentifyItems[i], texts[i], timeout);
            if (result != nakor::kDone) return nakor::export_code(result);
        }
        return NAKOR_OK;
    });
}

NAKOR_API int32_t Nakor_Nop(uint32_t timeout) {
    return nakor::in_session([&](const Transport &t) {
        nakor::Block reply(NAKOR_SHORT_BLOCK);
        return nakor::export_code(t.exchange(nakor::short_block(NAKOR_CMD_NOP), &reply, timeout));
    });
}

NAKOR_API int32_t Nakor_Diagnose(uint32_t *code, uint8_t data[12], uint32_t timeout) {
    return nakor::in_session([&](const Transport &t) {
        if (!code || !data) return NAKOR_BAD_ARGUMENT;
        nakor::Block reply(NAKOR_SHORT_BLOCK);
        const int result = t.exchange(nakor::short_block(NAKOR_CMD_DIAGNOSE), &reply, timeout);
        if (result == nakor::kDone) {
            *code = reply.word(NAKOR_WORD_SELECT);
            std::memcpy(data, reply.bytes() + 4 * NAKOR_WORD_DIAG_DATA, NAKOR_DIAG_BYTES);
        }
        return nakor::export_code(result);
    });
}

NAKOR_API int32_t Nakor_GetMemInfo(uint32_t selector, uint32_t *value1, uint32_t *value2, uint32_t *value3,
                                   uint32_t timeout) {
    return nakor::in_session([&](const Transport &t) {
        if (!value1 || !value2 || !value3) return NAKOR_BAD_ARGUMENT;
        nakor::Block reply(NAKOR_UNIT_BLOCK);
        const int result = t.data_exchange(NAKOR_CMD_UNIT, NAKOR_UNIT_MEMINFO, {selector, 0, 0, 0}, {}, &reply, timeout);
        if (result == nakor::kDone) {
            *value1 = nakor::result_param(reply, 1);
            *value2 = nakor::result_param(reply, 2);
            *value3 = nakor::result_param(reply, 3);
        }
        return nakor::export_code(result);
    });
}

NAKOR_API int32_t Nakor_ReadMemory(uint32_t selector, uint32_t page, uint32_t address, uint32_t length,
                                   uint8_t *destination, uint32_t *read, uint32_t timeout) {
    return nakor::in_session([&](const Transport &t) {
        if (!destination || !read || length > NAKOR_MAX_DATA) return NAKOR_BAD_ARGUMENT;
        return nakor::export_code(nakor::read_memory(t, {selector, page, address, length}, destination, read, timeout));
    });
}

NAKOR_API int32_t Nakor_WriteMemory(uint32_t selector, uint32_t page, uint32_t address, uint32_t length,
                                    const uint8_t *source, uint32_t *written, uint32_t timeout) {
    return nakor::in_session([&](const Transport &t) {
        if ((!source && length > 0) || !written || length > NAKOR_MAX_DATA) return NAKOR_BAD_ARGUMENT;
        return nakor::export_code(nakor::write_memory(t, {selector, page, address, length}, source, written, timeout));
    });
}

NAKOR_API int32_t Nakor_FunctionEx(uint32_t number, const uint8_t *source, uint32_t length, uint8_t *destination,
                                   uint32_t *result_length, uint32_t timeout) {
    return nakor::in_session([&](const Transport &t) {
        if ((!source && length > 0) || !destination || !result_length || length > NAKOR_MAX_DATA)
            return NAKOR_BAD_ARGUMENT;
        nakor::Block reply(NAKOR_UNIT_BLOCK);
        const std::span<const uint8_t> data(source, length);
        int result = t.data_exchange(NAKOR_CMD_UNIT, NAKOR_UNIT_FUNCTION, {number, length, 0, 0}, data, &reply, timeout);
        const uint32_t returned = nakor::result_param(reply, 1);
        if (result == nakor::kDone && returned > NAKOR_DATA_BYTES) result = nakor::kBadReply;
        if (result == nakor::kDone) {
            std::memcpy(destination, reply.data(), returned);
            *result_length = returned;
        }
        return nakor::export_code(result);
    });
}

NAKOR_API int32_t Nakor_Function(uint32_t number, uint8_t data, uint32_t timeout) {
    return nakor::in_session([&](const Transport &t) {
        nakor::Block reply(NAKOR_UNIT_BLOCK);
        const uint8_t byte[1] = {data};
        return nakor::export_code(
            t.data_exchange(NAKOR_CMD_UNIT, NAKOR_UNIT_FUNCTION, {number, 1, 0, 0}, byte, &reply, timeout));
    });
}

NAKOR_API int32_t Nakor_GetByte(uint32_t selector, uint32_t page, uint32_t address, uint8_t *value,
                                uint32_t timeout) {
    return nakor::in_session([&](const Transport &t) {
        if (!value) return NAKOR_BAD_ARGUMENT;
        return nakor::export_code(nakor::read_exact(t, selector, page, address, value, 1, timeout));
    });
}

NAKOR_API int32_t Nakor_SetByte(uint32_t selector, uint32_t page, uint32_t address, uint8_t value,
                                uint32_t timeout) {
    return nakor::in_session([&](const Transport &t) {
        return nakor::export_code(nakor::write_exact(t, selector, page, address, &value, 1, timeout));
    });
}

NAKOR_API int32_t Nakor_GetWord(uint32_t selector, uint32_t page, uint32_t address, uint16_t *value,
                                uint32_t timeout) {
    return nakor::get_word(selector, page, address, value, false, timeout);
}

NAKOR_API int32_t Nakor_SetWord(uint32_t selector, uint32_t page, uint32_t address, uint16_t value,
                                uint32_t timeout) {
    return nakor::set_word(selector, page, address, value, false, timeout);
}

NAKOR_API int32_t Nakor_GetWordMM(uint32_t selector, uint32_t page, uint32_t address, uint16_t *value,
                                  uint32_t timeout) {
    return nakor::get_word(selector, page, address, value, true, timeout);
}

NAKOR_API int32_t Nakor_SetWordMM(uint32_t selector, uint32_t page, uint32_t address, uint16_t value,
                                  uint32_t timeout) {
    return nakor::set_word(selector, page, address, value, true, timeout);
}
