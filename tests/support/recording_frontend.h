// A front-end for tests that records every message box (answering Ok), every posted message
// and every synthesised key, what the program draws, the questions of input( (answered from
// `answers`, in order), its sounds, and keeps a clipboard.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "model/frontend.h"

namespace ksw::testing {

struct ShownBox {
    std::string text;
    std::string caption;
};

class RecordingFrontend final : public Frontend {
public:
    std::vector<ShownBox> boxes;
    // The answer to a box, when set (else Ok).
    std::function<Answer(const ShownBox &)> answer;

    Answer ask(std::string_view text, std::string_view caption, Buttons, BoxIcon) override {
        boxes.push_back({std::string(text), std::string(caption)});
        return answer ? answer(boxes.back()) : Answer::Ok;
    }
    void set_message_handler(MessageHandler) override {}
    // Posts may come from any thread.
    void post(WindowMessage message) override {
        std::lock_guard<std::mutex> lock(mutex_);
        posted_.push_back(std::move(message));
    }
    std::vector<WindowMessage> posted() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return posted_;
    }
    // The key codes of the posted key messages, in order.
    std::vector<int> posted_keys() const {
        std::vector<int> keys;
        for (const WindowMessage &m : posted())
            if (m.id == kMsgKey) keys.push_back(static_cast<int>(m.wparam));
        return keys;
    }
    std::vector<std::pair<int, bool>> synthesized;  // (key, released)
    // A value question is answered at once, as the main thread would; anything else gives 0.
    intptr_t send(WindowMessage message) override {
        if (message.id == kMsgQuestion) {
            std::lock_guard<std::mutex> hold(texts_lock);
            sent_questions.push_back(message.text);
        }
        return (message.id == kMsgValueQuestion && message.question) ? static_cast<intptr_t>(ask_value(*message.question)) : 0;
    }
    void cancel_pending_sends() override {}
    void close() override {}
    void set_status_text(int pane, std::string_view text, bool) override {
        std::lock_guard<std::mutex> hold(texts_lock);
        status_texts.emplace_back(std::to_string(pane) + ":" + std::string(text));
    }
    void set_field_text(int field, std::string_view text) override {
        std::lock_guard<std::mutex> hold(texts_lock);
        field_texts.emplace_back(std::to_string(field) + ":" + std::string(text));
    }
    // Every status-pane and tool-bar text set, as "pane:text" / "field:text", in order.
    std::vector<std::string> status_texts;
    std::vector<std::string> field_texts;
    std::vector<std::string> sent_questions;  // the texts of the message boxes workers sent
    std::mutex texts_lock;
    std::string field_text(int) const override { return {}; }
    void show_string_for_a_while(std::string_view, uint32_t) override {}
    void show_error_string(std::string_view) override {}
    void show_result(bool) override {}
    bool is_key_down(int) const override { return false; }
    void synthesize_key(int key, bool key_up) override { synthesized.emplace_back(key, key_up); }
    // The clipboard: its text (none: nothing on it), whether it refuses to open, and how often
    // it was opened.
    std::optional<std::string> clipboard;
    bool clipboard_refused = false;
    int clipboard_opens = 0;
    bool set_clipboard_text(std::string_view text) override {
        ++clipboard_opens;
        if (clipboard_refused) return false;
        clipboard = std::string(text);
        return true;
    }
    std::optional<std::string> clipboard_text() override {
        ++clipboard_opens;
        return clipboard_refused ? std::nullopt : clipboard;
    }
    void beep() override {}
    bool play_sound(std::string_view) override { return false; }
    bool open_help(std::string_view) override { return false; }

    // Drawing and sounds may come from any thread.
    void draw(DrawRequest request) override {
        std::lock_guard<std::mutex> lock(record_mutex_);
        drawn_.push_back(std::move(request));
    }
    std::vector<DrawRequest> drawn() const {
        std::lock_guard<std::mutex> lock(record_mutex_);
        return drawn_;
    }
    void beep_for(uint32_t milliseconds) override {
        std::lock_guard<std::mutex> lock(record_mutex_);
        sounds_.push_back("beep " + std::to_string(milliseconds));
    }
    bool play_beep_wave(std::string_view file) override {
        std::lock_guard<std::mutex> lock(record_mutex_);
        sounds_.push_back("wave " + std::string(file));
        return file.find("missing") == std::string_view::npos;
    }
    void stop_beep() override {
        std::lock_guard<std::mutex> lock(record_mutex_);
        sounds_.push_back("stop");
    }
    std::vector<std::string> sounds() const {
        std::lock_guard<std::mutex> lock(record_mutex_);
        return sounds_;
    }

    // The answers input( gets, in order; when none is left the question has no answer, and a
    // scan is left to the key buffer when `scan_from_keys` is set.
    std::deque<std::string> answers;
    bool scan_from_keys = false;
    std::vector<ValueQuestion> questions;  // every question asked, as it was asked
    ValueReply ask_value(ValueQuestion &question) override {
        questions.push_back(question);
        if (question.scan && scan_from_keys) return kValueFromKeys;
        if (answers.empty()) return kValueUnanswered;
        question.answer = answers.front();
        answers.pop_front();
        return kValueAnswered;
    }

private:
    mutable std::mutex mutex_;
    std::vector<WindowMessage> posted_;
    mutable std::mutex record_mutex_;
    std::vector<DrawRequest> drawn_;
    std::vector<std::string> sounds_;
};

}  // namespace ksw::testing
