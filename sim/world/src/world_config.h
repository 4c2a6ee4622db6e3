// Everything a scenario file sets up, with the defaults of a jig that is plugged in, powered and
// quiet. load_world_config reads a scenario into it; docs/simulator.md describes every key.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "adc_channels.h"
#include "scenario.h"

namespace jigsim {

// The four port groups of the jig, each one 8255 chip: addresses of port A, B, C and control.
enum Group { kSys0 = 0, kSys1 = 1, kExt0 = 2, kExt1 = 3 };
constexpr int kGroups = 4;
extern const std::array<const char *, kGroups> kGroupNames;  // "SysPort0", ...

struct PortGroupSetting {
    std::array<int, 4> address{};
    bool from_scenario = false;
};

struct WorldConfig {
    std::string scenario_path;  // empty: no scenario
    Scenario document;
    // [jig]
    bool cable1 = true;
    bool cable2 = true;
    bool power = true;
    int adc_busy_us = 20;
    bool adc_stuck = false;
    int switches = 0;  // remote-control switches held, bit n = switch n
    // A script of the remote-control switches: from its start on, the switches are the bits of
    // its last entry whose time has come (milliseconds, ascending). It starts when sw
    // `switch_trigger_sw` first goes on, or with the world when that is -1.
    std::vector<std::pair<int, int>> switch_script;  // (ms, bits)
    int switch_trigger_sw = -1;
    bool start_switch = false;
    int seed = 1;
    // [adc.N]
    std::array<ChannelConfig, kAdcChannels> channels{};
    // [ext_adc]
    std::array<int, 2> ext_counts{};
    int ext_busy_us = 20;
    bool ext_stuck = false;
    // [evr]
    std::vector<uint16_t> eeprom;  // empty: every cell 0
    bool ram_from_rom = false;
    // [report]
    std::string state_file;
    std::string trace_file;
    // [ports]
    std::array<PortGroupSetting, kGroups> ports = default_ports();
    // Where each group's chip sits on the PPI boards (-1: the group is not wired to a board chip).
    std::array<int, kGroups> slot{-1, -1, -1, -1};
    std::array<int, kGroups> chip{-1, -1, -1, -1};

    static std::array<PortGroupSetting, kGroups> default_ports();
};

// Reads the scenario at `path` into `config` (an empty path leaves every default). Reports each
// problem on stderr (and into `messages` when given) and returns how many there were; what could
// not be read keeps its default.
int load_world_config(const std::string &path, WorldConfig *config, std::vector<std::string> *messages = nullptr);

// The group's addresses as the station's setting text "%X,%X,%X,%X".
std::string port_setting_text(const PortGroupSetting &group);
// Reads "%X,%X,%X,%X" (four hexadecimal numbers up to FFFF, blanks allowed around each).
bool parse_port_setting(const std::string &text, std::array<int, 4> *out);

}  // namespace jigsim
