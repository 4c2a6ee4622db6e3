#include "runtime/serial/register_text.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace ksw {
namespace {

constexpr std::string_view kSeparators = ", \t\r";

// A double as the shortest decimal text that reads back to the same value.
void append_real(std::string &out, double value) {
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec == std::errc()) out.append(buffer, end);
    else out += "0";  // cannot happen with 64 bytes of room
}

void append_value(std::string &out, const Registers &registers, RegisterText form, size_t index) {
    char buffer[16];
    switch (form) {
    case RegisterText::rd: append_real(out, (*registers.rd)[index]); return;
    case RegisterText::hex_ad: std::snprintf(buffer, sizeof buffer, "%04X", static_cast<unsigned>((*registers.ad)[index])); break;
    case RegisterText::decimal_ad: std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>((*registers.ad)[index])); break;
    }
    out += buffer;
}

}  // namespace

std::string format_registers(const Registers &registers, RegisterText form, int32_t first, int32_t count,
                             int32_t per_line) {
    std::string out;
    bool line_open = false;
    for (int32_t i = 0; i < count; ++i) {
        if (line_open) out += ',';
        append_value(out, registers, form, static_cast<size_t>(first + i));
        line_open = true;
        if (per_line > 0 && (i + 1) % per_line == 0) {
            out += "\r\n";
            line_open = false;
        }
    }
    if (line_open || count == 0) out += "\r\n";
    return out;
}

int RegisterTextReader::store(std::string_view field) {
    const std::string text(field);  // the converters want a terminated string
    const char *start = text.c_str();
    char *end = nullptr;
    if (form_ == RegisterText::rd) {
        const double value = std::strtod(start, &end);
        if (end == start) return kErrWrongFileContents;
        if (!is_register_index(next_)) return kErrTooManyData;
        (*registers_.rd)[static_cast<size_t>(next_)] = value;
    } else {
        const unsigned long value = form_ == RegisterText::hex_ad ? std::strtoul(start, &end, 16)
                                                                 : static_cast<unsigned long>(std::strtol(start, &end, 10));
        if (end == start) return kErrWrongFileContents;
        if (!is_register_index(next_)) return kErrTooManyData;
        (*registers_.ad)[static_cast<size_t>(next_)] = static_cast<uint16_t>(value);
    }
    ++next_;
    --left_;
    ++stored_;
    return kOk;
}

int RegisterTextReader::take_line(std::string_view line) {
    if (line.size() > kLongestLine) return kErrWrongFileContents;
    size_t at = 0;
    while (!done()) {
        at = line.find_first_not_of(kSeparators, at);
        if (at == std::string_view::npos) return kOk;
        const size_t end = std::min(line.find_first_of(kSeparators, at), line.size());
        const std::string_view field = line.substr(at, end - at);
        at = end;
        if (field.front() == ';' || field.front() == '{' || field.front() == '"') return kOk;
        if (skip_ > 0) {
            --skip_;
            continue;
        }
        if (const int rc = store(field); rc != kOk) return rc;
    }
    return kOk;
}

int RegisterTextReader::take_text(std::string_view text) {
    while (!done() && !text.empty()) {
        const size_t feed = text.find('\n');
        if (feed == std::string_view::npos) {
            if (partial_.size() + text.size() > kLongestLine) return kErrWrongFileContents;
            partial_.append(text);
            return kOk;
        }
        int rc = kOk;
        if (partial_.empty()) {
            rc = take_line(text.substr(0, feed));
        } else {
            if (partial_.size() + feed > kLongestLine) return kErrWrongFileContents;
            partial_.append(text.substr(0, feed));
            rc = take_line(partial_);
            partial_.clear();
        }
        if (rc != kOk) return rc;
        text.remove_prefix(feed + 1);
    }
    return kOk;
}

int RegisterTextReader::finish() {
    if (partial_.empty() || done()) return kOk;
    const int rc = take_line(partial_);
    partial_.clear();
    return rc;
}

}  // namespace ksw
