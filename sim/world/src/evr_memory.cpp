#include "evr_memory.h"

#include "files.h"

namespace jigsim {
namespace {

constexpr size_t kShortestLine = 52;

// Exactly `text` as hexadecimal digits; false for anything else.
bool hex_field(std::string_view text, unsigned *out) {
    if (text.empty()) return false;
    unsigned value = 0;
    for (char c : text) {
        unsigned d;
        if (c >= '0' && c <= '9') d = static_cast<unsigned>(c - '0');
        else if (c >= 'A' && c <= 'F') d = static_cast<unsigned>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f') d = static_cast<unsigned>(c - 'a' + 10);
        else return false;
        value = value * 16 + d;
    }
    *out = value;
    return true;
}

std::string_view trim_blanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// One dump line into cells; the reason on failure.
bool read_dump_line(std::string_view line, std::vector<uint16_t> *cells, std::string *why) {
    std::vector<std::string_view> fields;
    size_t pos = 0;
    for (;;) {
        const size_t comma = line.find(',', pos);
        fields.push_back(trim_blanks(line.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos)));
        if (comma == std::string_view::npos) break;
        pos = comma + 1;
    }
    unsigned first = 0;
    if (fields[0].size() != 4 || !hex_field(fields[0], &first)) {
        *why = "the cell index \"" + std::string(fields[0]) + "\" is not four hex digits";
        return false;
    }
    if (fields.size() < 17) {
        *why = "16 values expected";
        return false;
    }
    if (first + 16 > static_cast<unsigned>(kEvrCells)) {
        *why = "the values run past the last page";
        return false;
    }
    for (size_t i = 0; i < 16; ++i) {
        const std::string_view f = fields[i + 1];
        unsigned value = 0;
        if ((f.size() != 2 && f.size() != 4) || !hex_field(f, &value)) {
            *why = "value " + std::to_string(i) + " \"" + std::string(f) + "\" is not two or four hex digits";
            return false;
        }
        (*cells)[first + i] = static_cast<uint16_t>(value);
    }
    return true;
}

}  // namespace

bool read_page_dump(std::string_view text, std::vector<uint16_t> *cells, std::string *error) {
    bool bad = false;
    for_each_line(text, [&](int line_no, std::string_view line) {
        if (line.size() < kShortestLine) return false;  // the end of the dump
        std::string why;
        if (read_dump_line(line, cells, &why)) return true;
        *error = "line " + std::to_string(line_no) + ": " + why;
        bad = true;
        return false;
    });
    return !bad;
}

}  // namespace jigsim
