#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "temp_dir.h"
#include "ui/console/console_frontend.h"

namespace ksw {
namespace {

class Console : public ::testing::Test {
protected:
    ksw::testing::TempDir dir;
    std::FILE *out = std::fopen(dir.file("out.txt").c_str(), "w+");
    void TearDown() override { std::fclose(out); }
    std::string printed() {
        std::fflush(out);
        return ksw::testing::read_text(dir.file("out.txt"));
    }
};

TEST_F(Console, PaneFiveAndBoxesArePrintedAndQuestionsTakeTheDefaultAnswer) {
    ConsoleFrontend front({out, stdin, false, false, false});
    front.set_status_text(4, "Operating");
    front.set_status_text(5, "STEP3S:e028: Step NG");
    EXPECT_EQ(front.ask("Terminate program ?", "KSW.exe - EXIT(Alt+X)", Buttons::YesNo), Answer::No);
    EXPECT_EQ(front.ask("s011: Can't write file.", ".ini File", Buttons::Ok), Answer::Ok);
    EXPECT_EQ(printed(),
              "STEP3S:e028: Step NG\n"
              "[KSW.exe - EXIT(Alt+X)] Terminate program ? -> no\n"
              "[.ini File] s011: Can't write file.\n");
    EXPECT_EQ(front.status_text(4), "Operating");
    EXPECT_EQ(answer_for(Buttons::RetryCancel, true), Answer::Retry);
    EXPECT_EQ(answer_for(Buttons::OkCancel, false), Answer::Cancel);
}

TEST_F(Console, InteractiveQuestionsReadTheTerminal) {
    const std::string answers_path = dir.file("answers.txt");
    ksw::testing::write_text(answers_path, "maybe\ny\n");
    std::FILE *in = std::fopen(answers_path.c_str(), "r");
    ConsoleFrontend front({out, in, true, false, false});
    EXPECT_EQ(front.ask("Re_load ?", "RE_LOAD", Buttons::YesNo), Answer::Yes);
    EXPECT_EQ(front.ask("again ?", "X", Buttons::YesNo), Answer::No);  // end of input means no
    std::fclose(in);
}

TEST_F(Console, SendFromAnotherThreadWaitsForTheMainThreadsHandler) {
    ConsoleFrontend front({out, stdin, false, true, false});
    std::atomic<int> handled{0};
    std::thread::id handler_thread;
    front.set_message_handler([&](const WindowMessage &m) -> intptr_t {
        handler_thread = std::this_thread::get_id();
        ++handled;
        return static_cast<intptr_t>(m.wparam) * 2;
    });
    intptr_t reply = 0;
    std::thread worker([&] {
        front.post(WindowMessage{kMsgRunFinished, 28, 0, {}});
        reply = front.send(WindowMessage{kMsgCommand, kCmdHaltByProgram, 0, {}});
    });
    EXPECT_TRUE(front.pump([&] { return handled.load() == 2; }, 5000));
    worker.join();
    EXPECT_EQ(reply, 2 * kCmdHaltByProgram);
    EXPECT_EQ(handler_thread, std::this_thread::get_id());
    // On the main thread send() runs the handler at once.
    EXPECT_EQ(front.send(WindowMessage{kMsgKey, 13, 0, {}}), 26);
    EXPECT_FALSE(front.pump([] { return false; }, 20));
}

TEST_F(Console, SynthesisedKeysAreDownUntilReleasedAndReachTheKeyHandler) {
    ConsoleFrontend front({out, stdin, false, true, false});
    uintptr_t key = 0;
    front.set_message_handler([&](const WindowMessage &m) -> intptr_t {
        if (m.id == kMsgKey) key = m.wparam;
        return 0;
    });
    front.synthesize_key(kVkEscape, false);
    EXPECT_TRUE(front.is_key_down(kVkEscape));
    front.pump_pending();
    EXPECT_EQ(key, static_cast<uintptr_t>(kVkEscape));
    front.synthesize_key(kVkEscape, true);
    EXPECT_FALSE(front.is_key_down(kVkEscape));
    EXPECT_TRUE(front.set_clipboard_text("1,2,3"));
    EXPECT_EQ(front.clipboard_text(), "1,2,3");
}

}  // namespace
}  // namespace ksw
