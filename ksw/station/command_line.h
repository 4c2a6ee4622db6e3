// The station's own command-line switches (the front-end's "--" options are already gone):
// the test-program path and the switches that override settings until the program ends.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "station/settings.h"

namespace ksw {

enum CommandLineResult : int {
    kCommandLineDone = 0,  // every token was applied (or a ";" comment ended the line)
    kCommandLineHelp = 1,  // an unknown switch opened the help; later tokens were not applied
};

// Opens a help file by name (the front-end's open_help).
using OpenHelpFn = std::function<void(std::string_view help_file)>;

// Splits a command line at blanks and tabs; blanks inside double quotes stay in the token and
// the quotes are kept.
std::vector<std::string> split_command_line(std::string_view command_line);

// Applies `command_line` to `s`: a token beginning with ";" ends the processing; a token not
// beginning with "-" is the test-program path (one leading and one trailing double quote
// removed); "-" and a letter (either case) with an optional tail is a switch. An unknown letter,
// or -V with a number outside -1..2, calls `open_help` with the help file and ends the
// processing; switches already applied stay in force.
[[nodiscard]] int ParseCommandLine(Settings &s, std::string_view command_line, const OpenHelpFn &open_help);

}  // namespace ksw
