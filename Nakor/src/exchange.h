// Command blocks and the one exchange that carries every operation: the command block goes out
// with BELMO_WriteCmd, the reply comes back with BELMO_ReadCmd into a zeroed block of the
// reply's length, and the reply counts only when it echoes the command code and reports no
// error of the unit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "lower_library.h"
#include "nakor_blocks.h"

namespace nakor {

// A block of up to 512 bytes whose fields are 32-bit little-endian words.
class Block {
public:
    explicit Block(size_t size) : size_(size) {}

    uint32_t word(size_t index) const;
    void set_word(size_t index, uint32_t value);
    // The data area of a Unit command or Data transfer block (bytes 36-291).
    uint8_t *data() { return bytes_.data() + NAKOR_DATA_OFFSET; }
    const uint8_t *data() const { return bytes_.data() + NAKOR_DATA_OFFSET; }
    uint8_t *bytes() { return bytes_.data(); }
    const uint8_t *bytes() const { return bytes_.data(); }
    size_t size() const { return size_; }

private:
    std::array<uint8_t, NAKOR_IDENTIFY_REPLY> bytes_{};
    size_t size_;
};

// Parameters P0-P3 of a Unit command or Data transfer block.
using Params = std::array<uint32_t, 4>;

// A Unit command or Data transfer block: `code`, sub-command, P0-P3 and the data (at most 256
// bytes; the rest of the area stays zero).
Block data_block(uint32_t code, uint32_t sub_command, const Params &params, std::span<const uint8_t> data = {});

// Result parameter n (0-3) of a Unit command or Data transfer reply.
inline uint32_t result_param(const Block &reply, size_t n) { return reply.word(NAKOR_WORD_P0 + n); }

// One exchange on `session`: sends `command`, reads the reply into *reply (zeroed first; its
// size says how much is read) and checks it. A negative count from BELMO_ReadCmd is a failure. Returns an internal result: 0, the failure of the
// lower library, 11 for a reply that does not echo the command code or that carries error
// detail 3, 10 for any other error the unit reports.
int exchange(const LowerLibrary &lower, uint32_t session, const Block &command, Block *reply, uint32_t timeout);

}  // namespace nakor
