// The jig's life in the station: the port options from the settings (or from a simulated
// world's scenario), binding the board library, the start-up with its cable question, the
// remote-control thread and the shut-down.
//
// Order at start-up: settings -> open (board library, port options, access mode, trace) ->
// program load -> initialise (direct port permission, InitJig with the cable question) -> STEP0
// -> start_remote_control. At exit: close (remote control stopped, every chip set to input,
// the board library released).
#pragma once

#include <string>

#include "model/frontend.h"
#include "runtime/jig/jig_ports.h"
#include "runtime/jig/jig_trace.h"
#include "runtime/jig/remote_control.h"
#include "runtime/run_context.h"
#include "station/settings.h"

namespace ksw {

// ksw --sim=FILE: names the scenario to the simulated world (KSW_SIM_SCENARIO, as an absolute
// path) and puts the simulated device libraries (<executable folder>/../sim/lib) first on
// KSW_LIBRARY_PATH. Call it before any library is bound and before other threads exist. False
// with the reason when the scenario cannot be read or the simulated libraries are missing.
bool prepare_simulated_world(const std::string &scenario, std::string *error);

// The port options of `settings`. With a scenario (--sim) the four port groups are the
// scenario's [ports] values (a group it does not give, or gives in a form the world does not
// take, keeps the world's own wiring: 10,12,14,16 / 11,13,15,17 / 20,22,24,26 / 21,23,25,27)
// for this run only, and direct port I/O is off. False with the reason when the scenario file
// cannot be read.
bool jig_options_for(const Settings &settings, const std::string &scenario, JigOptions *out, std::string *error);

// What a "No" to the cable question does: check again (a person at the jig can plug the cable
// in), or give up (nobody can: a headless station without a terminal).
enum class CableRefusal { kCheckAgain, kGiveUp };

struct JigStartResult {
    int error = 0;           // 0, or the cable error (e023/e024)
    bool abandoned = false;  // "No" with kGiveUp: the station ends
};

// InitJig: every shadow cleared and the ports at their defaults; in mode 0 the cables are
// checked, and while one is missing the operator is asked (caption "Error": the error's
// message and "Operate without jig"). Yes: every chip to input, the result names the error and
// the access mode becomes 1. Once connected, every latch and output port is written 0.
JigStartResult InitJig(JigPorts &jig, Frontend &frontend, CableRefusal refusal);

class JigStation {
public:
    JigStation(JigPorts &jig, Frontend &frontend) : jig_(jig), frontend_(frontend) {}
    ~JigStation() { close(); }
    JigStation(const JigStation &) = delete;
    JigStation &operator=(const JigStation &) = delete;

    // Binds the board library, takes `options` and opens the trace (empty path: none). A board
    // library that cannot be used is shown to the operator; start-up goes on. False only when
    // the trace cannot be written (the reason in `error`). No chip is touched yet.
    bool open(const JigOptions &options, const std::string &trace_path, std::string *error);
    // The run context uses the jig; trace lines name its current step.
    void attach(RunContext &context);
    // Asks the system for the direct port addresses that need it (a refusal is shown to the
    // operator), then InitJig.
    JigStartResult initialise(CableRefusal refusal);
    // Starts the remote-control thread when it does not run; shows "s002: [internal
    // error]Can't use remo-con" when it cannot.
    bool start_remote_control();
    // The chips back at their normal words (strobes and A/D start idle), as after an abort.
    void rest_outputs() { SetPortsDefault(jig_); }
    // Stops the remote control, sets every chip to input (when the jig was started up) and
    // releases the board library.
    void close();

private:
    JigPorts &jig_;
    Frontend &frontend_;
    JigTrace trace_;
    RemoteControl remote_;
    bool open_ = false;
    bool started_ = false;
    bool direct_io_requested_ = false;
};

}  // namespace ksw
