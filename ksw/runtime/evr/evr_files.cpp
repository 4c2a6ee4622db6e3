#include "runtime/evr/evr_files.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "platform/files.h"
#include "platform/raw_file.h"
#include "resources/error_codes.h"

namespace ksw {
namespace {

constexpr int kRecordedCells = 16 * 256;  // pages 0-15
constexpr size_t kLongestLine = 255;
constexpr size_t kShortestLine = 52;
constexpr size_t kProgressLineBytes = 54;
constexpr size_t kLargestEvrFile = size_t{64} << 20;
constexpr size_t kValuesPerLine = 16;
constexpr int kLineCells = 16;

std::string hex(const char *format, unsigned a, unsigned b = 0) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, format, a, b);
    return buffer;
}

void show(const EvrFileProgress &progress, int page) {
    if (progress.text) progress.text(hex("PAGE %02X", static_cast<unsigned>(page)));
}

// A field of 1 to `digits` hexadecimal digits.
bool hex_field(const std::string &field, size_t digits, unsigned *value) {
    if (field.empty() || field.size() > digits) return false;
    unsigned v = 0;
    for (const char c : field) {
        const int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
        if (d < 0) return false;
        v = v * 16 + static_cast<unsigned>(d);
    }
    *value = v;
    return true;
}

// The file's lines as a reader with a 255-byte line buffer gets them (a longer line comes in
// pieces), without their line ends.
std::vector<std::string> buffered_lines(const std::string &text) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find('\n', at);
        const size_t stop = end == std::string::npos ? text.size() : end + 1;
        const size_t length = std::min(stop - at, kLongestLine);
        std::string line = text.substr(at, length);
        at += length;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<std::string> comma_fields(const std::string &line) {
    std::vector<std::string> fields;
    size_t at = 0;
    for (;;) {
        const size_t comma = line.find(',', at);
        fields.push_back(line.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
        if (comma == std::string::npos) return fields;
        at = comma + 1;
    }
}

// One line of a dump: the index of its first cell and 16 values.
struct DumpLine {
    unsigned cell = 0;
    std::array<unsigned, kValuesPerLine> values{};
};

int parse_line(const std::string &line, size_t digits, DumpLine *out) {
    const std::vector<std::string> fields = comma_fields(line);
    if (fields.size() < 1 + kValuesPerLine || fields[0].size() != 4 || !hex_field(fields[0], 4, &out->cell))
        return kMsgBadInputData;
    for (size_t i = 0; i < kValuesPerLine; ++i) {
        if (!hex_field(fields[1 + i], digits, &out->values[i])) return kMsgBadInputData;
    }
    return out->cell + kValuesPerLine > static_cast<size_t>(kEvrCellCount) ? static_cast<int>(kMsgBadInputData) : static_cast<int>(kOk);
}

}  // namespace

std::string evr_access_record_text(const EvrLayer &layer) {
    static constexpr struct {
        const char *title;
        EvrCellState state;
    } kSections[] = {{"{ROM Write\r\n", kEvrRomWritten},
                     {"{RAM Write\r\n", kEvrRamWritten},
                     {"{ROM Read\r\n", kEvrRomRead},
                     {"{RAM Read\r\n", kEvrRamRead}};
    std::string text;
    for (const auto &section : kSections) {
        text += section.title;
        for (int cell = 0; cell < kRecordedCells; ++cell) {
            if (layer.image->states[static_cast<size_t>(cell)] == section.state)
                text += hex("%04X,%04X\r\n", static_cast<unsigned>(cell), layer.image->values[static_cast<size_t>(cell)]);
        }
        text += "FFFF,FFFF\r\n\r\n";
    }
    return text;
}

int write_evr_access_record(EvrLayer &layer, const std::string &path) {
    std::string text;
    {
        std::lock_guard<std::recursive_mutex> hold(layer.lock);
        text = evr_access_record_text(layer);
    }
    return platform::write_file_atomic(path, text) ? static_cast<int>(kOk) : static_cast<int>(kMsgCantOpenFile);
}

int dump_evr_pages(EvrLayer &layer, const std::string &path, const std::bitset<256> &pages, const EvrFileProgress &progress) {
    const int fd = platform::open_append_file(path);
    if (fd < 0) return kMsgCantOpenFile;
    const bool wide = layer.width.load() == 16;
    int rc = kOk;
    for (int page = 0; rc == kOk && page < 256; ++page) {
        if (!pages.test(static_cast<size_t>(page))) continue;
        show(progress, page);
        std::string text;
        {
            std::lock_guard<std::recursive_mutex> hold(layer.lock);
            rc = evr_block(layer, EvrBlock::kRomRead, page * 256, 256);
            for (int address = 0; rc == kOk && address < 256; ++address) {
                if (address % kLineCells == 0) text += hex("%02X%02X", static_cast<unsigned>(page), static_cast<unsigned>(address));
                const unsigned value = layer.image->values[static_cast<size_t>(page * 256 + address)];
                text += wide ? hex(",%04X", value) : hex(",%02X", value & 0xFF);
                if (address % kLineCells == kLineCells - 1) text += "\r\n";
            }
        }
        if (rc == kOk && !platform::write_all(fd, text.data(), text.size())) rc = kMsgCantWriteFile;
    }
    if (rc == kOk && !platform::write_all(fd, "\r\n", 2)) rc = kMsgCantWriteFile;
    if (!platform::close_file(fd) && rc == kOk) rc = kMsgCantWriteFile;
    return rc;
}

int load_evr_file(EvrLayer &layer, const std::string &path, bool rom, const EvrFileProgress &progress) {
    std::string text;
    if (!platform::read_file(path, &text, nullptr, nullptr, kLargestEvrFile)) return kMsgCantOpenFile;
    const size_t total = text.size() / kProgressLineBytes;
    int shown_page = -1;
    size_t done = 0;
    for (const std::string &line : buffered_lines(text)) {
        if (line.size() < kShortestLine) break;
        DumpLine parsed;
        if (const int rc = parse_line(line, layer.width.load() == 16 ? 4 : 2, &parsed); rc != kOk) return rc;
        const int page = static_cast<int>(parsed.cell / 256);
        if (page != shown_page) show(progress, shown_page = page);
        for (size_t i = 0; i < kValuesPerLine; ++i) {
            if (const int rc = evr_write(layer, static_cast<int>(parsed.cell + i), parsed.values[i], rom); rc != kOk) return rc;
        }
        if (progress.bar) progress.bar(++done, total);
    }
    return kOk;
}

std::string evr_file_name(const std::string &chosen) {
    const std::string_view name = platform::file_name_of(chosen);
    return name.find('.') == std::string_view::npos ? chosen + ".CSV" : chosen;
}

}  // namespace ksw
