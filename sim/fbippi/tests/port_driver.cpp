#include "port_driver.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "jigsim.h"

namespace jigtest {
namespace {

void yield() { std::this_thread::yield(); }
void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

StationPorts::StationPorts(PpiApi api) : api_(api) {
    handle_.fill(-1);
    for (int n = 1; n <= 255; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "FBIPPI%d", n);
        const int h = api_.open(name, 2);
        if (h == -1) continue;
        uint32_t info[PPI_DEVICE_INFO_VALUES];
        if (api_.info(h, info) != 0) break;
        if (info[0] == 2746 && info[13] < 16) {
            handle_[info[13]] = h;
            ++boards_;
        }
    }
    static const char *const kKeys[] = {"SysPort0", "SysPort1", "Ext0Port0", "Ext0Port1"};
    for (size_t g = 0; g < 4; ++g) {
        char text[64];
        unsigned a[4] = {};
        jigsim_port_setting(kKeys[g], text, sizeof text);
        std::sscanf(text, "%X,%X,%X,%X", &a[0], &a[1], &a[2], &a[3]);
        for (size_t i = 0; i < 4; ++i) addr_[g][i] = static_cast<int>(a[i]);
    }
}

StationPorts::~StationPorts() {
    for (int h : handle_)
        if (h != -1) api_.close(h);
}

int StationPorts::port_in(int address) {
    const int h = handle_[static_cast<size_t>((address / 16) % 16)];
    if (h == -1 || address % 8 >= 6) return 0;
    int32_t value = 0;
    api_.input(h, address & 1, (address >> 1) & 3, &value);
    return value & 0xFF;
}

void StationPorts::port_out(int address, int value) {
    const int h = handle_[static_cast<size_t>((address / 16) % 16)];
    if (h == -1) return;
    if (((address >> 1) & 3) == 3) api_.control(h, address & 1, value & 0xFF);
    else api_.output(h, address & 1, (address >> 1) & 3, value & 0xFF);
}

int StationPorts::write_output_port(int port, uint16_t value) {
    if (!set(kSys0) || !set(kSys1)) return kSystemPortUnset;
    if (in(kSys0, 1) & 0x80) return kJigPowerOff;
    if (shadow_[static_cast<size_t>(port)] == value) return kOk;
    out(kSys0, 3, 0x82);
    shadow_[static_cast<size_t>(port)] = value;
    out(kSys0, 0, value & 0xFF);
    yield();
    out(kSys0, 2, value >> 8);
    yield();
    out(kSys1, 0, (in(kSys1, 0) & 0xF0) | (port & 15));
    out(kSys1, 1, (in(kSys1, 1) & 0xFE) | (port / 16));
    const int c = in(kSys1, 2);
    out(kSys1, 2, c & ~8);
    out(kSys1, 2, c | 8);
    out(kSys1, 2, c & ~8);
    out(kSys0, 3, 0x9B);
    return kOk;
}

int StationPorts::set_switch(int sw, bool on) {
    const int port = sw < 256 ? sw / 8 : sw / 8 - 32;
    const int bit = sw < 256 ? sw % 8 : sw % 8 + 8;
    const uint16_t old = shadow_[static_cast<size_t>(port)];
    return write_output_port(port, static_cast<uint16_t>(on ? old | (1 << bit) : old & ~(1 << bit)));
}

int StationPorts::write_latch(int latch, uint8_t value) {
    if (latch_shadow_[static_cast<size_t>(latch)] == value) return kOk;
    const int strobe = latch < 16 ? 502 : 503;
    int e = write_output_port(30, static_cast<uint16_t>((shadow_[30] & 0xF000) | ((latch & 15) << 8) | value));
    for (bool level : {false, true, false})
        if (e == kOk) e = set_switch(strobe, level);
    if (e == kOk) latch_shadow_[static_cast<size_t>(latch)] = value;
    return e;
}

int StationPorts::write_ext0_word(int word, uint16_t value) {
    if (!set(kExt0) || !set(kExt1)) return kPortUnset;
    out(kExt0, 3, 0x89);
    out(kExt0, 0, value & 0xFF);
    yield();
    out(kExt0, 1, value >> 8);
    yield();
    out(kExt1, 0, in(kExt1, 0) & ~(1 << word));
    yield();
    out(kExt1, 0, in(kExt1, 0) | (1 << word));
    yield();
    out(kExt0, 3, 0x9B);
    return kOk;
}

int StationPorts::select_ad(int channel, int range) {
    if (!set(kSys0) || !set(kSys1)) return kSystemPortUnset;
    const int e = write_output_port(1, static_cast<uint16_t>((shadow_[1] & 0xF8) | channel));
    if (e != kOk) return e;
    out(kSys1, 0, (in(kSys1, 0) & 0x8F) | (range << 4));
    return kOk;
}

int StationPorts::start_ad(int channel, int range) {
    const int e = select_ad(channel, range);
    if (e != kOk) return e;
    const int a = in(kSys1, 0);
    for (int level : {0, 0x80, 0}) out(kSys1, 0, (a & 0x7F) | level);
    return kOk;
}

int StationPorts::read_ad(int channel, int range, uint16_t *samples, int count, uint32_t timeout_ms, int mask) {
    int e = select_ad(channel, range);
    if (e != kOk) return e;
    const auto start = std::chrono::steady_clock::now();
    while (in(kSys0, 1) & 0x20) {
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(timeout_ms)) return kAdTimeout;
        sleep_ms(100);
    }
    const int c = in(kSys1, 2);
    for (int v : {(c & ~4) | 2, (c & ~4) | 6, (c & ~4) | 2}) out(kSys1, 2, v);
    const int b = c & 0xF9;
    for (int v : {b, b | 4, b, b | 4, b | 6, b | 2}) out(kSys1, 2, v);
    for (int i = 0; i < count; ++i) {
        out(kSys1, 2, b | 6);
        out(kSys1, 2, b | 2);
        const int high = in(kSys0, 2) & mask;
        samples[i] = static_cast<uint16_t>(high << 8 | in(kSys0, 0));
    }
    out(kSys1, 0, 0x70);
    return kOk;
}

int StationPorts::read_ad_fast(int channel, int range, uint16_t *samples, int count, int mask) {
    const int e = select_ad(channel, range);
    if (e != kOk) return e;
    const int c = in(kSys1, 2);
    for (int i = 0; i < count; ++i) {
        out(kSys1, 2, (c & ~4) | 4);
        out(kSys1, 2, c & ~4);
        const int high = in(kSys0, 2) & mask;
        samples[i] = static_cast<uint16_t>(high << 8 | in(kSys0, 0));
    }
    out(kSys1, 0, 0x70);
    return kOk;
}

int StationPorts::start_ext_ad() {
    if (!set(kExt0) || !set(kExt1)) return kPortUnset;
    const int a = in(kExt1, 0);
    for (int v : {a | 0x80, a & ~0x80, (a & ~0x80) | 0x80}) out(kExt1, 0, v);
    return kOk;
}

int StationPorts::read_ext_ad(int selector, int *value, uint32_t timeout_ms, int mask) {
    if (!set(kExt0) || !set(kExt1)) return kPortUnset;
    const auto start = std::chrono::steady_clock::now();
    while (in(kExt0, 2) & 1) {
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(timeout_ms)) return kAdTimeout;
        sleep_ms(100);
    }
    const int enable = selector == 0 ? 0x10 : 0x20;
    out(kExt1, 0, in(kExt1, 0) & ~enable);
    *value = ((in(kExt0, 1) & mask) << 8) + in(kExt0, 0);
    out(kExt1, 0, in(kExt1, 0) | enable);
    return kOk;
}

int StationPorts::write_board_register(int register_bits, int datum) {
    int e = write_output_port(26, static_cast<uint16_t>((shadow_[26] & 0x0FFF) | ((datum & 15) << 12)));
    if (e == kOk) e = write_output_port(27, static_cast<uint16_t>((datum >> 4) | register_bits));
    const std::pair<int, bool> steps[] = {{479, false}, {478, false}, {479, true}, {479, false}, {478, true}, {478, false}};
    for (const auto &[sw, on] : steps) {
        if (e != kOk) break;
        e = set_switch(sw, on);
        if (sw == 479 && on) sleep_ms(10);
    }
    return e;
}

int StationPorts::power(bool on) {
    return write_output_port(28, static_cast<uint16_t>(on ? shadow_[28] | 0x01FF : shadow_[28] & 0xFE00));
}

int StationPorts::power_set(int channel, int volt_code, int amp_code) {
    const int latch_sw = channel == 1 ? 484 : 485;
    int e = set_switch(479, false);
    if (e == kOk) e = set_switch(latch_sw, false);
    auto &words = psu_words_[static_cast<size_t>(channel - 1)];
    words = {static_cast<uint16_t>((volt_code & 0x0FFF) | (amp_code << 12)), static_cast<uint16_t>(0x0700 | ((amp_code >> 4) & 0xFF))};
    for (int ch : {2, 1}) {
        const auto &w = psu_words_[static_cast<size_t>(ch - 1)];
        if (e == kOk) e = write_output_port(26, w[0]);
        if (e == kOk) e = write_output_port(27, static_cast<uint16_t>((shadow_[27] & 0xE000) | w[1]));
        if (e == kOk) e = set_switch(479, true);
        if (e == kOk) e = set_switch(479, false);
    }
    if (e == kOk) e = set_switch(latch_sw, true);
    if (e == kOk) e = set_switch(latch_sw, false);
    return e;
}

void StationPorts::set_ports_default() {
    if (set(kExt0)) out(kExt0, 3, 0x9B);
    if (set(kExt1)) {
        out(kExt1, 3, 0x89);
        out(kExt1, 0, 0xFF);
    }
    if (set(kSys0)) out(kSys0, 3, 0x9B);
    if (set(kSys1)) {
        out(kSys1, 3, 0x88);
        out(kSys1, 1, 0x40);
        out(kSys1, 2, 0x01);
        out(kSys1, 0, 0x70);
    }
}

void StationPorts::set_ports_input() {
    for (Group g : {kSys0, kSys1, kExt0, kExt1})
        if (set(g)) out(g, 3, 0x9B);
}

int StationPorts::check_cables() {
    if (!set(kSys0)) return kCable1;
    if (!set(kSys1)) return kCable2;
    if (in(kSys0, 1) & 0x10) return kCable1;
    if (in(kSys1, 2) & 0x10) return kCable2;
    return kOk;
}

bool StationPorts::sequencer_start() { return !(in(kSys1, 2) & 0x20); }

void StationPorts::set_lamps(bool ok, bool ng) {
    const int b = in(kSys1, 1) & ~0x30;
    out(kSys1, 1, b | (ok ? 0x10 : 0) | (ng ? 0x20 : 0));
}

}  // namespace jigtest
