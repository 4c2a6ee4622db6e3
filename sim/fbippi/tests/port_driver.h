// The station's port layer as the simulator's tests drive it: byte access to I/O addresses over
// the board library (slot = address bits 4-7, chip = bit 0, port = bits 1-2; a read of address
// mod 8 >= 6 gives 0, a write there goes to the control register) and the jig operations on top,
// byte for byte in the order the station performs them. Results are the station's error numbers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "fbippi.h"

namespace jigtest {

enum Error { kOk = 0, kCable1 = 23, kCable2 = 24, kSystemPortUnset = 32, kPortUnset = 33, kAdTimeout = 36, kJigPowerOff = 37 };
enum Group { kSys0 = 0, kSys1 = 1, kExt0 = 2, kExt1 = 3 };

// The six entry points of a board library, linked or bound by name.
struct PpiApi {
    int32_t (*open)(const char *, int32_t) = PpiOpen;
    int32_t (*close)(int32_t) = PpiClose;
    int32_t (*control)(int32_t, int32_t, int32_t) = PpiControl;
    int32_t (*input)(int32_t, int32_t, int32_t, int32_t *) = PpiInputPort;
    int32_t (*output)(int32_t, int32_t, int32_t, int32_t) = PpiOutputPort;
    int32_t (*info)(int32_t, uint32_t *) = PpiCommonGetPciDeviceInfo;
};

class StationPorts {
public:
    // Scans the boards and takes the port settings from the simulated world.
    explicit StationPorts(PpiApi api = PpiApi{});
    ~StationPorts();
    StationPorts(const StationPorts &) = delete;
    StationPorts &operator=(const StationPorts &) = delete;

    int boards() const { return boards_; }
    int handle_of_slot(int slot) const { return handle_[static_cast<size_t>(slot)]; }

    int port_in(int address);
    void port_out(int address, int value);
    int in(Group g, int port) { return port_in(addr_[g][static_cast<size_t>(port)]); }
    void out(Group g, int port, int value) { port_out(addr_[g][static_cast<size_t>(port)], value); }

    int write_output_port(int port, uint16_t value);
    int set_switch(int sw, bool on);
    int write_latch(int latch, uint8_t value);
    int write_ext0_word(int word, uint16_t value);
    int select_ad(int channel, int range);
    int start_ad(int channel, int range);
    int read_ad(int channel, int range, uint16_t *samples, int count, uint32_t timeout_ms, int mask);
    int read_ad_fast(int channel, int range, uint16_t *samples, int count, int mask);
    int start_ext_ad();
    int read_ext_ad(int selector, int *value, uint32_t timeout_ms, int mask);
    int write_board_register(int register_bits, int datum);
    int power(bool on);
    int power_set(int channel, int volt_code, int amp_code);
    void set_ports_default();
    void set_ports_input();
    int check_cables();
    bool sequencer_start();
    void set_lamps(bool ok, bool ng);
    void set_shadow(int port, uint16_t value) { shadow_[static_cast<size_t>(port)] = value; }

private:
    bool set(Group g) const { return addr_[g][3] != 0; }
    PpiApi api_;
    int boards_ = 0;
    std::array<int, 16> handle_{};
    std::array<std::array<int, 4>, 4> addr_{};
    std::array<uint16_t, 32> shadow_{};
    std::array<uint8_t, 32> latch_shadow_{};
    std::array<std::array<uint16_t, 2>, 2> psu_words_{{{0, 0x0700}, {0, 0x0700}}};
};

}  // namespace jigtest
