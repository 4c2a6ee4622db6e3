#include "language/file_access.h"

#include "platform/raw_file.h"

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

ProgramFile::~ProgramFile() { close(); }

bool ProgramFile::open_read(const std::string &name) {
    close();
    name_ = name;
    error_.clear();
    const std::string path = platform_path(name);
    coded_ = g_coded_bound;
    // Coded or plain, only a regular file is a program file.
    const int probe = platform::open_regular_file(path, &error_);
    if (probe < 0) return false;
    if (coded_) {
        platform::close_file(probe);
        handle_ = g_coded.create(path.c_str(), ZELCODE_GENERIC_READ, ZELCODE_OPEN_EXISTING);
        if (handle_ < 0) {
            const char *why = g_coded.error_text ? g_coded.error_text() : nullptr;
            error_ = (why && *why) ? why : "not a coded file, or it cannot be read";
        }
    } else {
        handle_ = probe;
    }
    if (handle_ < 0) {
        handle_ = -1;
        return false;
    }
    writing_ = false;
    failed_ = false;
    read_failed_ = false;
    text_end_ = -1;
    buffer_.resize(kBufferSize);
    pos_ = end_ = limit_ = 0;
    buffer_origin_ = 0;
    return true;
}

bool ProgramFile::create_new(const std::string &name) {
    close();
    name_ = name;
    error_.clear();
    const std::string path = platform_path(name);
    coded_ = g_coded_bound;
    // The file is made here, exclusively and private; a coded file then writes into it.
    const int fd = platform::create_new_file(path, 0600, &error_);
    if (fd < 0) return false;
    if (coded_) {
        platform::close_file(fd);
        handle_ = g_coded.create(path.c_str(), ZELCODE_GENERIC_WRITE, ZELCODE_TRUNCATE_EXISTING);
        if (handle_ < 0) {
            error_ = "the coded-file library cannot write it";
            platform::remove_file(path);
        }
    } else {
        handle_ = fd;
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
        // A coded read stops short at the end of the text; the library refuses, when it opens
        // it, a file whose blocks are not whole.
        int n = 0;
        g_coded.read(handle_, buffer_.data(), static_cast<int>(buffer_.size()), &n);
        got = n > 0 ? static_cast<size_t>(n) : 0;
    } else {
        const long n = platform::read_some(static_cast<int>(handle_), buffer_.data(), buffer_.size(), &error_);
        if (n < 0) read_failed_ = true;
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
    } else if (!platform::seek_to(static_cast<int>(handle_), position)) {
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
            if (!platform::write_all(static_cast<int>(handle_), buffer_.data() + done, buffer_.size() - done, &error_)) {
                failed_ = true;
                break;
            }
            done = buffer_.size();
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
        ok = platform::close_file(static_cast<int>(handle_), &error_) && ok;
    }
    handle_ = -1;
    buffer_.clear();
    buffer_.shrink_to_fit();
    pos_ = end_ = limit_ = 0;
    return ok || !writing_;
}

}  // namespace ksw
