// Compile handlers of the command table that are not built yet (declarations, registers, flow and screen texts). Each fails with e029
// "Undefined command" instead of pretending to work, so a program that uses such a keyword does
// not load. As a handler is built in its own file, its line here goes away.
#include "compiler/handlers.h"
#include "resources/error_codes.h"

namespace ksw {

#define KSW_UNBUILT_COMPILE(name) \
    int name(CompileArgs &) { return kErrUndefinedCommand; }

KSW_UNBUILT_COMPILE(compile_abs)
KSW_UNBUILT_COMPILE(compile_check_time)
KSW_UNBUILT_COMPILE(compile_comment)
KSW_UNBUILT_COMPILE(compile_count)
KSW_UNBUILT_COMPILE(compile_focus)
KSW_UNBUILT_COMPILE(compile_global)
KSW_UNBUILT_COMPILE(compile_level)
KSW_UNBUILT_COMPILE(compile_min_max)
KSW_UNBUILT_COMPILE(compile_mode)
KSW_UNBUILT_COMPILE(compile_ng_jmp)
KSW_UNBUILT_COMPILE(compile_ok_count)
KSW_UNBUILT_COMPILE(compile_ok_jmp)
KSW_UNBUILT_COMPILE(compile_sample_tact)
KSW_UNBUILT_COMPILE(compile_setcall)
KSW_UNBUILT_COMPILE(compile_setup_time)
KSW_UNBUILT_COMPILE(compile_wform)
KSW_UNBUILT_COMPILE(compile_no_arguments)
KSW_UNBUILT_COMPILE(compile_copy)
KSW_UNBUILT_COMPILE(compile_copyad)
KSW_UNBUILT_COMPILE(compile_movead)
KSW_UNBUILT_COMPILE(compile_setaddata)
KSW_UNBUILT_COMPILE(compile_setdata)
KSW_UNBUILT_COMPILE(compile_calcad)
KSW_UNBUILT_COMPILE(compile_calcrd)
KSW_UNBUILT_COMPILE(compile_calc)
KSW_UNBUILT_COMPILE(compile_search)
KSW_UNBUILT_COMPILE(compile_shiftd)
KSW_UNBUILT_COMPILE(compile_judge)
KSW_UNBUILT_COMPILE(compile_check)
KSW_UNBUILT_COMPILE(compile_okng)
KSW_UNBUILT_COMPILE(compile_jump_call)
KSW_UNBUILT_COMPILE(compile_rjump)
KSW_UNBUILT_COMPILE(compile_ret)
KSW_UNBUILT_COMPILE(compile_link)
KSW_UNBUILT_COMPILE(compile_limit)
KSW_UNBUILT_COMPILE(compile_stopmode)
KSW_UNBUILT_COMPILE(compile_timer)
KSW_UNBUILT_COMPILE(compile_wait)
KSW_UNBUILT_COMPILE(compile_input)
KSW_UNBUILT_COMPILE(compile_message)
KSW_UNBUILT_COMPILE(compile_show)
KSW_UNBUILT_COMPILE(compile_showokng)
KSW_UNBUILT_COMPILE(compile_file)
KSW_UNBUILT_COMPILE(compile_switches)
KSW_UNBUILT_COMPILE(compile_interval)

}  // namespace ksw
