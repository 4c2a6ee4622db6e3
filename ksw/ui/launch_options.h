// The options of the Linux front-end: every argument that begins with "--" belongs to it and is
// taken out before the station's own command-line parser sees the rest.
#pragma once

#include <string>
#include <vector>

namespace ksw {

// One entry of --dump: registers ad[first..last] or rd[first..last].
struct DumpRange {
    char bank = 'a';  // 'a' for ad[], 'r' for rd[]
    int first = 0;
    int last = 0;
};

struct LaunchOptions {
    bool headless = false;
    bool check = false;
    bool version = false;
    bool help = false;
    bool verbose = false;
    int runs = 1;
    bool answer_yes = true;
    std::vector<DumpRange> dump;
    std::string sim_file;
    std::string jig_trace;          // --jig-trace=FILE
    int measure_mode = -1;          // --measure-mode=N: 0-2 for this run (not saved); -1 the setting's
    std::vector<std::string> inputs;  // --input=TEXT, once per answer, in order
    bool strict = false;              // --strict (with --check)
    std::vector<std::string> rest;  // everything else, in order, for the station's own parser

    // `rest` as one command line: words with blanks or tabs are put in double quotes.
    std::string command_line() const;
};

// Parses a --dump list such as "ad[0-99],rd[7]" (indexes 0..7999). False with a reason on error.
bool parse_dump_list(const std::string &text, std::vector<DumpRange> *out, std::string *error);

// Parses argv. On a bad option returns false and says why in `error`.
bool parse_launch_options(int argc, const char *const *argv, LaunchOptions *out, std::string *error);

// The --help text.
std::string launch_usage();

}  // namespace ksw
