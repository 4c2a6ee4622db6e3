// Run handlers of the command table that are not built yet. Each fails with e029 "Undefined
// command" instead of pretending to work, so a step that uses such a command stops with that
// message. As a handler is built in its own file, its line here goes away.
#include "runtime/run_handlers.h"
#include "resources/error_codes.h"

namespace ksw {

#define KSW_UNBUILT_RUN(name) \
    int name(RunContext &, const CommandRecord &) { return kErrUndefinedCommand; }

KSW_UNBUILT_RUN(run_colorbar)
KSW_UNBUILT_RUN(run_logic)
KSW_UNBUILT_RUN(run_peakdet)
KSW_UNBUILT_RUN(run_spec)

}  // namespace ksw
