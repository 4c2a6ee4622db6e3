#include "ui/console/console_frontend.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/files.h"
#include "resources/format.h"

namespace ksw {

namespace {

constexpr int kInfoField = 2;         // the tool bar's information field, which info( writes
constexpr size_t kLongestAnswer = 4096;  // a terminal line is cut here

std::string corners(const DrawRequest &r) { return format_text("%d,%d,%d,%d", {r.x, r.y, r.x1, r.y1}); }

// A drawing request as a line for the terminal; empty for what only `verbose` shows.
std::string drawn_line(const DrawRequest &r, bool verbose) {
    switch (r.kind) {
    case DrawKind::kText: return verbose ? format_text("[text %d,%d] ", {r.x, r.y}) + r.text : r.text;
    case DrawKind::kClear: return r.rectangle ? "[cls " + corners(r) + "]" : "[cls]";
    case DrawKind::kBar:
        return "[bar] " + bar_cells(r.value, r.mark, r.low, r.high) +
               format_text(" %g (%g .. %g)", {r.value, r.low, r.high});
    case DrawKind::kColours:
        return verbose ? format_text("[color %d,%d,%d]", {r.colour, r.background, r.size}) : std::string();
    case DrawKind::kPlacement: return verbose ? "[screen " + corners(r) + "]" : std::string();
    case DrawKind::kRectangle:
        return verbose ? "[square " + corners(r) + (r.rounded ? " rounded]" : "]") : std::string();
    }
    return {};
}

}  // namespace

std::string bar_cells(double value, double mark, double low, double high, int cells) {
    if (!(high > low) || !std::isfinite(high - low) || cells <= 0) return {};
    auto cell_of = [&](double v) { return std::floor((v - low) / (high - low) * cells); };
    const double filled = std::isnan(value) ? 0 : std::clamp(cell_of(value), 0.0, double(cells));
    std::string bar(static_cast<size_t>(cells), '.');
    bar.replace(0, static_cast<size_t>(filled), static_cast<size_t>(filled), '#');
    const double at = cell_of(mark);
    if (mark >= low && mark <= high) bar[static_cast<size_t>(std::min(at, double(cells - 1)))] = '|';
    return bar;
}

Answer answer_for(Buttons buttons, bool yes) {
    switch (buttons) {
    case Buttons::Ok: return Answer::Ok;
    case Buttons::OkCancel: return yes ? Answer::Ok : Answer::Cancel;
    case Buttons::YesNo:
    case Buttons::YesNoCancel: return yes ? Answer::Yes : Answer::No;
    case Buttons::RetryCancel: return yes ? Answer::Retry : Answer::Cancel;
    case Buttons::AbortRetryIgnore: return yes ? Answer::Retry : Answer::Abort;
    }
    return Answer::Cancel;
}

ConsoleFrontend::ConsoleFrontend(Options options) : options_(options), main_thread_(std::this_thread::get_id()) {}

void ConsoleFrontend::set_message_handler(MessageHandler handler) {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    handler_ = std::move(handler);
}

void ConsoleFrontend::post(WindowMessage message) {
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        if (closed_) return;
        queue_.push_back(Pending{std::move(message), nullptr});
    }
    queue_changed_.notify_all();
}

intptr_t ConsoleFrontend::send(WindowMessage message) {
    if (on_main_thread()) {
        MessageHandler handler;
        {
            std::lock_guard<std::mutex> lock(queue_mutex_);
            if (closed_) return kSendCancelled;
            handler = handler_;
        }
        return handler ? handler(message) : 0;
    }
    auto reply = std::make_shared<Reply>();
    std::unique_lock<std::mutex> lock(queue_mutex_);
    if (closed_) return kSendCancelled;
    queue_.push_back(Pending{std::move(message), reply});
    queue_changed_.notify_all();
    reply_changed_.wait(lock, [&reply] { return reply->done; });
    return reply->value;
}

void ConsoleFrontend::cancel_queued_sends() {
    for (auto it = queue_.begin(); it != queue_.end();) {
        if (it->reply) {
            it->reply->done = true;
            it->reply->value = kSendCancelled;
            it = queue_.erase(it);
        } else {
            ++it;
        }
    }
    reply_changed_.notify_all();
}

void ConsoleFrontend::cancel_pending_sends() {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    cancel_queued_sends();
}

void ConsoleFrontend::close() {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    closed_ = true;
    handler_ = nullptr;
    cancel_queued_sends();
    queue_.clear();
}

// Runs the first queued message with the lock released; false when the queue was empty.
bool ConsoleFrontend::handle_one(std::unique_lock<std::mutex> &lock) {
    if (queue_.empty()) return false;
    Pending pending = std::move(queue_.front());
    queue_.pop_front();
    MessageHandler handler = handler_;
    lock.unlock();
    const intptr_t result = handler ? handler(pending.message) : 0;
    lock.lock();
    if (pending.reply) {
        pending.reply->value = result;
        pending.reply->done = true;
        reply_changed_.notify_all();
    }
    return true;
}

void ConsoleFrontend::pump_pending() {
    std::unique_lock<std::mutex> lock(queue_mutex_);
    while (handle_one(lock)) {
    }
}

bool ConsoleFrontend::pump(const std::function<bool()> &done, uint32_t timeout_ms) {
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lock(queue_mutex_);
    for (;;) {
        while (handle_one(lock)) {
        }
        lock.unlock();
        if (done()) return true;
        lock.lock();
        if (!queue_.empty()) continue;
        if (timeout_ms != kForever &&
            std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(timeout_ms)) {
            lock.unlock();
            return done();
        }
        // `done` may turn true without a message (a thread ended), so look again now and then.
        queue_changed_.wait_for(lock, std::chrono::milliseconds(10));
    }
}

std::string terminal_text(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\n' && c != '\t') || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        } else {
            shown += c;
        }
    }
    return shown;
}

void ConsoleFrontend::print_line(std::string_view text) {
    const std::string shown = terminal_text(text) + '\n';
    std::fwrite(shown.data(), 1, shown.size(), options_.out);
    std::fflush(options_.out);
}

void ConsoleFrontend::set_status_text(int pane, std::string_view text, bool /*raised*/) {
    if (pane < 0 || pane > 5) return;
    std::lock_guard<std::mutex> lock(state_mutex_);
    const bool changed = panes_[pane] != text;
    panes_[pane] = std::string(text);
    if (pane == 5) {
        // What the operator would see: a text that appears, not an emptied or unchanged pane.
        if (changed && !text.empty()) print_line(text);
    } else if (options_.verbose) {
        print_line("[pane " + std::to_string(pane) + "] " + std::string(text));
    }
}

std::string ConsoleFrontend::status_text(int pane) const {
    std::lock_guard<std::mutex> lock(state_mutex_);
    return (pane >= 0 && pane <= 5) ? panes_[pane] : std::string();
}

void ConsoleFrontend::set_field_text(int field, std::string_view text) {
    if (field < 0 || field > 2) return;
    std::lock_guard<std::mutex> lock(state_mutex_);
    const bool changed = fields_[field] != text;
    fields_[field] = std::string(text);
    if (options_.verbose) print_line("[field " + std::to_string(field) + "] " + std::string(text));
    else if (field == kInfoField && changed && !text.empty()) print_line("[info] " + std::string(text));
}

std::string ConsoleFrontend::field_text(int field) const {
    std::lock_guard<std::mutex> lock(state_mutex_);
    return (field >= 0 && field <= 2) ? fields_[field] : std::string();
}

void ConsoleFrontend::show_string_for_a_while(std::string_view text, uint32_t /*milliseconds*/) {
    std::lock_guard<std::mutex> lock(state_mutex_);
    if (options_.verbose && !text.empty()) print_line("[note] " + std::string(text));
}

void ConsoleFrontend::show_error_string(std::string_view text) {
    std::lock_guard<std::mutex> lock(state_mutex_);
    if (options_.verbose && !text.empty()) print_line("[error] " + std::string(text));
}

void ConsoleFrontend::show_result(bool ok) {
    std::lock_guard<std::mutex> lock(state_mutex_);
    if (options_.verbose) print_line(ok ? "[result] OK" : "[result] NG");
}

// Main thread only. The terminal is read without any lock held: a person may take their time.
Answer ConsoleFrontend::ask(std::string_view text, std::string_view caption, Buttons buttons, BoxIcon /*icon*/) {
    std::string line = "[" + std::string(caption) + "] " + std::string(text);
    if (buttons == Buttons::Ok) {
        std::lock_guard<std::mutex> lock(state_mutex_);
        print_line(line);
        return Answer::Ok;
    }
    if (!options_.interactive) {
        const Answer answer = answer_for(buttons, options_.default_yes);
        std::lock_guard<std::mutex> lock(state_mutex_);
        print_line(line + (options_.default_yes ? " -> yes" : " -> no"));
        return answer;
    }
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(state_mutex_);
            const std::string shown = terminal_text(line);
            std::fwrite(shown.data(), 1, shown.size(), options_.out);
            std::fputs(" [y/n] ", options_.out);
            std::fflush(options_.out);
        }
        char reply[64];
        if (!std::fgets(reply, sizeof reply, options_.in)) return answer_for(buttons, false);
        if (reply[0] == 'y' || reply[0] == 'Y') return answer_for(buttons, true);
        if (reply[0] == 'n' || reply[0] == 'N') return answer_for(buttons, false);
    }
}

bool ConsoleFrontend::is_key_down(int virtual_key) const {
    std::lock_guard<std::mutex> lock(state_mutex_);
    return keys_down_.count(virtual_key) != 0;
}

void ConsoleFrontend::synthesize_key(int virtual_key, bool key_up) {
    {
        std::lock_guard<std::mutex> lock(state_mutex_);
        if (key_up) keys_down_.erase(virtual_key);
        else keys_down_.insert(virtual_key);
    }
    if (!key_up) post(WindowMessage{kMsgKey, static_cast<uintptr_t>(virtual_key), 0, {}});
}

// With a clipboard file the text is shared with every program that reads that file, and a
// file that is missing, unreadable or larger than any clipboard text holds no text.
bool ConsoleFrontend::set_clipboard_text(std::string_view text) {
    std::lock_guard<std::mutex> lock(state_mutex_);
    if (!options_.clipboard_file.empty()) return platform::write_file_atomic(options_.clipboard_file, text);
    clipboard_ = std::string(text);
    return true;
}

std::optional<std::string> ConsoleFrontend::clipboard_text() {
    constexpr size_t kLargestClipboardText = size_t{16} << 20;
    std::lock_guard<std::mutex> lock(state_mutex_);
    if (options_.clipboard_file.empty()) return clipboard_;
    std::string text;
    if (!platform::read_file(options_.clipboard_file, &text, nullptr, nullptr, kLargestClipboardText)) return std::nullopt;
    return text;
}

void ConsoleFrontend::ring_bell() {
    if (!options_.bell) return;
    std::fputc('\a', options_.bell);
    std::fflush(options_.bell);
}

void ConsoleFrontend::beep() {
    std::lock_guard<std::mutex> lock(state_mutex_);
    ring_bell();
}

bool ConsoleFrontend::play_file(SoundPlayer &player, std::string_view file, std::string_view what) {
    const std::string path(file);
    if (!platform::is_regular_file(path)) return false;
    const bool played = player.play(path);
    std::lock_guard<std::mutex> lock(state_mutex_);
    if (options_.verbose) print_line("[" + std::string(what) + "] " + path);
    if (!played) ring_bell();
    return true;
}

bool ConsoleFrontend::play_sound(std::string_view file) { return play_file(result_sounds_, file, "sound"); }

bool ConsoleFrontend::play_beep_wave(std::string_view file) { return play_file(beep_sounds_, file, "beep"); }

// A terminal's bell has no length: it rings once whatever the time.
void ConsoleFrontend::beep_for(uint32_t milliseconds) {
    beep_sounds_.stop();
    std::lock_guard<std::mutex> lock(state_mutex_);
    if (options_.verbose) print_line(format_text("[beep] %.2f s", {milliseconds * 0.001}));
    ring_bell();
}

void ConsoleFrontend::stop_beep() { beep_sounds_.stop(); }

void ConsoleFrontend::draw(DrawRequest request) {
    const std::string line = drawn_line(request, options_.verbose);
    if (line.empty()) return;
    std::lock_guard<std::mutex> lock(state_mutex_);
    print_line(line);
}

bool ConsoleFrontend::read_terminal_line(std::string *line) {
    line->clear();
    char part[256];
    while (std::fgets(part, sizeof part, options_.in)) {
        std::string_view read(part);
        const bool ended = !read.empty() && read.back() == '\n';
        if (ended) read.remove_suffix(1);
        if (line->size() < kLongestAnswer) line->append(read.substr(0, kLongestAnswer - line->size()));
        if (ended) return true;
    }
    return !line->empty();
}

// Main thread only. The terminal is read without any lock held.
ValueReply ConsoleFrontend::ask_value(ValueQuestion &question) {
    const std::string line =
        "[input] " + question.prompt + (question.hint.empty() ? std::string() : " (" + question.hint + ")") + ":";
    {
        std::lock_guard<std::mutex> lock(state_mutex_);
        if (!question.complaint.empty()) print_line("[input] " + question.complaint);
        if (next_answer_ < options_.answers.size()) {
            question.answer = options_.answers[next_answer_++];
            print_line(line + " " + question.answer);
            return kValueAnswered;
        }
        if (!options_.interactive) {
            print_line(line + " no answer (no terminal, and no --input left)");
            return kValueUnanswered;
        }
        const std::string shown = terminal_text(line) + " ";
        std::fwrite(shown.data(), 1, shown.size(), options_.out);
        std::fflush(options_.out);
    }
    if (!read_terminal_line(&question.answer)) return kValueUnanswered;
    return kValueAnswered;
}

bool ConsoleFrontend::open_help(std::string_view file) {
    std::lock_guard<std::mutex> lock(state_mutex_);
    print_line("help: " + std::string(file));
    return true;
}

}  // namespace ksw
