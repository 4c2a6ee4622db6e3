// The EVR image and the cell operations over the driver back-end.
#include <algorithm>
#include <vector>

#include "resources/error_codes.h"
#include "runtime/evr/evr_layer.h"

namespace ksw {
namespace {

constexpr int kPageCells = 256;
constexpr intptr_t kKindMemory = 3;     // EVRFunction kind of the memory services
constexpr intptr_t kRomBlockRead = 1;   // service 1 (read) on the EEPROM ...
constexpr intptr_t kRamBlockRead = 11;  // ... and on the RAM

using Lock = std::lock_guard<std::recursive_mutex>;

enum class Access { kRomRead, kRamRead, kRamWrite, kRomWrite };

bool is_cell(int cell) { return cell >= 0 && cell < kEvrCellCount; }
int page_of(int cell) { return cell / kPageCells; }
int current_page(const EvrLayer &layer) { return static_cast<int>((layer.image->current >> 8) & 0xFF); }

// The driver back-end is in force and bound: 0; e170 without a usable back-end; e171 when the
// driver is not bound or lacks the entry point the access needs (calling it would crash).
int driver_ready(const EvrLayer &layer, const void *entry) {
    if (layer.type.load(std::memory_order_relaxed) != kEvrTypeDriver) return kErrNotSupportedComType;
    if (!layer.library.loaded() || !entry) return kErrEvrMissingDll;
    return kOk;
}

// Stores a value and state in the image and refreshes the cell's display. Lock held.
void store(EvrLayer &layer, int cell, uint32_t value, EvrCellState state, int32_t link) {
    EvrImage &image = *layer.image;
    image.values[static_cast<size_t>(cell)] = static_cast<uint16_t>(value & layer.mask());
    image.states[static_cast<size_t>(cell)] = state;
    if (link >= 0) image.links[static_cast<size_t>(cell)] = link;
    if (layer.on_cell) layer.on_cell(cell);
}

// Selects a page with the driver. Lock held.
int select_page(EvrLayer &layer, int page) {
    if (!layer.ignore.load(std::memory_order_relaxed)) {
        if (const int rc = driver_ready(layer, reinterpret_cast<const void *>(layer.api.page)); rc != kOk) return rc;
        if (const int rc = evr_result(layer.api.page(layer.context_word(), page)); rc != kOk) return rc;
    }
    layer.image->current = (layer.image->current & 0xFF) | (static_cast<uint32_t>(page & 0xFF) << 8);
    return kOk;
}

const void *entry_for(const EvrDriverApi &api, Access access) {
    switch (access) {
    case Access::kRomRead: return reinterpret_cast<const void *>(api.rom_read);
    case Access::kRamRead: return reinterpret_cast<const void *>(api.ram_read);
    case Access::kRamWrite: return reinterpret_cast<const void *>(api.ram_write);
    default: return reinterpret_cast<const void *>(api.eep_write);
    }
}

int call_driver(EvrLayer &layer, Access access, int32_t address, uint32_t *value) {
    const EvrDriverApi &api = layer.api;
    const intptr_t context = layer.context_word();
    int32_t read = 0;
    int32_t r = 0;
    switch (access) {
    case Access::kRomRead: r = api.rom_read(context, address, &read); break;
    case Access::kRamRead: r = api.ram_read(context, address, &read); break;
    case Access::kRamWrite: r = api.ram_write(context, address, static_cast<int32_t>(*value)); break;
    case Access::kRomWrite: r = api.eep_write(context, address, static_cast<int32_t>(*value)); break;
    }
    if (r == 0 && (access == Access::kRomRead || access == Access::kRamRead)) *value = static_cast<uint32_t>(read);
    return evr_result(r);
}

// One cell's access: the page selected when the cell lies on another, the driver called, the
// image updated (not for a negative cell, which is the device's current cell). `*value` is the
// value to write (masked already) or receives the value read. Lock held.
int access_cell(EvrLayer &layer, int cell, Access access, uint32_t *value, int32_t link) {
    if (cell >= kEvrCellCount) return kErrOutOfRange;
    const bool reading = access == Access::kRomRead || access == Access::kRamRead;
    if (layer.ignore.load(std::memory_order_relaxed)) {
        if (reading && cell >= 0) *value = layer.image->values[static_cast<size_t>(cell)];
    } else {
        if (const int rc = driver_ready(layer, entry_for(layer.api, access)); rc != kOk) return rc;
        if (cell >= 0 && page_of(cell) != current_page(layer)) {
            if (const int rc = select_page(layer, page_of(cell)); rc != kOk) return rc;
        }
        const int32_t address = cell >= 0 ? cell & 0xFF : static_cast<int32_t>(layer.image->current & 0xFF);
        if (const int rc = call_driver(layer, access, address, value); rc != kOk) return rc;
    }
    *value &= layer.mask();
    if (cell < 0) return kOk;
    static constexpr EvrCellState kStates[] = {kEvrRomRead, kEvrRamRead, kEvrRamWritten, kEvrRomWritten};
    store(layer, cell, *value, kStates[static_cast<int>(access)], link);
    layer.image->current = static_cast<uint32_t>(cell);
    return kOk;
}

// One chunk of a block read: `count` cells from `first`, all on one page. Lock held.
int read_chunk(EvrLayer &layer, bool rom, int first, int count) {
    if (const int rc = driver_ready(layer, reinterpret_cast<const void *>(layer.api.function)); rc != kOk) return rc;
    if (page_of(first) != current_page(layer)) {
        if (const int rc = select_page(layer, page_of(first)); rc != kOk) return rc;
    }
    std::array<uint16_t, kPageCells> buffer{};
    int32_t length = count;
    intptr_t record[5] = {rom ? kRomBlockRead : kRamBlockRead, 0, first & 0xFF, reinterpret_cast<intptr_t>(buffer.data()),
                          reinterpret_cast<intptr_t>(&length)};
    if (const int rc = evr_result(layer.api.function(layer.context_word(), kKindMemory, record)); rc != kOk) return rc;
    for (int i = 0; i < count; ++i) store(layer, first + i, buffer[static_cast<size_t>(i)], rom ? kEvrRomRead : kEvrRamRead, -1);
    return kOk;
}

}  // namespace

void clear_evr_image(EvrLayer &layer) {
    Lock hold(layer.lock);
    EvrImage &image = *layer.image;
    image.values.fill(layer.mask());
    image.states.fill(kEvrUnset);
    image.links.fill(-1);
    image.current = image.saved = 0;
}

int evr_command_page(const EvrLayer &layer) { return static_cast<int>((layer.image->saved >> 8) & 0xFF); }

int evr_command_cell(const EvrLayer &layer, int address) {
    return address < 0 ? address : evr_command_page(layer) * kPageCells + (address & 0xFF);
}

int evr_read(EvrLayer &layer, int cell, bool rom, uint16_t *value, int32_t link) {
    Lock hold(layer.lock);
    uint32_t read = 0;
    const int rc = access_cell(layer, cell, rom ? Access::kRomRead : Access::kRamRead, &read, link);
    if (rc == kOk && value) *value = static_cast<uint16_t>(read);
    return rc;
}

int evr_write(EvrLayer &layer, int cell, uint32_t value, bool rom, int32_t link) {
    Lock hold(layer.lock);
    uint32_t masked = value & layer.mask();
    return access_cell(layer, cell, rom ? Access::kRomWrite : Access::kRamWrite, &masked, link);
}

int evr_write_back_cell(EvrLayer &layer, int cell) {
    Lock hold(layer.lock);
    if (!is_cell(cell)) return kErrOutOfRange;
    if (layer.image->states[static_cast<size_t>(cell)] == kEvrUnset) return kErrEvrNotSet;
    return evr_write(layer, cell, layer.image->values[static_cast<size_t>(cell)], true);
}

int evr_write_back_page(EvrLayer &layer) {
    Lock hold(layer.lock);
    const uint32_t position = layer.image->current;
    const int first = current_page(layer) * kPageCells;
    int rc = kOk;
    for (int cell = first; rc == kOk && cell < first + kPageCells; ++cell) {
        if (layer.image->states[static_cast<size_t>(cell)] != kEvrUnset)
            rc = evr_write(layer, cell, layer.image->values[static_cast<size_t>(cell)], true);
    }
    layer.image->current = position;
    return rc;
}

int evr_set_page(EvrLayer &layer, int page, bool command) {
    if (page < 0 || page > 255) return kErrOutOfRange;
    Lock hold(layer.lock);
    if (const int rc = select_page(layer, page); rc != kOk) return rc;
    if (command) layer.image->saved = layer.image->current;
    return kOk;
}

int evr_block(EvrLayer &layer, EvrBlock operation, int first, int count) {
    if (layer.type.load(std::memory_order_relaxed) == kEvrTypeNone) return kErrNotSupportedComType;
    if (first < 0 || count < 0 || first + count > kEvrCellCount) return kErrOutOfRange;
    Lock hold(layer.lock);
    const bool rom = operation == EvrBlock::kRomRead || operation == EvrBlock::kRomWrite;
    if (operation == EvrBlock::kRomWrite || operation == EvrBlock::kRamWrite) {
        for (int cell = first; cell < first + count; ++cell) {
            if (const int rc = evr_write(layer, cell, layer.image->values[static_cast<size_t>(cell)], rom); rc != kOk)
                return rc;
        }
        return kOk;
    }
    for (int cell = first; cell < first + count;) {
        const int chunk = std::min(first + count - cell, kPageCells - (cell & 0xFF));
        if (layer.ignore.load(std::memory_order_relaxed)) {
            for (int i = 0; i < chunk; ++i)
                store(layer, cell + i, layer.image->values[static_cast<size_t>(cell + i)], rom ? kEvrRomRead : kEvrRamRead, -1);
        } else if (const int rc = read_chunk(layer, rom, cell, chunk); rc != kOk) {
            return rc;
        }
        cell += chunk;
    }
    return kOk;
}

}  // namespace ksw
