#include "runtime/log_buffer.h"

#include <algorithm>

#include "resources/error_codes.h"

namespace ksw {

void LogBuffer::reset(std::size_t capacity) {
    capacity_ = capacity ? capacity : 1;
    text_.clear();
    // The text grows as pieces come; only a usual size is set aside at once, so a huge "LogSize"
    // costs nothing until a program really logs that much.
    text_.reserve(std::min<std::size_t>(capacity_, 64 * 1024));
}

int LogBuffer::append(std::string_view piece) {
    if (text_.size() + piece.size() >= capacity_) return kErrOutOfLogSpace;
    text_.append(piece);
    return kOk;
}

}  // namespace ksw
