#include "jig_unit.h"

#include <algorithm>
#include <cstring>

#include "jigsim.h"

namespace belmo {
namespace {

constexpr uint32_t kCells = 65536;

// Unit functions the firmware knows.
enum Function : uint32_t { kEcho = 0, kRamFromEeprom = 1, kEepromFromRam = 2, kProductPower = 3 };

void refuse(Packet *reply, uint32_t detail) {
    reply->set_word(NAKOR_WORD_ERROR, 1);
    reply->set_word(NAKOR_WORD_DETAIL, detail);
}

uint32_t param(const Packet &p, size_t n) { return p.word(NAKOR_WORD_P0 + n); }
void set_param(Packet *p, size_t n, uint32_t value) { p->set_word(NAKOR_WORD_P0 + n, value); }

// The reply length that belongs to a command code; 0 for a code the unit does not know.
size_t reply_size(uint32_t code) {
    switch (code) {
    case NAKOR_CMD_IDENTIFY: return NAKOR_IDENTIFY_REPLY;
    case NAKOR_CMD_NOP:
    case NAKOR_CMD_DIAGNOSE: return NAKOR_SHORT_BLOCK;
    case NAKOR_CMD_UNIT:
    case NAKOR_CMD_TRANSFER: return NAKOR_UNIT_BLOCK;
    default: return 0;
    }
}

size_t command_size(uint32_t code) { return code == NAKOR_CMD_IDENTIFY ? NAKOR_SHORT_BLOCK : reply_size(code); }

// The EVR memory of selector 0 (EEPROM) or 1 (RAM), and the first cell of page:address; false
// when the unit has no such memory or cell.
bool evr_cell(const Packet &command, int *memory, uint32_t *first) {
    const uint32_t selector = param(command, 0), page = param(command, 1), address = param(command, 2);
    if (selector > 1 || page > 255 || address > 255 || param(command, 3) > NAKOR_DATA_BYTES) return false;
    *memory = selector == 0 ? JIGSIM_EEPROM : JIGSIM_RAM;
    *first = page * 256 + address;
    return true;
}

}  // namespace

uint32_t Packet::word(size_t index) const {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | bytes[index * 4 + static_cast<size_t>(i)];
    return value;
}

void Packet::set_word(size_t index, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) bytes[index * 4 + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t byte_sum(const std::string &bytes) {
    uint32_t sum = 0;
    for (const char c : bytes) sum += static_cast<uint8_t>(c);
    return sum;
}

void JigUnit::setup(const UnitConfig &config) {
    items_ = config.items;
    diagnosis_ = config.diagnosis;
    diagnosis_data_ = config.diagnosis_data;
    test_word_ = config.test_word;
    areas_ = {};
    areas_[NAKOR_AREA_TEST_DATA].bytes = config.test_data;
    areas_[NAKOR_AREA_FIRMWARE].capacity = kFirmwareMax;
    areas_[NAKOR_AREA_DIAGNOSIS].bytes = config.diagnosis_log;
    areas_[NAKOR_AREA_DIAGNOSIS].writable = false;
}

Packet JigUnit::answer(const uint8_t *bytes, size_t length) {
    Packet command;
    command.size = std::min(length, command.bytes.size());
    std::memcpy(command.bytes.data(), bytes, command.size);
    const uint32_t code = length >= 4 ? command.word(NAKOR_WORD_CODE) : 0;

    Packet reply;
    reply.size = reply_size(code);
    reply.set_word(NAKOR_WORD_CODE, code);
    if (reply.size == 0 || length != command_size(code)) {
        reply.size = std::max<size_t>(reply.size, NAKOR_SHORT_BLOCK);
        refuse(&reply, NAKOR_DETAIL_BAD_COMMAND);
        return reply;
    }
    switch (code) {
    case NAKOR_CMD_IDENTIFY: identify(command.word(NAKOR_WORD_SELECT), &reply); break;
    case NAKOR_CMD_NOP: break;
    case NAKOR_CMD_DIAGNOSE:
        reply.set_word(NAKOR_WORD_SELECT, diagnosis_);
        std::memcpy(reply.bytes.data() + 4 * NAKOR_WORD_DIAG_DATA, diagnosis_data_.data(), NAKOR_DIAG_BYTES);
        break;
    case NAKOR_CMD_UNIT: unit_command(command, &reply); break;
    default: transfer(command, &reply); break;
    }
    return reply;
}

void JigUnit::identify(uint32_t item, Packet *reply) const {
    // Items are single bits 1 .. 64; bit n is text n.
    if (item == 0 || item > 64 || (item & (item - 1)) != 0) return refuse(reply, NAKOR_DETAIL_BAD_COMMAND);
    const std::string &text = items_[static_cast<size_t>(__builtin_ctz(item))];
    for (size_t i = 0; i < text.size() && i < kTextMax; ++i)
        reply->bytes[NAKOR_TEXT_OFFSET + 2 * i] = static_cast<uint8_t>(text[i]);  // Latin-1 into UTF-16
}

bool JigUnit::function(uint32_t number, std::span<const uint8_t> data, std::string *result) {
    result->clear();
    switch (number) {
    case kEcho: result->assign(data.begin(), data.end()); return true;
    case kRamFromEeprom: return jigsim_evr_copy(JIGSIM_EEPROM, JIGSIM_RAM) == 0;
    case kEepromFromRam: return jigsim_evr_copy(JIGSIM_RAM, JIGSIM_EEPROM) == 0;
    case kProductPower: result->push_back(jigsim_product_power() == 0x1FF ? 1 : 0); return true;
    default: return false;
    }
}

void JigUnit::unit_command(const Packet &command, Packet *reply) {
    switch (command.word(NAKOR_WORD_SELECT)) {
    case NAKOR_UNIT_FUNCTION: {
        const uint32_t length = param(command, 1);
        std::string result;
        if (length > NAKOR_DATA_BYTES || !function(param(command, 0), {command.data(), length}, &result))
            return refuse(reply, NAKOR_DETAIL_BAD_COMMAND);
        set_param(reply, 1, static_cast<uint32_t>(result.size()));
        std::memcpy(reply->data(), result.data(), result.size());
        return;
    }
    case NAKOR_UNIT_MEMINFO:
        if (param(command, 0) > 1) return refuse(reply, NAKOR_DETAIL_BAD_COMMAND);
        set_param(reply, 1, 256);  // pages
        set_param(reply, 2, 256);  // addresses a page
        set_param(reply, 3, 8);    // bits an address carries
        return;
    case NAKOR_UNIT_READ: return memory_read(command, reply);
    case NAKOR_UNIT_WRITE: return memory_write(command, reply);
    default: return refuse(reply, NAKOR_DETAIL_BAD_COMMAND);
    }
}

void JigUnit::memory_read(const Packet &command, Packet *reply) {
    int memory = 0;
    uint32_t first = 0;
    if (!evr_cell(command, &memory, &first)) return refuse(reply, NAKOR_DETAIL_BAD_COMMAND);
    const uint32_t length = std::min(param(command, 3), kCells - first);  // the memory ends at 0xFFFF
    for (uint32_t i = 0; i < length; ++i) {
        uint16_t value = 0;
        jigsim_evr_read(memory, static_cast<int>((first + i) / 256), static_cast<int>((first + i) % 256), &value);
        reply->data()[i] = static_cast<uint8_t>(value);
    }
    set_param(reply, 3, length);
}

void JigUnit::memory_write(const Packet &command, Packet *reply) {
    int memory = 0;
    uint32_t first = 0;
    if (!evr_cell(command, &memory, &first)) return refuse(reply, NAKOR_DETAIL_BAD_COMMAND);
    const uint32_t length = std::min(param(command, 3), kCells - first);
    const uint8_t *data = command.data();
    for (uint32_t i = 0; i < length; ++i)
        jigsim_evr_write(memory, static_cast<int>((first + i) / 256), static_cast<int>((first + i) % 256), data[i]);
    set_param(reply, 3, length);
}

void JigUnit::transfer(const Packet &command, Packet *reply) {
    DataArea *a = area(param(command, 0));
    if (!a) return refuse(reply, NAKOR_DETAIL_BAD_COMMAND);
    const uint32_t offset = param(command, 1), length = param(command, 2);
    switch (command.word(NAKOR_WORD_SELECT)) {
    case NAKOR_XFER_WORD:
        set_param(reply, 1, a == &areas_[NAKOR_AREA_TEST_DATA] ? test_word_
                            : a == &areas_[NAKOR_AREA_FIRMWARE] ? byte_sum(a->bytes)
                                                                : static_cast<uint32_t>(a->bytes.size()));
        return;
    case NAKOR_XFER_START:
        if (!a->writable) return refuse(reply, NAKOR_DETAIL_BAD_COMMAND);
        if (param(command, 1) > a->capacity) return refuse(reply, NAKOR_DETAIL_TOO_LARGE);
        a->bytes.clear();
        a->writing = true;
        a->announced = param(command, 1);
        set_param(reply, 1, a->announced);
        return;
    case NAKOR_XFER_WRITE:
        if (!a->writing || offset != a->bytes.size() || length == 0 || length > NAKOR_DATA_BYTES ||
            length > a->announced - offset)
            return refuse(reply, NAKOR_DETAIL_BAD_COMMAND);
        a->bytes.append(reinterpret_cast<const char *>(command.data()), length);
        set_param(reply, 2, length);
        return;
    case NAKOR_XFER_FINISH: {
        const bool complete = !a->writing || a->bytes.size() == a->announced;
        a->writing = false;
        if (!complete) return refuse(reply, NAKOR_DETAIL_INCOMPLETE);
        set_param(reply, 1, byte_sum(a->bytes));
        return;
    }
    case NAKOR_XFER_READ: {
        if (length == 0 || length > NAKOR_DATA_BYTES || offset > a->bytes.size())
            return refuse(reply, NAKOR_DETAIL_BAD_COMMAND);
        const size_t n = std::min<size_t>(length, a->bytes.size() - offset);
        std::memcpy(reply->data(), a->bytes.data() + offset, n);
        set_param(reply, 2, static_cast<uint32_t>(n));
        return;
    }
    default: return refuse(reply, NAKOR_DETAIL_BAD_COMMAND);
    }
}

}  // namespace belmo
