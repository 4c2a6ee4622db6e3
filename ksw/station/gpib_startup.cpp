#include "station/gpib_startup.h"

namespace ksw {

GpibOptions gpib_options_for(const Settings &settings) {
    GpibOptions options;
    options.board = settings.gpib_board_no;
    options.mes_delay_ms = settings.gpib_mes_delay > 0 ? static_cast<uint32_t>(settings.gpib_mes_delay) : 0;
    options.ignore = settings.evr_ignore;
    return options;
}

}  // namespace ksw
