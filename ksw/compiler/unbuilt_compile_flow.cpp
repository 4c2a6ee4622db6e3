// Compile handlers of the command table that are not built yet (declarations, registers, flow and screen texts). Each fails with e029
// "Undefined command" instead of pretending to work, so a program that uses such a keyword does
// not load. As a handler is built in its own file, its line here goes away.
#include "compiler/handlers.h"
#include "resources/error_codes.h"

namespace ksw {

#define KSW_UNBUILT_COMPILE(name) \
    int name(CompileArgs &) { return kErrUndefinedCommand; }


}  // namespace ksw
