// The engine's only view of "the main window". The engine never includes a GUI header: it
// posts and sends the window messages of the sequencer threads, writes status panes and
// tool-bar fields, asks questions, and reaches the clipboard, keys, sound, help and other
// programs through this interface. The Qt main window and the console front-end implement it.
//
// Threading contract (every implementation keeps it, every caller relies on it):
// - The main thread is the thread that owns the front-end (it created it and pumps its
//   messages). Run control, start-up, loading and every dialog run there.
// - Worker threads (sequencer, link members, remote control, timers) only post or send, and
//   call the few methods marked "any thread" below. A question from a worker is a send of
//   kMsgQuestion, which the main thread answers with ask().
// - A send that is pending when the run is aborted (cancel_pending_sends) or the station closes
//   (close) returns kSendCancelled instead of blocking, so a worker never hangs on a main thread
//   that stopped listening.
// - No implementation holds a lock while it waits for a person or a terminal.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "model/drawing.h"

namespace ksw {

// Private window messages and commands exchanged with the main window.
enum WindowMessageId : uint32_t {
    kMsgCommand = 0x0111,          // a menu or tool-bar command; wparam = command id
    kMsgCloseRequest = 0x8000,     // terminate with question
    kMsgPostedCommand = 0x8001,    // a posted command; wparam = command id
    kMsgKey = 0x8003,              // a key for the key handler; wparam = virtual-key code
    kMsgStep0Finished = 0x8004,
    kMsgRunFinished = 0x8005,      // wparam = the run's result code
    kMsgClosingFinished = 0x8006,
    kMsgResultAcknowledged = 0x8007,
    kMsgOpenRecorder = 0x8008,     // lparam = recorder number
    kMsgCloseRecorder = 0x8009,
    kMsgOpenWave = 0x800A,         // lparam = wave window number
    kMsgCloseWave = 0x800B,
    kMsgOpenVector = 0x800C,
    kMsgCloseVector = 0x800D,
    kMsgTransientText = 0x8012,    // text, wparam = milliseconds
    kMsgErrorString = 0x8013,      // text
    kMsgQuestion = 0x8020,         // a message box for a worker: text, caption word, wparam = Buttons,
                                   // lparam = BoxIcon; send() returns the Answer
    kMsgValueQuestion = 0x8021,    // input( and barcode( of a worker: `question`; send() returns a ValueReply
};

// The panes of the status bar.
enum StatusPane : int {
    kPaneCounts = 0,     // "OK=%d NG=%d(%6.2f%%)"
    kPaneElapsed = 1,    // "%.2fsec"
    kPaneRunMode = 2,    // "NGSTOP", "STEP", "LINE", "AUTO"; the program name while loading
    kPaneStep = 3,
    kPaneOperation = 4,  // "Operating", "Halting", "Stopping"; "Line %d" while compiling
    kPaneResult = 5,     // step results and the final "<OK>" or NG text
};

// Command ids of the main menu that the engine sends.
enum CommandId : uint32_t {
    kCmdHaltByProgram = 1624,
};

struct WindowMessage {
    uint32_t id = 0;
    uintptr_t wparam = 0;
    intptr_t lparam = 0;
    std::string text;     // the text parameter of 0x8012, 0x8013 and kMsgQuestion, owned by the message
    std::string caption;  // kMsgQuestion: the caption word ("ERROR"), put after the program title
    // kMsgValueQuestion: the question, shared so that a sender whose send was cancelled never
    // leaves the main thread writing into a question that is gone.
    std::shared_ptr<ValueQuestion> question;
};

// Buttons and icons of a question box, and the answers (numbered as the station's dialogs).
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class BoxIcon { None, Stop, Question, Exclamation, Information };
enum class Answer { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

// What send() returns when it was cancelled instead of handled.
constexpr intptr_t kSendCancelled = 0;

// The message a worker sends to have a box shown by the main thread.
inline WindowMessage question_message(std::string text, std::string caption_word, Buttons buttons,
                                      BoxIcon icon = BoxIcon::None) {
    WindowMessage message{kMsgQuestion, static_cast<uintptr_t>(buttons), static_cast<intptr_t>(icon), std::move(text),
                          std::move(caption_word)};
    return message;
}

// Virtual-key codes kept in the station's own numbering; front-ends translate to them.
enum VirtualKey : int {
    kVkTab = 9, kVkReturn = 13, kVkShift = 16, kVkControl = 17, kVkEscape = 27, kVkSpace = 32,
    kVkHome = 36, kVkLeft = 37, kVkUp = 38, kVkRight = 39, kVkDown = 40,
    kVkNumpad0 = 96, kVkAdd = 107, kVkSubtract = 109,
};

class Frontend {
public:
    virtual ~Frontend() = default;

    // The handler of the main window's messages, run on the main thread. Its result is the
    // answer to send(). The engine's run control installs it. Main thread.
    using MessageHandler = std::function<intptr_t(const WindowMessage &)>;
    virtual void set_message_handler(MessageHandler handler) = 0;

    // Queues `message` for the main thread and returns at once. Any thread. After close() the
    // message is dropped.
    virtual void post(WindowMessage message) = 0;
    // Has the main thread handle `message` and returns the handler's result. Any thread: on the
    // main thread the handler runs at once; from another thread the caller waits until it ran,
    // or returns kSendCancelled when the wait is cancelled (cancel_pending_sends, close).
    virtual intptr_t send(WindowMessage message) = 0;
    // Main thread: every send() waiting now returns kSendCancelled without being handled (the
    // run was aborted). Sends made later are handled as usual.
    virtual void cancel_pending_sends() = 0;
    // Main thread: the station is closing. Pending and later sends return kSendCancelled,
    // later posts are dropped, and the message handler is no longer called.
    virtual void close() = 0;

    // Status panes 0-5 of the status bar; `raised` asks for a raised border. Any thread.
    virtual void set_status_text(int pane, std::string_view text, bool raised = false) = 0;
    // The three tool-bar text fields (0..2). Any thread.
    virtual void set_field_text(int field, std::string_view text) = 0;
    virtual std::string field_text(int field) const = 0;

    // The timed text box and the error text box of the main window. Main thread (workers send
    // kMsgTransientText and kMsgErrorString).
    virtual void show_string_for_a_while(std::string_view text, uint32_t milliseconds) = 0;
    virtual void show_error_string(std::string_view text) = 0;

    // The large result window of a finished run: "OK" or "NG". Main thread.
    virtual void show_result(bool ok) = 0;

    // A message box: the text, the caption, its buttons and icon; returns the answer. Main
    // thread only (workers send kMsgQuestion); it may wait for a person.
    virtual Answer ask(std::string_view text, std::string_view caption, Buttons buttons,
                       BoxIcon icon = BoxIcon::None) = 0;

    // Keyboard state and synthesised keys (virtual-key codes). Any thread.
    virtual bool is_key_down(int virtual_key) const = 0;
    virtual void synthesize_key(int virtual_key, bool key_up) = 0;

    // Clipboard text; nullopt when the clipboard cannot be opened. Any thread.
    virtual bool set_clipboard_text(std::string_view text) = 0;
    virtual std::optional<std::string> clipboard_text() = 0;

    // A short beep, and a sound file (false when it cannot be played). Any thread; neither
    // waits for the sound to end.
    virtual void beep() = 0;
    virtual bool play_sound(std::string_view file) = 0;

    // The sound of beep(, kept apart from the result sounds of play_sound: the beep for
    // `milliseconds` (0: one short beep), or a sound file (false when it cannot be played).
    // Each returns at once and replaces a sound of beep( still playing. stop_beep() ends that
    // sound (beep(off), and the acknowledgement of a result). Any thread.
    virtual void beep_for(uint32_t milliseconds) = 0;
    virtual bool play_beep_wave(std::string_view file) = 0;
    virtual void stop_beep() = 0;

    // Draws on the main window's drawing area. Any thread: the request is only queued for the
    // main thread (a console prints it at once); it never waits.
    virtual void draw(DrawRequest request) = 0;

    // Asks the operator for a value: shows the prompt, the hint and the complaint and waits for
    // the answer. Main thread only (workers send kMsgValueQuestion); it may wait for a person.
    // Returns kValueAnswered with `question.answer` filled, kValueUnanswered when nobody can
    // answer, or kValueFromKeys for a scan whose code the key buffer brings.
    virtual ValueReply ask_value(ValueQuestion &question) = 0;

    // Opens a help page by its file name ("ksw.chm" names the installed HTML help). Main thread.
    virtual bool open_help(std::string_view file) = 0;
};

}  // namespace ksw
