// A board library named like the current one that lacks its receive entry point.
#include <cstdint>

#define ENTRY extern "C" __attribute__((visibility("default"))) int32_t

ENTRY PciGpibExInitBoard(int32_t, void *) { return 0; }
ENTRY PciGpibExFinishBoard(int32_t) { return 0; }
ENTRY PciGpibExSetConfig(int32_t, const char *) { return 0; }
ENTRY PciGpibExSetRen(int32_t) { return 0; }
ENTRY PciGpibExResetRen(int32_t) { return 0; }
ENTRY PciGpibExSetIfc(int32_t, int32_t) { return 0; }
ENTRY PciGpibExMastSendData(int32_t, const int32_t *, int32_t, const char *, int32_t) { return 0; }
