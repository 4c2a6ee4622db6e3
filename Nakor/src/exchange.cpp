#include "exchange.h"

#include <algorithm>

#include "codes.h"

namespace nakor {

uint32_t Block::word(size_t index) const {
    const uint8_t *p = bytes_.data() + index * 4;
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void Block::set_word(size_t index, uint32_t value) {
    uint8_t *p = bytes_.data() + index * 4;
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

Block data_block(uint32_t code, uint32_t sub_command, const Params &params, std::span<const uint8_t> data) {
    Block block(NAKOR_UNIT_BLOCK);
    block.set_word(NAKOR_WORD_CODE, code);
    block.set_word(NAKOR_WORD_SELECT, sub_command);
    for (size_t i = 0; i < params.size(); ++i) block.set_word(NAKOR_WORD_P0 + i, params[i]);
    std::copy_n(data.begin(), std::min<size_t>(data.size(), NAKOR_DATA_BYTES), block.data());
    return block;
}

int exchange(const LowerLibrary &lower, uint32_t session, const Block &command, Block *reply, uint32_t timeout) {
    *reply = Block(reply->size());
    if (lower.write_cmd(session, command.bytes(), static_cast<uint32_t>(command.size()), timeout) != 0)
        return lower.failure(session);
    if (lower.read_cmd(session, reply->bytes(), static_cast<uint32_t>(reply->size()), timeout) < 0)
        return lower.failure(session);
    if (reply->word(NAKOR_WORD_CODE) != command.word(NAKOR_WORD_CODE)) return kBadReply;
    if (reply->word(NAKOR_WORD_ERROR) != 0)
        return reply->word(NAKOR_WORD_DETAIL) == NAKOR_DETAIL_BAD_COMMAND ? kBadReply : kUnitError;
    return kDone;
}

}  // namespace nakor
