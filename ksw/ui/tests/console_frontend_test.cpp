#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "platform/tick.h"
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

TEST_F(Console, DrawingsArePrintedAsAPersonReadsThem) {
    ConsoleFrontend front({out, stdin, false, true, false});
    DrawRequest text;
    text.text = "Insert\x1B[2J the product";
    front.draw(text);
    DrawRequest clear;
    clear.kind = DrawKind::kClear;
    front.draw(clear);
    clear.rectangle = true;
    clear.x1 = 100, clear.y1 = 20;
    front.draw(clear);
    DrawRequest colours;
    colours.kind = DrawKind::kColours;
    front.draw(colours);  // only with --verbose
    DrawRequest bar;
    bar.kind = DrawKind::kBar;
    bar.value = 2.5, bar.mark = 4, bar.low = 0, bar.high = 10;
    front.draw(bar);
    front.set_field_text(2, "42");
    front.set_field_text(2, "42");  // unchanged: printed once
    EXPECT_EQ(printed(),
              "Insert\\x1B[2J the product\n[cls]\n[cls 0,0,100,20]\n[bar] #####...|........... 2.5 (0 .. 10)\n"
              "[info] 42\n");
}

TEST(ConsoleBar, CellsFollowTheScaleAndStayInsideIt) {
    EXPECT_EQ(bar_cells(5, 20, 0, 10, 10), "#####.....");  // a mark off the scale is not shown
    EXPECT_EQ(bar_cells(-3, 10, 0, 10, 10), ".........|");
    EXPECT_EQ(bar_cells(1e300, 0, 0, 10, 4), "|###");
    EXPECT_EQ(bar_cells(5, 5, 10, 10, 4), "");  // a scale without width
    EXPECT_EQ(bar_cells(5, 5, 0, 1e308 * 10, 4), "");
}

TEST_F(Console, PreparedAnswersComeFirstThenTheTerminalThenNone) {
    const std::string answers_path = dir.file("answers.txt");
    ksw::testing::write_text(answers_path, "from terminal\n" + std::string(5000, 'x'));
    std::FILE *in = std::fopen(answers_path.c_str(), "r");
    ConsoleFrontend::Options options{out, in, true, true, false};
    options.answers = {"7", ""};
    ConsoleFrontend front(options);
    ValueQuestion q{"Voltage", "0 .. 5", "", false, ""};
    EXPECT_EQ(front.ask_value(q), kValueAnswered);
    EXPECT_EQ(q.answer, "7");
    q.complaint = "\"7\" is out of range (0 .. 5)";
    EXPECT_EQ(front.ask_value(q), kValueAnswered);
    EXPECT_EQ(q.answer, "");  // an empty prepared answer is an answer
    q.complaint.clear();
    EXPECT_EQ(front.ask_value(q), kValueAnswered);
    EXPECT_EQ(q.answer, "from terminal");
    EXPECT_EQ(front.ask_value(q), kValueAnswered);  // a last line without its end, cut
    EXPECT_EQ(q.answer.size(), 4096u);
    EXPECT_EQ(front.ask_value(q), kValueUnanswered);  // the end of the input
    std::fclose(in);
    const std::string expected =
        "[input] Voltage (0 .. 5): 7\n[input] \"7\" is out of range (0 .. 5)\n[input] Voltage (0 .. 5): \n"
        "[input] Voltage (0 .. 5): [input] Voltage (0 .. 5): [input] Voltage (0 .. 5): ";
    EXPECT_EQ(printed(), expected);
}

TEST_F(Console, WithoutATerminalAndAnswersAQuestionIsLeftUnanswered) {
    ConsoleFrontend front({out, stdin, false, true, false});
    ValueQuestion q{"Scan the code", "into ad[10]", "", true, ""};
    EXPECT_EQ(front.ask_value(q), kValueUnanswered);
    EXPECT_EQ(printed(), "[input] Scan the code (into ad[10]): no answer (no terminal, and no --input left)\n");
}

// A worker's question reaches the main thread, which answers it while the worker waits; a
// question still queued when the run is aborted is cancelled and never answered.
TEST_F(Console, AWorkersValueQuestionIsAnsweredOnTheMainThread) {
    ConsoleFrontend::Options options{out, stdin, false, true, false};
    options.answers = {"2.5"};
    ConsoleFrontend front(options);
    front.set_message_handler([&](const WindowMessage &m) -> intptr_t {
        return m.id == kMsgValueQuestion ? static_cast<intptr_t>(front.ask_value(*m.question)) : 0;
    });
    auto question = std::make_shared<ValueQuestion>();
    question->prompt = "Voltage";
    std::atomic<intptr_t> reply{-1};
    std::thread worker([&] { reply = front.send(WindowMessage{kMsgValueQuestion, 0, 0, {}, {}, question}); });
    EXPECT_TRUE(front.pump([&] { return reply != -1; }, 5000));
    worker.join();
    EXPECT_EQ(reply, kValueAnswered);
    EXPECT_EQ(question->answer, "2.5");

    std::atomic<intptr_t> cancelled{-1};
    auto second = std::make_shared<ValueQuestion>();
    std::thread waiting([&] { cancelled = front.send(WindowMessage{kMsgValueQuestion, 0, 0, {}, {}, second}); });
    while (cancelled == -1) {
        front.cancel_pending_sends();
        platform::sleep_ms(1);
    }
    waiting.join();
    EXPECT_EQ(cancelled, kSendCancelled);
    EXPECT_TRUE(second->answer.empty());
}

class Sounds : public ::testing::Test {
protected:
    // A player that plays for a long time; with `stubborn` it ignores the request to end.
    SoundPlayer::Command player(bool stubborn) {
        const std::string script = dir.file(stubborn ? "stubborn.sh" : "player.sh");
        ksw::testing::write_text(script, std::string("#!/bin/sh\n") + (stubborn ? "trap '' TERM\n" : "") +
                                             "echo \"$1\" >> '" + dir.file("played") + "'\nexec sleep 30\n");
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        return {script};
    }
    // Waits until the players have written `text` (they may take a moment to start).
    void wait_for_played(const std::string &text) {
        for (int i = 0; i < 1000 && ksw::testing::read_text(dir.file("played")) != text; ++i) platform::sleep_ms(5);
        ASSERT_EQ(ksw::testing::read_text(dir.file("played")), text);
    }
    ksw::testing::TempDir dir;
};

TEST_F(Sounds, ANewSoundOrStopEndsThePlayerStillPlaying) {
    SoundPlayer sounds({{"no-such-player-here"}, player(false)});
    EXPECT_TRUE(sounds.play("ok.wav"));
    EXPECT_TRUE(sounds.playing());
    wait_for_played("ok.wav\n");
    const uint32_t start = platform::tick_count();
    EXPECT_TRUE(sounds.play("ng.wav"));
    wait_for_played("ok.wav\nng.wav\n");
    sounds.stop();
    EXPECT_FALSE(sounds.playing());
    EXPECT_LT(platform::ticks_since(start), 5000u);
    EXPECT_EQ(ksw::testing::read_text(dir.file("played")), "ok.wav\nng.wav\n");
    EXPECT_FALSE(SoundPlayer({{"no-such-player-here"}}).play("ok.wav"));
}

TEST_F(Sounds, APlayerThatIgnoresTheRequestIsEndedAfterAWhile) {
    SoundPlayer sounds({player(true)});
    ASSERT_TRUE(sounds.play("ok.wav"));
    wait_for_played("ok.wav\n");  // the player ignores SIGTERM from here on
    const uint32_t start = platform::tick_count();
    sounds.stop();
    EXPECT_FALSE(sounds.playing());
    EXPECT_LT(platform::ticks_since(start), 5000u);
}

TEST_F(Sounds, TheConsoleRingsTheBellWithoutAPlayerAndRefusesMissingFiles) {
    const std::string bell_path = dir.file("bell");
    std::FILE *bell = std::fopen(bell_path.c_str(), "w+");
    ksw::testing::write_text(dir.file("ok.wav"), "RIFF");
    ConsoleFrontend::Options options{stdout, stdin, false, true, false};
    options.bell = bell;
    options.players = {{"no-such-player-here"}};
    ConsoleFrontend front(options);
    EXPECT_TRUE(front.play_beep_wave(dir.file("ok.wav")));
    EXPECT_FALSE(front.play_beep_wave(dir.file("missing.wav")));
    EXPECT_FALSE(front.play_sound(dir.path()));  // a folder is no sound
    front.beep_for(1000);
    front.stop_beep();
    std::fclose(bell);
    EXPECT_EQ(ksw::testing::read_text(bell_path), "\a\a");
}

}  // namespace
}  // namespace ksw
