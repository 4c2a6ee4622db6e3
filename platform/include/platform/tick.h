// The station's millisecond clock: a 32-bit tick that wraps every 49.7 days, as the run
// loop's time limits and the device time-outs expect. Differences are taken with unsigned
// wrap-around subtraction, so an interval that spans the wrap is still measured correctly.
#pragma once

#include <cstdint>

namespace ksw::platform {

// Milliseconds of a monotonic clock, truncated to 32 bits (plus the test offset below).
uint32_t tick_count();

// Milliseconds from `start` to `now`, correct across one wrap of the counter.
constexpr uint32_t ticks_between(uint32_t start, uint32_t now) { return now - start; }

// Milliseconds since `start`.
inline uint32_t ticks_since(uint32_t start) { return ticks_between(start, tick_count()); }

// True once `timeout_ms` have passed since `start`.
inline bool ticks_elapsed(uint32_t start, uint32_t timeout_ms) { return ticks_since(start) >= timeout_ms; }

// Sleeps `ms` milliseconds; 0 gives up the rest of the time slice.
void sleep_ms(uint32_t ms);

// Shifts every later tick_count() by `offset`; tests use it to run code across the wrap.
void set_tick_offset(uint32_t offset);

// Tests: a clock that moves only when told (advance_manual_clock) or slept on (sleep_ms moves it
// by the time asked and returns at once), so timing can be checked exactly. Off again with false.
void use_manual_clock(bool on);
void advance_manual_clock(uint32_t ms);

}  // namespace ksw::platform
