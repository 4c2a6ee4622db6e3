#include "block_coding.h"

#include <algorithm>

namespace zelcode {
namespace {

constexpr uint8_t kCarriageReturn = 0x0D;

// True when `order` names each group exactly once.
constexpr bool names_each_group_once(const std::array<int, kGroupCount> &order) {
    std::array<bool, kGroupCount> seen{};
    for (int group : order) {
        if (group < 0 || group >= kGroupCount || seen[group]) return false;
        seen[group] = true;
    }
    return true;
}
static_assert(names_each_group_once(kGroupOrder), "the group order must be a permutation");

// The key of a block: the low byte of its number.
uint8_t block_key(uint64_t block_number) { return static_cast<uint8_t>(block_number & 0xFF); }

// Copies group `from` of `source` to group `to` of `target`.
void copy_group(const Block &source, int from, Block &target, int to) {
    std::copy_n(source.begin() + from * kGroupSize, kGroupSize, target.begin() + to * kGroupSize);
}

}  // namespace

// Replaces each plain byte with the running sum started at `key`, restarting after a CR.
void add_running_sum(Block &block, uint8_t key) {
    uint8_t sum = key;
    for (uint8_t &byte : block) {
        const uint8_t plain = byte;
        sum = static_cast<uint8_t>(sum + plain);
        byte = sum;
        if (plain == kCarriageReturn) sum = key;
    }
}

// Gives back the plain bytes of a summed block.
void remove_running_sum(Block &block, uint8_t key) {
    uint8_t sum = key;
    for (uint8_t &byte : block) {
        const uint8_t coded = byte;
        const uint8_t plain = static_cast<uint8_t>(coded - sum);
        byte = plain;
        sum = plain == kCarriageReturn ? key : coded;
    }
}

// Puts group kGroupOrder[i] in place i.
Block permute_groups(const Block &block) {
    Block out{};
    for (int i = 0; i < kGroupCount; ++i) copy_group(block, kGroupOrder[i], out, i);
    return out;
}

// Puts group i back in place kGroupOrder[i].
Block unpermute_groups(const Block &block) {
    Block out{};
    for (int i = 0; i < kGroupCount; ++i) copy_group(block, i, out, kGroupOrder[i]);
    return out;
}

// Codes one plain block: running sum, then group order.
Block encode_block(const Block &plain, uint64_t block_number) {
    Block summed = plain;
    add_running_sum(summed, block_key(block_number));
    return permute_groups(summed);
}

// Decodes one coded block: group order undone, then the running sum.
Block decode_block(const Block &coded, uint64_t block_number) {
    Block plain = unpermute_groups(coded);
    remove_running_sum(plain, block_key(block_number));
    return plain;
}

}  // namespace zelcode
