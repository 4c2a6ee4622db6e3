#include "scenario.h"

#include "files.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace jigsim {
namespace {

constexpr std::string_view kBlanks = " \t\v\f";

std::string_view trim(std::string_view s) {
    const size_t first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

std::string_view unquote(std::string_view s) {
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
        return s.substr(1, s.size() - 2);
    return s;
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

int digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = lower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 99;
}

}  // namespace

bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

bool parse_whole(std::string_view text, long *out) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && lower(text[1]) == 'x') {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 12) return false;
    long value = 0;
    for (char c : text) {
        const int d = digit_value(c);
        if (d >= base) return false;
        value = value * base + d;
    }
    *out = negative ? -value : value;
    return true;
}

void Scenario::parse(std::string_view text) {
    entries_.clear();
    sections_.clear();
    repeated_.clear();
    std::string section;
    bool in_section = false;  // keys before the first header, and in repeated sections, are ignored
    for_each_line(text, [&](int line_no, std::string_view raw) {
        raw = raw.substr(0, raw.find('\0'));
        const std::string_view body = trim(raw);
        if (body.empty() || body.front() == ';') return true;
        if (body.front() == '[') {
            const size_t close = body.find(']');
            section = std::string(trim(body.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
            in_section = true;
            for (const std::string &seen : sections_)
                if (same_name(seen, section)) in_section = false;
            if (in_section) sections_.push_back(section);
            else repeated_.push_back(line_no);
            return true;
        }
        const size_t eq = body.find('=');
        if (!in_section || eq == std::string_view::npos) return true;
        ScenarioEntry entry;
        entry.section = section;
        entry.key = std::string(trim(body.substr(0, eq)));
        entry.value = std::string(unquote(trim(body.substr(eq + 1))));
        entry.line = line_no;
        if (!entry.key.empty()) entries_.push_back(std::move(entry));
        return true;
    });
}

const ScenarioEntry *Scenario::find(std::string_view section, std::string_view key) const {
    for (const ScenarioEntry &e : entries_)
        if (same_name(e.section, section) && same_name(e.key, key)) return &e;
    return nullptr;
}

std::vector<const ScenarioEntry *> Scenario::entries(std::string_view section) const {
    std::vector<const ScenarioEntry *> out;
    for (const ScenarioEntry &e : entries_)
        if (same_name(e.section, section)) out.push_back(&e);
    return out;
}

void Problems::emit(std::string message) {
    std::fprintf(stderr, "jigsim: %s\n", message.c_str());
    messages_.push_back(std::move(message));
}

void Problems::at(const ScenarioEntry &entry, const std::string &what) {
    emit(file_ + ":" + std::to_string(entry.line) + ": [" + entry.section + "] " + entry.key + ": " + what);
}

void Problems::in_file(const std::string &what) { emit(file_ + ": " + what); }

bool ScenarioReader::read_int(std::string_view section, std::string_view key, long min, long max, int *out) {
    const ScenarioEntry *e = scenario_.find(section, key);
    if (!e) return false;
    long value = 0;
    if (!parse_whole(e->value, &value) || value < min || value > max) {
        problems_.at(*e, "\"" + e->value + "\" is not a whole number from " + std::to_string(min) + " to " +
                             std::to_string(max) + "; the default stays");
        return false;
    }
    *out = static_cast<int>(value);
    return true;
}

bool ScenarioReader::read_flag(std::string_view section, std::string_view key, bool *out) {
    const ScenarioEntry *e = scenario_.find(section, key);
    if (!e) return false;
    if (e->value != "0" && e->value != "1") {
        problems_.at(*e, "\"" + e->value + "\" is neither 0 nor 1; the default stays");
        return false;
    }
    *out = e->value == "1";
    return true;
}

bool ScenarioReader::read_real(std::string_view section, std::string_view key, double *out) {
    const ScenarioEntry *e = scenario_.find(section, key);
    if (!e) return false;
    char *end = nullptr;
    errno = 0;
    const double value = e->value.empty() ? 0.0 : std::strtod(e->value.c_str(), &end);
    if (e->value.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value)) {
        problems_.at(*e, "\"" + e->value + "\" is not a number; the default stays");
        return false;
    }
    *out = value;
    return true;
}

bool ScenarioReader::read_text(std::string_view section, std::string_view key, std::string *out) {
    const ScenarioEntry *e = scenario_.find(section, key);
    if (!e) return false;
    *out = e->value;
    return true;
}

void ScenarioReader::check_keys(std::string_view section, std::initializer_list<std::string_view> known) {
    for (const ScenarioEntry *e : scenario_.entries(section)) {
        bool found = false;
        for (std::string_view k : known) found = found || same_name(k, e->key);
        if (!found) problems_.at(*e, "unknown key; ignored");
    }
}

}  // namespace jigsim
