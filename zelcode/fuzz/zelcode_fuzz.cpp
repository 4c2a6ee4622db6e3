// Any bytes as a coded file open cleanly (a good header and whole blocks) or are refused, read back the same however they are
// read, and never make the reader read past the end; the same bytes as text round-trip.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "temp_dir.h"
#include "zelcode.h"

namespace {

// The folder for the fuzz files, alive for the whole run.
const ksw::testing::TempDir &fuzz_dir() {
    static const ksw::testing::TempDir dir;
    return dir;
}

// Reads up to `count` bytes of text; aborts when the result and the count disagree.
std::string read_text(ZelcodeHandle h, int count) {
    std::string out(static_cast<size_t>(count), '\0');
    int got = -1;
    const int result = ReadCodedFile(h, out.data(), count, &got);
    if (got < 0 || got > count || (result == 1) != (got == count)) std::abort();
    out.resize(static_cast<size_t>(got));
    return out;
}

// Opens `bytes` as a coded file and checks that reads after seeks agree with one whole read.
void check_reader(const std::string &path, const std::string &bytes) {
    ksw::testing::write_text(path, bytes);
    const ZelcodeHandle h = CreateCodedFile(path.c_str(), ZELCODE_GENERIC_READ, ZELCODE_OPEN_EXISTING);
    const bool header_ok = bytes.size() >= 6 && bytes.compare(0, 5, "\x01TYPE") == 0 && bytes[5] >= '1' && bytes[5] <= '9';
    const bool blocks_whole = bytes.size() > 6 && (bytes.size() - 6) % 24 == 0;
    if ((h != ZELCODE_INVALID_HANDLE) != (header_ok && blocks_whole)) std::abort();
    if (h == ZELCODE_INVALID_HANDLE) return;
    const int body = static_cast<int>(bytes.size()) - 6;
    const std::string whole = read_text(h, body + 24);
    if (whole.size() != static_cast<size_t>(body / 24 * 24)) std::abort();
    for (size_t i = 6; i + 1 < bytes.size() && i < 40; i += 2) {
        const int at = static_cast<uint8_t>(bytes[i]) % (body + 1);
        const int count = static_cast<uint8_t>(bytes[i + 1]) % 64;
        const int method = i % 3 == 0 ? ZELCODE_FILE_BEGIN : ZELCODE_FILE_END;
        const int distance = method == ZELCODE_FILE_BEGIN ? at : at - body;
        if (SetCodedFilePointer(h, distance, method) != at) std::abort();
        if (read_text(h, count) != whole.substr(std::min<size_t>(at, whole.size()), count)) std::abort();
    }
    if (CloseCodedFile(h, ZELCODE_GENERIC_READ) != 1) std::abort();
}

// Writes `text` in pieces as a coded file and checks that it reads back with its padding.
void check_round_trip(const std::string &path, const std::string &text) {
    const ZelcodeHandle w = CreateCodedFile(path.c_str(), ZELCODE_GENERIC_WRITE, ZELCODE_CREATE_ALWAYS);
    if (w == ZELCODE_INVALID_HANDLE) std::abort();
    for (size_t at = 0; at < text.size();) {
        const int part = static_cast<int>(std::min<size_t>(text.size() - at, 1 + static_cast<uint8_t>(text[at]) % 50));
        if (WriteCodedFile(w, text.data() + at, part, nullptr) != 1) std::abort();
        at += static_cast<size_t>(part);
    }
    if (CloseCodedFile(w, ZELCODE_GENERIC_WRITE) != 1) std::abort();
    std::string expected = text;
    expected.resize(std::max<size_t>(1, (text.size() + 23) / 24) * 24, ' ');
    const ZelcodeHandle r = CreateCodedFile(path.c_str(), ZELCODE_GENERIC_READ, ZELCODE_OPEN_EXISTING);
    if (read_text(r, static_cast<int>(expected.size()) + 1) != expected) std::abort();
    CloseCodedFile(r, ZELCODE_GENERIC_READ);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 4096) return 0;
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    const std::string path = fuzz_dir().file("fuzz.ks");
    check_reader(path, bytes);
    check_round_trip(path, bytes);
    return 0;
}
