// The command table: the language's whole vocabulary, one row per keyword, pairing the
// keyword with its compile handler and its run handler. Keywords that take arguments end in
// "(", measurement items begin with ",", mode keywords end with ",". Lookup walks the rows in
// table order and the first keyword that starts the statement (ASCII case ignored) wins.
#pragma once

#include <cstdint>
#include <string_view>

#include "compiler/program_model.h"

namespace ksw {

struct RunContext;  // the sequencer's state, passed to every run handler

enum CommandKind : uint32_t {
    kStepLabel = 0,     // "step"
    kDeclaration = 1,   // compile handler only; sets step or measuring-block fields
    kCommand = 2,       // one command record, compile and run handler
    kMeasureItem = 3,   // only after a mode keyword; compiled when the step ends
    kModeKeyword = 4,   // first command of a measuring step, followed by its item
    kFirstCommand = 5,  // "no_operation"
    kEndOfProgram = 6,  // "end"
    kEndOfTable = 7,
};

// What a compile handler works on: the argument text (after the keyword, whitespace outside
// quotes already removed), the step of the last label, and for commands and items the record
// that new_command has just linked in.
struct CompileArgs {
    ProgramModel &model;
    StepRecord *step = nullptr;
    CommandRecord *command = nullptr;
    int row = 0;
    std::string_view text;
};

// A compile handler returns 0 or an error code; a run handler returns 0, an error code, or -1
// for "take the jump target".
using CompileHandler = int (*)(CompileArgs &args);
using RunHandler = int (*)(RunContext &context, CommandRecord &command);

// Row ids, in table order.
enum CommandRowId : int {
    kRowStep,  // "step"
    kRowAbs,  // "abs("
    kRowCheckTime,  // "check_time("
    kRowComment,  // "comment("
    kRowCount,  // "count("
    kRowFocus,  // "focus("
    kRowGlobal,  // "global("
    kRowLevel,  // "level("
    kRowMinMax,  // "min_max("
    kRowMode,  // "mode("
    kRowNgJmp,  // "ng_jmp("
    kRowOkCount,  // "ok_count("
    kRowOkJmp,  // "ok_jmp("
    kRowSampleTact,  // "sample_tact("
    kRowSetcall,  // "setcall("
    kRowSetupTime,  // "setup_time("
    kRowWform,  // "wform("
    kRow1Ch,  // "1_ch("
    kRow2Ch,  // "2_ch("
    kRowAcRange,  // "ac_range("
    kRowAverage,  // "average("
    kRowAOsc,  // "a_osc("
    kRowBar,  // "bar("
    kRowBarcode,  // "barcode("
    kRowBeep,  // "beep("
    kRowCalc,  // "calc("
    kRowCalcad,  // "calcad("
    kRowCalcrd,  // "calcrd("
    kRowCall,  // "call("
    kRowCheck,  // "check("
    kRowChromaMode,  // "chroma_mode("
    kRowChromaOut,  // "chroma_out("
    kRowClamp,  // "clamp("
    kRowClear,  // "clear("
    kRowCls,  // "cls("
    kRowCmp,  // "cmp("
    kRowColor,  // "color("
    kRowColorbar,  // "colorbar("
    kRowCopy,  // "copy("
    kRowCopyad,  // "copyad("
    kRowCounterAc,  // "counter_ac("
    kRowCounterTtl,  // "counter_ttl("
    kRowDic,  // "dic("
    kRowDgtzClk,  // "dgtz_clk("
    kRowDigital,  // "digital("
    kRowDc,  // "dc("
    kRowDownsw,  // "downsw("
    kRowEvrAdj,  // "evr_adj("
    kRowEvrAdj2,  // "evr_adj2("
    kRowEvrFunc,  // "evr_func("
    kRowEvrPage,  // "evr_page("
    kRowEvrPrn,  // "evr_prn("
    kRowEvrRd,  // "evr_rd("
    kRowEvrWr,  // "evr_wr("
    kRowExtention,  // "extention("
    kRowFile,  // "file("
    kRowFilter,  // "filter("
    kRowFreset,  // "freset("
    kRowGetad2,  // "getad2("
    kRowGpib,  // "gpib("
    kRowGpibMes,  // "gpib_mes("
    kRowInfo,  // "info("
    kRowInput,  // "input("
    kRowInputCh,  // "input_ch("
    kRowInterval,  // "interval("
    kRowIo,  // "io("
    kRowJt2642,  // "jt2642("
    kRowJudge,  // "judge("
    kRowJump,  // "jump("
    kRowKey,  // "key("
    kRowLanc,  // "lanc("
    kRowLimit,  // "limit("
    kRowLink,  // "link("
    kRowLog,  // "log("
    kRowLogic,  // "logic("
    kRowMessage,  // "message("
    kRowMotor,  // "motor("
    kRowMovead,  // "movead("
    kRowNc300,  // "nc300("
    kRowNc605,  // "nc605("
    kRowOkng,  // "okng("
    kRowPatgen,  // "patgen("
    kRowPeakdet,  // "peakdet("
    kRowPhase,  // "phase("
    kRowPi1284,  // "pi1284("
    kRowPower,  // "power("
    kRowPowerSet,  // "power_set("
    kRowPpdet,  // "ppdet("
    kRowPre,  // "pre("
    kRowReset,  // "reset("
    kRowRet,  // "ret("
    kRowRjump,  // "rjump("
    kRowRs232c,  // "rs232c("
    kRowRscom,  // "rscom("
    kRowRwfile,  // "rwfile("
    kRowScreen,  // "screen("
    kRowSearch,  // "search("
    kRowSendmicon,  // "sendmicon("
    kRowSetaddata,  // "setaddata("
    kRowSetdata,  // "setdata("
    kRowSetesw,  // "setesw("
    kRowSetfsw,  // "setfsw("
    kRowSetsw,  // "setsw("
    kRowShift,  // "shift("
    kRowShiftd,  // "shiftd("
    kRowShow,  // "show("
    kRowShowokng,  // "showokng("
    kRowSpec,  // "spec("
    kRowSplEnbLine,  // "spl_enb_line("
    kRowSquare,  // "square("
    kRowStartsw,  // "startsw("
    kRowStopmode,  // "stopmode("
    kRowTask,  // "task("
    kRowTerm,  // "term("
    kRowTimer,  // "timer("
    kRowTransient,  // "transient("
    kRowTrigCh,  // "trig_ch("
    kRowTx700,  // "tx700("
    kRowUser,  // "user("
    kRowVLevel,  // "v_level("
    kRowVOsc,  // "v_osc("
    kRowVector,  // "vector("
    kRowWait,  // "wait("
    kRowWave,  // "wave("
    kRowItemBottom,  // ",bottom("
    kRowItemChromaDet,  // ",chroma_det("
    kRowItemChromaGain,  // ",chroma_gain("
    kRowItemChromaPhase,  // ",chroma_phase("
    kRowItemDcVolt,  // ",dc_volt("
    kRowItemDcVolt2,  // ",dc_volt2("
    kRowItemDigital,  // ",digital("
    kRowItemExtention,  // ",extention("
    kRowItemFrequency,  // ",frequency("
    kRowItemGpibMes,  // ",gpib_mes("
    kRowItemInterval,  // ",interval("
    kRowItemPeak,  // ",peak("
    kRowItemPeakPeak,  // ",peak_peak("
    kRowItemPeriod,  // ",period("
    kRowItemPhase,  // ",phase("
    kRowItemPulseWidth,  // ",pulse_width("
    kRowItemRd,  // ",rd("
    kRowItemVLevel,  // ",v_level("
    kRowItemVLevelLevel,  // ",v_level_level("
    kRowModeAdjust,  // "adjust,"
    kRowModeAutoAdjust,  // "auto_adjust,"
    kRowModeCheck,  // "check,"
    kRowNoOperation,  // "no_operation"
    kRowEnd,  // "end"
    kRowEndOfTable,  // ""
    kRowTotal,
};

struct CommandRow {
    CommandRowId id;
    CommandKind kind;
    const char *keyword;
    RunHandler run;
    CompileHandler compile;
};

// The table, kRowTotal rows, the last of kind kEndOfTable.
extern const CommandRow kCommandTable[kRowTotal];

struct KeywordMatch {
    int row = -1;       // -1: no row matches
    size_t length = 0;  // length of the matched keyword; the arguments start there
};

// The first row whose keyword begins `statement`, ignoring the case of ASCII letters.
KeywordMatch lookup_keyword(std::string_view statement);

// Makes a command record for a statement of step `step` with the given row and argument text,
// links it after the step's last command and runs the row's compile handler. Before the first
// label (step < 0) nothing is stored and 0 is returned. For a measurement item the record points
// to the current measuring block, which then belongs to the step. Returns 0, e035, e018 or the
// compile handler's code.
int new_command(ProgramModel &model, int step, CommandKind kind, int row, std::string_view args);

}  // namespace ksw
