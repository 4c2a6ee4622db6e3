// kscode: codes a plain test program into a coded file for the line, and decodes one back.
//
// encode writes the text followed by a byte 26, the end-of-text mark the station stops at, so
// neither the station nor decode sees the blanks that pad the last block. decode removes that
// mark and the padding after it, giving back the plain bytes exactly.
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "zelcode.h"

namespace {

constexpr char kEndOfText = 0x1A;
constexpr char kPadByte = ' ';
constexpr long long kHeaderSize = 6;
constexpr long long kBlockSize = 24;

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

// The system's text for the last failure, or a general one when there is none.
std::string reason() { return errno != 0 ? std::strerror(errno) : "input/output error"; }

// Reads the whole file `path` into `out`; false (with errno set by the stream) on failure.
bool read_whole_file(const std::string &path, std::string *out) {
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Replaces the file `path` with `bytes`; false on failure.
bool write_whole_file(const std::string &path, const std::string &bytes) {
    errno = 0;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

// Writes `text` and the end-of-text mark as the coded file `coded`. Returns the exit code.
int encode(const std::string &plain, const std::string &coded) {
    std::string text;
    if (!read_whole_file(plain, &text)) return fail(plain + ": cannot read: " + reason());
    text.push_back(kEndOfText);
    if (text.size() > static_cast<size_t>(INT32_MAX)) return fail(plain + ": too large to code");
    errno = 0;
    const ZelcodeHandle handle = CreateCodedFile(coded.c_str(), ZELCODE_GENERIC_WRITE, ZELCODE_CREATE_ALWAYS);
    if (handle == ZELCODE_INVALID_HANDLE) return fail(coded + ": cannot create: " + reason());
    int written = 0;
    const bool wrote = WriteCodedFile(handle, text.data(), static_cast<int>(text.size()), &written) == 1;
    const bool closed = CloseCodedFile(handle, ZELCODE_GENERIC_WRITE) == 1;
    if (!wrote || !closed) return fail(coded + ": cannot write the coded file: " + reason());
    return 0;
}

// Checks that `coded` is a whole coded file; on failure stores the complaint in `problem`.
bool coded_file_is_whole(const std::string &coded, std::string *problem) {
    std::error_code error;
    const auto size = std::filesystem::file_size(coded, error);
    if (error) {
        *problem = coded + ": cannot read: " + error.message();
        return false;
    }
    const auto body = static_cast<long long>(size) - kHeaderSize;
    if (body < 0 || body % kBlockSize != 0) {
        *problem = coded + ": damaged coded file (it does not end on a whole block)";
        return false;
    }
    return true;
}

// Reads all the text of the coded file `coded` into `text`; false with `problem` on failure.
bool read_coded_text(const std::string &coded, std::string *text, std::string *problem) {
    const ZelcodeHandle handle = CreateCodedFile(coded.c_str(), ZELCODE_GENERIC_READ, ZELCODE_OPEN_EXISTING);
    if (handle == ZELCODE_INVALID_HANDLE) {
        *problem = coded + ": not a coded file (bad or short header)";
        return false;
    }
    std::array<char, 4096> chunk{};
    int got = 0;
    while (ReadCodedFile(handle, chunk.data(), static_cast<int>(chunk.size()), &got) == 1)
        text->append(chunk.data(), static_cast<size_t>(got));
    text->append(chunk.data(), static_cast<size_t>(got));
    CloseCodedFile(handle, ZELCODE_GENERIC_READ);
    return true;
}

// Drops the end-of-text mark and the padding blanks after it, when the text ends that way.
void drop_end_mark(std::string *text) {
    const size_t mark = text->rfind(kEndOfText);
    if (mark == std::string::npos || text->size() - mark > static_cast<size_t>(kBlockSize)) return;
    if (text->find_first_not_of(kPadByte, mark + 1) != std::string::npos) return;
    text->resize(mark);
}

// Decodes the coded file `coded` into the plain file `plain`. Returns the exit code.
int decode(const std::string &coded, const std::string &plain) {
    std::string problem;
    std::string text;
    if (!coded_file_is_whole(coded, &problem) || !read_coded_text(coded, &text, &problem)) return fail(problem);
    drop_end_mark(&text);
    if (!write_whole_file(plain, text)) return fail(plain + ": cannot write: " + reason());
    return 0;
}

// Prints the usage on `stream` and returns `code`.
int usage(std::FILE *stream, int code) {
    std::fputs(kUsage, stream);
    return code;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h"))
        return usage(stdout, 0);
    if (argc != 4) return usage(stderr, 2);
    const std::string_view command = argv[1];
    if (command == "encode") return encode(argv[2], argv[3]);
    if (command == "decode") return decode(argv[2], argv[3]);
    std::fprintf(stderr, "kscode: unknown command '%s'\n", argv[1]);
    return usage(stderr, 2);
}
