#include "lower_library.h"

#include "codes.h"

namespace nakor {

bool LowerLibrary::load() {
    unload();
    if (!module.load("Belmo.dll")) return false;
    const bool bound = module.bind("BELMO_Init", &init) && module.bind("BELMO_Query", &query) &&
                       module.bind("BELMO_GetLastError", &get_last_error) &&
                       module.bind("BELMO_GetLastErrorEx", &get_last_error_ex) && module.bind("BELMO_Exit", &exit) &&
                       module.bind("BELMO_EnumDevice", &enum_device) &&
                       module.bind("BELMO_GetDeviceInfo", &get_device_info) &&
                       module.bind("BELMO_ResetDevice", &reset_device) &&
                       module.bind("BELMO_OpenSession", &open_session) && module.bind("BELMO_Ping", &ping) &&
                       module.bind("BELMO_CloseSession", &close_session) &&
                       module.bind("BELMO_FunctionEx", &function_ex) && module.bind("BELMO_WriteCmd", &write_cmd) &&
                       module.bind("BELMO_ReadCmd", &read_cmd) && module.bind("BELMO_WriteData", &write_data) &&
                       module.bind("BELMO_ReadData", &read_data);
    if (!bound) unload();
    return bound;
}

void LowerLibrary::unload() {
    module.unload();
    *this = LowerLibrary{};
}

int LowerLibrary::failure(uint32_t session) const { return failed_call(get_last_error(session)); }

}  // namespace nakor
