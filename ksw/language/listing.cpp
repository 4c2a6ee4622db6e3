#include "language/listing.h"

#include <cstdio>

#include "model/command_row.h"

namespace ksw {
namespace {

std::string real_text(double value) {
    if (value == DBL_MAX) return "max";
    if (value == -DBL_MAX) return "-max";
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", value);
    return buf;
}

template <typename T, size_t N, typename F>
void append_slots(std::string &out, const char *name, const std::array<T, N> &slots, F text) {
    size_t used = N;
    while (used > 0 && slots[used - 1] == T{}) --used;
    if (used == 0) return;
    out += ' ';
    out += name;
    out += '=';
    for (size_t i = 0; i < used; ++i) {
        if (i) out += ',';
        out += text(slots[i]);
    }
}

template <typename T>
void field(std::string &out, const char *name, T value, T initial, std::string (*text)(T)) {
    if (value == initial) return;
    out += ' ';
    out += name;
    out += '=';
    out += text(value);
}

std::string int_text(int32_t v) { return std::to_string(v); }
std::string u16_text(uint16_t v) { return std::to_string(v); }

std::string step_listing(int n, const StepRecord &s) {
    const StepRecord fresh;
    std::string out = "step " + std::to_string(n);
    field(out, "mode", s.mode, fresh.mode, int_text);
    field(out, "link", s.link_count, fresh.link_count, int_text);
    field(out, "flags", s.flags, fresh.flags, int_text);
    field(out, "target", s.item_target, fresh.item_target, real_text);
    field(out, "upper", s.upper_bound, fresh.upper_bound, real_text);
    field(out, "lower", s.lower_bound, fresh.lower_bound, real_text);
    field(out, "ok_threshold", s.ok_threshold, fresh.ok_threshold, int_text);
    field(out, "ng_threshold", s.ng_threshold, fresh.ng_threshold, int_text);
    field(out, "repeat", s.repetition_count, fresh.repetition_count, int_text);
    field(out, "time_limit", s.time_limit, fresh.time_limit, int_text);
    field(out, "link_wait", s.link_wait, fresh.link_wait, int_text);
    field(out, "upper_limit", s.upper_limit, fresh.upper_limit, u16_text);
    field(out, "lower_limit", s.lower_limit, fresh.lower_limit, u16_text);
    field(out, "calc_a", s.calc_register_a, fresh.calc_register_a, int_text);
    field(out, "calc_b", s.calc_register_b, fresh.calc_register_b, int_text);
    field(out, "calc_step", s.calc_step_source, fresh.calc_step_source, int_text);
    field(out, "calc_op", s.calc_step_operator, fresh.calc_step_operator, int_text);
    field(out, "setup", s.setup_time, fresh.setup_time, int_text);
    field(out, "tact", s.sample_tact, fresh.sample_tact, int_text);
    field(out, "video", s.video_standard, fresh.video_standard, int_text);
    field(out, "channel", s.channel_spec, fresh.channel_spec, int_text);
    field(out, "focus", s.focus, fresh.focus, int_text);
    if (s.measure) {
        const MeasureBlock &m = *s.measure;
        const MeasureBlock initial;
        out += " measure";
        field(out, "flags", m.item_flags, initial.item_flags, int_text);
        field(out, "evr", m.adjust_direction, initial.adjust_direction, int_text);
        field(out, "ok_jmp", m.ok_jump, initial.ok_jump, int_text);
        field(out, "ng_jmp", m.ng_jump, initial.ng_jump, int_text);
        field(out, "min", m.lower_limit, initial.lower_limit, real_text);
        field(out, "max", m.upper_limit, initial.upper_limit, real_text);
        field(out, "wform", m.waveform, initial.waveform, int_text);
        field(out, "level", m.waveform_level, initial.waveform_level, real_text);
        field(out, "call", m.call_target, initial.call_target, int_text);
        field(out, "variant", m.item_variant, initial.item_variant, int_text);
        if (m.window_start != initial.window_start || m.window_length != initial.window_length ||
            m.window_kind != initial.window_kind) {
            out += " windows=";
            for (int w = 0; w < 4; ++w) {
                if (w) out += ';';
                out += std::to_string(m.window_start[w]) + ":" + std::to_string(m.window_length[w]) + ":" +
                       std::to_string(m.window_kind[w]);
            }
        }
        if (!m.comment.empty()) out += " comment=\"" + m.comment + "\"";
        if (!m.gpib_text.empty()) out += " gpib=\"" + m.gpib_text + "\"";
        if (m.link) {
            const LinkRecord &l = *m.link;
            out += " chain=" + std::to_string(l.position) + ":" + std::to_string(l.prev_step) + ">" +
                   std::to_string(l.next_step);
        }
    }
    return out;
}

}  // namespace

std::string command_listing(const CommandRecord &c, CommandTable table) {
    const char *keyword = (c.row >= 0 && static_cast<size_t>(c.row) < table.size()) ? table[static_cast<size_t>(c.row)].keyword : "?";
    std::string out = std::to_string(c.index) + " " + keyword + " sub=" + std::to_string(c.sub_mode);
    append_slots(out, "ints", c.ints, int_text);
    append_slots(out, "reals", c.reals, real_text);
    if (c.mask) {
        char buf[16];
        std::snprintf(buf, sizeof buf, " mask=%x", c.mask);
        out += buf;
    }
    if (c.has_text) {
        out += " text=\"";
        for (const char ch : c.text) {
            if (static_cast<unsigned char>(ch) < 0x20 || ch == '"' || ch == '\\' || static_cast<unsigned char>(ch) >= 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned char>(ch));
                out += buf;
            } else {
                out += ch;
            }
        }
        out += '"';
    }
    if (c.measure) out += " measure";
    return out;
}

std::string compile_listing(const ProgramModel &model, CommandTable table) {
    std::string out;
    for (int n = 0; n < kStepCount; ++n) {
        const StepRecord *s = model.step(n);
        if (!s) continue;
        out += step_listing(n, *s) + "\n";
        for (const CommandRecord *c = s->first_command(); c; c = c->next) out += "  " + command_listing(*c, table) + "\n";
    }
    return out;
}

}  // namespace ksw
