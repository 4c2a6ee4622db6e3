// The items that analyse captured waveforms (the video items and ",peak_peak("), and the
// counter reading they share with the pulse items.
#pragma once

#include "runtime/measure/measure_item.h"

namespace ksw {

// The counter of channels 0 and 1 as a time in seconds (items.cpp).
int read_counter_seconds(ItemContext &item, double *seconds);

// Video set-up: the capture path on (output port 5 bits 4-6).
int setup_video(ItemContext &item);

int measure_peak_peak(ItemContext &item, double *value);
int measure_phase(ItemContext &item, double *value);
int measure_chroma_gain(ItemContext &item, double *value);
int measure_chroma_phase(ItemContext &item, double *value);
int measure_interval(ItemContext &item, double *value);
int measure_v_level(ItemContext &item, double *value);
int measure_v_level_level(ItemContext &item, double *value);
int measure_chroma_det(ItemContext &item, double *value);
int measure_bottom(ItemContext &item, double *value);

// The sampling rate of the digitiser in Hz: the clock dgtz_clk( chose (output port 10 bits
// 0-3: 0 "4fs", 1 "20m", 2 "10m", 3 "4m", 4 "1m", 5 "50k"); four times the colour subcarrier
// of the step's standard for "4fs" (and for a value outside the table).
double digitiser_rate(const JigPorts &jig, int video_standard);

}  // namespace ksw
