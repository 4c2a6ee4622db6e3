// Run handlers of the command table that are not built yet. Each fails with e029 "Undefined
// command" instead of pretending to work, so a step that uses such a command stops with that
// message. As a handler is built in its own file, its line here goes away.
#include "runtime/run_handlers.h"
#include "resources/error_codes.h"

namespace ksw {

#define KSW_UNBUILT_RUN(name) \
    int name(RunContext &, const CommandRecord &) { return kErrUndefinedCommand; }

KSW_UNBUILT_RUN(run_a_osc)
KSW_UNBUILT_RUN(run_bar)
KSW_UNBUILT_RUN(run_barcode)
KSW_UNBUILT_RUN(run_beep)
KSW_UNBUILT_RUN(run_cls)
KSW_UNBUILT_RUN(run_color)
KSW_UNBUILT_RUN(run_colorbar)
KSW_UNBUILT_RUN(run_dic)
KSW_UNBUILT_RUN(run_evr_adj)
KSW_UNBUILT_RUN(run_evr_adj2)
KSW_UNBUILT_RUN(run_evr_func)
KSW_UNBUILT_RUN(run_evr_page)
KSW_UNBUILT_RUN(run_evr_prn)
KSW_UNBUILT_RUN(run_evr_rd)
KSW_UNBUILT_RUN(run_evr_wr)
KSW_UNBUILT_RUN(run_file)
KSW_UNBUILT_RUN(run_gpib)
KSW_UNBUILT_RUN(run_info)
KSW_UNBUILT_RUN(run_input)
KSW_UNBUILT_RUN(run_jt2642)
KSW_UNBUILT_RUN(run_lanc)
KSW_UNBUILT_RUN(run_log)
KSW_UNBUILT_RUN(run_logic)
KSW_UNBUILT_RUN(run_message)
KSW_UNBUILT_RUN(run_motor)
KSW_UNBUILT_RUN(run_nc300)
KSW_UNBUILT_RUN(run_nc605)
KSW_UNBUILT_RUN(run_patgen)
KSW_UNBUILT_RUN(run_peakdet)
KSW_UNBUILT_RUN(run_pi1284)
KSW_UNBUILT_RUN(run_rs232c)
KSW_UNBUILT_RUN(run_rscom)
KSW_UNBUILT_RUN(run_rwfile)
KSW_UNBUILT_RUN(run_screen)
KSW_UNBUILT_RUN(run_search)
KSW_UNBUILT_RUN(run_sendmicon)
KSW_UNBUILT_RUN(run_shiftd)
KSW_UNBUILT_RUN(run_show)
KSW_UNBUILT_RUN(run_showokng)
KSW_UNBUILT_RUN(run_spec)
KSW_UNBUILT_RUN(run_square)
KSW_UNBUILT_RUN(run_task)
KSW_UNBUILT_RUN(run_term)
KSW_UNBUILT_RUN(run_transient)
KSW_UNBUILT_RUN(run_tx700)
KSW_UNBUILT_RUN(run_user)
KSW_UNBUILT_RUN(run_v_osc)
KSW_UNBUILT_RUN(run_vector)
KSW_UNBUILT_RUN(run_wave)

}  // namespace ksw
