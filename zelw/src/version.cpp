#include "zelw.h"

// The version text "275" read as hexadecimal.
ZELW_API int ZelwGetVersion(void) { return 0x275; }
