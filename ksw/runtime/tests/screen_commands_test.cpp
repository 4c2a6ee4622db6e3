// The drawing commands, input( and barcode( against a recording front-end, and the texts that
// show( formats.
#include <cfloat>
#include <thread>

#include "command_fixture.h"
#include "model/program_model.h"
#include "recording_frontend.h"
#include "runtime/screen_text.h"
#include "platform/tick.h"
#include "runtime/sequencer.h"
#include "zelw.h"

namespace ksw {
namespace {

using testing::record;

class ScreenCommands : public testing::RegisterCommandTest {
protected:
    void SetUp() override {
        RegisterCommandTest::SetUp();
        context.frontend = &front;
    }
    std::string show(int mode, int first, int count = 1) {
        std::string text;
        const int rc = format_show(*context.registers, mode, first, count, &text);
        return rc == kOk ? text : "e" + std::to_string(rc);
    }
    testing::RecordingFrontend front;
};

TEST_F(ScreenCommands, ShowFormatsEachWordAsTheOperatorReadsIt) {
    rd()[5] = 2.5;
    rd()[6] = -1.0;
    ad()[10] = 255;
    ad()[11] = 0xFFFF;  // -1 as a counter
    EXPECT_EQ(show(kShowRd, 5, 2), "2.50000000 -1.0000000");
    EXPECT_EQ(show(kShowAd, 10, 2), "00FF FFFF");
    EXPECT_EQ(show(kShowDad, 10, 2), "  255 65535");
    EXPECT_EQ(show(kShowCou, 10, 2), "   255     -1");
    EXPECT_EQ(show(kShowSta, 10), "0000000011111111");
    ad()[20] = 1, ad()[21] = 2, ad()[22] = 3, ad()[23] = 24;
    EXPECT_EQ(show(kShowVtr, 20), "01:02:03:24");
    // A text ends at a 0 or at a value of 256 or more.
    ad()[30] = 'O', ad()[31] = 'K', ad()[32] = 256, ad()[33] = 'X';
    EXPECT_EQ(show(kShowStr, 30), "OK");
}

TEST_F(ScreenCommands, ShowNeverReadsPastTheLastRegister) {
    EXPECT_EQ(show(kShowRd, 7999), "0.00000000");
    EXPECT_EQ(show(kShowRd, 7999, 2), "e4");
    EXPECT_EQ(show(kShowVtr, 7997), "e4");  // a tape time takes four registers
    EXPECT_EQ(show(kShowVtr, 7996), "00:00:00:00");
    EXPECT_EQ(show(kShowAd, 8000), "e4");
    EXPECT_EQ(show(kShowAd, 0, 0), "e4");
    for (int i = 7990; i < 8000; ++i) ad()[static_cast<size_t>(i)] = 'a';
    EXPECT_EQ(show(kShowStr, 7990), "aaaaaaaaaa");  // cut at ad[7999]
}

TEST_F(ScreenCommands, TextCommandsHandTheirTextPositionAndStyleToTheFrontEnd) {
    CommandRecord message = record(0, {10, 20, 0, 0, 8, -1, -1});
    message.text = "Insert the product";
    EXPECT_EQ(run_message(context, message), kOk);
    ad()[3] = 7;  // show(dad, 0, 40, ad[3]): the register number comes from ad[3]
    ad()[7] = 42;
    EXPECT_EQ(run_show(context, record(kShowDad, {0, 40, 3, 1, 2, 7, 16}, {}, kMaskIntSlot(2))), kOk);
    ad()[3] = 9000;
    EXPECT_EQ(run_show(context, record(kShowDad, {0, 40, 3, 1, 2, 7, 16}, {}, kMaskIntSlot(2))), kErrOutOfRange);
    const auto drawn = front.drawn();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[0].text, "Insert the product");
    EXPECT_EQ(drawn[0].y, 20);
    EXPECT_EQ(drawn[0].colour, kCurrentColour);
    EXPECT_EQ(drawn[1].text, "   42");
    EXPECT_EQ(drawn[1].colour, 2);
    EXPECT_EQ(drawn[1].background, 7);
    EXPECT_EQ(drawn[1].size, 16);
}

TEST_F(ScreenCommands, ShowokngShowsTheCurrentStepsJudgement) {
    ProgramModel program;
    ASSERT_EQ(ensure_step(program, 3), kOk);
    context.use_program(&program);
    context.current_step = 3;
    const CommandRecord c = record(0, {5, 5, 8, -1, -1});
    EXPECT_EQ(run_showokng(context, c), kOk);
    context.steps[3].judgement = kJudgedOk;
    EXPECT_EQ(run_showokng(context, c), kOk);
    context.steps[3].judgement = kJudgedNgAbove;
    EXPECT_EQ(run_showokng(context, c), kOk);
    const auto drawn = front.drawn();
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_EQ(drawn[0].text, "--");
    EXPECT_EQ(drawn[1].text, "OK");
    EXPECT_EQ(drawn[2].text, "NG");
}

TEST_F(ScreenCommands, BarReadsItsTwoRegistersAndScreenOnDrawsNothing) {
    rd()[1] = 3.0;
    rd()[2] = 4.0;
    rd()[9] = 10.0;
    // bar(0, 0, 1, 2, 0, rd[9], 5)
    EXPECT_EQ(run_bar(context, record(0, {0, 0, 1, 2, 5}, {0, 9}, kMaskRealSlot(1))), kOk);
    EXPECT_EQ(run_bar(context, record(0, {0, 0, 1, 8000, 5}, {0, 9})), kErrOutOfRange);
    EXPECT_EQ(run_screen(context, record(1, {})), kOk);  // "on" only set the step's flag
    EXPECT_EQ(run_color(context, record(0, {3, 1, 99})), kOk);  // no third field: the size stays
    const auto drawn = front.drawn();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(drawn[0].kind, DrawKind::kBar);
    EXPECT_EQ(drawn[0].value, 3.0);
    EXPECT_EQ(drawn[0].mark, 4.0);
    EXPECT_EQ(drawn[0].high, 10.0);
    EXPECT_EQ(drawn[1].size, kDefaultSize);
}

TEST_F(ScreenCommands, BeepSoundsStopsAndPlaysFiles) {
    EXPECT_EQ(run_beep(context, record(1, {}, {1.5})), kOk);
    EXPECT_EQ(run_beep(context, record(1, {}, {-1})), kErrOutOfRange);
    EXPECT_EQ(run_beep(context, record(0, {}, {1.0})), kOk);
    CommandRecord wave = record(2, {});
    wave.text = "sounds\\done.wav";  // a "\" separates folders as "/" does
    EXPECT_EQ(run_beep(context, wave), kOk);
    wave.text = "missing.wav";
    EXPECT_EQ(run_beep(context, wave), kErrOpenFile);
    EXPECT_EQ(context.failure_detail, "beep( cannot play \"missing.wav\"");
    EXPECT_EQ(front.sounds(), (std::vector<std::string>{"beep 1500", "stop", "wave sounds/done.wav", "wave missing.wav"}));
}

class InputCommand : public ScreenCommands {
protected:
    CommandRecord input(int mode, int32_t n, std::string prompt, double low, double high, uint32_t mask = 0) {
        CommandRecord c = record(mode, {n}, {low, high}, mask);
        c.text = std::move(prompt);
        c.has_text = !c.text.empty();
        return c;
    }
};

TEST_F(InputCommand, AnAnswerOutOfBoundsOrNotANumberIsAskedAgain) {
    front.answers = {"7", "2,5", " 2.5 "};
    EXPECT_EQ(run_input(context, input(kInputRd, 6, "Voltage", 0, 5)), kOk);
    EXPECT_EQ(rd()[6], 2.5);
    ASSERT_EQ(front.questions.size(), 3u);
    EXPECT_EQ(front.questions[0].prompt, "Voltage");
    EXPECT_EQ(front.questions[0].hint, "0 .. 5");
    EXPECT_EQ(front.questions[0].complaint, "");
    EXPECT_EQ(front.questions[1].complaint, "\"7\" is out of range (0 .. 5)");
    EXPECT_EQ(front.questions[2].complaint, "\"2,5\" is not a number");
}

TEST_F(InputCommand, BoundsMayComeFromRegistersInEitherOrder) {
    rd()[1] = 10;
    rd()[2] = 20;
    front.answers = {"5", "15"};
    // input(dad, 4, , rd[2], rd[1]): 10..20 after ordering; no prompt names the register.
    EXPECT_EQ(run_input(context, input(kInputDad, 4, "", 2, 1, kMaskRealSlot(0) | kMaskRealSlot(1))), kOk);
    EXPECT_EQ(ad()[4], 15);
    EXPECT_EQ(front.questions[0].prompt, "ad[4]");
    EXPECT_EQ(front.questions[0].hint, "10 .. 20");
}

TEST_F(InputCommand, HexadecimalAndDecimalWordsAreWholeNumbers) {
    front.answers = {"12345", "g1", "1a2F"};
    EXPECT_EQ(run_input(context, input(kInputAd, 4, "Word", 0, 65535)), kOk);
    EXPECT_EQ(ad()[4], 0x1A2F);
    EXPECT_EQ(front.questions[0].hint, "hexadecimal 0000 .. FFFF");
    front.answers = {"-1", "65536", "1.5", "65535"};
    EXPECT_EQ(run_input(context, input(kInputDad, 5, "Count", 0, 65535)), kOk);
    EXPECT_EQ(ad()[5], 65535);
    EXPECT_EQ(front.questions.size(), 7u);
}

TEST_F(InputCommand, TextsKeepTheirLengthBoundsAndEndInAZero) {
    ad()[103] = 99;
    front.answers = {"far too long a name", "Ab 1"};
    EXPECT_EQ(run_input(context, input(kInputStr, 100, "Name", 10, 0)), kOk);
    EXPECT_EQ((std::vector<uint16_t>{ad()[100], ad()[101], ad()[102], ad()[103], ad()[104]}),
              (std::vector<uint16_t>{'A', 'b', ' ', '1', 0}));
    EXPECT_EQ(front.questions[0].hint, "up to 10 characters");
    // An identification: letters and digits, kept in upper case.
    front.answers = {"ab-12", "ab12"};
    EXPECT_EQ(run_input(context, input(kInputId, 200, "Serial", 2, 8)), kOk);
    EXPECT_EQ(ad()[200], 'A');
    EXPECT_EQ(ad()[203], '2');
    EXPECT_EQ(ad()[204], 0);
    EXPECT_EQ(front.questions[3].complaint, "\"ab-12\" holds more than letters and digits");
}

TEST_F(InputCommand, ARegisterThatCannotHoldTheAnswerFailsBeforeAnyoneIsAsked) {
    EXPECT_EQ(run_input(context, input(kInputStr, 7990, "Name", 10, 0)), kErrOutOfRange);
    EXPECT_EQ(run_input(context, input(kInputStr, 7989, "Name", 10, 0)), kErrLackingArgument);
    EXPECT_EQ(run_input(context, input(kInputStr, 1, "Name", 0, 80)), kErrOutOfRange);  // 79 at most
    ad()[2] = 9000;
    EXPECT_EQ(run_input(context, input(kInputRd, 2, "x", 0, 1, kMaskIntSlot(0))), kErrOutOfRange);
    EXPECT_EQ(front.questions.size(), 1u);  // only the one that fitted was asked
}

TEST_F(InputCommand, NobodyToAnswerFailsTheStepAndSaysWhy) {
    EXPECT_EQ(run_input(context, input(kInputRd, 1, "Voltage", -DBL_MAX, DBL_MAX)), kErrLackingArgument);
    EXPECT_EQ(front.questions[0].hint, "a number");
    ProgramModel program;
    ASSERT_EQ(ensure_step(program, 4), kOk);
    context.use_program(&program);
    EXPECT_EQ(format_step_message(context, 4, kErrLackingArgument),
              "STEP4S:e003: Lacking argument: input( got no answer (without a terminal, give one --input=TEXT per "
              "question)");
}

class BarcodeCommand : public ScreenCommands {
protected:
    void SetUp() override {
        ScreenCommands::SetUp();
        ASSERT_EQ(OpenKeyBuffer(16), 1);
        ASSERT_EQ(ensure_step(program, 1), kOk);
        context.use_program(&program);
        context.current_step = 1;
    }
    void TearDown() override { CloseKeyBuffer(); }
    static CommandRecord barcode(std::string text) {
        CommandRecord c;
        c.text = std::move(text);
        c.has_text = true;
        return c;
    }
    void type(std::string_view keys) {
        for (const char k : keys) SaveKeyBuffer(static_cast<unsigned char>(k));
    }
    ProgramModel program;
};

TEST_F(BarcodeCommand, KeysAlreadyTypedAreReadUpToEnter) {
    type("AB12\rZ");
    EXPECT_EQ(run_barcode(context, barcode("AD[300]")), kOk);
    EXPECT_EQ((std::vector<uint16_t>{ad()[300], ad()[301], ad()[302], ad()[303], ad()[304]}),
              (std::vector<uint16_t>{'A', 'B', '1', '2', 0}));
    EXPECT_TRUE(front.questions.empty());
    EXPECT_EQ(GetKeyBuffer(), 'Z');  // the next code's keys stay
}

TEST_F(BarcodeCommand, AFrontEndWithAKeyboardLeavesTheCodeToTheKeyBuffer) {
    front.scan_from_keys = true;
    std::thread scanner([this] {
        platform::sleep_ms(30);
        type("4901\r");
    });
    EXPECT_EQ(run_barcode(context, barcode("ad[10]")), kOk);
    scanner.join();
    EXPECT_EQ(ad()[10], '4');
    EXPECT_EQ(ad()[14], 0);
    ASSERT_EQ(front.questions.size(), 1u);
    EXPECT_TRUE(front.questions[0].scan);
}

TEST_F(BarcodeCommand, AConsoleAnswersTheScanAndBadTargetsAreRefused) {
    front.answers = {" X-77 "};
    EXPECT_EQ(run_barcode(context, barcode("ad[10]")), kOk);
    EXPECT_EQ(ad()[10], 'X');
    EXPECT_EQ(ad()[14], 0);
    EXPECT_EQ(run_barcode(context, barcode("ad[10]")), kErrLackingArgument);  // no answer left
    EXPECT_EQ(run_barcode(context, barcode("rd[10]")), kErrWrongStyle);
    EXPECT_EQ(run_barcode(context, barcode("ad[8000]")), kErrWrongStyle);
    type("123\r");
    EXPECT_EQ(run_barcode(context, barcode("ad[7997]")), kErrOutOfRange);  // "123" and its 0 pass 7999
}

TEST_F(BarcodeCommand, TheWaitEndsAtTheStepsTimeLimitOrAnAbort) {
    front.scan_from_keys = true;
    context.steps[1].time_limit = 50;
    context.step_start_tick = platform::tick_count();
    EXPECT_EQ(run_barcode(context, barcode("ad[10]")), kErrStepTimeout);
    context.steps[1].time_limit = -1;
    std::thread operator_abort([this] {
        platform::sleep_ms(30);
        context.gate.abort();
    });
    EXPECT_EQ(run_barcode(context, barcode("ad[10]")), kErrBreakedByUser);
    operator_abort.join();
}

}  // namespace
}  // namespace ksw
