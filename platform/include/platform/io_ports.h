// The processor's I/O-port space, for jigs whose 8255 chips sit at plain port addresses rather
// than on a PCI parallel-I/O board. Access needs the operating system's permission (on Linux
// iopl/ioperm, which need CAP_SYS_RAWIO); a port without permission reads 0xFF and takes no
// writes, so a station without the privilege never crashes on a port access.
//
// Permission belongs to the thread that asked for it and to the threads it creates afterwards:
// ask on the main thread at start-up, before the sequencer and remote-control threads exist.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace ksw::platform {

// Asks for access to the whole port space and, when that is refused, to each of `ports`.
// Returns true when every port of `ports` may be used; otherwise false with the system's
// reason in `error` (the ports that were granted stay usable).
bool request_io_ports(std::span<const uint16_t> ports, std::string *error = nullptr);

// True when `port` was granted by request_io_ports.
bool io_port_granted(uint16_t port);

// One byte from `port`; 0xFF when the port was not granted.
uint8_t io_port_in(uint16_t port);

// One byte to `port`; dropped when the port was not granted.
void io_port_out(uint16_t port, uint8_t value);

// Gives every permission back (tests, and the end of a station that asked for them).
void release_io_ports();

}  // namespace ksw::platform
