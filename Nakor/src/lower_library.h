// The outside USB transfer library, bound by name. All sixteen functions must be there for the
// library to count as loaded; the transport calls only some of them.
#pragma once

#include <cstdint>

#include "Belmo.h"
#include "platform/dynlib.h"

namespace nakor {

struct LowerLibrary {
    ksw::platform::DynamicLibrary module;
    decltype(&BELMO_Init) init = nullptr;
    decltype(&BELMO_Query) query = nullptr;
    decltype(&BELMO_GetLastError) get_last_error = nullptr;
    decltype(&BELMO_GetLastErrorEx) get_last_error_ex = nullptr;
    decltype(&BELMO_Exit) exit = nullptr;
    decltype(&BELMO_EnumDevice) enum_device = nullptr;
    decltype(&BELMO_GetDeviceInfo) get_device_info = nullptr;
    decltype(&BELMO_ResetDevice) reset_device = nullptr;
    decltype(&BELMO_OpenSession) open_session = nullptr;
    decltype(&BELMO_Ping) ping = nullptr;
    decltype(&BELMO_CloseSession) close_session = nullptr;
    decltype(&BELMO_FunctionEx) function_ex = nullptr;
    decltype(&BELMO_WriteCmd) write_cmd = nullptr;
    decltype(&BELMO_ReadCmd) read_cmd = nullptr;
    decltype(&BELMO_WriteData) write_data = nullptr;
    decltype(&BELMO_ReadData) read_data = nullptr;

    // Loads "Belmo.dll" and binds every function in the library's documented order. On failure
    // nothing stays loaded and every pointer is null.
    bool load();
    // Unloads the library and forgets the functions.
    void unload();
    // The internal result of a failed call on `session` (0: no session yet), never 0.
    int failure(uint32_t session) const;
};

}  // namespace nakor
