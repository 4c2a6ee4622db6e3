#include "runtime/evr/evr_adjust.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "model/frontend.h"
#include "platform/files.h"
#include "resources/error_codes.h"
#include "resources/messages.h"
#include "runtime/jig/jig_ports.h"
#include "runtime/jig/jig_trace.h"
#include "runtime/run_context.h"
#include "values/registers.h"

namespace ksw {
namespace {

constexpr uint32_t kPageSettleMs = 50;   // after a page change, before the next write
constexpr size_t kLongestTableLine = 99;
constexpr int kStatusPane = 4;           // the status bar's operation pane

std::string text_of(const char *format, int a, int b, int c, int d, int e) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, format, a, b, c, d, e);
    return buffer;
}

// A table field: "h" and hexadecimal digits, or a decimal number. False when it is neither.
bool table_number(const std::string &field, double *value) {
    if (field.empty()) return false;
    char *end = nullptr;
    if (field[0] == 'h' || field[0] == 'H') {
        if (field.size() == 1) return false;
        *value = static_cast<double>(std::strtol(field.c_str() + 1, &end, 16));
    } else {
        *value = std::strtod(field.c_str(), &end);
    }
    return end && *end == '\0' && std::isfinite(*value);
}

std::vector<std::string> table_fields(const std::string &line) {
    std::vector<std::string> fields;
    std::string field;
    bool in_field = false;
    for (const char c : line) {
        if (c == ',' || c == ' ' || c == '\t') {
            if (in_field || c == ',') fields.push_back(field);
            field.clear();
            in_field = false;
        } else {
            field += c;
            in_field = true;
        }
    }
    if (in_field) fields.push_back(field);
    return fields;
}

bool pause(RunContext &context) { return context.gate.sleep(kPageSettleMs); }

}  // namespace

// ---- Adjusting tables --------------------------------------------------------------------------

std::string adjust_table_path(const std::string &prefix, int step) {
    char name[16];
    std::snprintf(name, sizeof name, "%04d.txt", step);
    return prefix + name;
}

bool read_adjust_table(const std::string &path, std::vector<AdjustTableLine> *lines, bool *bad_field) {
    *bad_field = false;
    lines->clear();
    std::string text;
    if (!platform::read_file(path, &text, nullptr, nullptr, size_t{1} << 20)) return false;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > kLongestTableLine) line.resize(kLongestTableLine);
        const std::vector<std::string> fields = table_fields(line);
        if (fields.empty()) continue;
        AdjustTableLine entry;
        entry.text = line;
        double threshold = 0, value = 0, count = 0;
        const bool first = lines->empty();
        if ((!first && !table_number(fields[0], &threshold)) || fields.size() < 2 || !table_number(fields[1], &value)) {
            *bad_field = true;
            return false;
        }
        if (fields.size() > 2 && table_number(fields[2], &count)) entry.count = static_cast<int32_t>(count);
        entry.threshold = threshold;
        entry.value = static_cast<int32_t>(value);
        lines->push_back(entry);
    }
    return !lines->empty();
}

size_t adjust_table_pick(const std::vector<AdjustTableLine> &lines, double measured) {
    size_t pick = 0;
    for (size_t i = 1; i < lines.size(); ++i)
        if (lines[i].threshold <= measured) pick = i;
    return pick;
}

int learn_adjust_table(const std::string &path, size_t index, int32_t final_value) {
    std::vector<AdjustTableLine> lines;
    bool bad = false;
    if (!read_adjust_table(path, &lines, &bad) || index >= lines.size()) return -1;
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i != index) {
            out += lines[i].text + "\r\n";
            continue;
        }
        const AdjustTableLine &line = lines[i];
        const int32_t learnt = line.value < 0 ? final_value : (line.value + final_value) / 2;
        char buffer[128];
        if (i == 0) {  // the first line's threshold stands for minus infinity and keeps its text
            const std::string first = table_fields(line.text)[0];
            std::snprintf(buffer, sizeof buffer, "%s,h%x,%d\r\n", first.c_str(), static_cast<unsigned>(learnt), line.count + 1);
        } else {
            std::snprintf(buffer, sizeof buffer, "%f,h%x,%d\r\n", line.threshold, static_cast<unsigned>(learnt), line.count + 1);
        }
        out += buffer;
    }
    return platform::write_file_atomic(path, out) ? 0 : -1;
}

// ---- The search ----------------------------------------------------------------------------------

int32_t move_within_limits(int32_t current, int32_t step, int32_t lower, int32_t upper, int32_t range) {
    if (lower <= upper) return std::clamp(current + step, lower, upper);
    const int32_t from = current <= upper ? current + range : current;
    return std::clamp(from + step, lower, upper + range) % range;
}

bool next_search_step(int selector, bool below, bool first_ng, int32_t *step) {
    int32_t &s = *step;
    if (selector == 1) {
        if (below) {
            if (s == -1) s = 1;
            else if (s < 0) s = s / -2;
        } else {
            if (s == 1) s = -1;
            else if (s > 1) s = first_ng ? -s : s / -2;
        }
        return true;
    }
    if (selector == 2) {
        if (below) {
            if (s > 0) s = first_ng ? -s : s / -2;
            if (s == 0) s = -1;
        } else {
            if (s == -1) s = 1;
            else if (s < -1) s = s / -2;
        }
        return true;
    }
    return false;
}

// ---- The adjuster ----------------------------------------------------------------------------------

bool EvrAdjuster::auto_adjusts(RunContext &context, int step, const EvrAdjustRecord &record) const {
    const StepRecord *compiled = context.program ? context.program->step(step) : nullptr;
    return compiled && compiled->mode == kModeAutoAdjustItem && record.address >= 0 && context.adjust_mode != 2;
}

// The start value: the record's when it fits the value, else the cell's image value (read from
// ROM while the cell is unset), with the high byte taken the same way.
int EvrAdjuster::start_value(const EvrAdjustRecord &record, int32_t *value) {
    const bool pair = record.high_address >= 0;
    const int32_t largest = pair ? 0xFFFF : layer_.mask();
    if (record.start >= 0 && record.start <= largest) {
        *value = record.start;
        return kOk;
    }
    std::lock_guard<std::recursive_mutex> hold(layer_.lock);
    const int page = record.page >= 0 ? record.page : evr_command_page(layer_);
    const auto cell_value = [&](int address, int32_t *out) {
        const int cell = page * 256 + address;
        uint16_t v = layer_.image->values[static_cast<size_t>(cell)];
        if (layer_.image->states[static_cast<size_t>(cell)] == kEvrUnset) {
            if (const int rc = evr_read(layer_, cell, true, &v); rc != kOk) return rc;
        }
        *out = v;
        return static_cast<int>(kOk);
    };
    int32_t low = 0, high = 0;
    if (const int rc = cell_value(record.address, &low); rc != kOk) return rc;
    if (pair) {
        if (const int rc = cell_value(record.high_address, &high); rc != kOk) return rc;
        low = (low & 0xFF) | ((high & 0xFF) << 8);
    }
    *value = low;
    return kOk;
}

// Writes an adjusted value: the record's page first (then a pause), the value (or its two bytes),
// and the second EVR on its own page.
int EvrAdjuster::write_value(RunContext &context, const EvrAdjustRecord &record, int32_t value) {
    if (record.page != -1) {
        if (const int rc = evr_set_page(layer_, record.page, true); rc != kOk) return rc;
        if (!pause(context)) return kErrBreakedByUser;
    }
    const auto write = [&](int address, int32_t v) {
        return evr_write(layer_, evr_command_cell(layer_, address), static_cast<uint32_t>(v), false);
    };
    if (record.high_address < 0) {
        if (const int rc = write(record.address, value); rc != kOk) return rc;
    } else {
        if (const int rc = write(record.address, value & 0xFF); rc != kOk) return rc;
        if (const int rc = write(record.high_address, value / 256); rc != kOk) return rc;
    }
    if (record.second_address < 0) return kOk;
    const int home = evr_command_page(layer_);
    const bool other_page = record.second_page >= 0 && record.second_page != home;
    if (other_page) {
        if (const int rc = evr_set_page(layer_, record.second_page, true); rc != kOk) return rc;
        if (!pause(context)) return kErrBreakedByUser;
    }
    if (const int rc = write(record.second_address, record.second_value); rc != kOk) return rc;
    if (other_page) {
        if (const int rc = evr_set_page(layer_, home, true); rc != kOk) return rc;
        if (!pause(context)) return kErrBreakedByUser;
    }
    return kOk;
}

void EvrAdjuster::trace(RunContext &context, const AdjustPass &pass, const EvrAdjustRecord &record, int32_t value,
                        const char *how) {
    if (!context.jig || !context.jig->trace) return;
    const int page = record.page >= 0 ? record.page : evr_command_page(layer_);
    char line[192];
    std::snprintf(line, sizeof line, "evr adjust STEP%d %02X:%02X reading %.9g in [%.9g, %.9g] wrote 0x%04X (%s)", pass.step, page,
                  record.address, pass.average, pass.lower, pass.upper, static_cast<unsigned>(value), how);
    context.jig->trace->write(line);
}

int EvrAdjuster::begin(RunContext &context, int step, int result_register) {
    StepRunState *state = context.state(step);
    if (!state) return kErrMissingFirst;
    const EvrAdjustRecord record = state->adjustment.evr;
    Work work;
    work.active = auto_adjusts(context, step, record);
    work.range = (record.high_address >= 0 || layer_.width.load() == 16) ? 65536 : 256;
    work.step = record.step;
    if (work.active) {
        if (const int rc = start_value(record, &work.value); rc != kOk) return rc;
        work.value = move_within_limits(work.value, 0, record.lower, record.upper, work.range);
        const int page = record.page >= 0 ? record.page : evr_command_page(layer_);
        if (context.frontend) {
            context.frontend->set_status_text(
                kStatusPane, record.high_address >= 0
                                 ? text_of("P=%1X AD=%02X%02X (%04X-%04X)", page, record.high_address, record.address,
                                           record.lower, record.upper)
                                 : text_of("P=%1X AD=%02X (%02X - %02X)", page, record.address, record.lower, record.upper, 0));
        }
        if (const int rc = write_value(context, record, work.value); rc != kOk) return rc;
        state->measure.evr_index = page * 256 + record.address;
        state->measure.single_reading = true;
        if (Registers *registers = run_registers(context))
            (*registers->ad)[static_cast<size_t>(result_register)] = static_cast<uint16_t>(work.value);
    }
    std::lock_guard<std::mutex> hold(work_lock_);
    work_[step] = work;
    return kOk;
}

std::optional<int32_t> EvrAdjuster::predict(RunContext &context, const AdjustPass &pass, const EvrAdjustRecord &record,
                                            int selector, Work &work) {
    if (record.sensitivity > 0) {
        double quotient = (pass.nominal - pass.average) / record.sensitivity;
        if (selector != 1) quotient = -quotient;
        return std::max<int32_t>(0, static_cast<int32_t>(work.value + std::trunc(quotient)));
    }
    if (layer_.adjust_file.empty()) return std::nullopt;
    const std::string path = adjust_table_path(layer_.adjust_file, pass.step);
    std::vector<AdjustTableLine> lines;
    bool bad = false;
    if (!read_adjust_table(path, &lines, &bad)) {
        if (bad && context.frontend)
            context.frontend->send(question_message(std::string(message_text(kErrWrongStyle)), "EVRTable", Buttons::Ok,
                                                    BoxIcon::Exclamation));
        return std::nullopt;
    }
    work.table_line = adjust_table_pick(lines, pass.average);
    work.from_table = true;
    return lines[work.table_line].value;
}

int EvrAdjuster::ng_pass(RunContext &context, const AdjustPass &pass, AdjustOutcome *outcome) {
    *outcome = AdjustOutcome::kMeasureAgain;
    StepRunState *state = context.state(pass.step);
    Registers *registers = run_registers(context);
    if (!state || !registers) return kErrMissingFirst;
    const EvrAdjustRecord record = state->adjustment.evr;
    const int selector = state->adjustment.direction;
    Work work;
    {
        std::lock_guard<std::mutex> hold(work_lock_);
        work = work_[pass.step];
    }
    uint16_t &working = (*registers->ad)[static_cast<size_t>(pass.result_register)];
    if (!work.active) work.value = working;  // outside auto adjustment the register holds the value
    const std::optional<int32_t> prediction = pass.first_ng ? predict(context, pass, record, selector, work) : std::nullopt;
    int rc = kOk;
    if (!work.active || selector < 1) {
        if (prediction) working = static_cast<uint16_t>(*prediction);
    } else if (layer_.auto_adjust.load()) {
        if (prediction) {
            work.value = *prediction & (work.range - 1);
            rc = write_value(context, record, work.value);
            trace(context, pass, record, work.value, work.from_table ? "table" : "sensitivity");
        } else if (!next_search_step(selector, pass.average < pass.lower, pass.first_ng, &work.step)) {
            rc = kErrInvalidMode;
        } else {
            const int32_t next = move_within_limits(work.value, work.step, record.lower, record.upper, work.range);
            if (next == work.value) {
                *outcome = pass.average >= pass.lower ? AdjustOutcome::kLimitHigh : AdjustOutcome::kLimitLow;
                trace(context, pass, record, work.value, "at limit");
            } else {
                work.value = next;
                rc = write_value(context, record, work.value);
                trace(context, pass, record, work.value, "search");
            }
        }
        working = static_cast<uint16_t>(work.value);
        state->measure.single_reading = true;
    }
    std::lock_guard<std::mutex> hold(work_lock_);
    work_[pass.step] = work;
    return rc;
}

void EvrAdjuster::end(RunContext &, int step, bool ok, bool at_limit) {
    Work work;
    {
        std::lock_guard<std::mutex> hold(work_lock_);
        const auto found = work_.find(step);
        if (found == work_.end()) return;
        work = found->second;
        work_.erase(found);
    }
    if (work.active && work.from_table && (ok || at_limit))
        learn_adjust_table(adjust_table_path(layer_.adjust_file, step), work.table_line, work.value);
}

std::string EvrAdjuster::value_prefix(int step) {
    std::lock_guard<std::mutex> hold(work_lock_);
    const auto found = work_.find(step);
    if (found == work_.end() || !found->second.active) return {};
    const Work &work = found->second;
    return text_of(work.range > 256 ? "(%04X)" : "%02X:", work.value, 0, 0, 0, 0);
}

int EvrAdjuster::read_word(RunContext &, int source, int address, int page, uint32_t *value) {
    if (layer_.type.load() == kEvrTypeNone) return kErrNotSupportedComType;
    if (address < 0 || address > 255 || page > 255) return kErrOutOfRange;
    const int cell = page < 0 ? evr_command_cell(layer_, address) : page * 256 + address;
    uint16_t read = 0;
    const int rc = evr_read(layer_, cell, source == 0, &read);
    *value = read;
    return rc;
}

}  // namespace ksw
