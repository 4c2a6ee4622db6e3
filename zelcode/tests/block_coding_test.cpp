// Block coding: the running sum and its CR restart, the group order, and decoding.
#include "block_coding.h"

#include <gtest/gtest.h>

#include <random>
#include <string_view>

namespace zelcode {
namespace {

// A block holding `text` followed by blanks.
Block block_of(std::string_view text) {
    Block block{};
    block.fill(' ');
    for (size_t i = 0; i < text.size() && i < block.size(); ++i) block[i] = static_cast<uint8_t>(text[i]);
    return block;
}

TEST(ZelcodeBlockCoding, RunningSumStartsAtTheBlockKey) {
    Block block = block_of("AB");
    add_running_sum(block, 0);
    EXPECT_EQ(block[0], 0x41);
    EXPECT_EQ(block[1], 0x83);
    EXPECT_EQ(block[2], 0xA3);
    EXPECT_EQ(block[3], 0xC3);
    for (int i = 2; i < kBlockSize; ++i) EXPECT_EQ(block[i], static_cast<uint8_t>(0x83 + 0x20 * (i - 1))) << i;

    Block keyed = block_of("AB");
    add_running_sum(keyed, 7);
    EXPECT_EQ(keyed[0], 0x48);
    EXPECT_EQ(keyed[1], 0x8A);
    // Only the low byte of the block number is the key.
    EXPECT_EQ(encode_block(block_of("AB"), 7), encode_block(block_of("AB"), 256 + 7));
    EXPECT_NE(encode_block(block_of("AB"), 7), encode_block(block_of("AB"), 8));
}

TEST(ZelcodeBlockCoding, CarriageReturnRestartsTheSum) {
    Block block = block_of("A\rB\r\rC");
    add_running_sum(block, 5);
    EXPECT_EQ(block[0], 0x46);  // 5 + 'A'
    EXPECT_EQ(block[1], 0x53);  // + CR, then back to 5
    EXPECT_EQ(block[2], 0x47);  // 5 + 'B'
    EXPECT_EQ(block[3], 0x54);
    EXPECT_EQ(block[4], 0x12);  // 5 + CR straight after a CR
    EXPECT_EQ(block[5], 0x48);  // 5 + 'C'
    EXPECT_EQ(block[6], 0x68);
    remove_running_sum(block, 5);
    EXPECT_EQ(block, block_of("A\rB\r\rC"));
}

TEST(ZelcodeBlockCoding, GroupsMoveByTheFixedOrder) {
    Block numbered{};
    for (int i = 0; i < kBlockSize; ++i) numbered[i] = static_cast<uint8_t>(i);
    const Block moved = permute_groups(numbered);
    EXPECT_NE(moved, numbered);
    for (int group = 0; group < kGroupCount; ++group)
        for (int j = 0; j < kGroupSize; ++j)
            EXPECT_EQ(moved[group * kGroupSize + j], kGroupOrder[group] * kGroupSize + j);
    EXPECT_EQ(unpermute_groups(moved), numbered);

    Block summed = block_of("AB");
    add_running_sum(summed, 0);
    EXPECT_EQ(encode_block(block_of("AB"), 0), permute_groups(summed));
}

TEST(ZelcodeBlockCoding, DecodingInvertsCodingForAnyBytes) {
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 2000; ++round) {
        Block plain{};
        for (uint8_t &b : plain) b = static_cast<uint8_t>(round % 3 == 0 && byte(random) < 64 ? 0x0D : byte(random));
        const uint64_t number = static_cast<uint64_t>(round) * 37;
        ASSERT_EQ(decode_block(encode_block(plain, number), number), plain) << round;
    }
}

}  // namespace
}  // namespace zelcode
