// Run handlers that take a value from the operator: input( asks a question through the main
// thread and stores the answer; barcode( reads a scanned code.
//
//   input(rd, n[, prompt[, low[, high]]])   a number into rd[n], low <= value <= high
//   input(ad, n, ...)    four hexadecimal digits at most ("1A2F"), into ad[n], within 0..65535
//   input(dad, n, ...)   a decimal whole number into ad[n], within the bounds (0..65535)
//   input(str, n, ...)   a text into ad[n], ad[n+1] ... with a closing 0; the two bounds, in
//                        either order, limit its length in characters (0 to 10 by default, 79 at most)
//   input(id, n, ...)    as "str" for an identification: letters and digits only, stored in
//                        upper case (what a serial-number label or a scanner gives)
// The bounds are put in ascending order. An answer that is not of the kind asked for, or out of
// bounds, is refused with the reason and asked again. Nobody to answer (a console without a
// terminal and without a prepared answer) fails the step with e003 and says so.
//
//   barcode(ad[n])   the code that a scanner types: keys from the key buffer up to Enter go to
//                    ad[n], ad[n+1] ... with a closing 0 (at most 255 characters). With no key
//                    waiting, the front-end is asked first: a window leaves the code to the key
//                    buffer, a console takes it from its prepared answers or its terminal. The
//                    wait ends with the step's time limit (e026) or an abort.
#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <memory>
#include <string>

#include "model/frontend.h"
#include "platform/ascii.h"
#include "platform/tick.h"
#include "resources/format.h"
#include "runtime/run_handlers.h"
#include "runtime/run_operands.h"
#include "runtime/screen_text.h"
#include "zelw.h"

namespace ksw {
namespace {

constexpr int kLongestCode = 255;
constexpr uint32_t kKeyPollMs = 10;
constexpr double kLongestText = kTextRegisters - 1;

// What one input( asks for.
struct Asked {
    int mode = kInputRd;
    int32_t n = 0;
    double low = 0, high = 0;  // values, or lengths for the texts
};

std::string trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(first, last - first + 1));
}

std::string number_text(double v) { return format_text("%.10g", {v}); }

std::string hint_of(const Asked &a) {
    switch (a.mode) {
    case kInputRd:
        return (a.low == -DBL_MAX && a.high == DBL_MAX) ? "a number" : number_text(a.low) + " .. " + number_text(a.high);
    case kInputAd:
        return format_text("hexadecimal %04X .. %04X", {static_cast<int>(a.low), static_cast<int>(a.high)});
    case kInputDad: return number_text(a.low) + " .. " + number_text(a.high);
    default: {
        const std::string what = a.mode == kInputId ? "letters and digits" : "characters";
        if (a.low == 0) return "up to " + number_text(a.high) + " " + what;
        return number_text(a.low) + " to " + number_text(a.high) + " " + what;
    }
    }
}

// Reads a whole number in `base` that fills the text; false otherwise.
bool whole_number(const std::string &text, int base, unsigned *value) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value, base);
    return error == std::errc() && end == text.data() + text.size();
}

// Checks `answer` against what was asked: empty, with the value or text to store, or the
// reason for refusing it.
std::string refusal(const Asked &a, const std::string &answer, double *value, std::string *text) {
    const std::string t = a.mode == kInputStr ? answer : trimmed(answer);
    const std::string shown = "\"" + t + "\"";
    if (a.mode == kInputRd) {
        const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), *value);
        if (t.empty() || error != std::errc() || end != t.data() + t.size() || !std::isfinite(*value))
            return shown + " is not a number";
    } else if (a.mode == kInputAd || a.mode == kInputDad) {
        unsigned v = 0;
        const bool hex = a.mode == kInputAd;
        if (!whole_number(t, hex ? 16 : 10, &v) || v > 65535 || (hex && t.size() > 4))
            return shown + (hex ? " is not four hexadecimal digits" : " is not a whole number from 0 to 65535");
        *value = v;
    } else {
        *text = t;
        if (a.mode == kInputId) {
            for (char &c : *text) {
                if (!platform::is_ascii_letter(c) && !(c >= '0' && c <= '9'))
                    return shown + " holds more than letters and digits";
                c = platform::ascii_upper(c);
            }
        }
        for (const char c : *text)
            if (static_cast<unsigned char>(c) < 0x20) return "the answer holds a control character";
        const double length = static_cast<double>(text->size());
        if (length < a.low || length > a.high) return shown + " is not " + hint_of(a);
        return {};
    }
    if (*value < a.low || *value > a.high) return shown + " is out of range (" + hint_of(a) + ")";
    return {};
}

// Fetches the register, the bounds and their defaults. Returns 0 or an error.
int read_asked(RunContext &context, const CommandRecord &command, Asked *a) {
    a->mode = command.sub_mode;
    if (a->mode < kInputRd || a->mode > kInputId) return kErrInvalidMode;
    if (const int rc = int_operand(context, command, 0, &a->n); rc != kOk) return rc;
    if (const int rc = real_operand(context, command, 0, &a->low); rc != kOk) return rc;
    if (const int rc = real_operand(context, command, 1, &a->high); rc != kOk) return rc;
    if (std::isnan(a->low) || std::isnan(a->high)) return kErrOutOfRange;
    if (a->low > a->high) std::swap(a->low, a->high);
    if (a->mode >= kInputStr) {
        a->low = std::ceil(a->low);
        a->high = std::floor(a->high);
        if (a->low < 0 || a->high > kLongestText || a->low > a->high) return kErrOutOfRange;
        // The longest answer and its closing 0 must fit before the operator is asked.
        const bool fits = is_register_index(a->n) && is_register_index(a->n + static_cast<int64_t>(a->high));
        return fits ? kOk : kErrOutOfRange;
    }
    if (a->mode != kInputRd) {
        a->low = std::max(a->low, 0.0);
        a->high = std::min(a->high, 65535.0);
        if (a->low > a->high) return kErrOutOfRange;
    }
    return is_register_index(a->n) ? kOk : kErrOutOfRange;
}

// Sends `question` to the main thread. Returns its ValueReply, or kSendCancelled.
intptr_t ask(RunContext &context, const std::shared_ptr<ValueQuestion> &question) {
    if (!context.frontend) return kValueUnanswered;
    question->answer.clear();
    WindowMessage message{kMsgValueQuestion, 0, 0, {}, {}, question};
    return context.frontend->send(std::move(message));
}

// The failure of a question nobody answered.
int unanswered(RunContext &context, std::string_view command) {
    context.failure_detail = std::string(command) + " got no answer (without a terminal, give one --input=TEXT per question)";
    return kErrLackingArgument;
}

std::string register_name(const Asked &a) { return format_text(a.mode == kInputRd ? "rd[%d]" : "ad[%d]", {a.n}); }

// barcode('s register: "ad[n]" with n in 0..7999.
bool code_register(std::string_view text, int32_t *n) {
    if (text.size() < 5 || text.back() != ']' || !platform::starts_with_nocase(text, "ad[")) return false;
    unsigned v = 0;
    const std::string digits(text.substr(3, text.size() - 4));
    if (!whole_number(digits, 10, &v) || !is_register_index(v)) return false;
    *n = static_cast<int32_t>(v);
    return true;
}

bool step_time_over(RunContext &context) {
    const StepRunState *step = context.state(context.current_step);
    return step && step->time_limit >= 0 &&
           platform::ticks_since(context.step_start_tick) > static_cast<uint32_t>(step->time_limit);
}

// Takes keys from the key buffer up to Enter. Returns 0 with the code (cut one character past
// the longest), 26 when the step's time limit passes, or 27 when the run is aborted.
int read_scanned_keys(RunContext &context, std::string *code) {
    for (;;) {
        const int key = GetKeyBuffer();
        if (key == kVkReturn) return kOk;
        if (key >= 0) {
            // Keys beyond one more than fits are read and dropped up to the code's Enter.
            if (static_cast<int>(code->size()) <= kLongestCode) *code += static_cast<char>(key);
            continue;
        }
        if (!context.checkpoint()) return kErrBreakedByUser;
        if (step_time_over(context)) return kErrStepTimeout;
        if (!context.gate.sleep(kKeyPollMs)) return kErrBreakedByUser;
    }
}

}  // namespace

int run_input(RunContext &context, const CommandRecord &command) {
    if (!run_registers(context)) return kErrNoMemory;
    Asked asked;
    if (const int rc = read_asked(context, command, &asked); rc != kOk) return rc;
    auto question = std::make_shared<ValueQuestion>();
    question->prompt = command.has_text && !command.text.empty() ? command.text : register_name(asked);
    question->hint = hint_of(asked);
    for (;;) {
        const intptr_t reply = ask(context, question);
        if (reply == kSendCancelled || !context.checkpoint()) return kErrBreakedByUser;
        if (reply != kValueAnswered) return unanswered(context, "input(");
        double value = 0;
        std::string text;
        question->complaint = refusal(asked, question->answer, &value, &text);
        if (!question->complaint.empty()) continue;
        Registers &registers = *context.registers;
        if (asked.mode >= kInputStr) return store_ad_text(*registers.ad, asked.n, text);
        if (asked.mode == kInputRd) (*registers.rd)[static_cast<size_t>(asked.n)] = value;
        else (*registers.ad)[static_cast<size_t>(asked.n)] = static_cast<uint16_t>(value);
        return kOk;
    }
}

int run_barcode(RunContext &context, const CommandRecord &command) {
    Registers *registers = run_registers(context);
    if (!registers) return kErrNoMemory;
    int32_t n = 0;
    if (!code_register(command.text, &n)) {
        context.failure_detail = "barcode( needs a register such as ad[100], not \"" + command.text + "\"";
        return kErrWrongStyle;
    }
    std::string code;
    bool from_keys = true;
    if (CheckKeyBuffer() < 0) {
        auto question = std::make_shared<ValueQuestion>();
        question->prompt = "Scan the code";
        question->hint = format_text("into ad[%d]", {n});
        question->scan = true;
        const intptr_t reply = ask(context, question);
        if (reply == kSendCancelled || !context.checkpoint()) return kErrBreakedByUser;
        if (reply == kValueUnanswered) return unanswered(context, "barcode(");
        if (reply == kValueAnswered) {
            code = trimmed(question->answer);
            from_keys = false;
        }
    }
    if (from_keys)
        if (const int rc = read_scanned_keys(context, &code); rc != kOk) return rc;
    if (static_cast<int>(code.size()) > kLongestCode) {
        context.failure_detail = "barcode( read more than 255 characters";
        return kErrOutOfRange;
    }
    return store_ad_text(*registers->ad, n, code);
}

}  // namespace ksw
