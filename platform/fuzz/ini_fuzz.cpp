// Any bytes parse as a settings file, and what is written back reads the same values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/ini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using ksw::platform::IniFile;
    IniFile ini;
    ini.parse(std::string_view(reinterpret_cast<const char *>(data), size));
    IniFile again;
    again.parse(ini.text());
    for (const std::string &section : ini.sections())
        for (const std::string &key : ini.keys(section))
            if (ini.get(section, key) != again.get(section, key)) std::abort();
    ini.set("Program", "UserProgram", "x");
    if (ini.get("program", "userprogram") != "x") std::abort();
    (void)ksw::platform::profile_int_from_text(std::string_view(reinterpret_cast<const char *>(data), size));
    return 0;
}
