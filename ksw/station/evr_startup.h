// The EVR layer in the station's life: its options from the settings, the image cleared, the
// back-end chosen by "EVRType" (the driver library bound when it is 2), the run context's use of
// the layer and its adjustment, and the driver released at exit.
#pragma once

#include <string>

#include "model/frontend.h"
#include "runtime/evr/evr_adjust.h"
#include "runtime/evr/evr_layer.h"
#include "runtime/run_context.h"
#include "station/settings.h"

namespace ksw {

// The printer port evr_prn(prn) writes to: "PrintStep" when it names one ("LPT..."), else "LPT1".
std::string evr_printer_for(const Settings &settings);

class EvrStation {
public:
    explicit EvrStation(EvrLayer &layer) : layer_(layer), adjuster_(layer) {}
    ~EvrStation() { close(); }
    EvrStation(const EvrStation &) = delete;
    EvrStation &operator=(const EvrStation &) = delete;

    // Takes the options of `settings` and clears the image; then selects the back-end "EVRType"
    // asks for. A LANC or IEEE 1284 back-end has no library here: "s014" / "s015" is shown and
    // the back-end is none. For 2 the driver library is bound; when none can be used "s024" (or
    // "s025" for a type-2 driver that does not open) is shown and the back-end is none. The
    // setting *evr_type becomes the back-end in force (-1 none). The "&Auto Adjustment" switch is
    // on. Main thread, no run going.
    // Returns 0, or e018 after showing "e018: No memory of computor" under the caption "EVR" when
    // the layer has no image (start-up then ends).
    [[nodiscard]] int open(int *evr_type, const Settings &settings, Frontend &frontend, const SerialLink *serial);
    // The run context uses the layer and its adjustment.
    void attach(RunContext &context) {
        context.evr = &layer_;
        context.adjuster = &adjuster_;
    }
    EvrAdjuster &adjuster() { return adjuster_; }
    // Releases the driver. Nothing may use the layer after.
    void close();

private:
    EvrLayer &layer_;
    EvrAdjuster adjuster_;
};

}  // namespace ksw
