// The shape of the command table: the language's whole vocabulary, one row per keyword,
// pairing the keyword with its compile handler and its run handler. Keywords that take
// arguments end in "(", measurement items begin with ",", mode keywords end with ",". The one
// table is filled in the commands layer from the handlers of the language and runtime layers,
// and handed to the compiler; each compiled command keeps its row's run handler, so the
// sequencer needs no table.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "model/program_model.h"

namespace ksw {

struct ProgramBuild;  // the compiler's scratch while it builds a program (language layer)

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

// What the compiler is told by the station: settings that change how arguments compile.
struct LanguageOptions {
    int evr_width = 8;   // bits of an EVR value: 8 or 16 ("EVRWidth")
    int code_page = 0;   // 932 turns on the Shift-JIS lead bytes; anything else: none
};

// What a compile handler works on: the argument text (after the keyword, whitespace outside
// quotes already removed), the program being built with the compiler's scratch, the step of the
// last label, and for commands and items the record that new_command has just linked in.
struct CompileArgs {
    ProgramModel &model;
    ProgramBuild &build;
    StepRecord *step = nullptr;
    CommandRecord *command = nullptr;
    int row = 0;
    std::string_view text;
};

// A compile handler returns 0 or an error code.
using CompileHandler = int (*)(CompileArgs &args);

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

// The whole table: kRowTotal rows in row-id order, the last of kind kEndOfTable.
using CommandTable = std::span<const CommandRow>;

}  // namespace ksw
