// One 8255 programmable peripheral interface in mode 0: three 8-bit ports A, B and C, each an
// input or an output (port C in two halves), set by a mode word; port C bits can also be set and
// cleared one at a time. An output port drives its latch onto its pins; reading an output port
// returns the latch, reading an input port returns what the outside drives onto its pins. A mode
// word changes only the directions: the latches keep their values, so re-initialising the chip
// does not glitch the strobe lines of the jig. Strobed modes 1 and 2 act like mode 0.
#pragma once

#include <array>
#include <cstdint>

namespace jigsim {

enum PpiPort { kPortA = 0, kPortB = 1, kPortC = 2 };

class Ppi8255 {
public:
    // The power-on state: every port an input (mode word 0x9B), every latch 0.
    Ppi8255() = default;

    // A control word: bit 7 set selects a mode word (bit 4 port A, bit 3 port C upper half,
    // bit 1 port B, bit 0 port C lower half: 1 = input); bit 7 clear sets (bit 0 = 1) or clears
    // port C bit (bits 1-3).
    void control(uint8_t word);
    // Stores `value` in the port's latch (an input port's latch too; it shows once the port
    // becomes an output).
    void write(int port, uint8_t value) { latch_[port] = value; }
    // What a read of the port returns: latch bits where the port drives, `pins` elsewhere.
    uint8_t read(int port, uint8_t pins) const;

    // The bits of a port that the chip drives.
    uint8_t driven(int port) const;
    uint8_t latch(int port) const { return latch_[port]; }
    uint8_t mode() const { return mode_; }

private:
    uint8_t mode_ = 0x9B;
    std::array<uint8_t, 3> latch_{};
};

}  // namespace jigsim
