#include "ppi8255.h"

namespace jigsim {

void Ppi8255::control(uint8_t word) {
    if (word & 0x80) {
        mode_ = word;
        return;
    }
    const uint8_t bit = static_cast<uint8_t>(1u << ((word >> 1) & 7));
    if (word & 1) latch_[kPortC] |= bit;
    else latch_[kPortC] &= static_cast<uint8_t>(~bit);
}

uint8_t Ppi8255::driven(int port) const {
    switch (port) {
    case kPortA: return (mode_ & 0x10) ? 0x00 : 0xFF;
    case kPortB: return (mode_ & 0x02) ? 0x00 : 0xFF;
    default: return static_cast<uint8_t>(((mode_ & 0x08) ? 0x00 : 0xF0) | ((mode_ & 0x01) ? 0x00 : 0x0F));
    }
}

uint8_t Ppi8255::read(int port, uint8_t pins) const {
    const uint8_t out = driven(port);
    return static_cast<uint8_t>((latch_[port] & out) | (pins & ~out));
}

}  // namespace jigsim
