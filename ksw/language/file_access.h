// The file-access layer of test-program files and the compiler's intermediate files. While the
// coded-file library is bound every such file is a coded file; otherwise files are plain. Both
// kinds read byte by byte (buffered, so a byte costs no system call) and a byte 26 (Ctrl-Z)
// ends the text. A "\" in a name separates folders like "/".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "zelcode.h"

// A "\\" in a name is a folder separator: programs written on other systems use it.

namespace ksw {

// The coded-file functions bound from the library at start-up.
struct CodedFileFunctions {
    ZelcodeCreateFn create = nullptr;
    ZelcodeReadFn read = nullptr;
    ZelcodeWriteFn write = nullptr;
    ZelcodeSeekFn seek = nullptr;
    ZelcodeCloseFn close = nullptr;
    ZelcodeErrorTextFn error_text = nullptr;  // why an open failed; older libraries lack it
};

// Routes every later open through `functions` (copied); null returns to plain files.
void bind_coded_files(const CodedFileFunctions *functions);
bool coded_files_bound();

// The name as this platform opens it (every "\" becomes "/").
using platform::platform_path;

class ProgramFile {
public:
    ProgramFile() = default;
    ~ProgramFile();
    ProgramFile(const ProgramFile &) = delete;
    ProgramFile &operator=(const ProgramFile &) = delete;

    // Opens an existing regular file for reading at the start of its text. False when it cannot
    // be opened (a folder, a FIFO or a device is refused; coded, a header that is not a coded
    // file's); error() says why.
    bool open_read(const std::string &name);
    // Creates a new file for writing; fails when anything already stands at `name` (a file or
    // a symbolic link, never followed). The file is private to its owner. error() says why.
    bool create_new(const std::string &name);

    // The next byte of text (0..255), or -1 at the end of the text: the end of the file, a byte
    // 26, or a read error (then read_failed() is true and error() says why).
    int read_byte() {
        if (pos_ < limit_) return static_cast<unsigned char>(buffer_[pos_++]);
        return refill();
    }
    // Gives back the byte just read by read_byte (only that one).
    void unread_byte() {
        if (pos_ > 0) --pos_;
    }
    // Appends bytes; false when they could not be written (later writes fail too).
    bool write(std::string_view bytes);
    // Position of the next byte read, counted in bytes of text from its start.
    int64_t position() const { return buffer_origin_ + static_cast<int64_t>(pos_); }
    // Moves the read position; false when the file cannot be positioned there.
    bool seek(int64_t position);
    // Closes the file; for a written file false when anything could not be written. A coded
    // file being written ends its text with a byte 26, since its last block is padded.
    bool close();

    bool is_open() const { return handle_ != -1; }
    bool is_coded() const { return coded_; }
    bool read_failed() const { return read_failed_; }
    const std::string &name() const { return name_; }
    // Why the last open, read, write or close failed.
    const std::string &error() const { return error_; }

private:
    int refill();
    bool flush();

    static constexpr size_t kBufferSize = 65536;
    std::string name_;
    intptr_t handle_ = -1;
    bool coded_ = false;
    bool writing_ = false;
    bool failed_ = false;   // a write failed: later writes and the close fail too
    bool read_failed_ = false;
    std::string error_;
    int64_t text_end_ = -1; // text position of the byte 26 that ends the text, once seen
    std::string buffer_;
    size_t pos_ = 0;        // next byte in buffer_
    size_t end_ = 0;        // bytes read into buffer_ (reading); the file stands behind them
    size_t limit_ = 0;      // bytes of buffer_ that are text (before a byte 26)
    int64_t buffer_origin_ = 0;  // text position of buffer_[0]
};

}  // namespace ksw
