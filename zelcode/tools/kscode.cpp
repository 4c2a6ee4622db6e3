// kscode: codes a plain test program into a coded file for the line, and decodes one back.
//
// encode writes the text followed by a byte 26, the end-of-text mark the station stops at, so
// neither the station nor decode sees the blanks that pad the last block. decode removes that
// mark and the padding after it, giving back the plain bytes exactly.
//
// Both stream their files in chunks, so no file is ever held whole in memory, and both write
// their output beside its final name and rename it into place only when it is complete: a
// failure (a full disk, the file-size limit) leaves an older output as it was.
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/raw_file.h"
#include "zelcode.h"

namespace {

namespace platform = ksw::platform;

constexpr char kEndOfText = 0x1A;
constexpr char kPadByte = ' ';
constexpr size_t kBlockSize = 24;
// Positions in a coded text are 32-bit, and the end-of-text mark follows the text.
constexpr int64_t kMaxText = INT32_MAX - 1;

constexpr const char *kUsage =
    "usage: kscode encode PLAIN CODED\n"
    "       kscode decode CODED PLAIN\n"
    "       kscode --help\n"
    "\n"
    "encode  codes the plain test program PLAIN into the coded file CODED\n"
    "decode  decodes the coded file CODED back into the plain file PLAIN\n"
    "Exit status: 0 success, 1 the files could not be read, written or decoded, 2 bad usage.\n";

// Prints "kscode: <message>" on stderr and returns the failure exit code 1.
int fail(const std::string &message) {
    std::fprintf(stderr, "kscode: %s\n", message.c_str());
    return 1;
}

// The system's text for the failure just reported by a library call.
std::string last_system_error() { return errno != 0 ? platform::errno_text(errno) : "input/output error"; }

// An input file's descriptor, closed when it goes.
struct Input {
    int fd = -1;
    ~Input() {
        if (fd >= 0) platform::close_file(fd);
    }
};

// An output file that is written under a temporary name beside `path` and renamed over it by
// commit(); until then (or when commit fails) the temporary file is removed when it goes.
class Output {
public:
    explicit Output(std::string path)
        : path_(std::move(path)), temp_(path_ + ".tmp." + std::to_string(platform::process_id())) {}
    ~Output() {
        if (fd_ >= 0) platform::close_file(fd_);
        if (!committed_) platform::remove_file(temp_);
    }
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    // Creates the temporary file; it must not exist yet (a link there is never followed).
    bool create(std::string *reason) {
        fd_ = platform::create_new_file(temp_, 0644, reason);
        return fd_ >= 0;
    }
    // Closes the descriptor, for a writer that opens the temporary file by name.
    void release() {
        if (fd_ >= 0) platform::close_file(fd_);
        fd_ = -1;
    }
    int fd() const { return fd_; }
    const std::string &temp() const { return temp_; }
    // Flushes and closes the file and renames it over `path`.
    bool commit(std::string *reason) {
        bool ok = fd_ < 0 || (platform::sync_file(fd_, reason) && platform::close_file(fd_, reason));
        fd_ = -1;
        ok = ok && platform::rename_file(temp_, path_, reason);
        committed_ = ok;
        return ok;
    }

private:
    std::string path_;
    std::string temp_;
    int fd_ = -1;
    bool committed_ = false;
};

// Copies the plain file `in` of `size` bytes, then the end-of-text mark, into the coded file
// `handle`. False with the reason in `reason`.
bool code_text(int in, int64_t size, ZelcodeHandle handle, std::string *reason) {
    std::array<char, 65536> chunk{};
    int64_t total = 0;
    for (;;) {
        const long got = platform::read_some(in, chunk.data(), chunk.size(), reason);
        if (got < 0) return false;
        if (got == 0) break;
        total += got;
        if (total > kMaxText) {
            *reason = "it grew beyond " + std::to_string(size) + " bytes while it was read";
            return false;
        }
        errno = 0;
        if (WriteCodedFile(handle, chunk.data(), static_cast<int>(got), nullptr) != 1) {
            *reason = last_system_error();
            return false;
        }
    }
    errno = 0;
    if (WriteCodedFile(handle, &kEndOfText, 1, nullptr) != 1) {
        *reason = last_system_error();
        return false;
    }
    return true;
}

// Codes the plain file `plain` into the coded file `coded`. Returns the exit code.
int encode(const std::string &plain, const std::string &coded) {
    std::string reason;
    Input in{platform::open_regular_file(plain, &reason)};
    if (in.fd < 0) return fail(plain + ": cannot read: " + reason);
    const int64_t size = platform::file_size(in.fd);
    if (size > kMaxText)
        return fail(plain + ": too large to code (" + std::to_string(size) + " bytes; at most " +
                    std::to_string(kMaxText) + ")");
    Output out(coded);
    if (!out.create(&reason)) return fail(coded + ": cannot create: " + reason);
    out.release();
    const ZelcodeHandle handle = CreateCodedFile(out.temp().c_str(), ZELCODE_GENERIC_WRITE, ZELCODE_TRUNCATE_EXISTING);
    if (handle == ZELCODE_INVALID_HANDLE) return fail(coded + ": cannot create: " + CodeGetErrorText());
    const bool coded_all = code_text(in.fd, size, handle, &reason);
    errno = 0;
    const bool closed = CloseCodedFile(handle, ZELCODE_GENERIC_WRITE) == 1;
    if (coded_all && !closed) reason = last_system_error();
    if (!coded_all || !closed || !out.commit(&reason)) return fail(coded + ": cannot write the coded file: " + reason);
    return 0;
}

// The end of a decoded text: the last up to 24 bytes, held back until the text ends, because the
// end-of-text mark and the padding after it lie in them.
class Tail {
public:
    // Adds `bytes`; writes to `fd` everything that is no longer among the last 24 bytes.
    bool add(int fd, std::string_view bytes, std::string *reason) {
        held_.append(bytes);
        if (held_.size() <= kBlockSize) return true;
        const size_t ready = held_.size() - kBlockSize;
        if (!platform::write_all(fd, held_.data(), ready, reason)) return false;
        held_.erase(0, ready);
        return true;
    }
    // Drops the end-of-text mark and the blanks after it, when the text ends that way, and
    // writes the rest.
    bool finish(int fd, std::string *reason) {
        const size_t mark = held_.rfind(kEndOfText);
        if (mark != std::string::npos && held_.find_first_not_of(kPadByte, mark + 1) == std::string::npos)
            held_.resize(mark);
        return platform::write_all(fd, held_.data(), held_.size(), reason);
    }

private:
    std::string held_;
};

// Decodes all the text of the open coded file `handle` (named `coded`) into the output `out`
// (named `plain`). False with the message in `message`.
bool decode_text(ZelcodeHandle handle, const std::string &coded, Output &out, const std::string &plain,
                 std::string *message) {
    std::string reason;
    const auto failed = [&](const std::string &name, const std::string &what) {
        *message = name + ": " + what + reason;
        return false;
    };
    // The whole text, to tell the end of it from a read that failed on the way.
    const int length = SetCodedFilePointer(handle, 0, ZELCODE_FILE_END);
    if (length < 0 || SetCodedFilePointer(handle, 0, ZELCODE_FILE_BEGIN) != 0)
        return failed(coded, "cannot tell the length of the text");
    std::array<char, 65536> chunk{};
    Tail tail;
    int64_t total = 0;
    for (;;) {
        int got = 0;
        errno = 0;
        const bool whole = ReadCodedFile(handle, chunk.data(), static_cast<int>(chunk.size()), &got) == 1;
        const int read_error = errno;
        total += got;
        if (!tail.add(out.fd(), std::string_view(chunk.data(), static_cast<size_t>(got)), &reason))
            return failed(plain, "cannot write: ");
        if (whole) continue;
        if (total == length) break;
        reason = read_error != 0 ? platform::errno_text(read_error) : "the file changed while it was read";
        return failed(coded, "cannot read: ");
    }
    if (!tail.finish(out.fd(), &reason) || !out.commit(&reason)) return failed(plain, "cannot write: ");
    return true;
}

// Decodes the coded file `coded` into the plain file `plain`. Returns the exit code.
int decode(const std::string &coded, const std::string &plain) {
    const ZelcodeHandle handle = CreateCodedFile(coded.c_str(), ZELCODE_GENERIC_READ, ZELCODE_OPEN_EXISTING);
    if (handle == ZELCODE_INVALID_HANDLE) return fail(coded + ": cannot read: " + CodeGetErrorText());
    std::string message;
    Output out(plain);
    bool decoded = out.create(&message);
    if (!decoded) message = plain + ": cannot create: " + message;
    else decoded = decode_text(handle, coded, out, plain, &message);
    CloseCodedFile(handle, ZELCODE_GENERIC_READ);
    return decoded ? 0 : fail(message);
}

// Prints the usage on `stream` and returns `code`.
int usage(std::FILE *stream, int code) {
    std::fputs(kUsage, stream);
    return code;
}

int run(int argc, char **argv) {
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h"))
        return usage(stdout, 0);
    if (argc != 4) return usage(stderr, 2);
    const std::string_view command = argv[1];
    if (command == "encode") return encode(argv[2], argv[3]);
    if (command == "decode") return decode(argv[2], argv[3]);
    std::fprintf(stderr, "kscode: unknown command '%s'\n", argv[1]);
    return usage(stderr, 2);
}

}  // namespace

int main(int argc, char **argv) {
    // Past the file-size limit a write fails with a message instead of ending the tool.
    platform::ignore_file_size_signal();
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc &) {
        return fail("out of memory");
    } catch (const std::exception &error) {
        return fail(error.what());
    }
}
