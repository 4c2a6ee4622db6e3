// Runs the built ksw program in a scratch folder, as whole-program tests do.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include "temp_dir.h"

namespace ksw::testing {

struct KswRun {
    int exit_code = -1;
    std::string output;  // stdout and stderr
};

// Runs "ksw <arguments>" (shell words) with `dir` as current folder and `dir`/cfg as the
// configuration home, input from /dev/null. A headless station opens its serial port at
// start-up unless its settings say otherwise; tests never touch the machine's own ports, so a
// headless run in a folder without a settings file gets one that says "OpenRSFirst=0", and
// without a registry file one that maps COM1..COM9 to a device that is not there.
inline KswRun run_ksw(const TempDir &dir, const std::string &arguments) {
    const char *binary_dir = std::getenv("KSW_TEST_BINARY_DIR");
    if (!binary_dir) return {};
    if (arguments.find("--headless") != std::string::npos && !std::filesystem::exists(dir.file("ksw.ini")))
        write_text(dir.file("ksw.ini"), "[RS232C]\r\nOpenRSFirst=0\r\n");
    if (arguments.find("--headless") != std::string::npos && !std::filesystem::exists(dir.file("cfg/Orvane/KSW/registry.ini"))) {
        std::filesystem::create_directories(dir.file("cfg/Orvane/KSW"));
        std::string devices = "[SerialDevices]\r\n";
        for (int n = 1; n <= 9; ++n) devices += "COM" + std::to_string(n) + "=" + dir.file("no-serial-line") + "\r\n";
        write_text(dir.file("cfg/Orvane/KSW/registry.ini"), devices);
    }
    const std::string command = "cd '" + dir.path() + "' && XDG_CONFIG_HOME='" + dir.path() +
                                "/cfg' XDG_RUNTIME_DIR='" + dir.path() + "/run' '" + binary_dir + "/bin/ksw' " +
                                arguments + " > out.txt 2>&1 < /dev/null";
    const int status = std::system(command.c_str());
    KswRun run;
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.output = read_text(dir.file("out.txt"));
    return run;
}

// The value of register `name` ("rd[2]") as --dump printed it into `output`; -1 when it is not there.
inline double dumped(const std::string &output, const std::string &name) {
    const size_t at = output.find(name + "=");
    return at == std::string::npos ? -1.0 : std::strtod(output.c_str() + at + name.size() + 1, nullptr);
}

}  // namespace ksw::testing
