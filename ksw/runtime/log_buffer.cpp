#include "runtime/log_buffer.h"

#include "resources/error_codes.h"

namespace ksw {

void LogBuffer::reset(std::size_t capacity) {
    capacity_ = capacity ? capacity : 1;
    text_.clear();
    text_.reserve(capacity_);
}

int LogBuffer::append(std::string_view piece) {
    if (text_.size() + piece.size() >= capacity_) return kErrOutOfLogSpace;
    text_.append(piece);
    return kOk;
}

}  // namespace ksw
