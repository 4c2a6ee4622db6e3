// The compiled test program: a table of 5009 step slots (STEP0, the test sequence 1..4999, and
// the closing steps 5000..5008), each step a record with its commands in source order, the
// measuring block of a measuring step and, for adjusted link chains, its link record. The
// compiler builds it (ensure_step, and new_command of the language layer); free_program
// empties it.
#pragma once

#include <array>
#include <cfloat>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ksw {

constexpr int kStepCount = 5009;        // slots 0..5008
constexpr int kLastStep = 5008;
constexpr int kLastSequenceStep = 4999;
constexpr int kFirstClosingStep = 5000;
constexpr int kRegisterCount = 8000;    // ad[] and rd[] indexes 0..7999
constexpr int kIntSlots = 13;
constexpr int kRealSlots = 4;
constexpr size_t kPendingItemSize = 256;

// How a step runs: the first three from mode(, the last three from a mode keyword with its item.
enum StepMode : int32_t {
    kModeAdjust = 0,
    kModeCheck = 1,
    kModeNoOperation = 2,
    kModeCheckItem = 3,       // "check,"
    kModeAdjustItem = 4,      // "adjust,"
    kModeAutoAdjustItem = 5,  // "auto_adjust,"
};

// A step's judgement. Items also record on which side of its limits an NG reading fell.
enum Judgement : int32_t {
    kNotJudged = -1,
    kJudgedOk = 0,
    kJudgedNg = 1,
    kJudgedNgCounted = 2,  // an NG that counts at the end of the run whatever the step's mode
    kJudgedNgAbove = 4,    // shown as "U"
    kJudgedNgBelow = 5,    // shown as "L"
};

// The three blocks of closing steps: after an OK run, after an NG run, after either.
enum ClosingBlock : int { kClosingAfterOk = 5000, kClosingAfterNg = 5003, kClosingAlways = 5006 };

// Register mask bits of a command record beyond the per-slot bits.
constexpr uint32_t kMaskIntSlot(int i) { return 1u << i; }          // integer slot i names ad[]
constexpr uint32_t kMaskRealSlot(int i) { return 1u << (16 + i); }  // real slot i names rd[]
constexpr uint32_t kMaskTargetIsStep = 1u << 20;
constexpr uint32_t kMaskUpperPercent = 1u << 21;
constexpr uint32_t kMaskLowerPercent = 1u << 22;
constexpr uint32_t kMaskToleranceFromRd = 1u << 23;

// One step of an adjusted link chain, hung on the step's measuring block.
struct LinkRecord {
    int32_t position = 0;    // 0 for the head, 1, 2, ... for the members in link( order
    int32_t step = 0;        // this member's step number
    int32_t next_step = -1;  // next member's step, -1 none
    int32_t prev_step = -1;  // previous member's step, -1 none
};

// The measuring settings of one step: filled by the declarations that follow its first command.
// What the run side keeps per measuring step (readings, adjustment records, settings that
// link( copies at run time) lives in the run state, not here.
struct MeasureBlock {
    int32_t item_flags = 0;          // bit 0: abs(; bit 1: evr_adj2( "on"
    int32_t adjust_direction = -1;   // evr_adj( selector 1..4
    int32_t ok_jump = -1;            // ok_jmp(
    int32_t ng_jump = -1;            // ng_jmp(
    double lower_limit = -DBL_MAX;   // min_max(
    double upper_limit = DBL_MAX;    // min_max(
    std::array<int32_t, 4> window_start{-1, -1, -1, -1};  // interval(, level(: given value minus one
    std::array<int32_t, 4> window_length{0, 0, 0, 0};
    int32_t waveform = 2;            // wform(, 1..4
    std::array<int32_t, 4> window_kind{0, 0, 0, 0};
    double waveform_level = 1.0;     // wform(, 0..100
    std::string comment;             // comment(, at most 58 characters
    int32_t call_target = -1;        // setcall(
    std::string gpib_text;           // gpib_mes( third argument, at most 31 characters
    int32_t item_variant = 0;        // chroma/v_level items, digital( choice
    std::unique_ptr<LinkRecord> link;
};

struct CommandRecord;
struct RunContext;

// A run handler: runs one command on a sequencer thread; returns 0, an error code, or -1 for
// "take the jump target".
using RunHandler = int (*)(RunContext &context, const CommandRecord &command);

// One stored command. `text` holds a command's own text or byte-string argument; `measure`
// points to the step's measuring block for a measurement item (owned by the step); `run` is the
// run handler of its keyword's row, stored when the command is made.
struct CommandRecord {
    int32_t index = 0;     // position in the step, from 0
    int32_t row = 0;       // command-table row of the keyword
    int32_t sub_mode = 0;  // index of the first choice word, or a handler's own small code
    std::array<int32_t, kIntSlots> ints{};
    std::array<double, kRealSlots> reals{};
    uint32_t mask = 0;     // which slots name registers, and the item bits
    int32_t source_line = 0;  // line of the intermediate file its statement began on (0 unknown)
    std::string text;
    bool has_text = false; // the command keeps a text (possibly empty)
    MeasureBlock *measure = nullptr;
    RunHandler run = nullptr;
    CommandRecord *next = nullptr;
    CommandRecord *prev = nullptr;
};

// One compiled step. Everything here is fixed once the program is loaded; what a run changes
// (judgement, counters, scale, offset, the live repetition count and time limit ...) is kept per
// step in the run state, which starts from these values.
struct StepRecord {
    std::vector<std::unique_ptr<CommandRecord>> commands;  // owns the commands; linked below
    const CommandRecord *first_command() const { return commands.empty() ? nullptr : commands.front().get(); }

    int32_t flags = 1;             // bit 0: screen output
    double item_target = 0;
    double upper_bound = 0;
    double lower_bound = 0;
    int32_t ok_threshold = 1;      // count(, ok_count(
    int32_t ng_threshold = 1;      // count(
    int32_t repetition_count = 1;  // limit( integer: passes of the step
    int32_t mode = kModeNoOperation;
    int32_t link_count = -2;       // -2 no first command, -1 mode keyword without link, 0 made by link(, n>=1 chain head
    uint16_t upper_limit = 0;      // ad[] limits for check(
    uint16_t lower_limit = 0;
    int32_t calc_register_a = -1;
    int32_t calc_register_b = -1;
    int32_t calc_step_source = -1;
    int32_t calc_step_operator = 0;
    int32_t setup_time = 0;
    int32_t sample_tact = 0;
    int32_t time_limit = -1;       // limit( real, -1 none
    int32_t link_wait = 10000;     // check_time(, ms
    int32_t video_standard = -1;   // 0 NTSC, 1 PAL, or v_level('s integer
    int32_t channel_spec = -1;
    std::unique_ptr<MeasureBlock> measure;
    int32_t focus = 0;             // focus(: 0 "mai", 1 "wav"
};

// Which registers a program names: 0 not named, 1 named, 255 start of an open block.
struct RegisterUsageMap {
    std::array<uint8_t, kRegisterCount> ad{};
    std::array<uint8_t, kRegisterCount> rd{};
    void clear() {
        ad.fill(0);
        rd.fill(0);
    }
};

// What a program's global( declaration asked for; the run settings apply it at once.
struct GlobalDeclaration {
    bool given = false;         // a global( was compiled
    int32_t run_mode = 0;       // 0 "ngs", 1 "ste", 2 "lin", 3 "aut"
    std::string title;          // the program title, at most 80 characters
    int32_t file_recording = -1;  // 0 "off", 1 "fil", -1 not given
    int32_t retry_count = 0;    // retries of a failed run, 0..10
    int32_t option = 0;         // 0 or 1; 1 also narrows the detection windows of level(
};

// The one compiled program. The compiler builds it (its own scratch lives in the compile
// state); once loaded it is only read, by the sequencer threads and the front-ends alike.
struct ProgramModel {
    std::array<std::unique_ptr<StepRecord>, kStepCount> steps;
    RegisterUsageMap register_usage;
    GlobalDeclaration global;

    StepRecord *step(int n) const { return (n >= 0 && n < kStepCount) ? steps[n].get() : nullptr; }
    // Number of existing steps.
    int step_count() const;
};

// The process-wide program.
ProgramModel &program_model();

// Makes the record of step n when it does not exist yet (with its initial values). Returns 0,
// e035 for n outside 0..5008, or e018 when memory is exhausted.
[[nodiscard]] int ensure_step(ProgramModel &model, int n);

// Releases the whole compiled program: every step slot is null afterwards and no measuring
// block remains.
void free_program(ProgramModel &model);

}  // namespace ksw
