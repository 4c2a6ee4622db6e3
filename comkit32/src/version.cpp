#include "comkit32.h"

COMKIT_API int ComkitGetVersion(void) { return 0x113; }
