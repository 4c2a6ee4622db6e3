// The bus of the library, its report lines in the world's state file, and the test interface.
#include <cstring>

#include "bus.h"
#include "gpib_sim.h"
#include "jigsim.h"

namespace gpibsim {

extern const char *const kReportHookName;  // one per board library

namespace {

size_t write_report_lines(char *buf, size_t len, void *) {
    const std::string lines = bus().report_lines();
    if (!lines.empty() && len >= lines.size()) std::memcpy(buf, lines.data(), lines.size());
    return lines.size();
}

}  // namespace

Bus &bus() {
    static Bus *const made = [] {
        auto *b = new Bus;
        (void)b->reset();
        (void)jigsim_report_hook(kReportHookName, &write_report_lines, nullptr);
        return b;
    }();
    return *made;
}

}  // namespace gpibsim

using gpibsim::bus;

GPIB_SIM_API int gpib_sim_reset(void) { return bus().reset(); }
GPIB_SIM_API int gpib_sim_set_reply(int address, const char *reply) { return bus().set_reply(address, reply); }
GPIB_SIM_API int gpib_sim_set_silent(int address, int silent) { return bus().set_silent(address, silent != 0); }
GPIB_SIM_API int gpib_sim_set_error(int address, int32_t code) { return bus().set_error(address, code); }
GPIB_SIM_API int gpib_sim_set_delay(int address, uint32_t ms) { return bus().set_delay(address, ms); }
GPIB_SIM_API size_t gpib_sim_sent_count(void) { return bus().sent_count(); }
GPIB_SIM_API long gpib_sim_sent(size_t index, int *address, char *text, size_t len) {
    return bus().sent(index, address, text, len);
}
GPIB_SIM_API uint64_t gpib_sim_sent_dropped(void) { return bus().sent_dropped(); }
GPIB_SIM_API void gpib_sim_clear_sent(void) { bus().clear_sent(); }
GPIB_SIM_API long gpib_sim_reads(int address) { return bus().reads(address); }
GPIB_SIM_API int gpib_sim_board(int board, gpib_sim_board_state *out) { return bus().board_state(board, out); }
