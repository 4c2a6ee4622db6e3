// The simulated USB jig unit: it answers the transport's command blocks (Identify, No-operation,
// Diagnose, Unit command, Data transfer) the way the unit's firmware does. Its memory selectors
// 0 and 1 are the product's EVR memory in the simulated world (EEPROM and RAM), one byte per
// cell: a read gives the cell's low byte, a write stores the byte as the cell's value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "nakor_blocks.h"
#include "usb_config.h"

namespace belmo {

// A command or reply block: up to 512 bytes of 32-bit little-endian words.
struct Packet {
    std::array<uint8_t, NAKOR_IDENTIFY_REPLY> bytes{};
    size_t size = 0;

    uint32_t word(size_t index) const;
    void set_word(size_t index, uint32_t value);
    uint8_t *data() { return bytes.data() + NAKOR_DATA_OFFSET; }
    const uint8_t *data() const { return bytes.data() + NAKOR_DATA_OFFSET; }
};

// A data area of the unit: test data, firmware or diagnosis records.
struct DataArea {
    std::string bytes;
    size_t capacity = kAreaMax;
    bool writable = true;
    bool writing = false;    // between a start and its finish
    uint32_t announced = 0;  // the length the start announced
};

class JigUnit {
public:
    // The unit as the configuration sets it up (its data areas filled from it).
    void setup(const UnitConfig &config);

    // The reply to `command` (`length` bytes; only its first 512 are looked at).
    Packet answer(const uint8_t *command, size_t length);
    // Unit function `number` with `data`: true and the result bytes, or false when the unit does
    // not know the function.
    bool function(uint32_t number, std::span<const uint8_t> data, std::string *result);

    DataArea *area(uint32_t index) { return index < areas_.size() ? &areas_[index] : nullptr; }
    void set_test_word(uint32_t word) { test_word_ = word; }

private:
    void identify(uint32_t item, Packet *reply) const;
    void unit_command(const Packet &command, Packet *reply);
    void transfer(const Packet &command, Packet *reply);
    void memory_read(const Packet &command, Packet *reply);
    void memory_write(const Packet &command, Packet *reply);

    std::array<std::string, kItems> items_{};
    uint32_t diagnosis_ = 0;
    std::array<uint8_t, NAKOR_DIAG_BYTES> diagnosis_data_{};
    uint32_t test_word_ = 0;
    std::array<DataArea, 3> areas_{};
};

// The 32-bit sum of the bytes.
uint32_t byte_sum(const std::string &bytes);

}  // namespace belmo
