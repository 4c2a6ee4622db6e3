// The console front-end of `ksw --headless` and of the whole-program tests: status pane 5 and
// message boxes become lines of text, questions are answered from the terminal or by the
// --answer option, and window messages are queued for the thread that pumps them. What a
// program draws is printed as a person at a terminal reads it: texts and values as lines, a
// clear as "[cls]", a bar as a row of cells; colours and placements only with `verbose`.
// input( takes its answers from the prepared answers (--input) in order, then from the
// terminal; with neither it answers nothing and the step fails. Sounds go to a player program
// when one is installed, else to the terminal's bell.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "model/frontend.h"
#include "ui/console/sound_player.h"

namespace ksw {

class ConsoleFrontend final : public Frontend {
public:
    struct Options {
        std::FILE *out = stdout;      // pane 5 texts, message boxes, results
        std::FILE *in = stdin;        // answers when `interactive`
        bool interactive = false;     // ask the terminal instead of using default_yes
        bool default_yes = true;      // the answer to every question otherwise
        bool verbose = false;         // also print panes 0-4 and the tool-bar fields
        std::string clipboard_file;   // the clipboard's text lives in this file (empty: in memory)
        std::vector<std::string> answers;  // prepared answers of input( and barcode(, used in order
        std::FILE *bell = nullptr;    // where the bell rings (a terminal); null: no bell
        std::vector<SoundPlayer::Command> players = SoundPlayer::default_players();
    };

    explicit ConsoleFrontend(Options options);
    ~ConsoleFrontend() override = default;

    // The thread that constructs the front-end is its main thread.
    bool on_main_thread() const { return std::this_thread::get_id() == main_thread_; }

    // Main thread: handles queued messages until `done()` is true; waits at most `timeout_ms`
    // (kForever: no limit). Returns done().
    static constexpr uint32_t kForever = 0xFFFFFFFFu;
    bool pump(const std::function<bool()> &done, uint32_t timeout_ms = kForever);
    // Main thread: handles every message queued so far, without waiting.
    void pump_pending();

    void set_message_handler(MessageHandler handler) override;
    void post(WindowMessage message) override;
    intptr_t send(WindowMessage message) override;
    void cancel_pending_sends() override;
    void close() override;

    void set_status_text(int pane, std::string_view text, bool raised = false) override;
    void set_field_text(int field, std::string_view text) override;
    std::string field_text(int field) const override;
    std::string status_text(int pane) const;

    void show_string_for_a_while(std::string_view text, uint32_t milliseconds) override;
    void show_error_string(std::string_view text) override;
    void show_result(bool ok) override;
    Answer ask(std::string_view text, std::string_view caption, Buttons buttons, BoxIcon icon = BoxIcon::None) override;

    bool is_key_down(int virtual_key) const override;
    void synthesize_key(int virtual_key, bool key_up) override;
    bool set_clipboard_text(std::string_view text) override;
    std::optional<std::string> clipboard_text() override;
    void beep() override;
    bool play_sound(std::string_view file) override;
    void beep_for(uint32_t milliseconds) override;
    bool play_beep_wave(std::string_view file) override;
    void stop_beep() override;
    void draw(DrawRequest request) override;
    ValueReply ask_value(ValueQuestion &question) override;
    bool open_help(std::string_view file) override;

private:
    // The answer to a send() from another thread, filled under queue_mutex_.
    struct Reply {
        bool done = false;
        intptr_t value = kSendCancelled;
    };
    struct Pending {
        WindowMessage message;
        std::shared_ptr<Reply> reply;  // set for send() from another thread
    };

    void print_line(std::string_view text);
    void ring_bell();
    // Plays `file` with `player`, or rings the bell when no player can be started.
    bool play_file(SoundPlayer &player, std::string_view file, std::string_view what);
    // One line of the terminal, without its line end; false at the end of the input.
    bool read_terminal_line(std::string *line);
    bool handle_one(std::unique_lock<std::mutex> &lock);
    // Answers every queued send with kSendCancelled (queue_mutex_ held).
    void cancel_queued_sends();

    Options options_;
    std::thread::id main_thread_;
    MessageHandler handler_;

    mutable std::mutex queue_mutex_;
    std::condition_variable queue_changed_;  // a message was queued
    std::condition_variable reply_changed_;  // a send was answered or cancelled
    std::deque<Pending> queue_;
    bool closed_ = false;

    mutable std::mutex state_mutex_;  // panes, fields, keys, clipboard; held only to print, never to read
    std::string panes_[6];
    std::string fields_[3];
    std::set<int> keys_down_;
    std::string clipboard_;

    size_t next_answer_ = 0;  // main thread: the prepared answer ask_value takes next
    SoundPlayer result_sounds_{options_.players};
    SoundPlayer beep_sounds_{options_.players};
};

// A bar of `cells` cells: '#' up to `value` on the scale low..high, '|' at `mark` (when it lies
// on the scale), '.' elsewhere; empty for a scale without width.
std::string bar_cells(double value, double mark, double low, double high, int cells = 20);

// A program's text as it may reach a terminal: control bytes (an escape sequence, a bell, a
// carriage return that would overwrite the line) are shown as "\x1B"; line ends and tabs stay.
std::string terminal_text(std::string_view text);

// The answer that "yes" or "no" stands for with these buttons.
Answer answer_for(Buttons buttons, bool yes);

}  // namespace ksw
