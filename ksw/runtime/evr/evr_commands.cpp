// Run handlers of the EVR commands. All run on the sequencer thread (or a link member's) and go
// through the EVR layer of the run context (e170 without one).
//
//   evr_page(p)                 selects page p in the product; commands address it from now on
//   evr_rd(a, r)                ROM cell a of the command page into the image and ad[r]
//   evr_wr(0|1, a, v)           writes v to RAM (0) or ROM (1) cell a
//   evr_wr(2, a) / evr_wr(3)    writes the image's value of cell a / of the current page to ROM
//   evr_prn(log|prn, a, n)      n ROM cells from a (wrapping within the page) as ",%d" texts
//   evr_func(k, a0 .. a4, t)    the driver's general function
//   evr_adj( / evr_adj2(        the step's adjustment records
#include <algorithm>
#include <filesystem>
#include <mutex>
#include <vector>

#include "model/frontend.h"
#include "platform/raw_file.h"
#include "resources/format.h"
#include "resources/messages.h"
#include "runtime/evr/evr_layer.h"
#include "runtime/run_handlers.h"
#include "runtime/run_operands.h"
#include "runtime/serial/serial_link.h"

namespace ksw {
namespace {

constexpr int kCellsPerPage = 256;

// Integer operand `slot` within [low, high], else e004.
int bounded(RunContext &context, const CommandRecord &command, int slot, int32_t low, int32_t high, int32_t *value) {
    if (const int rc = int_operand(context, command, slot, value); rc != kOk) return rc;
    return (*value < low || *value > high) ? kErrOutOfRange : kOk;
}

// The lowest address a command may give: -1 (the device's current cell), but not with LANC.
int32_t lowest_address(const EvrLayer &layer) { return layer.type.load() == kEvrTypeLanc ? 0 : -1; }

AdFile *ad_registers(RunContext &context) {
    Registers *registers = run_registers(context);
    return registers ? registers->ad.get() : nullptr;
}

// Opens the printer for writing at its end: an existing device or file only. -1 when it cannot.
int open_printer(const std::string &name) {
    const std::string device = evr_printer_device(name);
    std::error_code error;
    if (device.empty() || !std::filesystem::exists(device, error)) return -1;
    if (std::filesystem::is_regular_file(device, error)) return platform::open_append_file(device);
    return platform::open_output_stream(device);
}

// The texts of evr_prn(: count ROM cells from `address` of the command page, the address
// wrapping from 255 to 0; `emit` takes each ",%d" text and returns 0 or its error.
template <typename Emit>
int print_cells(EvrLayer &layer, int32_t address, int32_t count, Emit emit) {
    for (int32_t i = 0; i < count; ++i) {
        uint16_t value = 0;
        const int cell = evr_command_cell(layer, (address + i) & 0xFF);
        if (const int rc = evr_read(layer, cell, true, &value); rc != kOk) return rc;
        if (const int rc = emit(format_text(",%d", {static_cast<int>(value & layer.mask())})); rc != kOk) return rc;
    }
    return kOk;
}

int print_to_printer(RunContext &context, EvrLayer &layer, int32_t address, int32_t count) {
    static std::mutex own_printer_lock;  // without a serial link nothing else prints
    std::mutex &printer_lock = context.serial ? context.serial->printer_lock : own_printer_lock;
    std::lock_guard<std::mutex> hold(printer_lock);
    const int fd = open_printer(layer.printer);
    if (fd < 0) return kErrCantOpenPrinter;
    const int rc = print_cells(layer, address, count, [fd](const std::string &text) {
        return platform::write_all(fd, text.data(), text.size()) ? kOk : kErrCantOpenPrinter;
    });
    const bool closed = platform::close_file(fd);
    return rc != kOk ? rc : (closed ? kOk : kErrCantOpenPrinter);
}

// ---- evr_func( ----------------------------------------------------------------------------------

// Loads a driver when none is; a refusal is shown over the main window. 0 or e171.
int ensure_driver(RunContext &context, EvrLayer &layer) {
    const EvrLoad outcome = load_evr_driver(layer);
    if (outcome == EvrLoad::kLoaded) return kOk;
    if (const int message = evr_load_message(outcome); message != 0 && context.frontend)
        context.frontend->send(question_message(std::string(message_text(message)), "", Buttons::Ok, BoxIcon::Stop));
    return kErrEvrMissingDll;
}

// The registers a record points into are copied into buffers of the largest size a driver may
// fill (a memory service writes up to 65535 units, identify seven texts of 256), so that a
// register near the end of ad[] never lets the driver write past it; what the driver wrote is
// copied back into the registers that exist.
struct RegisterWindow {
    std::vector<uint16_t> units = std::vector<uint16_t>(kEvrCellCount + 2);
    int32_t first = 0;

    void take(const AdFile &ad, int32_t register_index) {
        first = register_index;
        std::copy(ad.begin() + first, ad.end(), units.begin());
    }
    void give_back(AdFile &ad) const {
        std::copy(units.begin(), units.begin() + (kRegisterCount - first), ad.begin() + first);
    }
    intptr_t word() { return reinterpret_cast<intptr_t>(units.data()); }
};

// After a memory read (operation code ending in 1) or write (ending in 2), the image of the
// current page takes the registers the driver read into or wrote from. Lock held.
void update_image_after_memory_service(EvrLayer &layer, const AdFile &ad, const std::array<int32_t, 5> &a) {
    const int32_t code = a[0];
    if (code < 0 || (code % 10 != 1 && code % 10 != 2)) return;
    const bool reading = code % 10 == 1;
    const bool ram = code >= 10;
    const int32_t first_cell = reading ? a[2] : a[4];
    const int32_t first_register = reading ? a[3] : a[1];
    const int32_t count = reading ? a[4] : a[2];
    const EvrCellState state = reading ? (ram ? kEvrRamRead : kEvrRomRead) : (ram ? kEvrRamWritten : kEvrRomWritten);
    const int page_start = static_cast<int>((layer.image->current >> 8) & 0xFF) * kCellsPerPage;
    EvrImage &image = *layer.image;
    for (int32_t i = 0; i < count; ++i) {
        const int64_t cell = int64_t{page_start} + first_cell + i;
        const int64_t reg = int64_t{first_register} + i;
        if (cell < 0 || cell >= kEvrCellCount || reg < 0 || reg >= kRegisterCount) break;
        image.values[static_cast<size_t>(cell)] = static_cast<uint16_t>(ad[static_cast<size_t>(reg)] & layer.mask());
        image.states[static_cast<size_t>(cell)] = state;
        if (layer.on_cell) layer.on_cell(static_cast<int>(cell));
    }
}

int call_function(RunContext &context, EvrLayer &layer, int kind, const std::array<int32_t, 5> &a) {
    AdFile *ad = ad_registers(context);
    if (!ad) return kErrNoMemory;
    std::lock_guard<std::recursive_mutex> hold(layer.lock);
    if (!layer.api.function) return kErrEvrMissingDll;
    RegisterWindow in, out;
    int32_t count_copy = a[4];
    intptr_t record[5] = {a[0], a[1], a[2], a[3], a[4]};
    if (kind == 0) {
        in.take(*ad, a[1]);
        record[1] = in.word();
    } else if (kind >= 2) {
        in.take(*ad, a[1]);
        out.take(*ad, a[3]);
        record[1] = in.word();
        record[3] = out.word();
        record[4] = reinterpret_cast<intptr_t>(&count_copy);
    }
    const int rc = evr_result(layer.api.function(layer.context_word(), kind, record));
    if (kind == 0) in.give_back(*ad);
    if (kind >= 2) out.give_back(*ad);
    if (rc == kOk && kind == 3 && layer.type.load() == kEvrTypeDriver) update_image_after_memory_service(layer, *ad, a);
    return rc;
}

}  // namespace

int run_evr_page(RunContext &context, const CommandRecord &command) {
    if (!context.evr) return kErrNotSupportedComType;
    int32_t page = 0;
    if (const int rc = bounded(context, command, 0, 0, 255, &page); rc != kOk) return rc;
    return evr_set_page(*context.evr, page, true);
}

int run_evr_rd(RunContext &context, const CommandRecord &command) {
    if (!context.evr) return kErrNotSupportedComType;
    EvrLayer &layer = *context.evr;
    int32_t address = 0, reg = 0;
    if (const int rc = bounded(context, command, 0, lowest_address(layer), 255, &address); rc != kOk) return rc;
    if (const int rc = bounded(context, command, 1, 0, kRegisterCount - 1, &reg); rc != kOk) return rc;
    AdFile *ad = ad_registers(context);
    if (!ad) return kErrNoMemory;
    uint16_t value = 0;
    if (const int rc = evr_read(layer, evr_command_cell(layer, address), true, &value, reg); rc != kOk) return rc;
    (*ad)[static_cast<size_t>(reg)] = value;
    return kOk;
}

int run_evr_wr(RunContext &context, const CommandRecord &command) {
    if (!context.evr) return kErrNotSupportedComType;
    EvrLayer &layer = *context.evr;
    const int mode = command.sub_mode;
    if (mode == 3) return evr_write_back_page(layer);
    if (mode < 0 || mode > 3) return kErrInvalidMode;
    int32_t address = 0;
    if (const int rc = bounded(context, command, 0, lowest_address(layer), 255, &address); rc != kOk) return rc;
    const int cell = evr_command_cell(layer, address);
    if (mode == 2) {
        std::lock_guard<std::recursive_mutex> hold(layer.lock);
        return evr_write_back_cell(layer, cell >= 0 ? cell : static_cast<int>(layer.image->current & 0xFFFF));
    }
    int32_t value = 0;
    if (const int rc = int_operand(context, command, 1, &value); rc != kOk) return rc;
    return evr_write(layer, cell, static_cast<uint32_t>(value), mode == 1);
}

int run_evr_prn(RunContext &context, const CommandRecord &command) {
    if (!context.evr) return kErrNotSupportedComType;
    EvrLayer &layer = *context.evr;
    int32_t address = 0, count = 0;
    if (const int rc = bounded(context, command, 0, 0, 255, &address); rc != kOk) return rc;
    if (const int rc = bounded(context, command, 1, 1, kCellsPerPage, &count); rc != kOk) return rc;
    if (command.sub_mode == 1) return print_to_printer(context, layer, address, count);
    if (command.sub_mode != 0) return kErrOutOfRange;
    return print_cells(layer, address, count, [&context](const std::string &text) { return context.log.append(text); });
}

int run_evr_func(RunContext &context, const CommandRecord &command) {
    if (!context.evr) return kErrNotSupportedComType;
    EvrLayer &layer = *context.evr;
    if (layer.ignore.load()) return kOk;
    if (const int rc = ensure_driver(context, layer); rc != kOk) return rc;
    const int kind = command.sub_mode;
    std::array<int32_t, 5> a{};
    for (int i = 0; i < 5; ++i)
        if (const int rc = int_operand(context, command, i, &a[static_cast<size_t>(i)]); rc != kOk) return rc;
    double seconds = 0;
    if (const int rc = real_operand(context, command, 0, &seconds); rc != kOk) return rc;
    uint32_t ms = 0;
    if (kind >= 2) {
        if (const int rc = to_milliseconds(seconds, &ms); rc != kOk) return rc;
    }
    const bool first_is_register = kind != 1;
    if (first_is_register && (a[1] < 0 || a[1] >= kRegisterCount)) return kErrOutOfRange;
    if (kind >= 2 && (a[3] < 0 || a[3] >= kRegisterCount)) return kErrOutOfRange;
    return call_function(context, layer, kind, a);
}

int run_evr_adj(RunContext &context, const CommandRecord &command) {
    StepRunState *state = context.state(context.current_step);
    if (!state) return kErrMissingFirst;
    const int width = context.evr ? context.evr->width.load() : 8;
    EvrAdjustRecord r = state->adjustment.evr;
    if (const int rc = bounded(context, command, 0, 0, 255, &r.address); rc != kOk) return rc;
    if (const int rc = bounded(context, command, 6, -1, 255, &r.high_address); rc != kOk) return rc;
    if (r.high_address != -1 && width != 8) return kErrEvrNot8Bit;
    const int32_t largest = (r.high_address != -1 || width == 16) ? 65535 : 255;
    if (const int rc = bounded(context, command, 1, -1, largest, &r.start); rc != kOk) return rc;
    if (const int rc = bounded(context, command, 2, 0, 127, &r.step); rc != kOk) return rc;
    if (const int rc = bounded(context, command, 3, 0, largest, &r.lower); rc != kOk) return rc;
    if (const int rc = bounded(context, command, 4, 0, largest, &r.upper); rc != kOk) return rc;
    if (const int rc = bounded(context, command, 5, -1, 255, &r.page); rc != kOk) return rc;
    state->adjustment.evr = r;
    state->adjustment.direction = command.sub_mode;
    return kOk;
}

int run_evr_adj2(RunContext &context, const CommandRecord &command) {
    StepRunState *state = context.state(context.current_step);
    if (!state) return kErrMissingFirst;
    EvrAdjustRecord r = state->adjustment.evr;
    if (const int rc = real_operand(context, command, 0, &r.sensitivity); rc != kOk) return rc;
    if (const int rc = bounded(context, command, 0, -1, 255, &r.second_address); rc != kOk) return rc;
    if (const int rc = bounded(context, command, 1, -1, 255, &r.second_page); rc != kOk) return rc;
    if (const int rc = bounded(context, command, 2, -1, 255, &r.second_value); rc != kOk) return rc;
    r.on = command.sub_mode == 1;
    state->adjustment.evr = r;
    return kOk;
}

}  // namespace ksw
