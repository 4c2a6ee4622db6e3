#include "jig_board.h"

#include <algorithm>

namespace jigsim {

JigBoard::JigBoard(const WorldConfig &config, const EvrMemory &evr)
    : evr_(evr),
      adc_busy_time_(config.adc_busy_us),
      ext_counts_(config.ext_counts),
      ext_busy_time_(config.ext_busy_us),
      cable1_(config.cable1),
      cable2_(config.cable2),
      power_(config.power),
      adc_stuck_(config.adc_stuck),
      ext_stuck_(config.ext_stuck),
      start_switch_(config.start_switch),
      switches_(config.switches),
      switch_script_(config.switch_script),
      switch_trigger_sw_(config.switch_trigger_sw) {
    channels_.configure(config.channels, static_cast<uint64_t>(config.seed));
    if (!switch_script_.empty() && switch_trigger_sw_ < 0) {
        script_started_ = true;
        script_start_ = Clock::now();
    }
}

int JigBoard::switches_now() const {
    if (!script_started_) return switches_;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - script_start_).count();
    int bits = switches_;
    for (const auto &[at, held] : switch_script_) {
        if (at > ms) break;
        bits = held;
    }
    return bits;
}

void JigBoard::control(int group, uint8_t word) {
    chips_[static_cast<size_t>(group)].control(word);
    update_pins(group);
}

void JigBoard::write(int group, int port, uint8_t value) {
    chips_[static_cast<size_t>(group)].write(port, value);
    update_pins(group);
}

uint8_t JigBoard::read(int group, int port) {
    return chips_[static_cast<size_t>(group)].read(port, sense(group, port, true));
}

void JigBoard::set_switch(int sw, bool held) {
    if (held) switches_ |= 1 << sw;
    else switches_ &= ~(1 << sw);
}

void JigBoard::update_pins(int group) {
    const Ppi8255 &chip = chips_[static_cast<size_t>(group)];
    for (int port = 0; port < 3; ++port) {
        uint8_t &pins = pins_[static_cast<size_t>(group)][static_cast<size_t>(port)];
        const uint8_t driven = chip.driven(port);
        const uint8_t after = static_cast<uint8_t>((chip.latch(port) & driven) | (pins & ~driven));
        if (after == pins) continue;
        const uint8_t before = pins;
        pins = after;
        on_edges(group, port, before, after);
    }
}

void JigBoard::on_edges(int group, int port, uint8_t before, uint8_t after) {
    const uint8_t rising = after & ~before, falling = before & ~after;
    if (group == kSys1 && port == kPortC) {
        if (rising & 0x08) take_output_port();
        if (falling & 0x04) sample_due_ = true;
    } else if (group == kSys1 && port == kPortA) {
        if (rising & 0x80) start_conversion();
    } else if (group == kExt1 && port == kPortA) {
        for (int n = 0; n < 4; ++n)
            if (rising & (1 << n)) ext0w_[static_cast<size_t>(n)] = static_cast<uint16_t>(bus_byte(kExt0, kPortA) | bus_byte(kExt0, kPortB) << 8);
        if (falling & 0x80) ext_ready_ = Clock::now() + ext_busy_time_;
    }
}

uint8_t JigBoard::bus_byte(int group, int port) {
    const uint8_t driven = chips_[static_cast<size_t>(group)].driven(port);
    return static_cast<uint8_t>((pins_[static_cast<size_t>(group)][static_cast<size_t>(port)] & driven) |
                                (sense(group, port, false) & ~driven));
}

void JigBoard::take_output_port() {
    if (!power_) return;
    const int port = (pins_[kSys1][kPortA] & 0x0F) | ((pins_[kSys1][kPortB] & 1) << 4);
    ++port_writes_;
    set_output_port(port, static_cast<uint16_t>(bus_byte(kSys0, kPortA) | bus_byte(kSys0, kPortC) << 8));
}

void JigBoard::set_output_port(int port, uint16_t value) {
    const uint16_t rising = value & ~out_[static_cast<size_t>(port)];
    out_[static_cast<size_t>(port)] = value;
    if (!script_started_ && !switch_script_.empty() && switch_trigger_sw_ >= 0 && sw_on(out_, switch_trigger_sw_)) {
        script_started_ = true;
        script_start_ = Clock::now();
    }
    if (port == 27) {
        if (rising & 0x4000) breg_[value & 0x3FF0] = ((value & 0x0F) << 4) | (out_[26] >> 12);
        if (rising & 0x8000) {
            psu_stage_[1] = psu_stage_[0];
            psu_stage_[0] = {out_[26], value};
        }
    } else if (port == 28) {
        for (int ch = 0; ch < 2; ++ch) {
            if (!(rising & (0x1000 << ch))) continue;
            const std::array<uint16_t, 2> &stage = psu_stage_[static_cast<size_t>(ch)];
            psu_[static_cast<size_t>(ch)] = {true, stage[0] & 0x0FFF, ((stage[1] & 0xFF) << 4) | (stage[0] >> 12)};
        }
    } else if (port == 30) {
        const int n = (value >> 8) & 15;
        if (rising & 0x4000) latch_[static_cast<size_t>(n)] = value & 0xFF;
        if (rising & 0x8000) latch_[static_cast<size_t>(n + 16)] = value & 0xFF;
    }
}

void JigBoard::start_conversion() {
    if (!power_) return;
    ++conversions_;
    channels_.restart_waves();
    adc_ready_ = Clock::now() + adc_busy_time_;
    sample_due_ = true;
}

bool JigBoard::adc_busy() const { return adc_stuck_ || (power_ && Clock::now() < adc_ready_); }

bool JigBoard::ext_busy() const { return ext_stuck_ || Clock::now() < ext_ready_; }

// The extension selector whose read enable (Ext0Port1 A bit 4 or 5, low active) is on; -1 none.
int JigBoard::ext_bus_selector() const {
    const uint8_t enables = pins_[kExt1][kPortA];
    if (!(enables & 0x10)) return 0;
    if (!(enables & 0x20)) return 1;
    return -1;
}

uint8_t JigBoard::sense(int group, int port, bool reading) {
    const uint8_t held = pins_[static_cast<size_t>(group)][static_cast<size_t>(port)];
    switch (group * 3 + port) {
    case kSys0 * 3 + kPortA:
    case kSys0 * 3 + kPortC:
        if (reading && sample_due_ && chips_[kSys0].driven(port) != 0xFF) {
            adc_out_ = power_ ? static_cast<uint16_t>(channels_.sample(adc_channel(), adc_range(), out_, evr_)) : 0;
            sample_due_ = false;
        }
        return static_cast<uint8_t>(port == kPortA ? adc_out_ & 0xFF : adc_out_ >> 8);
    case kSys0 * 3 + kPortB:
        return static_cast<uint8_t>((~switches_now() & 0x0F) | (cable1_ ? 0 : 0x10) | (adc_busy() ? 0x20 : 0) | (power_ ? 0 : 0x80));
    case kSys1 * 3 + kPortC:
        return static_cast<uint8_t>((held & 0x0F) | (cable2_ ? 0 : 0x10) | (start_switch_ ? 0 : 0x20));
    case kExt0 * 3 + kPortA:
    case kExt0 * 3 + kPortB: {
        const int selector = ext_bus_selector();
        if (selector < 0) return held;
        const int counts = std::clamp(ext_counts_[static_cast<size_t>(selector)], 0, kAdcMax);
        return static_cast<uint8_t>(port == kPortA ? counts & 0xFF : counts >> 8);
    }
    case kExt0 * 3 + kPortC:
        return ext_busy() ? 0x01 : 0x00;
    case kExt1 * 3 + kPortC:
        return static_cast<uint8_t>((start_switch_ ? 0 : 0x02) | ((~switches_now() & 0x0F) << 2));
    default:
        return held;
    }
}

bool JigBoard::lamp(uint8_t bit) const { return (chips_[kSys1].driven(kPortB) & bit) && (pins_[kSys1][kPortB] & bit); }

}  // namespace jigsim
