// The eight entry points of the board library. Built twice: as libgpc4304.so with the names
// PciGpibEx..., and with GPIB_OLDER_NAMES as libvcw4301.so with the names Gpib...
#include "bus.h"

#ifdef GPIB_OLDER_NAMES
#define GPIB_ENTRY(name) extern "C" __attribute__((visibility("default"))) int32_t Gpib##name
#else
#include "gpib_board.h"  // the declarations this build must match
#define GPIB_ENTRY(name) GPIB_BOARD_API int32_t PciGpibEx##name
#endif

namespace gpibsim {
#ifdef GPIB_OLDER_NAMES
extern const char *const kReportHookName = "gpib-vcw4301";
#else
extern const char *const kReportHookName = "gpib";
#endif
}  // namespace gpibsim

using gpibsim::bus;

GPIB_ENTRY(InitBoard)(int32_t board, void * /*window*/) { return bus().init_board(board); }
GPIB_ENTRY(FinishBoard)(int32_t board) { return bus().finish_board(board); }
GPIB_ENTRY(SetConfig)(int32_t board, const char *config) { return bus().set_config(board, config); }
GPIB_ENTRY(SetRen)(int32_t board) { return bus().set_remote(board, true); }
GPIB_ENTRY(ResetRen)(int32_t board) { return bus().set_remote(board, false); }
GPIB_ENTRY(SetIfc)(int32_t board, int32_t /*time*/) { return bus().clear_interface(board); }
GPIB_ENTRY(MastSendData)(int32_t board, const int32_t *addresses, int32_t length, const char *data, int32_t /*mode*/) {
    return bus().send(board, addresses, length, data);
}
GPIB_ENTRY(MastRecvData)(int32_t board, const int32_t *addresses, int32_t *length, char *buffer, int32_t /*mode*/) {
    return bus().receive(board, addresses, length, buffer);
}
