// The EVR layer: the image of the product's 65536 EVR cells (page * 256 + address), the back-end
// that reaches the product (an EVR driver library bound by name), the EVR lock, and the cell
// operations that the commands, the adjustment, the EVR files and the EVR windows share.
//
// One layer per station (evr_layer()). Every device access (single cell, page selection, block
// transfer) and the image update that goes with it happen under `lock`, so the sequencer (or a
// link member) and the EVR windows never interleave accesses. The options that the run reads
// without the lock are atomics.
//
// Every operation returns 0 or an error of the message table: e170 without a back-end, e075..e085
// for a driver result r (r + 74), e086 for the write-back of a cell never set.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "platform/dynlib.h"

namespace ksw {

class SerialLink;

constexpr int kEvrCellCount = 65536;

// What the image knows about a cell.
enum EvrCellState : uint16_t {
    kEvrUnset = 0,
    kEvrRomWritten = 1,
    kEvrRamWritten = 2,
    kEvrRomRead = 3,
    kEvrRamRead = 4,
};

// The back-end chosen by "EVRType".
enum EvrType : int { kEvrTypeNone = -1, kEvrTypeLanc = 0, kEvrTypeIeee1284 = 1, kEvrTypeDriver = 2 };

// The image: values and states of every cell, the ad[] register each cell was last read into,
// and the current and saved positions (page * 256 + address; the page byte of the current
// position is the page selected in the product, that of the saved position the page that
// commands address).
struct EvrImage {
    std::array<uint16_t, kEvrCellCount> values{};
    std::array<uint16_t, kEvrCellCount> states{};
    std::array<int32_t, kEvrCellCount> links{};
    uint32_t current = 0;
    uint32_t saved = 0;
};

// The entry points of an EVR driver library (the first argument of most is the caller's context
// word, the serial port's handle).
struct EvrDriverApi {
    int32_t (*close)() = nullptr;
    int32_t (*get_version)() = nullptr;
    int32_t (*get_type)() = nullptr;
    int32_t (*open)(intptr_t context, const int32_t *kind) = nullptr;
    int32_t (*rom_read)(intptr_t context, int32_t address, int32_t *result) = nullptr;
    int32_t (*ram_read)(intptr_t context, int32_t address, int32_t *result) = nullptr;
    int32_t (*ram_write)(intptr_t context, int32_t address, int32_t data) = nullptr;
    int32_t (*eep_write)(intptr_t context, int32_t address, int32_t data) = nullptr;
    int32_t (*eep_write_verify)(intptr_t context, int32_t address, int32_t data) = nullptr;
    int32_t (*page)(intptr_t context, int32_t page) = nullptr;
    int32_t (*function)(intptr_t context, int32_t kind, intptr_t *record) = nullptr;
};

// The EVR driver libraries, in the order they are tried.
constexpr std::array<const char *, 4> kEvrDriverNames{"Potdrv.dll", "HBUS.dll", "QT41.dll", "VM7X.dll"};
constexpr int32_t kEvrLeastDriverVersion = 0x104;

// Outcome of load_evr_driver.
enum class EvrLoad {
    kLoaded,       // bound (or bound already)
    kNoLibrary,    // none of the names loads: no message
    kTooOld,       // version below 0x104, or no EVRGetVersion / EVRGetType: "s024"
    kCannotOpen,   // a type-2 driver whose EVROpen failed: "s025"
};

// The message id a load outcome shows (0: none).
int evr_load_message(EvrLoad outcome);

// Block operations.
enum class EvrBlock { kRomRead, kRamRead, kRamWrite, kRomWrite };

struct EvrLayer {
    std::recursive_mutex lock;  // the EVR lock
    // The image (about 640 KB): null only when it could not be allocated, and then the station
    // does not start (every operation below needs it).
    std::unique_ptr<EvrImage> image{new (std::nothrow) EvrImage()};

    platform::DynamicLibrary library;  // the bound driver, when one is
    EvrDriverApi api{};
    int32_t driver_type = 0;
    std::string driver_path;

    std::atomic<int> type{kEvrTypeNone};       // the back-end in force
    std::atomic<int> width{8};                 // "EVRWidth": 8 or 16
    std::atomic<uint32_t> interval_ms{0};      // "Interval" of section "EVR"
    std::atomic<bool> ignore{false};           // the EVR page's "Ignore": no device access
    std::atomic<bool> auto_adjust{true};       // the menu switch "&Auto Adjustment Ctrl+D"
    std::string adjust_file;                   // "AdjustFile": the adjusting tables' path prefix
    std::string printer;                       // the printer port evr_prn(prn) writes to
    const SerialLink *serial = nullptr;        // whose handle is the drivers' context word
    void *window = nullptr;                    // the main window, for EVROpen of a type-2 driver

    // Called (under the lock) for every cell whose image changed, to refresh its display.
    std::function<void(int cell)> on_cell;

    uint16_t mask() const { return width.load(std::memory_order_relaxed) == 16 ? 0xFFFF : 0xFF; }
    intptr_t context_word() const;
};

// The station's layer.
EvrLayer &evr_layer();

// Whether `name` is a printer port name ("LPT" in any case and a number from 1): the n-th
// printer device, /dev/lp<n-1>, stands for it.
bool names_printer_port(const std::string &name);
// The device evr_prn(prn) opens for a printer port name; any other name is a path.
std::string evr_printer_device(const std::string &name);

// ---- Driver binding (evr_driver.cpp) -------------------------------------------------------------

// Binds the first of kEvrDriverNames that loads, checks its version (>= 0x104) and type, and
// opens a type-2 driver. A library refused after it loaded is unloaded and no further name is
// tried. Takes the lock.
EvrLoad load_evr_driver(EvrLayer &layer);
// EVRClose for a type-2 driver, then the library is freed. Takes the lock.
void unload_evr_driver(EvrLayer &layer);
// A driver result r: 0 stays 0, anything else is the error r + 74.
int evr_result(int32_t driver_result);

// ---- The image and the cell operations (evr_cells.cpp) -----------------------------------------

// Every value to 255 (width 8) or 65535 (width 16), every state to unset, every link to -1, both
// positions to 0.
void clear_evr_image(EvrLayer &layer);
// The cell a command addresses: saved page * 256 + (address AND 255) for an address of 0 or more;
// a negative address stays as it is (the device's current cell).
int evr_command_cell(const EvrLayer &layer, int address);
// The page byte of the saved position.
int evr_command_page(const EvrLayer &layer);

// Reads cell `cell` from ROM or RAM: the value (masked to the width) into *value (when not null),
// into the image with state 3 / 4, and `link` (when not negative) as the cell's register link. A
// negative cell reads the device's current cell and leaves the image alone.
int evr_read(EvrLayer &layer, int cell, bool rom, uint16_t *value, int32_t link = -1);
// Writes `value` (masked to the width first) to RAM or ROM; the image gets it with state 2 / 1.
int evr_write(EvrLayer &layer, int cell, uint32_t value, bool rom, int32_t link = -1);
// Writes the image's value of `cell` to ROM; e086 when the cell was never read or written.
int evr_write_back_cell(EvrLayer &layer, int cell);
// Writes every set cell of the current page to ROM; stops at the first error; the current position
// is restored.
int evr_write_back_page(EvrLayer &layer);
// Selects `page` in the product and sets the current position's page byte; with `command` the
// current position is also copied into the saved one.
int evr_set_page(EvrLayer &layer, int page, bool command);
// `count` cells from `first` on: reads in chunks that never cross a page end (one EVRFunction
// kind 3 call each), writes cell by cell. Stops at the first error.
int evr_block(EvrLayer &layer, EvrBlock operation, int first, int count);

}  // namespace ksw
