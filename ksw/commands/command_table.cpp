// The one command table: every keyword of the language with its compile handler (language
// layer) and its run handler (runtime layer), in the station's fixed order.
#include "commands/commands.h"

#include "language/compile_handlers.h"
#include "runtime/run_handlers.h"

namespace ksw {

constexpr CommandRow kCommandTable[kRowTotal] = {
    {kRowStep, kStepLabel, "step", nullptr, nullptr},
    {kRowAbs, kDeclaration, "abs(", nullptr, &compile_abs},
    {kRowCheckTime, kDeclaration, "check_time(", nullptr, &compile_check_time},
    {kRowComment, kDeclaration, "comment(", nullptr, &compile_comment},
    {kRowCount, kDeclaration, "count(", nullptr, &compile_count},
    {kRowFocus, kDeclaration, "focus(", nullptr, &compile_focus},
    {kRowGlobal, kDeclaration, "global(", nullptr, &compile_global},
    {kRowLevel, kDeclaration, "level(", nullptr, &compile_level},
    {kRowMinMax, kDeclaration, "min_max(", nullptr, &compile_min_max},
    {kRowMode, kDeclaration, "mode(", nullptr, &compile_mode},
    {kRowNgJmp, kDeclaration, "ng_jmp(", nullptr, &compile_ng_jmp},
    {kRowOkCount, kDeclaration, "ok_count(", nullptr, &compile_ok_count},
    {kRowOkJmp, kDeclaration, "ok_jmp(", nullptr, &compile_ok_jmp},
    {kRowSampleTact, kDeclaration, "sample_tact(", nullptr, &compile_sample_tact},
    {kRowSetcall, kDeclaration, "setcall(", nullptr, &compile_setcall},
    {kRowSetupTime, kDeclaration, "setup_time(", nullptr, &compile_setup_time},
    {kRowWform, kDeclaration, "wform(", nullptr, &compile_wform},
    {kRow1Ch, kCommand, "1_ch(", &run_1_ch, &compile_channel_pair},
    {kRow2Ch, kCommand, "2_ch(", &run_2_ch, &compile_channel_pair},
    {kRowAcRange, kCommand, "ac_range(", &run_ac_range, &compile_ac_range},
    {kRowAverage, kCommand, "average(", &run_average, &compile_average},
    {kRowAOsc, kCommand, "a_osc(", &run_a_osc, &compile_a_osc},
    {kRowBar, kCommand, "bar(", &run_bar, &compile_bar},
    {kRowBarcode, kCommand, "barcode(", &run_barcode, &compile_barcode},
    {kRowBeep, kCommand, "beep(", &run_beep, &compile_beep},
    {kRowCalc, kCommand, "calc(", &run_calc, &compile_calc},
    {kRowCalcad, kCommand, "calcad(", &run_calcad, &compile_calcad},
    {kRowCalcrd, kCommand, "calcrd(", &run_calcrd, &compile_calcrd},
    {kRowCall, kCommand, "call(", &run_call, &compile_jump_call},
    {kRowCheck, kCommand, "check(", &run_check, &compile_check},
    {kRowChromaMode, kCommand, "chroma_mode(", &run_chroma_mode, &compile_chroma_mode},
    {kRowChromaOut, kCommand, "chroma_out(", &run_chroma_out, &compile_chroma_out},
    {kRowClamp, kCommand, "clamp(", &run_clamp, &compile_clamp_cmp_shift},
    {kRowClear, kCommand, "clear(", &run_clear, &compile_no_arguments},
    {kRowCls, kCommand, "cls(", &run_cls, &compile_cls},
    {kRowCmp, kCommand, "cmp(", &run_cmp, &compile_clamp_cmp_shift},
    {kRowColor, kCommand, "color(", &run_color, &compile_color},
    {kRowColorbar, kCommand, "colorbar(", &run_colorbar, &compile_colorbar},
    {kRowCopy, kCommand, "copy(", &run_copy, &compile_copy},
    {kRowCopyad, kCommand, "copyad(", &run_copyad, &compile_copyad},
    {kRowCounterAc, kCommand, "counter_ac(", &run_counter_ac, &compile_counter_dc_logic},
    {kRowCounterTtl, kCommand, "counter_ttl(", &run_counter_ttl, &compile_counter_ttl},
    {kRowDic, kCommand, "dic(", &run_dic, &compile_dic},
    {kRowDgtzClk, kCommand, "dgtz_clk(", &run_dgtz_clk, &compile_dgtz_clk},
    {kRowDigital, kCommand, "digital(", &run_digital, &compile_digital},
    {kRowDc, kCommand, "dc(", &run_dc, &compile_counter_dc_logic},
    {kRowDownsw, kCommand, "downsw(", &run_downsw, &compile_downsw},
    {kRowEvrAdj, kCommand, "evr_adj(", &run_evr_adj, &compile_evr_adj},
    {kRowEvrAdj2, kCommand, "evr_adj2(", &run_evr_adj2, &compile_evr_adj2},
    {kRowEvrFunc, kCommand, "evr_func(", &run_evr_func, &compile_evr_func},
    {kRowEvrPage, kCommand, "evr_page(", &run_evr_page, &compile_evr_page},
    {kRowEvrPrn, kCommand, "evr_prn(", &run_evr_prn, &compile_evr_prn},
    {kRowEvrRd, kCommand, "evr_rd(", &run_evr_rd, &compile_evr_rd},
    {kRowEvrWr, kCommand, "evr_wr(", &run_evr_wr, &compile_evr_wr},
    {kRowExtention, kCommand, "extention(", &run_extention, &compile_extention},
    {kRowFile, kCommand, "file(", &run_file, &compile_file},
    {kRowFilter, kCommand, "filter(", &run_filter, &compile_filter},
    {kRowFreset, kCommand, "freset(", &run_freset, &compile_no_arguments},
    {kRowGetad2, kCommand, "getad2(", &run_getad2, &compile_getad2},
    {kRowGpib, kCommand, "gpib(", &run_gpib, &compile_gpib},
    {kRowGpibMes, kCommand, "gpib_mes(", &run_gpib_mes, &compile_gpib_mes},
    {kRowInfo, kCommand, "info(", &run_info, &compile_info},
    {kRowInput, kCommand, "input(", &run_input, &compile_input},
    {kRowInputCh, kCommand, "input_ch(", &run_input_ch, &compile_input_ch},
    {kRowInterval, kCommand, "interval(", &run_interval, &compile_interval},
    {kRowIo, kCommand, "io(", &run_io, &compile_io},
    {kRowJt2642, kCommand, "jt2642(", &run_jt2642, &compile_jt2642},
    {kRowJudge, kCommand, "judge(", &run_judge, &compile_judge},
    {kRowJump, kCommand, "jump(", &run_jump, &compile_jump_call},
    {kRowKey, kCommand, "key(", &run_key, &compile_key},
    {kRowLanc, kCommand, "lanc(", &run_lanc, &compile_lanc},
    {kRowLimit, kCommand, "limit(", &run_limit, &compile_limit},
    {kRowLink, kCommand, "link(", &run_link, &compile_link},
    {kRowLog, kCommand, "log(", &run_log, &compile_log},
    {kRowLogic, kCommand, "logic(", &run_logic, &compile_counter_dc_logic},
    {kRowMessage, kCommand, "message(", &run_message, &compile_message},
    {kRowMotor, kCommand, "motor(", &run_motor, &compile_motor},
    {kRowMovead, kCommand, "movead(", &run_movead, &compile_movead},
    {kRowNc300, kCommand, "nc300(", &run_nc300, &compile_nc300},
    {kRowNc605, kCommand, "nc605(", &run_nc605, &compile_nc605},
    {kRowOkng, kCommand, "okng(", &run_okng, &compile_okng},
    {kRowPatgen, kCommand, "patgen(", &run_patgen, &compile_patgen},
    {kRowPeakdet, kCommand, "peakdet(", &run_peakdet, &compile_peakdet},
    {kRowPhase, kCommand, "phase(", &run_phase, &compile_phase},
    {kRowPi1284, kCommand, "pi1284(", &run_pi1284, &compile_pi1284},
    {kRowPower, kCommand, "power(", &run_power, &compile_power},
    {kRowPowerSet, kCommand, "power_set(", &run_power_set, &compile_power_set},
    {kRowPpdet, kCommand, "ppdet(", &run_ppdet, &compile_ppdet},
    {kRowPre, kCommand, "pre(", &run_pre, &compile_pre},
    {kRowReset, kCommand, "reset(", &run_reset, &compile_no_arguments},
    {kRowRet, kCommand, "ret(", &run_ret, &compile_ret},
    {kRowRjump, kCommand, "rjump(", &run_rjump, &compile_rjump},
    {kRowRs232c, kCommand, "rs232c(", &run_rs232c, &compile_rs232c},
    {kRowRscom, kCommand, "rscom(", &run_rscom, &compile_rscom},
    {kRowRwfile, kCommand, "rwfile(", &run_rwfile, &compile_rwfile},
    {kRowScreen, kCommand, "screen(", &run_screen, &compile_screen},
    {kRowSearch, kCommand, "search(", &run_search, &compile_search},
    {kRowSendmicon, kCommand, "sendmicon(", &run_sendmicon, &compile_sendmicon},
    {kRowSetaddata, kCommand, "setaddata(", &run_setaddata, &compile_setaddata},
    {kRowSetdata, kCommand, "setdata(", &run_setdata, &compile_setdata},
    {kRowSetesw, kCommand, "setesw(", &run_setesw, &compile_setesw},
    {kRowSetfsw, kCommand, "setfsw(", &run_setfsw, &compile_switches},
    {kRowSetsw, kCommand, "setsw(", &run_setsw, &compile_switches},
    {kRowShift, kCommand, "shift(", &run_shift, &compile_clamp_cmp_shift},
    {kRowShiftd, kCommand, "shiftd(", &run_shiftd, &compile_shiftd},
    {kRowShow, kCommand, "show(", &run_show, &compile_show},
    {kRowShowokng, kCommand, "showokng(", &run_showokng, &compile_showokng},
    {kRowSpec, kCommand, "spec(", &run_spec, &compile_spec},
    {kRowSplEnbLine, kCommand, "spl_enb_line(", &run_spl_enb_line, &compile_spl_enb_line},
    {kRowSquare, kCommand, "square(", &run_square, &compile_square},
    {kRowStartsw, kCommand, "startsw(", &run_startsw, &compile_startsw},
    {kRowStopmode, kCommand, "stopmode(", &run_stopmode, &compile_stopmode},
    {kRowTask, kCommand, "task(", &run_task, &compile_task},
    {kRowTerm, kCommand, "term(", &run_term, &compile_term},
    {kRowTimer, kCommand, "timer(", &run_timer, &compile_timer},
    {kRowTransient, kCommand, "transient(", &run_transient, &compile_transient},
    {kRowTrigCh, kCommand, "trig_ch(", &run_trig_ch, &compile_trig_ch},
    {kRowTx700, kCommand, "tx700(", &run_tx700, &compile_tx700},
    {kRowUser, kCommand, "user(", &run_user, &compile_user},
    {kRowVLevel, kCommand, "v_level(", &run_v_level, &compile_v_level},
    {kRowVOsc, kCommand, "v_osc(", &run_v_osc, &compile_v_osc},
    {kRowVector, kCommand, "vector(", &run_vector, &compile_vector},
    {kRowWait, kCommand, "wait(", &run_wait, &compile_wait},
    {kRowWave, kCommand, "wave(", &run_wave, &compile_wave},
    {kRowItemBottom, kMeasureItem, ",bottom(", &run_item_bottom, &compile_item},
    {kRowItemChromaDet, kMeasureItem, ",chroma_det(", &run_item_chroma_det, &compile_item_detect},
    {kRowItemChromaGain, kMeasureItem, ",chroma_gain(", &run_item_chroma_gain, &compile_item_video},
    {kRowItemChromaPhase, kMeasureItem, ",chroma_phase(", &run_item_chroma_phase, &compile_item_chroma_phase},
    {kRowItemDcVolt, kMeasureItem, ",dc_volt(", &run_item_dc_volt, &compile_item},
    {kRowItemDcVolt2, kMeasureItem, ",dc_volt2(", &run_item_dc_volt2, &compile_item},
    {kRowItemDigital, kMeasureItem, ",digital(", &run_item_digital, &compile_item},
    {kRowItemExtention, kMeasureItem, ",extention(", &run_item_extention, &compile_item},
    {kRowItemFrequency, kMeasureItem, ",frequency(", &run_item_frequency, &compile_item},
    {kRowItemGpibMes, kMeasureItem, ",gpib_mes(", &run_item_gpib_mes, &compile_item},
    {kRowItemInterval, kMeasureItem, ",interval(", &run_item_interval, &compile_item_detect},
    {kRowItemPeak, kMeasureItem, ",peak(", &run_item_peak, &compile_item},
    {kRowItemPeakPeak, kMeasureItem, ",peak_peak(", &run_item_peak_peak, &compile_item},
    {kRowItemPeriod, kMeasureItem, ",period(", &run_item_period, &compile_item},
    {kRowItemPhase, kMeasureItem, ",phase(", &run_item_phase, &compile_item},
    {kRowItemPulseWidth, kMeasureItem, ",pulse_width(", &run_item_pulse_width, &compile_item},
    {kRowItemRd, kMeasureItem, ",rd(", &run_item_rd, &compile_item},
    {kRowItemVLevel, kMeasureItem, ",v_level(", &run_item_v_level, &compile_item_video},
    {kRowItemVLevelLevel, kMeasureItem, ",v_level_level(", &run_item_v_level_level, &compile_item_video},
    {kRowModeAdjust, kModeKeyword, "adjust,", nullptr, &compile_mode_keyword},
    {kRowModeAutoAdjust, kModeKeyword, "auto_adjust,", nullptr, &compile_mode_keyword},
    {kRowModeCheck, kModeKeyword, "check,", nullptr, &compile_mode_keyword},
    {kRowNoOperation, kFirstCommand, "no_operation", nullptr, nullptr},
    {kRowEnd, kEndOfProgram, "end", nullptr, nullptr},
    {kRowEndOfTable, kEndOfTable, "", nullptr, nullptr},
};

namespace {

// The table and its row ids stay in step: row i carries id i, and only the last row ends it.
constexpr bool table_in_step() {
    for (int i = 0; i < kRowTotal; ++i) {
        if (kCommandTable[i].id != i) return false;
        if ((kCommandTable[i].kind == kEndOfTable) != (i == kRowTotal - 1)) return false;
    }
    return true;
}
static_assert(table_in_step(), "command table rows and CommandRowId disagree");

constexpr int rows_of_kind(CommandKind kind) {
    int n = 0;
    for (const CommandRow &row : kCommandTable) n += row.kind == kind;
    return n;
}
static_assert(rows_of_kind(kStepLabel) == 1 && rows_of_kind(kDeclaration) == 16 && rows_of_kind(kCommand) == 107 &&
              rows_of_kind(kMeasureItem) == 19 && rows_of_kind(kModeKeyword) == 3 &&
              rows_of_kind(kFirstCommand) == 1 && rows_of_kind(kEndOfProgram) == 1);

}  // namespace

CommandTable command_table() { return CommandTable(kCommandTable); }

}  // namespace ksw
