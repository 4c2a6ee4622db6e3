// The measuring board's ports as the items and the set-up commands use them: a read-modify-write
// of an output port under the port lock, and the shadows that say how the board is set up.
#pragma once

#include <cstdint>
#include <mutex>

#include "runtime/jig/jig_ports.h"

namespace ksw::board {

// The output ports the board is set up through.
enum BoardPort : int {
    kInputSelectPort = 5,   // bits 0-2 the input routed (1, 2), 4-6 video capture on, 8-10 trigger channel
    kChromaOutPort = 7,     // bits 0-2 digitiser clock on, 4-5 the chroma output
    kInput1Port = 8,        // input 1: bits 5-7 the range (gain), 8-10 the filter
    kInput2Port = 9,        // input 2: the same
    kClockPort = 10,        // bits 0-7 the digitiser clock (17 n), 8-10 the counter clock
    kPrescalePort = 11,     // bits 8-12 the counter prescaler
    kLinePort1 = 19,        // spl_enb_line( first line
    kLinePort2 = 20,        // second line
    kModePort = 22,         // coupling, counter input, filter, shift, dc_volt2 gain (bits 12-14)
    kChannelPort = 24,      // 1_ch( low byte, 2_ch( high byte
    kSelectorPort = 29,     // bits 0-3 chroma mode, 6 PAL, 7 v-level, 8-11 digital input group
};

inline uint16_t shadow(const JigPorts &jig, int port) {
    return jig.output_ports[static_cast<size_t>(port)].load(std::memory_order_relaxed);
}

// Output port `port` := (shadow AND keep) OR set, the read and the write under the port lock.
inline int update_port(JigPorts &jig, int port, uint16_t keep, uint16_t set) {
    std::lock_guard<PortLock> hold(jig.lock);
    return WriteOutputPort(jig, port, static_cast<uint16_t>((shadow(jig, port) & keep) | set));
}

// The gain of the input routed to the board (output port 5 bits 0-2: 1 or 2), from its range
// bits (5-7 of port 8 or 9) that ac_range( sets; 1.0 when no input is routed.
double input_gain(const JigPorts &jig);

}  // namespace ksw::board
