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

}  // namespace

IniFile::Line IniFile::make_line(std::string raw, const std::string &current_section) {
    Line line;
    line.raw = std::move(raw);
    const std::string_view body = trim(line.raw);
    if (!body.empty() && body.front() == '[') {
        const size_t close = body.find(']');
        line.header = true;
        line.section = std::string(trim(body.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
        return line;
    }
    line.section = current_section;
    if (!body.empty() && body.front() != ';') {
        const size_t eq = body.find('=');
        if (eq != std::string_view::npos) line.key = std::string(trim(body.substr(0, eq)));
    }
    return line;
}

void IniFile::parse(std::string_view text) {
    lines_.clear();
    std::string section;
    bool in_section = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view raw = text.substr(pos, end - pos);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        const size_t nul = raw.find('\0');
        if (nul != std::string_view::npos) raw = raw.substr(0, nul);
        Line line = make_line(std::string(raw), section);
        if (line.header) {
            section = line.section;
            in_section = true;
        } else if (!in_section) {
            line.key.clear();  // keys before the first section belong to no section
        }
        lines_.push_back(std::move(line));
        pos = end + 1;
    }
}

bool IniFile::load(const std::string &path, std::string *error) {
    std::string bytes;
    int code = 0;
    if (!read_file(path, &bytes, error, &code)) {
        lines_.clear();
        return code == ENOENT;
    }
    parse(bytes);
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
    const std::string &raw = lines_[static_cast<size_t>(at)].raw;
    return std::string(trim(std::string_view(raw).substr(raw.find('=') + 1)));
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
    value = value.substr(0, value.find_first_of("\r\n"));
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

int profile_int_from_text(std::string_view text) {
    text = trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10u + static_cast<uint32_t>(c - '0');
    }
    if (negative) value = 0u - value;
    return static_cast<int>(value);
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
