#include "usb_config.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "jigsim.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/raw_file.h"

namespace belmo {
namespace {

constexpr std::array<const char *, kCalls> kCallNames{"init", "enum", "open", "close", "write", "read"};
constexpr std::array<const char *, kItems> kItemKeys{"item1", "item2", "item4", "item8", "item16", "item32", "item64"};

class SectionReader {
public:
    SectionReader() {
        char path[4096];
        if (jigsim_scenario_path(path, sizeof path) == 0) scenario_ = path;
    }

    int problems() const { return problems_; }

    // The raw value of `key`; false when missing (or reported as too long).
    bool text(const char *key, std::string *out) {
        std::vector<char> buf(8192);
        const int found = jigsim_scenario_value("usb", key, buf.data(), buf.size());
        if (found < 0) report(key, "", "is longer than 8191 characters");
        if (found != 1) return false;
        *out = buf.data();
        return true;
    }

    // A whole number (decimal, or hexadecimal after 0x) from min to max.
    bool number(const char *key, long long min, long long max, long long *out) {
        std::string value;
        if (!text(key, &value)) return false;
        const bool hex = value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X');
        char *end = nullptr;
        errno = 0;
        const long long n = std::strtoll(value.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
        if (value.empty() || errno != 0 || *end != '\0' || n < min || n > max) {
            report(key, value, "is not a whole number from " + std::to_string(min) + " to " + std::to_string(max));
            return false;
        }
        *out = n;
        return true;
    }

    template <typename T>
    void read(const char *key, long long min, long long max, T *out) {
        long long n = 0;
        if (number(key, min, max, &n)) *out = static_cast<T>(n);
    }

    void flag(const char *key, bool *out) {
        long long n = 0;
        if (number(key, 0, 1, &n)) *out = n == 1;
    }

    // A file named relative to the scenario's folder, at most `max` bytes.
    void file(const char *key, size_t max, std::string *out) {
        std::string name;
        if (!text(key, &name)) return;
        const std::string path = name.starts_with('/') || scenario_.empty()
                                     ? name
                                     : ksw::platform::directory_of(scenario_) + "/" + name;
        std::string reason;
        if (!read_limited(path, max, out, &reason)) report(key, name, reason);
    }

    void report(const char *key, const std::string &value, const std::string &what) {
        ++problems_;
        std::fprintf(stderr, "belmo: %s: [usb] %s: \"%s\" %s; the default stays\n", scenario_.c_str(), key,
                     value.c_str(), what.c_str());
    }

private:
    static bool read_limited(const std::string &path, size_t max, std::string *out, std::string *reason) {
        using namespace ksw::platform;
        const int fd = open_regular_file(path, reason);
        if (fd < 0) return false;
        std::string bytes;
        std::vector<char> chunk(max + 1);
        long n = 0;
        while (bytes.size() <= max && (n = read_some(fd, chunk.data(), max + 1 - bytes.size(), reason)) > 0)
            bytes.append(chunk.data(), static_cast<size_t>(n));
        close_file(fd);
        if (n < 0) return false;
        if (bytes.size() > max) {
            *reason = "is larger than " + std::to_string(max) + " bytes";
            return false;
        }
        *out = std::move(bytes);
        return true;
    }

    std::string scenario_;
    int problems_ = 0;
};

void read_items(SectionReader &r, UnitConfig *config) {
    for (size_t i = 0; i < kItemKeys.size(); ++i) {
        std::string text;
        if (!r.text(kItemKeys[i], &text)) continue;
        if (text.size() > kTextMax) r.report(kItemKeys[i], text, "is longer than 247 characters");
        else config->items[i] = text;
    }
}

void read_diagnosis_data(SectionReader &r, UnitConfig *config) {
    std::string text;
    if (!r.text("diagnosis_data", &text)) return;
    std::array<uint8_t, 12> bytes{};
    size_t count = 0;
    std::string_view rest(text);
    while (!rest.empty()) {
        const size_t comma = rest.find(',');
        const std::string field(rest.substr(0, comma));
        char *end = nullptr;
        const long value = std::strtol(field.c_str(), &end, 0);
        if (count == bytes.size() || field.empty() || *end != '\0' || value < 0 || value > 255) {
            r.report("diagnosis_data", text, "is not up to 12 byte values separated by commas");
            return;
        }
        bytes[count++] = static_cast<uint8_t>(value);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
    config->diagnosis_data = bytes;
}

void read_fail_call(SectionReader &r, UnitConfig *config) {
    std::string name;
    if (!r.text("fail_call", &name)) return;
    if (ksw::platform::equal_nocase(name, "none")) {
        config->fail_call = -1;
        return;
    }
    for (size_t i = 0; i < kCallNames.size(); ++i)
        if (ksw::platform::equal_nocase(name, kCallNames[i])) {
            config->fail_call = static_cast<int>(i);
            return;
        }
    r.report("fail_call", name, "is not one of none, init, enum, open, close, write, read");
}

}  // namespace

int load_unit_config(UnitConfig *config) {
    *config = UnitConfig{};
    SectionReader r;
    r.read("kind", 0, 255, &config->kind);
    r.flag("present", &config->present);
    read_items(r, config);
    r.read("diagnosis", 0, 0xFFFFFFFFLL, &config->diagnosis);
    read_diagnosis_data(r, config);
    r.read("test_word", 0, 0xFFFFFFFFLL, &config->test_word);
    r.file("test_data", kAreaMax, &config->test_data);
    r.file("diagnosis_log", kAreaMax, &config->diagnosis_log);
    r.read("latency_us", 0, kLatencyMax, &config->latency_us);
    r.read("unit_error", 0, 0xFFFFFFFFLL, &config->unit_error);
    r.flag("bad_echo", &config->bad_echo);
    r.flag("timeout", &config->timeout);
    read_fail_call(r, config);
    r.read("fail_code", -2147483648LL, 2147483647LL, &config->fail_code);
    r.read("unplug_after", 0, 2147483647LL, &config->unplug_after);
    return r.problems();
}

}  // namespace belmo
