// The jig board behind the four 8255 chips. It watches the chips' output pins and acts on their
// edges, and drives the chips' input pins:
//
//   SysPort1 C bit 3 rising       output-port write: the data bus (SysPort0 A low, C high byte) is
//                                 latched into output port (SysPort1 B bit 0 << 4 | A bits 0-3)
//   output port 27 bit 14 rising  board register write (register bits 4-13 of port 27; datum
//                                 port 27 bits 0-3 as the high and port 26 bits 12-15 as the low
//                                 nibble)
//   output port 27 bit 15 rising  the power-supply DAC chain shifts port 26 and 27 in: what was
//                                 in the first stage (channel 1) moves on to the second (channel 2)
//   output port 28 bits 12, 13    rising: power-supply channel 1 / 2 latches its stage
//   output port 30 bits 14, 15    rising: extension latch (bits 8-11, +16 for bit 15) := bits 0-7
//   SysPort1 A bit 7 rising       A/D conversion start; busy (SysPort0 B bit 5) for the
//                                 conversion time
//   SysPort1 C bit 2 falling      A/D read strobe: the next read of the data bus brings a new
//                                 sample of the channel (output port 1 bits 0-2) and range
//                                 (SysPort1 A bits 4-6) selected at that read
//   Ext0Port1 A bits 0-3 rising   Ext0 output word n := extension bus (Ext0Port0 A low, B high)
//   Ext0Port1 A bit 7 falling     extension A/D conversion start; busy on Ext0Port0 C bit 0
//   Ext0Port1 A bits 4, 5 low     extension A/D selector 0 / 1 drives the extension bus
//
// Pins of a port that its chip does not drive keep the level last driven (the lines hold), so
// turning a port into an input makes no edge. The data bus, where the chip does not drive it,
// carries the converter's output. With the jig power off the board takes no output-port strobe
// and its converter neither starts nor delivers anything but 0.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "adc_channels.h"
#include "evr_memory.h"
#include "ppi8255.h"
#include "world_config.h"

namespace jigsim {

struct PsuChannel {
    bool latched = false;
    int volt_code = 0;
    int amp_code = 0;
};

class JigBoard {
public:
    using Clock = std::chrono::steady_clock;

    JigBoard(const WorldConfig &config, const EvrMemory &evr);

    // Byte access to the chip of `group` (kSys0 ... kExt1), port 0-2.
    void control(int group, uint8_t word);
    void write(int group, int port, uint8_t value);
    uint8_t read(int group, int port);

    // Decoded state.
    const OutputPorts &output_ports() const { return out_; }
    uint8_t latch(int n) const { return latch_[static_cast<size_t>(n)]; }
    uint16_t ext0_word(int n) const { return ext0w_[static_cast<size_t>(n)]; }
    const PsuChannel &psu(int channel) const { return psu_[static_cast<size_t>(channel - 1)]; }
    const std::map<int, int> &board_registers() const { return breg_; }
    bool lamp_ok() const { return lamp(0x10); }
    bool lamp_ng() const { return lamp(0x20); }
    uint64_t conversions() const { return conversions_; }
    uint64_t port_writes() const { return port_writes_; }
    int adc_channel() const { return out_[1] & 7; }
    int adc_range() const { return (pins_[kSys1][kPortA] >> 4) & 7; }

    // Inputs and faults.
    void set_cable(int cable, bool connected) { (cable == 1 ? cable1_ : cable2_) = connected; }
    void set_power(bool on) { power_ = on; }
    void set_adc_stuck(bool stuck) { adc_stuck_ = stuck; }
    void set_switch(int sw, bool held);
    void set_start_switch(bool on) { start_switch_ = on; }
    void set_adc_counts(int channel, int range, int counts) { channels_.set_counts(channel, range, counts); }
    void set_ext_counts(int selector, int counts) { ext_counts_[static_cast<size_t>(selector)] = counts; }
    // What the product puts out on `channel` as a sample on `range`, whatever the converter does.
    int product_output(int channel, int range) { return channels_.sample(channel, range, out_, evr_); }

private:
    // What the board drives onto the port's pins; `reading` lets the data bus take a due sample.
    uint8_t sense(int group, int port, bool reading);
    // The port's pins as the board sees them: the chip's driven bits, the board's own elsewhere.
    uint8_t bus_byte(int group, int port);
    void update_pins(int group);
    void on_edges(int group, int port, uint8_t before, uint8_t after);
    void take_output_port();
    void set_output_port(int port, uint16_t value);
    void start_conversion();
    bool adc_busy() const;
    bool ext_busy() const;
    int ext_bus_selector() const;
    bool lamp(uint8_t bit) const;

    const EvrMemory &evr_;
    std::array<Ppi8255, kGroups> chips_{};
    std::array<std::array<uint8_t, 3>, kGroups> pins_{};

    OutputPorts out_{};
    std::array<uint8_t, 32> latch_{};
    std::array<uint16_t, 4> ext0w_{};
    std::array<std::array<uint16_t, 2>, 2> psu_stage_{};  // [stage][port 26, port 27]
    std::array<PsuChannel, 2> psu_{};
    std::map<int, int> breg_;
    uint64_t conversions_ = 0;
    uint64_t port_writes_ = 0;

    AdcChannels channels_;
    uint16_t adc_out_ = 0;
    bool sample_due_ = false;
    Clock::time_point adc_ready_{};
    std::chrono::microseconds adc_busy_time_;
    std::array<int, 2> ext_counts_{};
    Clock::time_point ext_ready_{};
    std::chrono::microseconds ext_busy_time_;

    // The switches as the board reads them now: the script's while it runs, else the held ones.
    int switches_now() const;

    bool cable1_, cable2_, power_, adc_stuck_, ext_stuck_, start_switch_;
    int switches_;
    std::vector<std::pair<int, int>> switch_script_;
    int switch_trigger_sw_;
    bool script_started_ = false;
    Clock::time_point script_start_{};
};

}  // namespace jigsim
