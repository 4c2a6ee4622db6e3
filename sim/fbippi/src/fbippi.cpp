// The PCI parallel-I/O board library in front of the simulated jig: a table of open handles, each
// naming the slot of its board; every byte access goes to that board's chips in the simulated
// world. The handle table is lock-free, so a port access takes only the world's lock.
#include <array>
#include <atomic>
#include <cstring>
#include <strings.h>

#include "fbippi.h"
#include "jigsim.h"

namespace {

constexpr int kHandles = 64;
constexpr uint32_t kBoardFamily = 2746;
constexpr uint32_t kBoardModel = 1;

// Per handle: the slot of its board plus 1; 0 while the handle is closed. Zero at load time.
std::array<std::atomic<int>, kHandles> g_slot_plus_one;

// The slot of an open handle, -1 for a bad or closed one.
int slot_of(int32_t handle) {
    if (handle < 0 || handle >= kHandles) return -1;
    return g_slot_plus_one[static_cast<size_t>(handle)].load() - 1;
}

bool valid_chip(int32_t chip) { return chip == 0 || chip == 1; }

}  // namespace

FBIPPI_API int32_t PpiOpen(const char *device_name, int32_t /*access_mode*/) {
    if (!device_name) return -1;
    const int boards = jigsim_ppi_board_count();
    for (int i = 0; i < boards; ++i) {
        char name[32];
        int slot = 0;
        if (jigsim_ppi_board(i, name, sizeof name, &slot) != 0 || strcasecmp(name, device_name) != 0) continue;
        for (int h = 0; h < kHandles; ++h) {
            int closed = 0;
            if (g_slot_plus_one[static_cast<size_t>(h)].compare_exchange_strong(closed, slot + 1)) return h;
        }
        return -1;
    }
    return -1;
}

FBIPPI_API int32_t PpiClose(int32_t handle) {
    if (handle < 0 || handle >= kHandles) return -1;
    return g_slot_plus_one[static_cast<size_t>(handle)].exchange(0) == 0 ? -1 : 0;
}

FBIPPI_API int32_t PpiControl(int32_t handle, int32_t chip, int32_t control_word) {
    const int slot = slot_of(handle);
    if (slot < 0 || !valid_chip(chip)) return -1;
    return jigsim_ppi_control(slot, chip, control_word & 0xFF);
}

FBIPPI_API int32_t PpiInputPort(int32_t handle, int32_t chip, int32_t port, int32_t *value) {
    const int slot = slot_of(handle);
    if (slot < 0 || !valid_chip(chip) || !value) return -1;
    int byte = 0;
    if (jigsim_ppi_read(slot, chip, port, &byte) != 0) return -1;
    *value = byte;
    return 0;
}

FBIPPI_API int32_t PpiOutputPort(int32_t handle, int32_t chip, int32_t port, int32_t value) {
    const int slot = slot_of(handle);
    if (slot < 0 || !valid_chip(chip)) return -1;
    return jigsim_ppi_write(slot, chip, port, value & 0xFF);
}

FBIPPI_API int32_t PpiCommonGetPciDeviceInfo(int32_t handle, uint32_t info[PPI_DEVICE_INFO_VALUES]) {
    const int slot = slot_of(handle);
    if (slot < 0 || !info) return -1;
    std::memset(info, 0, PPI_DEVICE_INFO_VALUES * sizeof info[0]);
    info[0] = kBoardFamily;
    info[1] = kBoardModel;
    info[3] = static_cast<uint32_t>(slot);
    info[PPI_DEVICE_INFO_VALUES - 1] = static_cast<uint32_t>(slot);
    return 0;
}
