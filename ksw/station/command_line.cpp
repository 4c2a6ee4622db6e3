// Command-line switches: one row per switch letter, in alphabetical order.
#include "station/command_line.h"
#include "platform/ascii.h"

#include <algorithm>

#include "platform/ini.h"
#include "resources/messages.h"

namespace ksw {
namespace {

// An "on" switch is turned off by a tail that begins with "-" (or "/").
bool tail_turns_off(std::string_view tail) { return !tail.empty() && (tail.front() == '-' || tail.front() == '/'); }

// The tail read as a decimal number (blanks, a sign, digits up to the first non-digit; 0 if none).
int tail_number(std::string_view tail) { return platform::profile_int_from_text(tail); }

// `text` without one leading and one trailing double quote.
std::string_view unquote(std::string_view text) {
    if (!text.empty() && text.front() == '"') text.remove_prefix(1);
    if (!text.empty() && text.back() == '"') text.remove_suffix(1);
    return text;
}

// Turns one RecFlags bit on.
void set_rec_flag(Settings &s, uint32_t bit) { s.rec_flags |= bit; }

// Each handler applies one switch; false means "not a valid switch": open the help.
// -7 / -7-: seven-segment display on / off.
bool switch_7(Settings &s, std::string_view tail) {
    s.seven_segment = !tail_turns_off(tail);
    return true;
}
// -C: save compile data.
bool switch_c(Settings &s, std::string_view) {
    set_rec_flag(s, kRecSaveCompile);
    return true;
}
// -D / -D-: DebugMode and the effective port-access mode 1 / 0.
bool switch_d(Settings &s, std::string_view tail) {
    s.debug_mode = tail_turns_off(tail) ? 0 : 1;
    s.port_access_mode = s.debug_mode;
    return true;
}
// -Fname: a preprocessor definition for every load.
bool switch_f(Settings &s, std::string_view tail) {
    if (!tail.empty()) s.command_line_defines.emplace_back(tail);
    return true;
}
// -Gn: graphics level; outside 0-2 gives 1.
bool switch_g(Settings &s, std::string_view tail) {
    const int n = tail_number(tail);
    s.graph_mode = (n >= 0 && n <= 2) ? n : 1;
    return true;
}
// -H / -H-: LANC page check off / on.
bool switch_h(Settings &s, std::string_view tail) {
    s.page_check = tail_turns_off(tail);
    return true;
}
// -In: automatic repetitions of this start.
bool switch_i(Settings &s, std::string_view tail) {
    s.auto_repeats_left = std::max(0, tail_number(tail));
    return true;
}
// -Jd: SwCheck = bit 0 of d, FswCheck = bit 1 of d.
bool switch_j(Settings &s, std::string_view tail) {
    const int d = tail_number(tail);
    s.sw_check = (d & 1) != 0;
    s.fsw_check = (d & 2) != 0;
    return true;
}
// -K: record base-step data.
bool switch_k(Settings &s, std::string_view) {
    set_rec_flag(s, kRecBaseStep);
    return true;
}
// -M: save macro data.
bool switch_m(Settings &s, std::string_view) {
    set_rec_flag(s, kRecSaveMacro);
    return true;
}
// -O1 / -O2 / -O<other>: record OK runs only / NG runs only / both.
bool switch_o(Settings &s, std::string_view tail) {
    const char which = tail.empty() ? '\0' : tail.front();
    const uint32_t bits = which == '1' ? kRecWhenOk : which == '2' ? kRecWhenNg : (kRecWhenOk | kRecWhenNg);
    s.rec_flags = (s.rec_flags & ~uint32_t{kRecWhenOk | kRecWhenNg}) | bits;
    return true;
}
// -Ppath: folder for result files.
bool switch_p(Settings &s, std::string_view tail) {
    s.data_path = normalize_data_path(unquote(tail));
    return true;
}
// -S / -S-: line sequencer on / off; -S1 / -S1-: fixture input on / off, and the sequencer on.
bool switch_s(Settings &s, std::string_view tail) {
    if (!tail.empty() && tail.front() == '1') {
        s.fixture = !tail_turns_off(tail.substr(1));
        s.sequencer = true;
    } else {
        s.sequencer = !tail_turns_off(tail);
    }
    return true;
}
// -T / -T-: sequencer lines on the extension-0 ports on / off.
bool switch_t(Settings &s, std::string_view tail) {
    s.e0_seq_mode = !tail_turns_off(tail);
    return true;
}
// -U / -U-: the operator may change the run mode on / off.
bool switch_u(Settings &s, std::string_view tail) {
    s.mode_change = !tail_turns_off(tail);
    return true;
}
// -Vn: EVR link type -1..2.
bool switch_v(Settings &s, std::string_view tail) {
    const int n = tail_number(tail);
    if (n < -1 || n > 2) return false;
    s.evr_type = n;
    return true;
}

struct SwitchRow {
    char letter;  // upper case
    bool (*apply)(Settings &, std::string_view tail);
};

constexpr SwitchRow kSwitches[] = {
    {'7', switch_7}, {'C', switch_c}, {'D', switch_d}, {'F', switch_f}, {'G', switch_g}, {'H', switch_h},
    {'I', switch_i}, {'J', switch_j}, {'K', switch_k}, {'M', switch_m}, {'O', switch_o}, {'P', switch_p},
    {'S', switch_s}, {'T', switch_t}, {'U', switch_u}, {'V', switch_v}, {'\0', nullptr},
};

// Applies one switch token ("-" already checked); false when it opens the help.
bool apply_switch(Settings &s, std::string_view token) {
    const char letter = token.size() > 1 ? platform::ascii_upper(token[1]) : '\0';
    for (const SwitchRow *row = kSwitches; row->apply; ++row)
        if (row->letter == letter) return row->apply(s, token.substr(2));
    return false;
}

// Blanks and tabs separate the tokens.
bool is_blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> split_command_line(std::string_view command_line) {
    std::vector<std::string> tokens;
    size_t i = 0;
    while (i < command_line.size()) {
        if (is_blank(command_line[i])) {
            ++i;
            continue;
        }
        std::string token;
        bool quoted = false;
        for (; i < command_line.size() && (quoted || !is_blank(command_line[i])); ++i) {
            if (command_line[i] == '"') quoted = !quoted;
            token += command_line[i];
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

int ParseCommandLine(Settings &s, std::string_view command_line, const OpenHelpFn &open_help) {
    for (const std::string &token : split_command_line(command_line)) {
        if (token.front() == ';') return kCommandLineDone;
        if (token.front() != '-') {
            // Kept whole: a path cut at the limit could name another file. The load refuses a
            // path that is too long.
            s.user_program = std::string(unquote(token));
            continue;
        }
        if (!apply_switch(s, token)) {
            if (open_help) open_help(message_text(kStrHelpFile));
            return kCommandLineHelp;
        }
    }
    return kCommandLineDone;
}

}  // namespace ksw
