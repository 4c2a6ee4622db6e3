#include "compiler/file_access.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace ksw {
namespace {

constexpr char kEndOfText = 26;

CodedFileFunctions g_coded;
bool g_coded_bound = false;

}  // namespace

void bind_coded_files(const CodedFileFunctions *functions) {
    g_coded_bound = functions && functions->create && functions->read && functions->write && functions->seek &&
                    functions->close;
    g_coded = g_coded_bound ? *functions : CodedFileFunctions{};
}

bool coded_files_bound() { return g_coded_bound; }

std::string platform_path(std::string_view name) {
    std::string path(name);
    for (char &c : path)
        if (c == '\\') c = '/';
    return path;
}

ProgramFile::~ProgramFile() { close(); }

bool ProgramFile::open_read(const std::string &name) {
    close();
    name_ = name;
    const std::string path = platform_path(name);
    coded_ = g_coded_bound;
    if (coded_) {
        handle_ = g_coded.create(path.c_str(), ZELCODE_GENERIC_READ, ZELCODE_OPEN_EXISTING);
    } else {
        handle_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (handle_ < 0) {
        handle_ = -1;
        return false;
    }
    writing_ = false;
    failed_ = false;
    text_end_ = -1;
    buffer_.resize(kBufferSize);
    pos_ = end_ = limit_ = 0;
    buffer_origin_ = 0;
    return true;
}

bool ProgramFile::create(const std::string &name) {
    close();
    name_ = name;
    const std::string path = platform_path(name);
    coded_ = g_coded_bound;
    if (coded_) {
        handle_ = g_coded.create(path.c_str(), ZELCODE_GENERIC_WRITE, ZELCODE_CREATE_ALWAYS);
    } else {
        handle_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    }
    if (handle_ < 0) {
        handle_ = -1;
        return false;
    }
    writing_ = true;
    failed_ = false;
    buffer_.clear();
    buffer_.reserve(kBufferSize);
    pos_ = end_ = 0;
    buffer_origin_ = 0;
    return true;
}

// Reads the next chunk of text; returns its first byte or -1 at the end of the text.
int ProgramFile::refill() {
    if (handle_ == -1 || writing_) return -1;
    buffer_origin_ += static_cast<int64_t>(end_);
    pos_ = end_ = limit_ = 0;
    if (text_end_ >= 0 && buffer_origin_ >= text_end_) return -1;
    size_t got = 0;
    if (coded_) {
        int n = 0;
        g_coded.read(handle_, buffer_.data(), static_cast<int>(buffer_.size()), &n);
        got = n > 0 ? static_cast<size_t>(n) : 0;
    } else {
        ssize_t n;
        do {
            n = ::read(static_cast<int>(handle_), buffer_.data(), buffer_.size());
        } while (n < 0 && errno == EINTR);
        got = n > 0 ? static_cast<size_t>(n) : 0;
    }
    // The text ends at a byte 26: keep what comes before it only.
    for (size_t i = 0; i < got; ++i) {
        if (buffer_[i] == kEndOfText) {
            text_end_ = buffer_origin_ + static_cast<int64_t>(i);
            break;
        }
    }
    end_ = got;
    limit_ = (text_end_ >= buffer_origin_) ? static_cast<size_t>(text_end_ - buffer_origin_) : got;
    if (limit_ == 0) return -1;
    return static_cast<unsigned char>(buffer_[pos_++]);
}

bool ProgramFile::seek(int64_t position) {
    if (handle_ == -1 || writing_ || position < 0) return false;
    // Within the bytes already buffered no file access is needed.
    if (position >= buffer_origin_ && position <= buffer_origin_ + static_cast<int64_t>(end_)) {
        pos_ = static_cast<size_t>(position - buffer_origin_);
        return true;
    }
    if (coded_) {
        if (position > INT32_MAX || g_coded.seek(handle_, static_cast<int>(position), ZELCODE_FILE_BEGIN) < 0)
            return false;
    } else if (::lseek(static_cast<int>(handle_), position, SEEK_SET) < 0) {
        return false;
    }
    buffer_origin_ = position;
    pos_ = end_ = limit_ = 0;
    return true;
}

bool ProgramFile::write(std::string_view bytes) {
    if (handle_ == -1 || !writing_ || failed_) return false;
    buffer_.append(bytes);
    if (buffer_.size() >= kBufferSize) return flush();
    return true;
}

// Writes the buffered bytes out.
bool ProgramFile::flush() {
    if (failed_) return false;
    size_t done = 0;
    while (done < buffer_.size()) {
        if (coded_) {
            int n = 0;
            const int count = static_cast<int>(buffer_.size() - done);
            if (!g_coded.write(handle_, buffer_.data() + done, count, &n) || n != count) {
                failed_ = true;
                break;
            }
            done += static_cast<size_t>(n);
        } else {
            const ssize_t n = ::write(static_cast<int>(handle_), buffer_.data() + done, buffer_.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                failed_ = true;
                break;
            }
            done += static_cast<size_t>(n);
        }
    }
    buffer_origin_ += static_cast<int64_t>(done);
    buffer_.clear();
    return !failed_;
}

bool ProgramFile::close() {
    if (handle_ == -1) return true;
    bool ok = true;
    if (writing_) {
        if (coded_) buffer_.push_back(kEndOfText);
        ok = flush();
    }
    if (coded_) {
        ok = g_coded.close(handle_, writing_ ? ZELCODE_GENERIC_WRITE : ZELCODE_GENERIC_READ) && ok;
    } else {
        ok = ::close(static_cast<int>(handle_)) == 0 && ok;
    }
    handle_ = -1;
    buffer_.clear();
    buffer_.shrink_to_fit();
    pos_ = end_ = limit_ = 0;
    return ok || !writing_;
}

}  // namespace ksw
