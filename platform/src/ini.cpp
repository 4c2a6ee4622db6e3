#include "platform/ini.h"
#include "platform/ascii.h"

#include <cerrno>
#include <cstdint>

#include "platform/files.h"

namespace ksw::platform {
namespace {

constexpr std::string_view kBlanks = " \t\v\f";

std::string_view trim(std::string_view s) {
    const size_t first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const size_t last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// True when `text` is UTF-16: it opens with a byte-order mark, or its first two characters are
// ASCII with a NUL byte beside each ("[\0P\0" or "\0[\0P").
bool is_utf16(std::string_view text) {
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) return true;
    if (text.size() < 4) return false;
    const auto nul = [&](size_t i) { return text[i] == '\0'; };
    return (!nul(0) && nul(1) && !nul(2) && nul(3)) || (nul(0) && !nul(1) && nul(2) && !nul(3));
}

// A decimal number as the profile functions read it: the 32-bit value it wraps to, and its
// exact value, which saturates far beyond 32 bits.
struct ProfileNumber {
    uint32_t wrapped = 0;
    int64_t exact = 0;
};

ProfileNumber scan_profile_number(std::string_view text) {
    constexpr int64_t kSaturation = int64_t{1} << 40;
    text = trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    ProfileNumber n;
    for (const char c : text) {
        if (c < '0' || c > '9') break;
        n.wrapped = n.wrapped * 10u + static_cast<uint32_t>(c - '0');
        n.exact = n.exact < kSaturation ? n.exact * 10 + (c - '0') : kSaturation;
    }
    if (negative) {
        n.wrapped = 0u - n.wrapped;
        n.exact = -n.exact;
    }
    return n;
}

}  // namespace

IniFile::Line IniFile::make_line(std::string raw, const std::string &current_section, size_t skip) {
    Line line;
    line.raw = std::move(raw);
    std::string_view said = std::string_view(line.raw).substr(skip);
    said = said.substr(0, said.find('\0'));
    const std::string_view body = trim(said);
    if (!body.empty() && body.front() == '[') {
        const size_t close = body.find(']');
        line.header = true;
        line.section = std::string(trim(body.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
        return line;
    }
    line.section = current_section;
    if (!body.empty() && body.front() != ';') {
        const size_t eq = body.find('=');
        if (eq != std::string_view::npos) {
            line.key = std::string(trim(body.substr(0, eq)));
            line.value = std::string(trim(body.substr(eq + 1)));
        }
    }
    return line;
}

bool IniFile::parse(std::string_view text, std::string *error) {
    lines_.clear();
    if (is_utf16(text)) {
        if (error) *error = "is UTF-16 text, which the station does not read (save it as 8-bit text)";
        return false;
    }
    const size_t mark = text.starts_with(kUtf8Mark) ? kUtf8Mark.size() : 0;
    std::string section;
    bool in_section = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view raw = text.substr(pos, end - pos);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        Line line = make_line(std::string(raw), section, pos == 0 ? mark : 0);
        if (line.header) {
            section = line.section;
            in_section = true;
        } else if (!in_section) {
            line.key.clear();  // keys before the first section belong to no section
        }
        lines_.push_back(std::move(line));
        pos = end + 1;
    }
    return true;
}

bool IniFile::load(const std::string &path, std::string *error) {
    std::string bytes;
    int code = 0;
    if (!read_file(path, &bytes, error, &code, kIniSizeLimit)) {
        lines_.clear();
        return code == ENOENT;
    }
    std::string reason;
    if (!parse(bytes, &reason)) {
        if (error) *error = "cannot read " + path + ": " + reason;
        return false;
    }
    return true;
}

std::string IniFile::text() const {
    std::string out;
    for (const Line &line : lines_) {
        out += line.raw;
        out += "\r\n";
    }
    return out;
}

bool IniFile::save(const std::string &path, std::string *error) const { return write_file_atomic(path, text(), error); }

long IniFile::find_header(std::string_view section) const {
    for (size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i].header && equal_nocase(lines_[i].section, section)) return static_cast<long>(i);
    return -1;
}

long IniFile::find_key(std::string_view section, std::string_view key) const {
    const long header = find_header(section);
    if (header < 0) return -1;
    for (size_t i = static_cast<size_t>(header) + 1; i < lines_.size() && !lines_[i].header; ++i)
        if (!lines_[i].key.empty() && equal_nocase(lines_[i].key, key)) return static_cast<long>(i);
    return -1;
}

std::optional<std::string> IniFile::get_raw(std::string_view section, std::string_view key) const {
    const long at = find_key(section, key);
    if (at < 0) return std::nullopt;
    return lines_[static_cast<size_t>(at)].value;
}

std::optional<std::string> IniFile::get(std::string_view section, std::string_view key) const {
    std::optional<std::string> raw = get_raw(section, key);
    if (!raw) return raw;
    std::string_view value = *raw;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

bool IniFile::has_section(std::string_view section) const { return find_header(section) >= 0; }

std::vector<std::string> IniFile::keys(std::string_view section) const {
    std::vector<std::string> out;
    const long header = find_header(section);
    if (header < 0) return out;
    for (size_t i = static_cast<size_t>(header) + 1; i < lines_.size() && !lines_[i].header; ++i)
        if (!lines_[i].key.empty()) out.push_back(lines_[i].key);
    return out;
}

std::vector<std::string> IniFile::sections() const {
    std::vector<std::string> out;
    for (const Line &line : lines_)
        if (line.header) out.push_back(line.section);
    return out;
}

void IniFile::set(std::string_view section, std::string_view key, std::string_view value) {
    value = value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
    std::string raw(key);
    raw += '=';
    raw += value;
    const long at = find_key(section, key);
    if (at >= 0) {
        lines_[static_cast<size_t>(at)] = make_line(std::move(raw), lines_[static_cast<size_t>(at)].section);
        return;
    }
    const long header = find_header(section);
    if (header < 0) {
        add_section(section);
        lines_.push_back(make_line(std::move(raw), lines_.back().section));
        return;
    }
    // After the section's last non-blank line, so blank separators stay between sections.
    size_t insert = static_cast<size_t>(header) + 1;
    for (size_t i = insert; i < lines_.size() && !lines_[i].header; ++i)
        if (!trim(lines_[i].raw).empty()) insert = i + 1;
    const std::string owner = lines_[static_cast<size_t>(header)].section;
    lines_.insert(lines_.begin() + static_cast<long>(insert), make_line(std::move(raw), owner));
}

void IniFile::add_section(std::string_view section) {
    if (find_header(section) < 0) lines_.push_back(make_line("[" + std::string(section) + "]", {}));
}

void IniFile::erase(std::string_view section, std::string_view key) {
    const long at = find_key(section, key);
    if (at >= 0) lines_.erase(lines_.begin() + at);
}

void IniFile::erase_section(std::string_view section) {
    const long header = find_header(section);
    if (header < 0) return;
    size_t end = static_cast<size_t>(header) + 1;
    while (end < lines_.size() && !lines_[end].header) ++end;
    lines_.erase(lines_.begin() + header, lines_.begin() + static_cast<long>(end));
}

int profile_int_from_text(std::string_view text) { return static_cast<int>(scan_profile_number(text).wrapped); }

bool profile_int_in_range(std::string_view text, int64_t min, int64_t max, int64_t *out) {
    const int64_t value = scan_profile_number(text).exact;
    if (value < min || value > max) return false;
    *out = value;
    return true;
}

std::string get_profile_string(std::string_view section, std::string_view key, std::string_view fallback,
                               const std::string &path) {
    IniFile ini;
    ini.load(path);
    const std::optional<std::string> value = ini.get(section, key);
    return value ? *value : std::string(fallback);
}

int get_profile_int(std::string_view section, std::string_view key, int fallback, const std::string &path) {
    IniFile ini;
    ini.load(path);
    const std::optional<std::string> value = ini.get(section, key);
    return value ? profile_int_from_text(*value) : fallback;
}

bool write_profile_string(std::string_view section, std::string_view key, std::string_view value,
                          const std::string &path) {
    IniFile ini;
    if (!ini.load(path)) return false;
    ini.set(section, key, value);
    return ini.save(path);
}

}  // namespace ksw::platform
