#include "station/station_startup.h"

#include "resources/error_codes.h"
#include "resources/messages.h"
#include "values/registers.h"

namespace ksw {

int start_station_registers(Frontend &frontend, int fail_allocation) {
    std::string_view failed;
    const int rc = start_registers(&failed, fail_allocation);
    if (rc != kOk) frontend.ask(message_text(kErrNoMemory), failed, Buttons::Ok, BoxIcon::Stop);
    return rc;
}

}  // namespace ksw
