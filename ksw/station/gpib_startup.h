// The GPIB link in the station's life: its options from the settings, the run context's use of
// it, a board number or measuring delay changed on the settings pages, and its release at exit.
//
// The board library is bound only when a program first uses GPIB; at exit it is released without
// finishing the board (the instruments stay in remote until the next station initialises it).
#pragma once

#include <cstdint>

#include "runtime/gpib/gpib_link.h"
#include "runtime/run_context.h"
#include "station/settings.h"

namespace ksw {

// "BoardNo" and "MesDelay" of section "GPIB" (a negative delay counts as 0) and the EVR page's
// "Ignore".
GpibOptions gpib_options_for(const Settings &settings);

class GpibStation {
public:
    explicit GpibStation(GpibLink &link) : link_(link) {}
    ~GpibStation() { close(); }
    GpibStation(const GpibStation &) = delete;
    GpibStation &operator=(const GpibStation &) = delete;

    // Takes the options of `settings`; nothing is bound yet. Main thread, no run going.
    void open(const Settings &settings) { configure_gpib(link_, gpib_options_for(settings)); }
    // The run context uses the link.
    void attach(RunContext &context) { context.gpib = &link_; }
    // The settings page's "Board#": the board in use is finished and, once a library is bound,
    // board `board` initialised (waiting for a GPIB exchange of the sequencer to end). 0 or the
    // initialisation's error.
    int change_board(int board) { return change_gpib_board(link_, board); }
    // The settings page's "gpib_mes wait(ms)"; the next sample waits the new time.
    void set_mes_delay(uint32_t ms) { link_.mes_delay_ms.store(ms, std::memory_order_relaxed); }
    // Releases the board library without finishing the board. Nothing may use the link after.
    void close() { reset_gpib_link(link_); }

private:
    GpibLink &link_;
};

}  // namespace ksw
