// ksw: the test and adjustment station. This file only picks the front-end; the engine is kswcore.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "comkit32.h"
#include "platform/files.h"
#include "platform/lockfile.h"
#include "platform/signals.h"
#include "model/program_model.h"
#include "station/jig_startup.h"
#include "station/program_loading.h"
#include "station/settings_startup.h"
#include "station/settings_store.h"
#include "ui/console/console_frontend.h"
#include "ui/console/headless_station.h"
#include "ui/console/program_check.h"
#include "ui/launch_options.h"
#include "zelw.h"

namespace {

using ksw::kExitNotLoaded;
using ksw::kExitStartupFailed;

void print_versions() {
    std::printf("ksw %s\n", KSW_VERSION);
    std::printf("zelw %X\n", static_cast<unsigned>(ZelwGetVersion()));
    std::printf("comkit32 %X\n", static_cast<unsigned>(ComkitGetVersion()));
}

// The folder that is current at start; the settings file lives there.
std::string start_directory() {
    std::error_code ignored;
    const std::filesystem::path current = std::filesystem::current_path(ignored);
    return current.empty() ? std::string(".") : current.string();
}

// --check: preprocesses and compiles the program exactly as a load would, prints the outcome,
// and leaves the settings files alone.
int check_program(ksw::Frontend &frontend, const std::string &ini_path, const ksw::LaunchOptions &options) {
    // An unknown switch has opened the help; the check goes on with the rest.
    (void)ksw::read_startup_settings(frontend, ini_path, options.command_line(), ksw::today_local());
    const ksw::Settings &settings = ksw::settings();
    if (settings.user_program.empty()) {
        std::fprintf(stderr, "ksw: --check needs a test program\n");
        return kExitNotLoaded;
    }
    ksw::platform::DynamicLibrary coded;
    if (ksw::bind_coded_file_library(coded, &frontend) < 0) return kExitStartupFailed;
    ksw::DefineTable &defines = ksw::define_table();
    ksw::define_startup_symbols(defines, settings);
    ksw::apply_code_page(settings);
    ksw::ProgramModel &model = ksw::program_model();
    const ksw::ProgramCompilation result =
        ksw::compile_station_program(settings.user_program, model, defines, settings, nullptr);
    ksw::unbind_coded_file_library(coded);
    for (const ksw::CompileNotice &notice : result.notices)
        if (notice.text != result.report) std::printf("%s\n", ksw::terminal_text(notice.text).c_str());
    if (result.loaded) {
        std::printf("compiled: %d steps\n", model.step_count());
        // --strict: commands this station cannot run make the check fail.
        const std::vector<std::string> missing = options.strict ? ksw::missing_front_end_lines(model, result)
                                                                : std::vector<std::string>();
        for (const std::string &line : missing) std::printf("%s\n", line.c_str());
        return missing.empty() ? 0 : kExitNotLoaded;
    }
    std::printf("%s\n", ksw::terminal_text(result.report).c_str());
    if (!result.source_file.empty())
        std::printf("at %s line %d\n", ksw::terminal_text(result.source_file).c_str(), result.source_line);
    return kExitNotLoaded;
}

}  // namespace

namespace {

int run_station(int argc, char **argv);

}  // namespace

// Whatever goes wrong below ends the station with a message and a status, never by a signal.
int main(int argc, char **argv) {
    ksw::platform::ignore_file_size_signal();  // a write past the size limit fails; it does not kill
    try {
        return run_station(argc, argv);
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "ksw: out of memory\n");
    } catch (const std::exception &failure) {
        std::fprintf(stderr, "ksw: %s\n", failure.what());
    }
    return kExitStartupFailed;
}

namespace {

int run_station(int argc, char **argv) {
    ksw::LaunchOptions options;
    std::string error;
    if (!ksw::parse_launch_options(argc, argv, &options, &error)) {
        std::fprintf(stderr, "ksw: %s\n", error.c_str());
        return kExitStartupFailed;
    }
    if (options.help) {
        std::fputs(ksw::launch_usage().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        print_versions();
        return 0;
    }
    if (!options.sim_file.empty()) {
        // Before any library is bound: the simulated device libraries come first.
        std::string sim_error;
        if (!ksw::prepare_simulated_world(options.sim_file, &sim_error)) {
            std::fprintf(stderr, "ksw: %s\n", sim_error.c_str());
            return kExitStartupFailed;
        }
    }
    // The Qt main window is not built yet, so both modes talk through the console front-end.
    ksw::ConsoleFrontend::Options console;
    console.default_yes = options.answer_yes;
    console.interactive = ksw::platform::stdin_is_terminal();  // a terminal answers questions itself
    console.verbose = options.verbose;
    // Without a window the clipboard is a file in the runtime folder that every copy shares.
    if (const std::string folder = ksw::platform::runtime_dir(); !folder.empty())
        console.clipboard_file = folder + "/clipboard.txt";
    console.answers = options.inputs;
    console.bell = ksw::platform::stdout_is_terminal() ? stdout : nullptr;
    ksw::ConsoleFrontend frontend(console);
    // SIGINT, SIGTERM and SIGHUP close the station as its close command does: the watcher only
    // posts the request; the main thread ends the run, saves the settings and removes its files.
    ksw::platform::TerminationSignals signals;
    std::string signal_error;
    if (!signals.start([&frontend](int) { frontend.post(ksw::WindowMessage{ksw::kMsgCloseRequest, 0, 0, {}}); },
                       &signal_error))
        std::fprintf(stderr, "ksw: %s\n", signal_error.c_str());
    const std::string ini_path = ksw::ini_settings_path(start_directory());
    if (options.check) {
        const int checked = check_program(frontend, ini_path, options);
        return signals.received() ? ksw::platform::exit_status_for_signal(signals.received()) : checked;
    }
    (void)ksw::read_startup_settings(frontend, ini_path, options.command_line(), ksw::today_local());
    const int exit_code = ksw::run_headless_station(frontend, options);
    (void)ksw::save_settings_stores(frontend, ini_path, ksw::today_local());  // a failure was shown
    signals.stop();
    return signals.received() ? ksw::platform::exit_status_for_signal(signals.received()) : exit_code;
}

}  // namespace
