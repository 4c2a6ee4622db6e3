#include "station/evr_startup.h"

#include "resources/error_codes.h"
#include "resources/messages.h"
#include "station/message_box.h"

namespace ksw {

std::string evr_printer_for(const Settings &settings) {
    return names_printer_port(settings.print_step) ? settings.print_step : "LPT1";
}

int EvrStation::open(int *evr_type, const Settings &settings, Frontend &frontend, const SerialLink *serial) {
    if (!layer_.image) {
        show_message(&frontend, message_text(kErrNoMemory), "EVR", Buttons::Ok, BoxIcon::Stop);
        return kErrNoMemory;
    }
    {
        std::lock_guard<std::recursive_mutex> hold(layer_.lock);
        layer_.width.store(settings.evr_width == 16 ? 16 : 8);
        layer_.interval_ms.store(settings.evr_interval > 0 ? static_cast<uint32_t>(settings.evr_interval) : 0);
        layer_.ignore.store(settings.evr_ignore);
        layer_.auto_adjust.store(true);
        layer_.adjust_file = settings.adjust_file;
        layer_.printer = evr_printer_for(settings);
        layer_.serial = serial;
    }
    clear_evr_image(layer_);
    int type = *evr_type;
    if (type == kEvrTypeLanc || type == kEvrTypeIeee1284) {
        // The adapters' libraries are not part of this station: the back-end cannot be used.
        show_message(&frontend, message_text(type == kEvrTypeLanc ? kMsgLancDllTooOld : kMsg1284DllTooOld), "",
                     Buttons::Ok, BoxIcon::Stop);
        type = kEvrTypeNone;
    } else if (type == kEvrTypeDriver) {
        // A driver that cannot be used leaves the station without a back-end; none found at all
        // is "s024" here too.
        const EvrLoad outcome = load_evr_driver(layer_);
        if (outcome != EvrLoad::kLoaded) {
            const int message = outcome == EvrLoad::kCannotOpen ? evr_load_message(outcome) : kMsgEvrDllTooOld;
            show_message(&frontend, message_text(message), "", Buttons::Ok, BoxIcon::Stop);
            type = kEvrTypeNone;
        }
    } else {
        type = kEvrTypeNone;
    }
    *evr_type = type;
    layer_.type.store(type);
    return kOk;
}

void EvrStation::close() { unload_evr_driver(layer_); }

}  // namespace ksw
