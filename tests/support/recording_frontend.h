// A front-end for tests that records every message box and answers Ok.
#pragma once

#include <string>
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

    Answer ask(std::string_view text, std::string_view caption, Buttons, BoxIcon) override {
        boxes.push_back({std::string(text), std::string(caption)});
        return Answer::Ok;
    }
    void set_message_handler(MessageHandler) override {}
    void post(WindowMessage) override {}
    intptr_t send(WindowMessage) override { return 0; }
    void cancel_pending_sends() override {}
    void close() override {}
    void set_status_text(int, std::string_view, bool) override {}
    void set_field_text(int, std::string_view) override {}
    std::string field_text(int) const override { return {}; }
    void show_string_for_a_while(std::string_view, uint32_t) override {}
    void show_error_string(std::string_view) override {}
    void show_result(bool) override {}
    bool is_key_down(int) const override { return false; }
    void synthesize_key(int, bool) override {}
    bool set_clipboard_text(std::string_view) override { return false; }
    std::optional<std::string> clipboard_text() override { return std::nullopt; }
    void beep() override {}
    bool play_sound(std::string_view) override { return false; }
    bool open_help(std::string_view) override { return false; }
};

}  // namespace ksw::testing
