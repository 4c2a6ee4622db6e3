#include "station/run_recorder.h"

#include "model/program_model.h"
#include "resources/format.h"
#include "resources/messages.h"
#include "runtime/run_context.h"
#include "zelw.h"

namespace ksw {
namespace {

RecordReport report_to(Frontend &frontend) {
    return [&frontend](const RecordFailure &failure) {
        const std::string_view text = message_text(failure.message);
        std::string shown = text.find("%s") != std::string_view::npos ? format_text(text, {failure.argument}) : std::string(text);
        if (!failure.reason.empty()) shown += "\n(" + failure.reason + ")";
        frontend.post(question_message(shown, failure.caption, Buttons::Ok, BoxIcon::Stop));
    };
}

std::vector<CalibrationLine> calibration_lines(const RunContext &context) {
    std::vector<CalibrationLine> lines;
    if (!context.program) return lines;
    for (int n = 0; n <= kLastStep; ++n) {
        const StepRecord *step = context.program->step(n);
        if (!step || step->mode == kModeAdjust || step->mode == kModeNoOperation) continue;
        const int addend = step->calc_register_b;
        const int multiplier = step->calc_register_a;
        if (addend < 0 && multiplier < 0) continue;
        const StepRunState *state = context.steps.find(n);
        lines.push_back({n, addend >= 0 ? addend : multiplier, state ? state->correction : 0.0});
    }
    return lines;
}

}  // namespace

std::string results_database_path(const Settings &s) {
    if (s.results_database == "-") return {};
    return s.results_database.empty() ? s.data_path + "results.db" : s.results_database;
}

RunRecorder::RunRecorder(Frontend &frontend, const Settings &settings, int instance, std::string file_version)
    : frontend_(frontend), settings_(settings), instance_(instance), file_version_(std::move(file_version)),
      writer_(settings.log_date, results_database_path(settings), report_to(frontend)) {}

RunRecorder::~RunRecorder() = default;

void RunRecorder::record(const RunContext &context, const DailyTotals &totals, LocalStamp start, uint32_t duration_ms,
                         bool retried_ok) {
    RecordJob job;
    RunRecord &r = job.record;
    r = capture_run(context, start, duration_ms);
    r.instance = instance_;
    r.total_ok = totals.ok;
    r.total_ng = totals.ng;
    r.retried_ok = retried_ok;
    r.program_path = settings_.user_program;
    r.product_id = product_id_;
    RecordOptions &o = job.options;
    o.rec_flags = settings_.rec_flags;
    o.data_file = context.file_recording && records_run(settings_.rec_flags, r.ok());
    o.data_path = settings_.data_path;
    o.max_log_size = settings_.max_log_size;
    o.server_record = !settings_.server_file.empty() && server_recording && product_id_.size() >= 8;
    o.server_file = settings_.server_file;
    o.identity = server_identity(settings_, file_version_);
    if ((settings_.rec_flags & kRecAccessRecord) && evr_access_record && !settings_.access_file.empty()) {
        job.access_file = settings_.access_file;
        job.access_record = evr_access_record(context);
    }
    if (context.adjust_mode == 2) {
        job.calibration = true;
        job.calibration_lines = calibration_lines(context);
    }
    if (!r.ok() && !settings_.print_step.empty()) {
        double average = 0.0;
        if (const StepRunState *failing = context.steps.find(r.failing_step)) average = failing->measure.average;
        char number[11];
        job.ng_ticket = format_ng_ticket(r, r.end, MakeFloatStringA(average, number));
        job.print_step = settings_.print_step;
        job.print_command = settings_.print_command;
    }
    writer_.submit(std::move(job));
}

void RunRecorder::product_id_step() {
    if (settings_.server_file.empty() || !server_recording) return;
    const std::string pending = typed_.pending();
    typed_.clear();
    if (pending.size() == 8 || !(settings_.flags & kFlagCheckId)) {
        product_id_ = pending;
        return;
    }
    const Answer keep = frontend_.ask(message_text(kMsgNoIdInput), "Process", Buttons::YesNo, BoxIcon::Question);
    if (keep == Answer::Yes && product_id_.size() == 8) return;
    ValueQuestion question;
    question.prompt = "Product ID";  // the "DataInputBox" dialog's title
    if (frontend_.ask_value(question) == kValueAnswered) {
        ProductIdInput typed;
        for (const char c : question.answer) typed.key(c);
        product_id_ = typed.pending();
    }
}

}  // namespace ksw
