// The run's log text: one buffer of "LogSize" bytes that `log(` and `evr_prn(log,...)` append to
// and the result records write out at the end of a run. A run starts with it empty. A piece that
// would make the text reach the capacity is refused whole (e017), so the buffer never holds a
// torn piece.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ksw {

class LogBuffer {
public:
    explicit LogBuffer(std::size_t capacity = 6100) : capacity_(capacity) {}

    // A new capacity (the "LogSize" setting, at least 1); the text is cleared.
    void reset(std::size_t capacity);
    void clear() { text_.clear(); }

    // Appends `piece`, or returns e017 "Out of log file space" when the text would reach the
    // capacity (one byte stays free, as for the terminating zero of the original buffer).
    int append(std::string_view piece);

    const std::string &text() const { return text_; }
    std::size_t capacity() const { return capacity_; }

private:
    std::size_t capacity_;
    std::string text_;
};

}  // namespace ksw
