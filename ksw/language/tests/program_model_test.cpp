#include <gtest/gtest.h>

#include "commands/commands.h"
#include "language/program_build.h"
#include "model/program_model.h"
#include "resources/error_codes.h"
#include "runtime/step_state.h"

namespace ksw {
namespace {

TEST(ProgramModel, EnsureStepMakesRecordsWithTheirInitialValues) {
    ProgramModel model;
    EXPECT_EQ(ensure_step(model, -1), kErrStepOutOfRange);
    EXPECT_EQ(ensure_step(model, 5009), kErrStepOutOfRange);
    ASSERT_EQ(ensure_step(model, 5008), kOk);
    ASSERT_EQ(ensure_step(model, 0), kOk);
    const StepRecord &s = *model.steps[5008];
    EXPECT_EQ(s.first_command(), nullptr);
    EXPECT_EQ(s.flags, 1);
    EXPECT_EQ(s.ok_threshold, 1);
    EXPECT_EQ(s.ng_threshold, 1);
    EXPECT_EQ(s.repetition_count, 1);
    EXPECT_EQ(s.mode, kModeNoOperation);
    EXPECT_EQ(s.link_count, -2);
    EXPECT_EQ(s.calc_register_a, -1);
    EXPECT_EQ(s.calc_register_b, -1);
    EXPECT_EQ(s.calc_step_source, -1);
    EXPECT_EQ(s.time_limit, -1);
    EXPECT_EQ(s.link_wait, 10000);
    EXPECT_EQ(s.video_standard, -1);
    EXPECT_EQ(s.channel_spec, -1);
    EXPECT_EQ(s.measure, nullptr);
    EXPECT_EQ(model.step_count(), 2);

    const MeasureBlock m;
    EXPECT_EQ(m.adjust_direction, -1);
    EXPECT_EQ(m.ok_jump, -1);
    EXPECT_EQ(m.ng_jump, -1);
    EXPECT_EQ(m.lower_limit, -DBL_MAX);
    EXPECT_EQ(m.upper_limit, DBL_MAX);
    EXPECT_EQ(m.window_start[3], -1);
    EXPECT_EQ(m.waveform, 2);
    EXPECT_EQ(m.waveform_level, 1.0);
    EXPECT_EQ(m.call_target, -1);
    EXPECT_EQ(m.link, nullptr);
}

// What a run changes starts from the compiled values, in a table of its own: the program is
// never written by a run.
TEST(ProgramModel, RunStatesStartFromTheCompiledValues) {
    ProgramModel model;
    ASSERT_EQ(ensure_step(model, 3), kOk);
    model.steps[3]->repetition_count = 4;
    model.steps[3]->time_limit = 250;
    model.steps[3]->measure = std::make_unique<MeasureBlock>();
    model.steps[3]->measure->adjust_direction = 2;
    model.steps[3]->measure->item_variant = 1;
    StepStateTable states;
    states.reset_from(&model);
    ASSERT_NE(states.get(3), nullptr);
    EXPECT_EQ(states.get(2), nullptr);
    EXPECT_EQ(states.get(5009), nullptr);
    EXPECT_EQ(states.get(-1), nullptr);
    const StepRunState &s = states[3];
    EXPECT_EQ(s.repetition_count, 4);
    EXPECT_EQ(s.time_limit, 250);
    EXPECT_EQ(s.judgement, kNotJudged);
    EXPECT_EQ(s.scale, 1.0);
    EXPECT_EQ(s.offset, 0.0);
    EXPECT_EQ(s.last_value, 1.0);
    EXPECT_EQ(s.elapsed_ms, -1);
    EXPECT_EQ(s.adjustment.direction, 2);
    EXPECT_EQ(s.adjustment.item_variant, 1);
}

struct Build {
    ProgramModel model;
    ProgramBuild build;
    Build() {
        build.model = &model;
        build.table = command_table();
    }
};

TEST(ProgramModel, NewCommandLinksRecordsInSourceOrderAndKeepsTheRunHandler) {
    Build b;
    // Before the first label nothing is stored and nothing fails.
    EXPECT_EQ(new_command(b.build, -1, kCommand, kRowClear, ""), kOk);
    EXPECT_EQ(b.model.step_count(), 0);

    b.build.current_step = 4;
    for (int i = 0; i < 3; ++i) ASSERT_EQ(new_command(b.build, 4, kCommand, kRowClear, ""), kOk);
    const StepRecord &s = *b.model.steps[4];
    ASSERT_EQ(s.commands.size(), 3u);
    const CommandRecord *c = s.first_command();
    for (int i = 0; i < 3; ++i, c = c->next) {
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->index, i);
        EXPECT_EQ(c->row, kRowClear);
        EXPECT_EQ(c->mask, 0u);
        EXPECT_EQ(c->run, command_table()[kRowClear].run);
        EXPECT_NE(c->run, nullptr);
        EXPECT_EQ(c->prev, i == 0 ? nullptr : s.commands[i - 1].get());
    }
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(new_command(b.build, 5009, kCommand, kRowClear, ""), kErrStepOutOfRange);
}

TEST(ProgramModel, AMeasurementItemTakesTheCurrentMeasuringBlock) {
    Build b;
    b.build.current_step = 2;
    ASSERT_EQ(ensure_step(b.model, 2), kOk);
    b.model.steps[2]->measure = std::make_unique<MeasureBlock>();
    b.build.current_measure = b.model.steps[2]->measure.get();
    ASSERT_EQ(new_command(b.build, 2, kMeasureItem, kRowItemDcVolt, "5"), kOk);
    const CommandRecord *item = b.model.steps[2]->commands.back().get();
    EXPECT_EQ(item->measure, b.model.steps[2]->measure.get());
    EXPECT_EQ(b.build.current_measure, nullptr);
}

TEST(ProgramModel, FreeProgramLeavesNothingBehind) {
    Build b;
    b.build.current_step = 1;
    for (int n : {0, 1, 4999, 5008}) ASSERT_EQ(ensure_step(b.model, n), kOk);
    b.model.steps[1]->measure = std::make_unique<MeasureBlock>();
    b.model.steps[1]->measure->link = std::make_unique<LinkRecord>();
    b.build.current_measure = b.model.steps[1]->measure.get();
    ASSERT_EQ(new_command(b.build, 1, kCommand, kRowClear, ""), kOk);
    b.model.global.given = true;

    free_program(b.model);
    for (const auto &slot : b.model.steps) EXPECT_EQ(slot, nullptr);
    EXPECT_FALSE(b.model.global.given);
    b.build.reset();
    EXPECT_EQ(b.build.current_measure, nullptr);
    EXPECT_TRUE(b.build.pending_item.empty());
    EXPECT_EQ(b.build.current_step, -1);
}

}  // namespace
}  // namespace ksw
