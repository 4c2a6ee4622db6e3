// The jig's configuration, the board library and the byte access to an I/O address.
#include "runtime/jig/jig_ports.h"

#include <cstdio>

#include "platform/io_ports.h"
#include "runtime/jig/jig_access.h"

namespace ksw {

namespace jig_detail {
namespace {
thread_local int t_operation_depth = 0;
}  // namespace

__attribute__((noinline)) void dummy_wait() { __asm__ __volatile__("" ::: "memory"); }

TraceScope::TraceScope(const JigPorts &jig) : trace_(t_operation_depth++ == 0 ? jig.trace : nullptr) {}
TraceScope::~TraceScope() { --t_operation_depth; }

void TraceScope::write(std::string text, int rc, const char *note) {
    text += note;
    if (rc > 0) text += format_text(" -> e%03d", {rc});
    trace_->write(text);
}

}  // namespace jig_detail

namespace {

constexpr uint32_t kBoardFamily = 2746;  // 0x0ABA in the first device-information value
constexpr int kDeviceInfoValues = 14;
constexpr int kLastBoardNumber = 255;    // devices FBIPPI1 ... FBIPPI255

}  // namespace

bool JigWaiter::wait(uint32_t ms) const {
    if (sleep) return sleep(context, ms);
    platform::sleep_ms(ms);
    return true;
}

JigPorts &jig_ports() {
    static JigPorts jig;
    return jig;
}

void reset_jig_ports(JigPorts &jig) {
    UnloadPpiBoards(jig);
    configure_jig(jig, JigOptions{});
    for (auto &port : jig.output_ports) port.store(0, std::memory_order_relaxed);
    for (auto &latch : jig.latches) latch.store(0, std::memory_order_relaxed);
    for (auto &word : jig.ext0_words) word.store(0, std::memory_order_relaxed);
    jig.psu_words = {{{0, 0x0700}, {0, 0x0700}}};
    jig.last_ad_read_tick.store(0, std::memory_order_relaxed);
    jig.down_switch_step.store(-1, std::memory_order_relaxed);
    jig.trace = nullptr;
}

void configure_jig(JigPorts &jig, const JigOptions &options) {
    jig.chips = options.chips;
    jig.e0_seq_mode = options.e0_seq_mode;
    jig.direct_io = options.direct_io;
    set_port_access_mode(jig, options.access_mode);
}

void set_port_access_mode(JigPorts &jig, int mode) {
    jig.access_mode.store(mode < kAccessJig || mode > kAccessNoPortIo ? kAccessJig : mode, std::memory_order_relaxed);
}

std::vector<uint16_t> direct_ports(const JigPorts &jig) {
    std::vector<uint16_t> ports;
    for (int chip = 0; chip < kJigChips; ++chip) {
        if (!chip_configured(jig, chip)) continue;
        for (const uint16_t address : jig.chips[static_cast<size_t>(chip)])
            if (address >= 256 || !jig.boards_bound) ports.push_back(address);
    }
    return ports;
}

int LoadPpiBoards(JigPorts &jig, std::string *notice) {
    UnloadPpiBoards(jig);
    if (notice) notice->clear();
    if (!jig.board_library.load("fbippi.dll")) return 0;  // not installed: every address is direct
    PpiBoardApi api;
    const char *missing = nullptr;
    if (!jig.board_library.bind("PpiOpen", &api.open)) missing = "PpiOpen";
    else if (!jig.board_library.bind("PpiClose", &api.close)) missing = "PpiClose";
    else if (!jig.board_library.bind("PpiControl", &api.control)) missing = "PpiControl";
    else if (!jig.board_library.bind("PpiInputPort", &api.input)) missing = "PpiInputPort";
    else if (!jig.board_library.bind("PpiOutputPort", &api.output)) missing = "PpiOutputPort";
    else if (!jig.board_library.bind("PpiCommonGetPciDeviceInfo", &api.device_info)) missing = "PpiCommonGetPciDeviceInfo";
    if (missing) {
        if (notice) *notice = "fbippi.dll (" + jig.board_library.path() + ") has no " + missing + "; no PCI board is used";
        jig.board_library.unload();
        return 0;
    }
    jig.ppi = api;
    jig.board_handles.fill(-1);
    int boards = 0;
    for (int n = 1; n <= kLastBoardNumber; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "FBIPPI%d", n);
        const int32_t handle = api.open(name, 2);
        if (handle < 0) continue;  // no such device
        uint32_t info[kDeviceInfoValues] = {};
        if (api.device_info(handle, info) != 0) {
            api.close(handle);
            break;
        }
        const uint32_t slot = info[kDeviceInfoValues - 1];
        // A handle that is not filed (another family, a slot out of range or taken) is closed
        // again rather than left open for the life of the station.
        if (info[0] != kBoardFamily || slot >= kPpiSlots || jig.board_handles[slot] != -1) {
            api.close(handle);
            continue;
        }
        jig.board_handles[slot] = handle;
        ++boards;
    }
    jig.boards_bound = true;
    return boards;
}

void UnloadPpiBoards(JigPorts &jig) {
    if (jig.boards_bound) {
        for (int32_t &handle : jig.board_handles) {
            if (handle != -1) jig.ppi.close(handle);
            handle = -1;
        }
    }
    jig.board_handles.fill(-1);
    jig.boards_bound = false;
    jig.ppi = PpiBoardApi{};
    jig.board_library.unload();
}

uint8_t PortIn(JigPorts &jig, uint32_t address) {
    if (jig.access_mode.load(std::memory_order_relaxed) > kAccessNoJig) return 0;
    if (address < 256 && jig.boards_bound) {
        const int32_t handle = jig.board_handles[(address / 16) % 16];
        if (handle == -1 || address % 8 >= 6) return 0;
        int32_t value = 0;
        jig.ppi.input(handle, static_cast<int32_t>(address & 1), static_cast<int32_t>((address >> 1) & 3), &value);
        return static_cast<uint8_t>(value);
    }
    if (!jig.direct_io || address > 0xFFFF) return 0xFF;
    return platform::io_port_in(static_cast<uint16_t>(address));
}

void PortOut(JigPorts &jig, uint32_t address, uint8_t value) {
    if (jig.access_mode.load(std::memory_order_relaxed) > kAccessNoJig) return;
    if (address < 256 && jig.boards_bound) {
        const int32_t handle = jig.board_handles[(address / 16) % 16];
        if (handle == -1) return;
        const int32_t chip = static_cast<int32_t>(address & 1);
        const int32_t port = static_cast<int32_t>((address >> 1) & 3);
        if (port == kPortControl) jig.ppi.control(handle, chip, value);
        else jig.ppi.output(handle, chip, port, value);
        return;
    }
    if (jig.direct_io && address <= 0xFFFF) platform::io_port_out(static_cast<uint16_t>(address), value);
}

void trace_jig_event(JigPorts &jig, const std::string &text) {
    if (jig.trace) jig.trace->write(text);
}

}  // namespace ksw
