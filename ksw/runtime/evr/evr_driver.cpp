// Binding and releasing the EVR driver library; the layer itself and its printer port.
#include <cstdlib>

#include "platform/ascii.h"
#include "resources/error_codes.h"
#include "resources/messages.h"
#include "runtime/evr/evr_layer.h"
#include "runtime/serial/serial_link.h"

namespace ksw {
namespace {

constexpr int32_t kDriverResultBase = 74;
constexpr int32_t kDriverFirstResult = 1;   // e075
constexpr int32_t kDriverLastResult = 11;   // e085
constexpr int32_t kDriverMiscResult = 6;    // e080: COM Misc. error

// Binds the version and type entry points and checks them. Lock held.
bool driver_is_usable(EvrLayer &layer, EvrDriverApi *api) {
    layer.library.bind("EVRClose", &api->close);
    if (!layer.library.bind("EVRGetVersion", &api->get_version)) return false;
    if (api->get_version() < kEvrLeastDriverVersion) return false;
    if (!layer.library.bind("EVRGetType", &api->get_type)) return false;
    layer.driver_type = api->get_type();
    return true;
}

void bind_remaining(platform::DynamicLibrary &library, EvrDriverApi *api) {
    library.bind("EVRROMRead", &api->rom_read);
    library.bind("EVRRAMRead", &api->ram_read);
    library.bind("EVRRAMWrite", &api->ram_write);
    library.bind("EVREEPWrite", &api->eep_write);
    library.bind("EVREEPWriteVerify", &api->eep_write_verify);
    library.bind("EVRPage", &api->page);
    library.bind("EVRFunction", &api->function);
}

void forget_driver(EvrLayer &layer) {
    layer.library.unload();
    layer.api = {};
    layer.driver_type = 0;
    layer.driver_path.clear();
}

}  // namespace

EvrLayer &evr_layer() {
    static EvrLayer layer;
    return layer;
}

bool names_printer_port(const std::string &name) {
    return name.size() > 3 && platform::starts_with_nocase(name, "LPT") && std::atoi(name.c_str() + 3) >= 1;
}

std::string evr_printer_device(const std::string &name) {
    return names_printer_port(name) ? "/dev/lp" + std::to_string(std::atoi(name.c_str() + 3) - 1) : name;
}

intptr_t EvrLayer::context_word() const { return serial ? serial->handle() : -1; }

int evr_load_message(EvrLoad outcome) {
    switch (outcome) {
    case EvrLoad::kTooOld: return kMsgEvrDllTooOld;
    case EvrLoad::kCannotOpen: return kMsgCantUseEvr;
    default: return 0;
    }
}

EvrLoad load_evr_driver(EvrLayer &layer) {
    std::lock_guard<std::recursive_mutex> hold(layer.lock);
    if (layer.library.loaded()) return EvrLoad::kLoaded;
    bool found = false;
    for (const char *name : kEvrDriverNames) {
        if (layer.library.load(name)) {
            found = true;
            break;
        }
    }
    if (!found) return EvrLoad::kNoLibrary;
    layer.driver_path = layer.library.path();
    EvrDriverApi api;
    if (!driver_is_usable(layer, &api)) {
        forget_driver(layer);
        return EvrLoad::kTooOld;
    }
    layer.library.bind("EVROpen", &api.open);
    if (layer.driver_type == 2) {
        // A type-2 driver is opened over the main window, with no unit kind.
        if (!api.open || api.open(reinterpret_cast<intptr_t>(layer.window), nullptr) == 0) {
            forget_driver(layer);
            return EvrLoad::kCannotOpen;
        }
    }
    bind_remaining(layer.library, &api);
    layer.api = api;
    return EvrLoad::kLoaded;
}

void unload_evr_driver(EvrLayer &layer) {
    std::lock_guard<std::recursive_mutex> hold(layer.lock);
    if (!layer.library.loaded()) return;
    if (layer.driver_type == 2 && layer.api.close) layer.api.close();
    forget_driver(layer);
}

// A result outside the table (a negative one, or above 11) would name an unrelated message; it is
// reported as the driver's miscellaneous error instead.
int evr_result(int32_t driver_result) {
    if (driver_result == 0) return kOk;
    if (driver_result < kDriverFirstResult || driver_result > kDriverLastResult) return kDriverMiscResult + kDriverResultBase;
    return driver_result + kDriverResultBase;
}

}  // namespace ksw
