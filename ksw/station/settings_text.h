// Text forms shared by the settings file, the registry and the command line: number lists as
// "%d,%d,%d,%d" and "%x,%x,%x,%x" read them, port-address and window-rectangle texts, and
// length-limited texts.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "station/settings.h"

namespace ksw::config {

// Reads numbers separated by single commas the way a "%d,%d,..." (base 10) or "%x,%x,..."
// (base 16) scan does: blanks before each number, an optional sign, for base 16 an optional
// "0x", at least one digit; anything after the last number is ignored. Fills `out` from the
// front and returns how many numbers were read. Magnitudes saturate far above 32 bits.
size_t scan_number_list(std::string_view text, int base, std::span<int64_t> out);

// A port group from "%x,%x,%x,%x": true only when four numbers were read and each is a 16-bit
// I/O address (0..0xFFFF); otherwise `out` is untouched.
bool parse_port_text(std::string_view text, PortAddresses *out);
// A port group as "%X,%X,%X,%X".
std::string format_port_text(const PortAddresses &ports);

// A rectangle from "%d,%d,%d,%d": true only when four 32-bit numbers were read.
bool parse_window_rect(std::string_view text, WindowRect *out);
// A rectangle as "%d,%d,%d,%d".
std::string format_window_rect(const WindowRect &rect);

// `text` cut to at most `limit` characters.
std::string cut_text(std::string_view text, size_t limit);

}  // namespace ksw::config
