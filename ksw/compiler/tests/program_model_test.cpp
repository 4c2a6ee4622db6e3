#include <gtest/gtest.h>

#include "compiler/command_table.h"
#include "compiler/program_model.h"
#include "resources/error_codes.h"

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
    EXPECT_EQ(s.scale, 1.0);
    EXPECT_EQ(s.offset, 0.0);
    EXPECT_EQ(s.calc_register_a, -1);
    EXPECT_EQ(s.calc_register_b, -1);
    EXPECT_EQ(s.calc_step_source, -1);
    EXPECT_EQ(s.time_limit, -1);
    EXPECT_EQ(s.link_wait, 10000);
    EXPECT_EQ(s.elapsed_time, -1);
    EXPECT_EQ(s.video_standard, -1);
    EXPECT_EQ(s.channel_spec, -1);
    EXPECT_EQ(s.runtime_real, 1.0);
    EXPECT_EQ(s.measure, nullptr);
    EXPECT_EQ(model.step_count(), 2);

    const MeasureBlock m;
    EXPECT_EQ(m.evr_adjust_index, -1);
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

TEST(ProgramModel, EnsureStepOfTheStepBeingCompiledMakesItTheCurrentRecord) {
    ProgramModel model;
    model.current_step = 7;
    ASSERT_EQ(ensure_step(model, 3), kOk);
    EXPECT_EQ(model.current_record, nullptr);
    ASSERT_EQ(ensure_step(model, 7), kOk);
    EXPECT_EQ(model.current_record, model.steps[7].get());
    // A second call keeps the same record.
    StepRecord *first = model.steps[7].get();
    ASSERT_EQ(ensure_step(model, 7), kOk);
    EXPECT_EQ(model.steps[7].get(), first);
}

TEST(ProgramModel, NewCommandLinksRecordsInSourceOrder) {
    ProgramModel model;
    // Before the first label nothing is stored and nothing fails.
    EXPECT_EQ(new_command(model, -1, kCommand, kRowClear, ""), kOk);
    EXPECT_EQ(model.step_count(), 0);

    model.current_step = 4;
    for (int i = 0; i < 3; ++i) new_command(model, 4, kCommand, kRowClear, "");
    const StepRecord &s = *model.steps[4];
    ASSERT_EQ(s.commands.size(), 3u);
    const CommandRecord *c = s.first_command();
    for (int i = 0; i < 3; ++i, c = c->next) {
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->index, i);
        EXPECT_EQ(c->row, kRowClear);
        EXPECT_EQ(c->mask, 0u);
        EXPECT_EQ(c->prev, i == 0 ? nullptr : s.commands[i - 1].get());
    }
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(new_command(model, 5009, kCommand, kRowClear, ""), kErrStepOutOfRange);
}

TEST(ProgramModel, AMeasurementItemTakesTheCurrentMeasuringBlock) {
    ProgramModel model;
    model.current_step = 2;
    ASSERT_EQ(ensure_step(model, 2), kOk);
    model.steps[2]->measure = std::make_unique<MeasureBlock>();
    model.current_measure = model.steps[2]->measure.get();
    new_command(model, 2, kMeasureItem, kRowItemDcVolt, "5");
    const CommandRecord *item = model.steps[2]->commands.back().get();
    EXPECT_EQ(item->measure, model.steps[2]->measure.get());
    EXPECT_EQ(model.current_measure, nullptr);
}

TEST(ProgramModel, FreeProgramLeavesNothingBehind) {
    ProgramModel model;
    model.current_step = 1;
    for (int n : {0, 1, 4999, 5008}) ASSERT_EQ(ensure_step(model, n), kOk);
    model.steps[1]->measure = std::make_unique<MeasureBlock>();
    model.steps[1]->measure->link = std::make_unique<LinkRecord>();
    model.current_measure = model.steps[1]->measure.get();
    new_command(model, 1, kCommand, kRowClear, "");
    model.item_work_buffer = std::make_unique<uint8_t[]>(kItemWorkBufferSize);
    model.pending_item = ",dc_volt(1)";

    free_program(model);
    for (const auto &slot : model.steps) EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(model.current_measure, nullptr);
    EXPECT_EQ(model.current_record, nullptr);
    EXPECT_EQ(model.item_work_buffer, nullptr);
    EXPECT_TRUE(model.pending_item.empty());
    EXPECT_EQ(model.current_step, -1);
}

}  // namespace
}  // namespace ksw
