// Block coding of coded files: each 24-byte block gets a running sum that restarts after every
// CR, then its six four-byte groups are put into a fixed order. The key of block n is the low
// byte of n.
#pragma once

#include <array>
#include <cstdint>

namespace zelcode {

inline constexpr int kBlockSize = 24;
inline constexpr int kGroupSize = 4;
inline constexpr int kGroupCount = kBlockSize / kGroupSize;

using Block = std::array<uint8_t, kBlockSize>;

// Output group i of a coded block is group kGroupOrder[i] of the summed block. Files written
// with one order cannot be read with another, so it never changes.
inline constexpr std::array<int, kGroupCount> kGroupOrder = {4, 2, 5, 0, 3, 1};

// Replaces each plain byte with the running sum (mod 256) started at `key`; the sum starts
// again at `key` after each plain CR.
void add_running_sum(Block &block, uint8_t key);

// Inverse of add_running_sum: gives back the plain bytes.
void remove_running_sum(Block &block, uint8_t key);

// Puts group kGroupOrder[i] of `block` in place i.
Block permute_groups(const Block &block);

// Inverse of permute_groups.
Block unpermute_groups(const Block &block);

// Codes the plain bytes of block number `block_number`.
Block encode_block(const Block &plain, uint64_t block_number);

// Decodes the coded bytes of block number `block_number`.
Block decode_block(const Block &coded, uint64_t block_number);

}  // namespace zelcode
