#include "world_config.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "files.h"

namespace jigsim {

const std::array<const char *, kGroups> kGroupNames = {"SysPort0", "SysPort1", "Ext0Port0", "Ext0Port1"};

namespace {

constexpr size_t kScenarioBytes = 1 << 20;
constexpr size_t kDataFileBytes = 16 << 20;
constexpr size_t kMostSamples = 1000000;
constexpr long kMostCounts = 1000000;

// A samples file: one whole number a line, blank lines skipped.
bool read_samples(const std::string &text, std::vector<int> *out, std::string *why) {
    for_each_line(text, [&](int line_no, std::string_view line) {
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos) return true;
        line = line.substr(first, line.find_last_not_of(" \t") - first + 1);
        long value = 0;
        if (!parse_whole(line, &value) || value < -kMostCounts || value > kMostCounts)
            *why = "line " + std::to_string(line_no) + ": \"" + std::string(line) + "\" is not a count";
        else if (out->size() == kMostSamples)
            *why = "more than " + std::to_string(kMostSamples) + " samples";
        else
            out->push_back(static_cast<int>(value));
        return why->empty();
    });
    if (why->empty() && out->empty()) *why = "no samples";
    return why->empty();
}

// "MS:BITS[,MS:BITS...]" with the times ascending (0 to 3600000 ms) and the bits 0 to 15.
bool parse_switch_script(const std::string &text, std::vector<std::pair<int, int>> *out) {
    std::vector<std::pair<int, int>> script;
    for (size_t pos = 0; pos <= text.size();) {
        size_t comma = text.find(',', pos);
        if (comma == std::string::npos) comma = text.size();
        const std::string entry = text.substr(pos, comma - pos);
        const size_t colon = entry.find(':');
        long ms = -1, bits = -1;
        if (colon == std::string::npos || !parse_whole(std::string_view(entry).substr(0, colon), &ms) ||
            !parse_whole(std::string_view(entry).substr(colon + 1), &bits) || ms < 0 || ms > 3600000 || bits < 0 ||
            bits > 15 || (!script.empty() && ms < script.back().first))
            return false;
        script.emplace_back(static_cast<int>(ms), static_cast<int>(bits));
        pos = comma + 1;
    }
    *out = std::move(script);
    return !out->empty();
}

void read_jig(ScenarioReader &r, WorldConfig *c) {
    r.check_keys("jig", {"cable1", "cable2", "power", "adc_busy_us", "adc_stuck", "switches", "start_switch", "seed",
                         "switch_script", "switch_trigger_sw"});
    if (const ScenarioEntry *e = r.scenario().find("jig", "switch_script"); e && !parse_switch_script(e->value, &c->switch_script))
        r.problems().at(*e, "\"" + e->value + "\" is not MS:BITS[,MS:BITS...] with ascending times up to 3600000 and bits 0 to 15; no script");
    r.read_int("jig", "switch_trigger_sw", -1, 511, &c->switch_trigger_sw);
    r.read_flag("jig", "cable1", &c->cable1);
    r.read_flag("jig", "cable2", &c->cable2);
    r.read_flag("jig", "power", &c->power);
    r.read_int("jig", "adc_busy_us", 0, 10000000, &c->adc_busy_us);
    r.read_flag("jig", "adc_stuck", &c->adc_stuck);
    r.read_int("jig", "switches", 0, 15, &c->switches);
    r.read_flag("jig", "start_switch", &c->start_switch);
    r.read_int("jig", "seed", 0, INT_MAX, &c->seed);
}

void read_channel_evr(ScenarioReader &r, const std::string &section, ChannelConfig *ch) {
    const ScenarioEntry *e = r.scenario().find(section, "evr");
    if (!e) return;
    const size_t colon = e->value.find(':');
    long page = -1, address = -1;
    if (colon == std::string::npos || !parse_whole(std::string_view(e->value).substr(0, colon), &page) ||
        !parse_whole(std::string_view(e->value).substr(colon + 1), &address) || page < 0 || page > 255 || address < 0 ||
        address > 255) {
        r.problems().at(*e, "\"" + e->value + "\" is not PAGE:ADDR with both from 0 to 255; the default stays");
        return;
    }
    ch->has_evr = true;
    ch->evr_cell = static_cast<int>(page * 256 + address);
}

void read_channel_samples(ScenarioReader &r, const std::string &section, const std::string &scenario_path, ChannelConfig *ch) {
    const ScenarioEntry *e = r.scenario().find(section, "samples");
    if (!e) return;
    const std::string path = path_beside(scenario_path, e->value);
    std::string text, why;
    std::vector<int> samples;
    if (!read_small_file(path, kDataFileBytes, &text, &why) || !read_samples(text, &samples, &why)) {
        r.problems().at(*e, "samples file " + path + ": " + why + "; the default stays");
        return;
    }
    ch->samples = std::move(samples);
}

constexpr int kWaveSegments = 8;
constexpr int kMostWaveSamples = 1000000;

// "START,END,LEVEL[,AMPLITUDE[,PERIOD[,PHASE]]]" within a wave of `length` samples.
bool parse_segment(const std::string &text, int length, WaveSegment *out, std::string *why) {
    std::vector<std::string> fields;
    for (size_t pos = 0;;) {
        const size_t comma = text.find(',', pos);
        std::string field = text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        const size_t first = field.find_first_not_of(" \t"), last = field.find_last_not_of(" \t");
        fields.push_back(first == std::string::npos ? std::string() : field.substr(first, last - first + 1));
        if (comma == std::string::npos) break;
        pos = comma + 1;
    }
    if (fields.size() < 3 || fields.size() > 6) {
        *why = "is not START,END,LEVEL[,AMPLITUDE[,PERIOD[,PHASE]]]";
        return false;
    }
    long start = 0, end = 0;
    if (!parse_whole(fields[0], &start) || !parse_whole(fields[1], &end) || start < 0 || end <= start || end > length) {
        *why = "needs 0 <= START < END <= wave_length (" + std::to_string(length) + ")";
        return false;
    }
    double values[4] = {0, 0, 4, 0};  // level, amplitude, period, phase
    for (size_t i = 2; i < fields.size(); ++i) {
        char *stop = nullptr;
        const double v = std::strtod(fields[i].c_str(), &stop);
        if (fields[i].empty() || *stop != '\0' || !std::isfinite(v) || std::fabs(v) > kMostCounts) {
            *why = "field " + std::to_string(i + 1) + " \"" + fields[i] + "\" is not a number from -1000000 to 1000000";
            return false;
        }
        values[i - 2] = v;
    }
    if (!(values[2] > 0)) {
        *why = "PERIOD must be above 0";
        return false;
    }
    *out = WaveSegment{static_cast<int>(start), static_cast<int>(end), values[0], values[1], values[2], values[3]};
    return true;
}

// wave_length, wave_level and seg1..seg8: a waveform made of level and sine segments.
void read_channel_wave(ScenarioReader &r, const std::string &section, ChannelConfig *ch) {
    int length = 0;
    double base = 0;
    const bool has_length = r.read_int(section, "wave_length", 1, kMostWaveSamples, &length);
    r.read_real(section, "wave_level", &base);
    std::vector<WaveSegment> segments;
    for (int k = 1; k <= kWaveSegments; ++k) {
        const ScenarioEntry *e = r.scenario().find(section, "seg" + std::to_string(k));
        if (!e) continue;
        std::string why;
        WaveSegment segment;
        if (!has_length) why = "needs wave_length";
        else if (parse_segment(e->value, length, &segment, &why)) segments.push_back(segment);
        if (!why.empty()) r.problems().at(*e, "\"" + e->value + "\" " + why + "; the segment is left out");
    }
    if (has_length) ch->wave = generate_wave(length, base, segments);
}

void read_channel(ScenarioReader &r, int n, const std::string &scenario_path, ChannelConfig *ch) {
    const std::string s = "adc." + std::to_string(n);
    r.check_keys(s, {"counts", "counts_r0", "counts_r1", "counts_r2", "counts_r3", "counts_r4", "counts_r5", "counts_r6",
                     "evr", "per_step", "gate_sw", "needs_power", "noise", "samples", "wave_length", "wave_level",
                     "seg1", "seg2", "seg3", "seg4", "seg5", "seg6", "seg7", "seg8"});
    r.read_int(s, "counts", -kMostCounts, kMostCounts, &ch->counts);
    for (int range = 0; range < kAdcRanges; ++range) {
        int counts = 0;
        if (r.read_int(s, "counts_r" + std::to_string(range), -kMostCounts, kMostCounts, &counts))
            ch->range_counts[static_cast<size_t>(range)] = counts;
    }
    read_channel_evr(r, s, ch);
    r.read_real(s, "per_step", &ch->per_step);
    r.read_int(s, "gate_sw", -1, 511, &ch->gate_sw);
    r.read_flag(s, "needs_power", &ch->needs_power);
    r.read_int(s, "noise", 0, kAdcMax, &ch->noise);
    read_channel_samples(r, s, scenario_path, ch);
    read_channel_wave(r, s, ch);
}

void read_evr(ScenarioReader &r, WorldConfig *c) {
    r.check_keys("evr", {"rom", "ram_from_rom"});
    r.read_flag("evr", "ram_from_rom", &c->ram_from_rom);
    const ScenarioEntry *e = r.scenario().find("evr", "rom");
    if (!e) return;
    const std::string path = path_beside(c->scenario_path, e->value);
    std::string text, why;
    std::vector<uint16_t> cells(kEvrCells, 0);
    if (!read_small_file(path, kDataFileBytes, &text, &why) || !read_page_dump(text, &cells, &why)) {
        r.problems().at(*e, "EVR file " + path + ": " + why + "; the EEPROM stays empty");
        return;
    }
    c->eeprom = std::move(cells);
}

void read_ports(ScenarioReader &r, WorldConfig *c) {
    r.check_keys("ports", {kGroupNames[0], kGroupNames[1], kGroupNames[2], kGroupNames[3]});
    for (int g = 0; g < kGroups; ++g) {
        const ScenarioEntry *e = r.scenario().find("ports", kGroupNames[static_cast<size_t>(g)]);
        if (!e) continue;
        PortGroupSetting &group = c->ports[static_cast<size_t>(g)];
        if (!parse_port_setting(e->value, &group.address)) {
            r.problems().at(*e, "\"" + e->value + "\" is not four hexadecimal addresses \"%X,%X,%X,%X\"; the default stays");
            continue;
        }
        group.from_scenario = true;
    }
}

// A group is wired when its control address is set and its four addresses name ports A, B, C and
// the control register of one chip (slot = bits 4-7, chip = bit 0, port = bits 1-2; bit 3 is not
// decoded) that no earlier group took.
void wire_group(WorldConfig *c, int g, Problems &problems) {
    const PortGroupSetting &group = c->ports[static_cast<size_t>(g)];
    if (group.address[3] == 0) return;
    const int slot = group.address[0] >> 4, chip = group.address[0] & 1;
    std::string why;
    for (int i = 0; i < 4 && why.empty(); ++i) {
        const int a = group.address[static_cast<size_t>(i)];
        if (a > 0xFF || (a >> 4) != slot || (a & 1) != chip || ((a >> 1) & 3) != i)
            why = "the addresses do not name ports A, B, C and the control register of one board chip";
    }
    for (int other = 0; other < g && why.empty(); ++other)
        if (c->slot[static_cast<size_t>(other)] == slot && c->chip[static_cast<size_t>(other)] == chip)
            why = std::string("the chip is already wired as ") + kGroupNames[static_cast<size_t>(other)];
    if (why.empty()) {
        c->slot[static_cast<size_t>(g)] = slot;
        c->chip[static_cast<size_t>(g)] = chip;
        return;
    }
    const ScenarioEntry *e = c->document.find("ports", kGroupNames[static_cast<size_t>(g)]);
    const std::string what = why + "; the jig is not wired to them";
    if (e) problems.at(*e, what);
    else problems.in_file(std::string(kGroupNames[static_cast<size_t>(g)]) + ": " + what);
}

// Sections that name no channel 0-7 are reported; other unknown sections belong to other devices.
void check_channel_sections(ScenarioReader &r) {
    for (const std::string &section : r.scenario().sections()) {
        if (section.size() < 4 || !same_name(section.substr(0, 4), "adc.")) continue;
        long n = -1;
        if (!parse_whole(std::string_view(section).substr(4), &n) || n < 0 || n >= kAdcChannels || section.size() != 5) {
            const auto entries = r.scenario().entries(section);
            if (!entries.empty()) r.problems().at(*entries.front(), "no A/D channel \"" + section.substr(4) + "\" (0-7); section ignored");
            else r.problems().in_file("[" + section + "]: no such A/D channel (0-7); section ignored");
        }
    }
}

}  // namespace

std::array<PortGroupSetting, kGroups> WorldConfig::default_ports() {
    std::array<PortGroupSetting, kGroups> p{};
    p[kSys0].address = {0x10, 0x12, 0x14, 0x16};
    p[kSys1].address = {0x11, 0x13, 0x15, 0x17};
    p[kExt0].address = {0x20, 0x22, 0x24, 0x26};
    p[kExt1].address = {0x21, 0x23, 0x25, 0x27};
    return p;
}

std::string port_setting_text(const PortGroupSetting &group) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%X,%X,%X,%X", group.address[0], group.address[1], group.address[2], group.address[3]);
    return buf;
}

bool parse_port_setting(const std::string &text, std::array<int, 4> *out) {
    std::array<int, 4> values{};
    size_t pos = 0;
    for (size_t i = 0; i < 4; ++i) {
        const size_t comma = text.find(',', pos);
        if ((comma == std::string::npos) != (i == 3)) return false;
        std::string field = text.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        const size_t first = field.find_first_not_of(" \t"), last = field.find_last_not_of(" \t");
        if (first == std::string::npos) return false;
        field = field.substr(first, last - first + 1);
        long value = 0;
        if (field.size() > 4 || field.front() == '-' || field.front() == '+' || !parse_whole("0x" + field, &value)) return false;
        values[i] = static_cast<int>(value);
        pos = comma + 1;
    }
    *out = values;
    return true;
}

namespace {

void read_scenario(const std::string &path, WorldConfig *config, Problems &problems) {
    std::string text, why;
    if (!read_small_file(path, kScenarioBytes, &text, &why)) {
        problems.in_file(why + "; every default stays");
        return;
    }
    config->document.parse(text);
    for (int line : config->document.repeated_sections())
        problems.in_file("line " + std::to_string(line) + ": a section repeated; its keys are ignored");
    ScenarioReader r(config->document, problems);
    read_jig(r, config);
    check_channel_sections(r);
    for (int n = 0; n < kAdcChannels; ++n) read_channel(r, n, path, &config->channels[static_cast<size_t>(n)]);
    r.check_keys("ext_adc", {"sel0", "sel1", "busy_us", "stuck"});
    r.read_int("ext_adc", "sel0", -kMostCounts, kMostCounts, &config->ext_counts[0]);
    r.read_int("ext_adc", "sel1", -kMostCounts, kMostCounts, &config->ext_counts[1]);
    r.read_int("ext_adc", "busy_us", 0, 10000000, &config->ext_busy_us);
    r.read_flag("ext_adc", "stuck", &config->ext_stuck);
    read_evr(r, config);
    r.check_keys("report", {"state", "trace"});
    if (r.read_text("report", "state", &config->state_file)) config->state_file = path_beside(path, config->state_file);
    if (r.read_text("report", "trace", &config->trace_file)) config->trace_file = path_beside(path, config->trace_file);
    read_ports(r, config);
}

}  // namespace

int load_world_config(const std::string &path, WorldConfig *config, std::vector<std::string> *messages) {
    *config = WorldConfig{};
    config->scenario_path = path;
    Problems problems(path);
    if (!path.empty()) read_scenario(path, config, problems);
    for (int g = 0; g < kGroups; ++g) wire_group(config, g, problems);
    if (messages) *messages = problems.messages();
    return problems.count();
}

}  // namespace jigsim
