// The measuring board as the measurement items see it from step to step: the capture buffer of
// the video items and the video level reference that ac_range( and reset( set. One per run
// context; only the thread that measures (the sequencer, or the one link member let run) uses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ksw {

struct MeasureBoard {
    static constexpr size_t kCaptureWords = 8192;   // four blocks of 2048 samples, channels 4-7
    static constexpr size_t kSingleCapture = 5048;  // one block of channel 4 (global( option 1)
    static constexpr double kResetReference = 2.0;  // volts after reset(

    std::vector<uint16_t> capture;       // the samples, kCaptureWords once something was captured
    size_t captured = 0;                 // valid samples: 0 (nothing captured), 8192 or 5048
    double video_reference = kResetReference;  // volts: the comparator level of board register 0x3320

    void clear_capture() {
        capture.assign(kCaptureWords, 0);
        captured = 0;
    }
};

}  // namespace ksw
