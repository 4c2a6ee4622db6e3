#include "station/result_records.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>

#include "model/program_model.h"
#include "platform/files.h"
#include "resources/error_codes.h"
#include "resources/format.h"
#include "resources/messages.h"
#include "runtime/run_context.h"
#include "zelw.h"

namespace ksw {

LocalStamp local_stamp_now() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

std::string date_digits(const LocalStamp &s) { return format_text("%04d%02d%02d", {s.year, s.month, s.day}); }

namespace {

std::string stamp_digits(const LocalStamp &s) {
    return date_digits(s) + format_text("%02d%02d%02d", {s.hour, s.minute, s.second});
}

std::string float_text(double v) {
    char buffer[11];
    return MakeFloatStringA(v, buffer);
}

// `text` cut or blank-padded to `width`, left-justified.
std::string field(std::string_view text, size_t width) {
    std::string out(text.substr(0, std::min(text.size(), width)));
    out.resize(width, ' ');
    return out;
}

// The leading digits and points of a version text ("1.02-dev" gives "1.02").
std::string version_digits(std::string_view version) {
    size_t n = 0;
    while (n < version.size() && (std::isdigit(static_cast<unsigned char>(version[n])) || version[n] == '.')) ++n;
    return std::string(version.substr(0, n));
}

// The message of a run's result as the records name it.
std::string result_message(const RunRecord &r) {
    if (r.retried_ok) return std::string(message_text(kStrRetryOk));
    return std::string(message_text(r.result));
}

}  // namespace

bool RunRecord::step_ng() const { return result == kErrStepNg || result == kErrStepIsNg; }

std::string_view RunRecord::suffix() const {
    if (ok()) return "";
    if (!step_ng()) return "S";
    if (verdict == kJudgedNgBelow) return "L";
    if (verdict == kJudgedNgAbove) return "U";
    return "";
}

RunRecord capture_run(const RunContext &context, LocalStamp start, uint32_t duration_ms) {
    RunRecord r;
    r.result = context.last_result;
    r.failing_step = r.result == 0 ? -1 : context.first_ng_step >= 0 ? context.first_ng_step : context.current_step;
    r.ng_message = context.ng_detail;
    r.duration_ms = duration_ms;
    r.start = start;
    r.end = local_stamp_now();
    r.log_text = context.log.text();
    r.data_file_name = context.data_file_name;
    if (const StepRunState *failing = context.steps.find(r.failing_step)) {
        r.verdict = failing->judgement;
        r.evr_byte = failing->measure.adjusted_value & 0xFF;
    }
    if (!context.program) return r;
    for (int n = 1; n <= kLastSequenceStep; ++n) {
        const StepRecord *step = context.program->step(n);
        if (!step || step->mode < kModeCheckItem || step->mode > kModeAutoAdjustItem) continue;
        StepResult s;
        s.step = n;
        s.mode = step->mode;
        if (const StepRunState *state = context.steps.find(n)) {
            s.lower = state->measure.lower;  // as the loop computed them (nominal, tolerance, min_max()
            s.upper = state->measure.upper;  // percentages, "step[" targets)
            s.average = state->measure.average;
            s.judgement = state->judgement;
            s.passes = state->ng_counter + state->ok_counter;
            s.elapsed_ms = state->elapsed_ms;
            s.adjusted_value = state->measure.adjusted_value;
        }
        r.steps.push_back(s);
    }
    return r;
}

bool records_run(uint32_t rec_flags, bool ok) { return (rec_flags & (ok ? kRecWhenOk : kRecWhenNg)) != 0; }

std::string format_data_line(const RunRecord &r, uint32_t flags, const LocalStamp &now) {
    std::string line;
    if (flags & kRecErrorLog) {
        if (r.ok()) {
            line += "<OK>,0,\"OK\",";
        } else {
            const std::string message = r.step_ng() && !r.ng_message.empty() ? r.ng_message : result_message(r);
            line += "<NG>,step" + std::to_string(r.failing_step) + std::string(r.suffix()) + ",\"" + message + "\",";
        }
    }
    if (flags & kRecLogHeader) {
        line += format_text("\"%04d/%02d/%02d\",\"%02d:%02d:%02d\",\"%s\",%d,%d,%.2f",
                            {now.year, now.month, now.day, now.hour, now.minute, now.second, r.ok() ? "OK" : "NG",
                             r.total_ok, r.total_ng, r.duration_ms / 1000.0});
    } else {
        line += "0";
    }
    line += r.log_text;
    for (const StepResult &s : r.steps) {
        const double seconds = s.elapsed_ms < 0 ? 0.0 : s.elapsed_ms / 1000.0;
        if (flags & kRecBaseStep) {
            line += "," + std::to_string(s.step) + "," + float_text(s.average);
            if (flags & kRecStepTime) line += format_text(",%.2f", {seconds});
            if (s.mode == kModeAutoAdjustItem) line += "," + std::to_string(s.adjusted_value);
        } else if (flags & kRecStepTime) {
            line += format_text(",%d,%.2f", {s.step, seconds});
        }
    }
    line += "\r\n";
    return line;
}

std::string data_file_path(std::string_view data_path, std::string_view name, std::string_view stamp) {
    const std::string_view file = platform::file_name_of(name);
    const size_t dot = file.rfind('.');
    const size_t cut = dot == std::string_view::npos ? name.size() : name.size() - file.size() + dot;
    return std::string(data_path) + std::string(name.substr(0, cut)) + std::string(stamp) +
           std::string(name.substr(cut));
}

ServerIdentity server_identity(const Settings &s, std::string_view file_version) {
    return {s.terminal_id, s.machine_id, s.line_no, s.process_code, s.fixture_code, s.program_ver, s.task_no,
            std::string(file_version)};
}

std::string format_server_record(const RunRecord &r, const ServerIdentity &who, const LocalStamp &now) {
    const std::string stamp = stamp_digits(now);
    const std::string message = result_message(r);
    const bool coded = message.size() >= 4 && std::isalpha(static_cast<unsigned char>(message[0])) &&
                       std::isdigit(static_cast<unsigned char>(message[1])) &&
                       std::isdigit(static_cast<unsigned char>(message[2])) &&
                       std::isdigit(static_cast<unsigned char>(message[3]));
    std::string_view rest = message;
    if (coded) {
        rest.remove_prefix(4);
        if (!rest.empty() && rest.front() == ':') rest.remove_prefix(1);
        if (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    }
    const int step = r.ok() ? 0 : std::clamp(r.failing_step, 0, 5000);
    std::string out;
    out.reserve(kServerRecordSize);
    out += "@@0250$LIN11";
    out += field(who.terminal_id, 7);
    out += stamp;
    out += field(r.product_id, 8);
    out += stamp;
    out += format_text("%06d", {step});
    out += coded ? message.substr(0, 4) : std::string("e999");
    out += r.ok() || r.suffix().empty() ? std::string(" ") : std::string(r.suffix());
    out += field(field(rest, 60), 59);
    out += r.ok() ? "OK" : "NG";
    out += field(who.machine_id, 10);
    out += field(who.line_no, 2);
    out += field(who.process_code, 4);
    out += field(who.fixture_code, 7);
    out += format_text("%02d", {std::clamp(who.task_no, 0, 99)});
    out += field(platform::file_name_of(r.program_path), 20);
    out += field(version_digits(who.file_version), 4);
    out += field(who.program_ver, 4);
    out += std::string(74, ' ');
    out += "\r\n";
    return out;
}

std::string format_calibration(const std::vector<CalibrationLine> &lines) {
    std::string out;
    for (const CalibrationLine &l : lines)
        out += format_text("%.4f\t;step%d rd[%d]\r\n", {l.correction, l.step, l.register_index});
    return out;
}

std::string format_ng_ticket(const RunRecord &r, const LocalStamp &now, std::string_view average) {
    std::string out = format_text("%04d/%02d/%02d %02d:%02d:%02d\r\n",
                                  {now.year, now.month, now.day, now.hour, now.minute, now.second});
    out += (r.step_ng() && !r.ng_message.empty() ? r.ng_message : result_message(r)) + "\r\n";
    out += format_text("step%d", {r.failing_step});
    out += format_text(" %02X:%s\r\n", {static_cast<int>(r.evr_byte & 0xFF), std::string(average)});
    out += "\n\n\n\n\n";
    return out;
}

void DailyTotals::count(bool ok_run, CalendarDate today) {
    if (!(today == date)) {
        date = today;
        ok = ng = 0;
    }
    (ok_run ? ok : ng) += 1;
}

std::string DailyTotals::status_text() const {
    const int total = ok + ng;
    return format_text("OK=%d NG=%d(%6.2f%%)", {ok, ng, total ? ok * 100.0 / total : 0.0});
}

void ProductIdInput::key(char c) {
    const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (!((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z'))) return;
    if (pending_.size() >= 8) pending_.erase(0, 1);
    pending_ += u;
}

}  // namespace ksw
