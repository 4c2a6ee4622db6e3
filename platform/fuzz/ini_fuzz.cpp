// Any bytes parse as a settings file (or are refused whole, as UTF-16), and what is written
// back reads the same values.
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
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    (void)ksw::platform::profile_int_from_text(text);
    int64_t number = 0;
    if (ksw::platform::profile_int_in_range(text, INT32_MIN, INT32_MAX, &number) &&
        number != ksw::platform::profile_int_from_text(text))
        std::abort();
    return 0;
}
