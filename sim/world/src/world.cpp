#include "world.h"

#include <algorithm>
#include <cstdio>

namespace jigsim {
namespace {

EvrMemory product_memory(const WorldConfig &config) {
    EvrMemory evr;
    if (!config.eeprom.empty()) evr.assign(kEeprom, config.eeprom);
    if (config.ram_from_rom) evr.copy(kEeprom, kRam);
    return evr;
}

std::string hex(const char *format, unsigned value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

}  // namespace

World::World(WorldConfig config, int problems)
    : config_(std::move(config)), problems_(problems), evr_(product_memory(config_)), jig_(config_, evr_) {
    std::vector<int> slots;
    for (int g = 0; g < kGroups; ++g)
        if (config_.slot[static_cast<size_t>(g)] >= 0) slots.push_back(config_.slot[static_cast<size_t>(g)]);
    std::sort(slots.begin(), slots.end());
    slots.erase(std::unique(slots.begin(), slots.end()), slots.end());
    for (int slot : slots) {
        PpiBoard board;
        board.slot = slot;
        board.name = "FBIPPI" + std::to_string(boards_.size() + 1);
        board.group = {-1, -1};
        for (int g = 0; g < kGroups; ++g)
            if (config_.slot[static_cast<size_t>(g)] == slot) board.group[static_cast<size_t>(config_.chip[static_cast<size_t>(g)])] = g;
        boards_.push_back(board);
    }
    if (!config_.trace_file.empty()) {
        std::string error;
        if (!trace_file_.open(config_.trace_file, &error)) std::fprintf(stderr, "jigsim: trace: %s\n", error.c_str());
    }
}

World::~World() {
    std::string error;
    if (!trace_file_.close(&error)) std::fprintf(stderr, "jigsim: trace: %s\n", error.c_str());
}

PpiBoard *World::board_in(int slot, int chip) {
    if (chip < 0 || chip > 1) return nullptr;
    for (PpiBoard &b : boards_)
        if (b.slot == slot) return &b;
    return nullptr;
}

void World::record(char kind, int group, int port, int value) {
    if (trace_.size() < kTraceLimit) trace_.push_back({kind, static_cast<unsigned char>(group), static_cast<unsigned char>(port), static_cast<unsigned char>(value)});
    else ++trace_dropped_;
    if (trace_file_.is_open()) {
        char line[32];
        const int n = std::snprintf(line, sizeof line, "%c %d %d 0x%02X\n", kind, group, port, value & 0xFF);
        trace_file_.write(std::string_view(line, static_cast<size_t>(n)));
    }
}

void World::clear_trace() {
    trace_.clear();
    trace_dropped_ = 0;
}

bool World::ppi_control(int slot, int chip, int word) {
    PpiBoard *b = board_in(slot, chip);
    if (!b) return false;
    const int group = b->group[static_cast<size_t>(chip)];
    const uint8_t byte = static_cast<uint8_t>(word);
    if (group < 0) {
        b->idle[static_cast<size_t>(chip)].control(byte);
        return true;
    }
    record('C', group, 3, byte);
    jig_.control(group, byte);
    return true;
}

bool World::ppi_write(int slot, int chip, int port, int value) {
    PpiBoard *b = board_in(slot, chip);
    if (!b || port < 0 || port > 2) return false;
    const int group = b->group[static_cast<size_t>(chip)];
    const uint8_t byte = static_cast<uint8_t>(value);
    if (group < 0) {
        b->idle[static_cast<size_t>(chip)].write(port, byte);
        return true;
    }
    record('W', group, port, byte);
    jig_.write(group, port, byte);
    return true;
}

bool World::ppi_read(int slot, int chip, int port, int *value) {
    PpiBoard *b = board_in(slot, chip);
    if (!b || port < 0 || port > 2 || !value) return false;
    const int group = b->group[static_cast<size_t>(chip)];
    if (group < 0) {
        *value = b->idle[static_cast<size_t>(chip)].read(port, 0xFF);
        return true;
    }
    *value = jig_.read(group, port);
    record('R', group, port, *value);
    return true;
}

std::string World::state_report() const {
    std::string out;
    const auto line = [&out](const std::string &name, const std::string &value) { out += name + "=" + value + "\n"; };
    for (int p = 0; p < 32; ++p) line("out" + std::to_string(p), hex("0x%04X", jig_.output_ports()[static_cast<size_t>(p)]));
    for (int n = 0; n < 32; ++n) line("latch" + std::to_string(n), hex("0x%02X", jig_.latch(n)));
    for (int n = 0; n < 4; ++n) line("ext0w" + std::to_string(n), hex("0x%04X", jig_.ext0_word(n)));
    for (int ch = 1; ch <= 2; ++ch) {
        const PsuChannel &psu = jig_.psu(ch);
        line("psu" + std::to_string(ch), psu.latched ? std::to_string(psu.volt_code) + "," + std::to_string(psu.amp_code) : "-");
    }
    for (const auto &[reg, datum] : jig_.board_registers())
        line("breg." + hex("0x%04X", static_cast<unsigned>(reg)), hex("0x%04X", static_cast<unsigned>(datum)));
    line("lamp_ok", jig_.lamp_ok() ? "1" : "0");
    line("lamp_ng", jig_.lamp_ng() ? "1" : "0");
    line("conversions", std::to_string(jig_.conversions()));
    line("port_writes", std::to_string(jig_.port_writes()));
    // The product's EVR cells that are not 0, so a run's adjusted and written values can be read.
    static const char *const kMemoryNames[] = {"evr.rom.", "evr.ram."};
    for (const int memory : {kEeprom, kRam}) {
        const std::vector<uint16_t> &cells = evr_.cells(memory);
        for (int cell = 0; cell < kEvrCells; ++cell) {
            const uint16_t value = cells[static_cast<size_t>(cell)];
            if (value != 0)
                line(kMemoryNames[memory] + hex("%02X", static_cast<unsigned>(cell >> 8)) + ":" +
                         hex("%02X", static_cast<unsigned>(cell & 0xFF)),
                     hex("0x%04X", value));
        }
    }
    return out;
}

bool World::write_report(const std::string &more, std::string *error) const {
    if (config_.state_file.empty()) return true;
    return write_whole_file(config_.state_file, state_report() + more, error);
}

void World::finish(const std::string &more) {
    std::string error;
    if (!write_report(more, &error)) std::fprintf(stderr, "jigsim: state report: %s\n", error.c_str());
    if (!trace_file_.close(&error)) std::fprintf(stderr, "jigsim: trace: %s\n", error.c_str());
}

}  // namespace jigsim
