#include "ui/launch_options.h"

#include <cstdlib>
#include <string_view>

namespace ksw {
namespace {

constexpr int kRegisterCount = 8000;

// Reads a whole decimal number in 0..limit; false when the text is anything else.
bool read_number(std::string_view text, long limit, long *out) {
    if (text.empty() || text.size() > 9) return false;
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value > limit) return false;
    *out = value;
    return true;
}

bool parse_dump_item(std::string_view item, DumpRange *range) {
    if (item.size() < 5 || item[1] != 'd' || item[2] != '[' || item.back() != ']') return false;
    if (item[0] != 'a' && item[0] != 'r') return false;
    range->bank = item[0];
    const std::string_view inside = item.substr(3, item.size() - 4);
    const size_t dash = inside.find('-');
    long first = 0, last = 0;
    if (!read_number(inside.substr(0, dash), kRegisterCount - 1, &first)) return false;
    last = first;
    if (dash != std::string_view::npos && !read_number(inside.substr(dash + 1), kRegisterCount - 1, &last)) return false;
    if (last < first) return false;
    range->first = static_cast<int>(first);
    range->last = static_cast<int>(last);
    return true;
}

}  // namespace

std::string LaunchOptions::command_line() const {
    std::string line;
    for (const std::string &word : rest) {
        if (!line.empty()) line += ' ';
        if (word.find_first_of(" \t") != std::string::npos) line += '"' + word + '"';
        else line += word;
    }
    return line;
}

bool parse_dump_list(const std::string &text, std::vector<DumpRange> *out, std::string *error) {
    out->clear();
    std::string_view rest(text);
    while (!rest.empty()) {
        // Items are separated by commas outside brackets.
        size_t end = rest.find("],");
        end = (end == std::string_view::npos) ? rest.size() : end + 1;
        DumpRange range;
        if (!parse_dump_item(rest.substr(0, end), &range)) {
            *error = "bad --dump item \"" + std::string(rest.substr(0, end)) +
                     "\" (expected ad[N], ad[N-M], rd[N] or rd[N-M] with N, M in 0..7999)";
            return false;
        }
        out->push_back(range);
        rest.remove_prefix(end);
        if (!rest.empty()) {
            rest.remove_prefix(1);  // the comma
            if (rest.empty()) {
                *error = "--dump list ends in a comma";
                return false;
            }
        }
    }
    if (out->empty()) {
        *error = "--dump needs a register list such as ad[0-99],rd[7]";
        return false;
    }
    return true;
}

bool parse_launch_options(int argc, const char *const *argv, LaunchOptions *out, std::string *error) {
    *out = LaunchOptions{};
    bool options_ended = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (options_ended || arg.size() < 2 || arg.substr(0, 2) != "--") {
            out->rest.emplace_back(arg);
            continue;
        }
        const size_t eq = arg.find('=');
        const std::string_view name = arg.substr(0, eq);
        const std::string_view value = (eq == std::string_view::npos) ? std::string_view() : arg.substr(eq + 1);
        const bool has_value = eq != std::string_view::npos;
        auto needs_value = [&](std::string_view what) {
            *error = std::string(name) + " needs a value: " + std::string(what);
            return false;
        };
        if (arg == "--") {
            options_ended = true;
        } else if (name == "--headless" && !has_value) {
            out->headless = true;
        } else if (name == "--check" && !has_value) {
            out->check = true;
        } else if (name == "--version" && !has_value) {
            out->version = true;
        } else if (name == "--help" && !has_value) {
            out->help = true;
        } else if (name == "--verbose" && !has_value) {
            out->verbose = true;
        } else if (name == "--runs") {
            long runs = 0;
            if (!read_number(value, 1000000, &runs)) return needs_value("--runs=N with N from 0 to 1000000");
            out->runs = static_cast<int>(runs);
        } else if (name == "--answer") {
            if (value == "yes") out->answer_yes = true;
            else if (value == "no") out->answer_yes = false;
            else return needs_value("--answer=yes or --answer=no");
        } else if (name == "--dump") {
            if (!parse_dump_list(std::string(value), &out->dump, error)) return false;
        } else if (name == "--input") {
            if (!has_value) return needs_value("--input=TEXT, once per answer");
            out->inputs.emplace_back(value);
        } else if (name == "--strict" && !has_value) {
            out->strict = true;
        } else if (name == "--sim") {
            if (value.empty()) return needs_value("--sim=FILE");
            out->sim_file = std::string(value);
        } else if (name == "--measure-mode") {
            long mode = 0;
            if (!read_number(value, 2, &mode)) return needs_value("--measure-mode=N with N 0, 1 or 2");
            out->measure_mode = static_cast<int>(mode);
        } else if (name == "--jig-trace") {
            if (value.empty()) return needs_value("--jig-trace=FILE");
            out->jig_trace = std::string(value);
        } else {
            *error = "unknown option " + std::string(arg) + " (see ksw --help)";
            return false;
        }
    }
    if (out->strict && !out->check) {
        *error = "--strict goes with --check";
        return false;
    }
    return true;
}

std::string launch_usage() {
    return "usage: ksw [--headless] [--check] [--runs=N] [--answer=yes|no] [--dump=LIST] [--sim=FILE]\n"
           "           [--jig-trace=FILE] [--input=TEXT]... [--strict] [--measure-mode=N] [station switches]\n"
           "           [PROGRAM.ks]\n"
           "\n"
           "  --headless      run without a window: status texts and results go to standard output\n"
           "  --check         preprocess and compile PROGRAM.ks only; exit 0 when it compiles, 2 when not\n"
           "  --runs=N        headless: after STEP0, run the program N times as if Enter were pressed (1)\n"
           "  --answer=yes|no headless: the answer to every question when input is not a terminal (yes)\n"
           "  --dump=LIST     headless: print registers after the last run, LIST like ad[0-99],rd[7]\n"
           "  --input=TEXT    headless: the next answer to the program's input( and barcode( questions;\n"
           "                  give it once per answer (a terminal is asked when they run out)\n"
           "  --strict        with --check: also list the commands whose device front-end this station\n"
           "                  lacks, with file and line; exit 2 when there is one\n"
           "  --sim=FILE      use the simulated jig, USB unit, GPIB board and serial product of the\n"
           "                  scenario FILE; its [ports] section gives this run's port addresses, its\n"
           "                  [serial] section runs the product on the serial port it names\n"
           "  --jig-trace=FILE write every jig operation (port writes, switches, latches, A/D reads,\n"
           "                  supply loads) to FILE as it happens, with the step and the time\n"
           "  --measure-mode=N measurement mode of this run, not saved: 0 default, 1 without the\n"
           "                  calc( rd[] operands, 2 calibration\n"
           "  --verbose       headless: print every status pane and tool-bar field\n"
           "  --version       print the versions of ksw and its libraries\n"
           "  --help          print this text\n"
           "\n"
           "Station switches begin with a single \"-\" (for example -D, -Pdata/, -O1).\n"
           "Headless exit codes: 0 last run OK, 1 last run NG or aborted, 2 the program did not load,\n"
           "3 start-up failed.\n";
}

}  // namespace ksw
