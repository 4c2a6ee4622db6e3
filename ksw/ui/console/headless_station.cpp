#include "ui/console/headless_station.h"

#include <algorithm>
#include <cstdio>

#include "model/program_model.h"
#include "platform/files.h"
#include "resources/messages.h"
#include "resources/format.h"
#include "runtime/sequencer.h"
#include "runtime/evr/evr_files.h"
#include "station/evr_startup.h"
#include "station/gpib_startup.h"
#include "station/jig_startup.h"
#include "station/program_loading.h"
#include "station/run_control.h"
#include "station/run_recorder.h"
#include "station/server_link.h"
#include "station/serial_startup.h"
#include "station/settings.h"
#include "station/station_startup.h"
#include "values/defines.h"
#include "values/registers.h"

namespace ksw {

std::string dump_registers(const std::vector<DumpRange> &ranges) {
    const Registers &regs = registers();
    std::string out;
    if (!regs.allocated()) return out;
    for (const DumpRange &range : ranges) {
        for (int i = range.first; i <= range.last; ++i) {
            if (range.bank == 'a') out += format_text("ad[%d]=%d\n", {i, static_cast<int>((*regs.ad)[static_cast<size_t>(i)])});
            else out += format_text("rd[%d]=%.17g\n", {i, (*regs.rd)[static_cast<size_t>(i)]});
        }
    }
    return out;
}

namespace {

// Waits, handling messages, until run control is back in the ready state (or the program is
// to end).
bool wait_until_ready(ConsoleFrontend &frontend, const RunControl &control, const bool &closing) {
    return frontend.pump([&] { return closing || (control.state() == kStateReady && !control.sequencer_running()); }) &&
           !closing;
}

}  // namespace

int run_headless_station(ConsoleFrontend &frontend, const LaunchOptions &options) {
    const Settings &config = settings();
    // The instance number comes first: without one (sixteen copies run, or no socket can be
    // made) the station does not start.
    ServerLink server;
    std::string server_error;
    if (server.open({}, &server_error) < 0) {
        std::fprintf(stderr, "ksw: no instance number: %s\n", server_error.c_str());
        return kExitStartupFailed;
    }
    if (start_station_registers(frontend) != 0) return kExitStartupFailed;
    platform::DynamicLibrary coded;
    if (bind_coded_file_library(coded, &frontend) < 0) return kExitStartupFailed;
    JigOptions jig_options;
    std::string jig_error;
    if (!jig_options_for(config, options.sim_file, &jig_options, &jig_error)) {
        std::fprintf(stderr, "ksw: %s\n", jig_error.c_str());
        return kExitStartupFailed;
    }
    // The run context outlives the jig station, whose trace and remote control refer to it.
    RunContext context;
    JigStation jig(jig_ports(), frontend);
    if (!jig.open(jig_options, options.jig_trace, &jig_error)) {
        std::fprintf(stderr, "ksw: %s\n", jig_error.c_str());
        return kExitStartupFailed;
    }
    SerialStation serial(frontend);
    std::string serial_reason;
    if (!serial.open(config, options.sim_file, &serial_reason)) {
        std::fprintf(stderr, "ksw: %s\n", serial_reason.c_str());
        return kExitStartupFailed;
    }
    GpibStation gpib(gpib_link());
    gpib.open(config);
    EvrStation evr(evr_layer());
    if (evr.open(&settings().evr_type, config, frontend, &serial.link()) != 0) return kExitStartupFailed;
    define_startup_symbols(define_table(), config);
    apply_code_page(config);
    if (config.user_program.empty()) {
        std::fprintf(stderr, "ksw: no test program given\n");
        return kExitNotLoaded;
    }
    ProgramModel &program = program_model();
    free_program(program);
    if (!load_program(config.user_program, program, define_table(), config, &frontend)) return kExitNotLoaded;

    context.use_program(&program);
    context.registers = &registers();
    context.frontend = &frontend;
    context.server = &server;
    context.evr_interval_ms = static_cast<uint32_t>(std::max(config.evr_interval, 0));
    context.log.reset(static_cast<size_t>(config.log_size));
    jig.attach(context);
    serial.attach(context);
    gpib.attach(context);
    evr.attach(context);
    context.adjust_mode = options.measure_mode >= 0 ? options.measure_mode : config.measure_ignore;
    if (program.global.given) context.set_run_mode(program.global.run_mode);
    if (program.global.file_recording >= 0) context.set_file_recording(program.global.file_recording == 1);
    RunControlOptions run_options;
    run_options.inhibit_result_window = config.inhibit_ok_ng;
    run_options.ok_wave = config.ok_wave;
    run_options.ng_wave = config.ng_wave;
    run_options.rest_jig = [&jig] { jig.rest_outputs(); };
    RunRecorder recorder(frontend, config, server.instance(), KSW_VERSION);
    // With the "Access record" flag the data saving writes the EVR image's access record first.
    recorder.evr_access_record = [](const RunContext &c) {
        if (!c.evr) return std::string();
        std::lock_guard<std::recursive_mutex> hold(c.evr->lock);
        return evr_access_record_text(*c.evr);
    };
    run_options.tell_server = [&server](int kind) { server.tell(kind); };
    run_options.before_run = [&recorder] { recorder.product_id_step(); };
    run_options.before_launch = [&recorder] { recorder.drain(); };
    run_options.record_run = [&recorder](const RunContext &c, const DailyTotals &t, LocalStamp start, uint32_t ms,
                                         bool retried) { recorder.record(c, t, start, ms, retried); };
    RunControl control(context, frontend, run_options);
    control.set_totals(DailyTotals{today_local(), config.total_ok, config.total_ng});
    control.set_repeat_count(config.auto_repeats_left);  // -In: the first start repeats n times
    bool closing = false;
    control.on_close_request = [&closing] { closing = true; };
    frontend.set_message_handler([&](const WindowMessage &message) -> intptr_t {
        // A close request (a termination signal): the run is left as the window's close
        // leaves it, aborted without its closing steps, and the station ends.
        if (message.id == kMsgCloseRequest) {
            closing = true;
            return 1;
        }
        const intptr_t handled = control.handle_message(message);
        // Nobody presses Enter after a halt the program asked for: go on at once.
        if ((message.id == kMsgCommand || message.id == kMsgPostedCommand) && message.wparam == kHaltCommand)
            frontend.post(WindowMessage{kMsgKey, kVkReturn, 0, {}});
        return handled;
    });

    // The cable question: a "No" checks again only when a person at a terminal can plug the
    // cable in; otherwise the station ends with the cable's error.
    const JigStartResult started =
        jig.initialise(platform::stdin_is_terminal() ? CableRefusal::kCheckAgain : CableRefusal::kGiveUp);
    if (started.abandoned) {
        frontend.set_status_text(kPaneResult, message_text(started.error));
        frontend.set_message_handler(nullptr);
        unbind_coded_file_library(coded);
        return kExitNg;
    }
    if (started.error != 0) settings().port_access_mode = kAccessNoJig;

    control.start_step0();
    if (wait_until_ready(frontend, control, closing)) {
        jig.start_remote_control();
        for (int run = 0; run < options.runs; ++run) {
            frontend.post(WindowMessage{kMsgKey, kVkReturn, 0, {}});
            if (!wait_until_ready(frontend, control, closing)) break;
        }
    }
    control.shutdown();  // a run cut short by a close request ends here, before its result is read
    recorder.drain();
    // The writer's last reports are shown before the station ends; nothing else reaches run
    // control once it has shut down.
    frontend.set_message_handler([&control](const WindowMessage &message) -> intptr_t {
        return message.id == kMsgQuestion ? control.handle_message(message) : 0;
    });
    frontend.pump_pending();
    frontend.set_message_handler(nullptr);
    settings().log_date = recorder.log_date();
    settings().total_ok = control.totals().ok;
    settings().total_ng = control.totals().ng;
    server.tell(kServerWait);
    if (!options.dump.empty()) std::fputs(dump_registers(options.dump).c_str(), stdout);
    unbind_coded_file_library(coded);
    return control.last_result() == 0 && !closing ? kExitOk : kExitNg;
}

}  // namespace ksw
