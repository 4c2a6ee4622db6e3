// The coded-file library: one file open for writing and one for reading, each behind a handle
// of the library's own. Text goes through 24-byte blocks coded by block_coding.
#include "zelcode.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include "block_coding.h"
#include "coded_io.h"

namespace zelcode {
namespace {

constexpr int kHeaderSize = 6;
constexpr std::array<uint8_t, kHeaderSize> kHeader = {0x01, 'T', 'Y', 'P', 'E', '1'};
constexpr uint8_t kPadByte = 0x20;

// The file being written: the pending block, its fill and the blocks already on disk.
struct Writer {
    int fd = -1;
    ZelcodeHandle handle = 0;
    Block pending{};
    int fill = 0;
    uint64_t blocks_written = 0;
    bool failed = false;  // a block was lost; the file is incomplete
};

// The file being read: the decoded block, its number and the position in the text.
struct Reader {
    int fd = -1;
    ZelcodeHandle handle = 0;
    Block decoded{};
    int64_t block_number = -1;
    int64_t position = 0;
};

// Everything the library keeps for the process.
struct CodedFiles {
    Writer writer;
    Reader reader;
    ZelcodeHandle last_handle = 0;
    std::array<char, 256> error{};  // why the last failed open failed, for CodeGetErrorText
};

CodedFiles g_files;

// Keeps `text` (cut to fit) as the reason of the last failure.
void note_error(const std::string &text) {
    const size_t length = std::min(text.size(), g_files.error.size() - 1);
    std::memcpy(g_files.error.data(), text.data(), length);
    g_files.error[length] = '\0';
}

// A fresh handle: never 0 and never ZELCODE_INVALID_HANDLE.
ZelcodeHandle next_handle() {
    ++g_files.last_handle;
    if (g_files.last_handle <= 0) g_files.last_handle = 1;
    return g_files.last_handle;
}

// The writer when `handle` is the file being written, else null.
Writer *writer_for(ZelcodeHandle handle) {
    Writer &w = g_files.writer;
    return w.fd >= 0 && handle == w.handle ? &w : nullptr;
}

// The reader when `handle` is the file being read, else null.
Reader *reader_for(ZelcodeHandle handle) {
    Reader &r = g_files.reader;
    return r.fd >= 0 && handle == r.handle ? &r : nullptr;
}

// File offset of block `number`.
uint64_t block_offset(uint64_t number) { return kHeaderSize + number * kBlockSize; }

// Codes the full pending block and writes it as the next block. On failure the block is lost
// and the writer is marked failed. True when it was written whole.
bool write_pending_block(Writer &w) {
    const Block coded = encode_block(w.pending, w.blocks_written);
    const bool ok = write_at(w.fd, block_offset(w.blocks_written), coded) == kIoOk;
    w.fill = 0;
    if (!ok) {
        w.failed = true;
        return false;
    }
    ++w.blocks_written;
    return true;
}

// Pads the pending block with blanks and writes it; an empty pending block is written only
// while the file has no block yet. True when nothing failed.
bool flush_pending_block(Writer &w) {
    if (w.failed) return false;
    if (w.fill == 0 && w.blocks_written > 0) return true;
    std::fill(w.pending.begin() + w.fill, w.pending.end(), kPadByte);
    w.fill = kBlockSize;
    return write_pending_block(w);
}

// Completes and closes the file being written and forgets it. True when all went well.
bool finish_writer() {
    Writer &w = g_files.writer;
    bool ok = flush_pending_block(w);
    ok = cut_to_size(w.fd, static_cast<int64_t>(block_offset(w.blocks_written))) && ok;
    ok = close_file(w.fd) && ok;
    w = Writer{};
    return ok;
}

// Closes the file being read and forgets it.
bool finish_reader() {
    Reader &r = g_files.reader;
    const bool ok = close_file(r.fd);
    r = Reader{};
    return ok;
}

// Makes `fd` the file of `state` (the writer or the reader), fresh, under a new handle.
template <typename State>
ZelcodeHandle adopt(State &state, int fd) {
    state = State{};
    state.fd = fd;
    state.handle = next_handle();
    return state.handle;
}

// Closes the refused new file `fd` and reports the failed open for `reason`.
ZelcodeHandle refuse(int fd, const std::string &reason) {
    note_error(reason);
    close_file(fd);
    return ZELCODE_INVALID_HANDLE;
}

// Writes the header to the new file `fd` and makes it the file being written.
ZelcodeHandle start_writing(int fd) {
    if (write_at(fd, 0, kHeader) != kIoOk) return refuse(fd, "cannot write the header: " + system_error_text(errno));
    return adopt(g_files.writer, fd);
}

// True for 0x01, "TYPE" and a version digit 1-9.
bool header_is_valid(const std::array<uint8_t, kHeaderSize> &header) {
    if (!std::equal(kHeader.begin(), kHeader.begin() + 5, header.begin())) return false;
    return header[5] >= '1' && header[5] <= '9';
}

// Why a body of `size` bytes cannot be the coded text, or empty when it can: every coded file
// has at least one block, and only whole ones. A reader stopping short at a cut block could not
// tell the damage from the end of the text, so such a file is refused whole.
std::string body_problem(int64_t size) {
    if (size < 0) return "cannot tell its size: " + system_error_text(errno);
    if (size == 0) return "damaged coded file: it has no blocks";
    if (size % kBlockSize != 0)
        return "damaged coded file: its last block is cut short (" + std::to_string(size % kBlockSize) + " of " +
               std::to_string(kBlockSize) + " bytes)";
    return {};
}

// Checks the header and the blocks of the new file `fd` and makes it the file being read.
ZelcodeHandle start_reading(int fd) {
    std::array<uint8_t, kHeaderSize> header{};
    const IoResult got = read_at(fd, 0, header);
    if (got == kIoFailed) return refuse(fd, "cannot read: " + system_error_text(errno));
    if (got == kIoShort || !header_is_valid(header)) return refuse(fd, "not a coded file");
    const int64_t size = file_size(fd);
    const std::string problem = body_problem(size < 0 ? size : size - kHeaderSize);
    if (!problem.empty()) return refuse(fd, problem);
    return adopt(g_files.reader, fd);
}

// Makes the block holding the reader's position the decoded block. False when it cannot be
// read whole.
bool load_block_at_position(Reader &r) {
    const int64_t number = r.position / kBlockSize;
    if (number == r.block_number) return true;
    Block coded{};
    if (read_at(r.fd, block_offset(static_cast<uint64_t>(number)), coded) != kIoOk) return false;
    r.decoded = decode_block(coded, static_cast<uint64_t>(number));
    r.block_number = number;
    return true;
}

// Takes `count` bytes into the writer. Returns the bytes taken; fewer than `count` only when a
// block could not be written.
int append_text(Writer &w, const uint8_t *bytes, int count) {
    int taken = 0;
    while (taken < count) {
        if (w.fill == kBlockSize && !write_pending_block(w)) return taken;
        const int part = std::min(count - taken, kBlockSize - w.fill);
        std::memcpy(w.pending.data() + w.fill, bytes + taken, static_cast<size_t>(part));
        w.fill += part;
        taken += part;
    }
    return taken;
}

// Copies up to `count` bytes of text from the reader's position. Returns the bytes copied.
int copy_text(Reader &r, uint8_t *out, int count) {
    int copied = 0;
    while (copied < count && load_block_at_position(r)) {
        const int index = static_cast<int>(r.position % kBlockSize);
        const int part = std::min(count - copied, kBlockSize - index);
        std::memcpy(out + copied, r.decoded.data() + index, static_cast<size_t>(part));
        copied += part;
        r.position += part;
    }
    return copied;
}

// The position `distance` away from the place `method` names, or -1 for an unknown method or
// an unknown file size.
int64_t seek_target(const Reader &r, int distance, int method) {
    switch (method) {
    case ZELCODE_FILE_BEGIN: return distance;
    case ZELCODE_FILE_CURRENT: return r.position + distance;
    case ZELCODE_FILE_END: {
        const int64_t size = file_size(r.fd);
        return size < 0 ? -1 : size - kHeaderSize + distance;
    }
    default: return -1;
    }
}

// The length of the text written so far, or -1 when it does not fit the result.
int written_length(const Writer &w) {
    const uint64_t length = w.blocks_written * kBlockSize + static_cast<uint64_t>(w.fill);
    return length > INT_MAX ? -1 : static_cast<int>(length);
}

}  // namespace
}  // namespace zelcode

using namespace zelcode;

// Returns the library version.
ZELCODE_API int CodeGetVersion(void) { return ZELCODE_VERSION; }

// Why the last CreateCodedFile that failed, failed.
ZELCODE_API const char *CodeGetErrorText(void) { return g_files.error.data(); }

// Opens a coded file for writing or reading; ZELCODE_INVALID_HANDLE on any failure.
ZELCODE_API ZelcodeHandle CreateCodedFile(const char *file_name, unsigned access, unsigned disposition) {
    if (file_name == nullptr) {
        note_error("no file name");
        return ZELCODE_INVALID_HANDLE;
    }
    const bool reading = access == ZELCODE_GENERIC_READ;
    if (reading && g_files.reader.fd >= 0) finish_reader();
    if (!reading && g_files.writer.fd >= 0) finish_writer();
    std::string reason;
    const int fd = open_file(file_name, access, disposition, &reason);
    if (fd < 0) {
        note_error(reason);
        return ZELCODE_INVALID_HANDLE;
    }
    return reading ? start_reading(fd) : start_writing(fd);
}

// Appends bytes to the text of the file being written; 1 on success, 0 on failure.
ZELCODE_API int WriteCodedFile(ZelcodeHandle handle, const void *data, int count, int *written) {
    if (written != nullptr) *written = 0;
    Writer *w = writer_for(handle);
    if (w == nullptr) return 0;
    if (count < 0) return flush_pending_block(*w) ? 1 : 0;
    if (w->failed || (count > 0 && data == nullptr)) return 0;
    const int taken = append_text(*w, static_cast<const uint8_t *>(data), count);
    if (written != nullptr) *written = taken;
    return taken == count ? 1 : 0;
}

// Reads bytes of text from the file being read; 1 with the full count, else 0.
ZELCODE_API int ReadCodedFile(ZelcodeHandle handle, void *buffer, int count, int *read) {
    if (read != nullptr) *read = 0;
    Reader *r = reader_for(handle);
    if (r == nullptr || count < 0 || (count > 0 && buffer == nullptr)) return 0;
    const int copied = copy_text(*r, static_cast<uint8_t *>(buffer), count);
    if (read != nullptr) *read = copied;
    return copied == count ? 1 : 0;
}

// Moves the position in the text of the file being read; the new position or -1.
ZELCODE_API int SetCodedFilePointer(ZelcodeHandle handle, int distance, int method) {
    if (const Writer *w = writer_for(handle))
        return method == ZELCODE_FILE_CURRENT && distance == 0 ? written_length(*w) : -1;
    Reader *r = reader_for(handle);
    if (r == nullptr) return -1;
    const int64_t target = seek_target(*r, distance, method);
    if (target < 0 || target > INT_MAX) return -1;
    r->position = target;
    return static_cast<int>(target);
}

// Closes a coded file, completing a file being written; 1 when all went well, else 0.
ZELCODE_API int CloseCodedFile(ZelcodeHandle handle, unsigned access) {
    (void)access;  // the handle knows its direction
    if (writer_for(handle) != nullptr) return finish_writer() ? 1 : 0;
    if (reader_for(handle) != nullptr) return finish_reader() ? 1 : 0;
    return 0;
}
