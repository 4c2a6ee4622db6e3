// The product's EVR memory: 256 pages of 256 cells of 16 bits, once in its EEPROM and once in its
// RAM (the selectors are those of the USB unit: 0 EEPROM, 1 RAM), and the reader of the station's
// EVR page-dump files.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jigsim {

constexpr int kEvrCells = 65536;
constexpr int kEeprom = 0;
constexpr int kRam = 1;

class EvrMemory {
public:
    EvrMemory() { cells_[kEeprom].assign(kEvrCells, 0); cells_[kRam].assign(kEvrCells, 0); }
    uint16_t get(int memory, int cell) const { return cells_[memory][static_cast<size_t>(cell)]; }
    void set(int memory, int cell, uint16_t value) { cells_[memory][static_cast<size_t>(cell)] = value; }
    void copy(int from, int to) { cells_[to] = cells_[from]; }
    // Replaces all of `memory` by `cells` (kEvrCells values).
    void assign(int memory, const std::vector<uint16_t> &cells) { cells_[memory] = cells; }
    const std::vector<uint16_t> &cells(int memory) const { return cells_[memory]; }

private:
    std::array<std::vector<uint16_t>, 2> cells_;
};

// Reads a page dump into `cells` (kEvrCells values; cells not named keep their value). Each line
// "PPAA,v0,...,v15" (CR LF or LF) gives the index of its first cell in four hex digits and 16
// values of two or four hex digits; a line shorter than 52 characters ends the dump, as the
// station's loader ends there. On a bad line returns false with "line N: reason" in `error`;
// `cells` may then hold part of the dump.
bool read_page_dump(std::string_view text, std::vector<uint16_t> *cells, std::string *error);

}  // namespace jigsim
