// The bus as the scenario sets it up: [gpib] for the boards, [gpib.N] for the instrument at
// primary address N. Values come through the world (jigsim_scenario_value); a value that does not
// read is reported on stderr with its section and key, and its default stays.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bus.h"
#include "jigsim.h"
#include "platform/ascii.h"
#include "serial_peer.h"

namespace gpibsim {
namespace {

constexpr size_t kReplyMax = 4096;

class SectionValues {
public:
    SectionValues(std::string section, std::string scenario, int *problems)
        : section_(std::move(section)), scenario_(std::move(scenario)), problems_(problems) {}

    bool any() const { return any_; }

    // The value of `key`; false when it is not given.
    bool text(const char *key, std::string *out) {
        std::vector<char> buf(kReplyMax * 4 + 1);
        const int found = jigsim_scenario_value(section_.c_str(), key, buf.data(), buf.size());
        if (found < 0) problem(key, "", "is too long");
        if (found != 1) return false;
        any_ = true;
        *out = buf.data();
        return true;
    }

    // A whole number, decimal or 0x hexadecimal, from min to max.
    template <typename T>
    void number(const char *key, long long min, long long max, T *out) {
        std::string value;
        if (!text(key, &value)) return;
        char *end = nullptr;
        errno = 0;
        const long long n = std::strtoll(value.c_str(), &end, 0);
        if (value.empty() || errno || *end || n < min || n > max) {
            problem(key, value, "is not a whole number from " + std::to_string(min) + " to " + std::to_string(max));
            return;
        }
        *out = static_cast<T>(n);
    }

    void real(const char *key, double *out) {
        std::string value;
        if (!text(key, &value)) return;
        char *end = nullptr;
        const double v = std::strtod(value.c_str(), &end);
        if (value.empty() || *end || !std::isfinite(v)) problem(key, value, "is not a number");
        else *out = v;
    }

    void problem(const char *key, const std::string &value, const std::string &what) {
        ++*problems_;
        std::fprintf(stderr, "gpib: %s: [%s] %s: \"%s\" %s; the default stays\n", scenario_.c_str(), section_.c_str(), key,
                     value.c_str(), what.c_str());
    }

private:
    std::string section_;
    std::string scenario_;
    int *problems_;
    bool any_ = false;
};

// "0,3,5": the boards in the machine, 0 to 15.
void read_boards(SectionValues &values, uint32_t *boards) {
    std::string list;
    if (!values.text("boards", &list)) return;
    uint32_t mask = 0;
    std::string_view rest(list);
    while (true) {
        const size_t comma = rest.find(',');
        std::string field(rest.substr(0, comma));
        while (!field.empty() && field.front() == ' ') field.erase(0, 1);
        while (!field.empty() && field.back() == ' ') field.pop_back();
        char *end = nullptr;
        const long n = std::strtol(field.c_str(), &end, 10);
        if (field.empty() || *end || n < 0 || n >= kBoards) {
            values.problem("boards", list, "is not a list of board numbers from 0 to 15");
            return;
        }
        mask |= 1u << n;
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    *boards = mask;
}

void read_follows(SectionValues &values, Instrument *instrument) {
    std::string value;
    if (!values.text("follows", &value)) return;
    if (ksw::platform::equal_nocase(value, "none")) {
        instrument->follows = -1;
    } else if (value.size() == 5 && ksw::platform::starts_with_nocase(value, "adc.") && value[4] >= '0' &&
               value[4] <= '7') {
        instrument->follows = value[4] - '0';
    } else {
        values.problem("follows", value, "is not adc.0 to adc.7 or none");
    }
}

void read_instrument(SectionValues &values, Instrument *instrument) {
    std::string text;
    if (values.text("reply", &text)) {
        std::string bytes;
        if (!ksw::sim::decode_bytes(text, &bytes)) values.problem("reply", text, "has a bad escape");
        else if (bytes.size() > kReplyMax) values.problem("reply", text, "is longer than 4096 bytes");
        else instrument->reply = bytes;
    }
    read_follows(values, instrument);
    values.number("range", 0, kPlainRange, &instrument->range);
    values.real("scale", &instrument->scale);
    if (values.text("format", &text)) {
        if (valid_reply_format(text)) instrument->format = text;
        else values.problem("format", text, "is not a format for one number (such as %+.4E)");
    }
    values.number("delay_ms", 0, kDelayMax, &instrument->delay_ms);
    int silent = 0;
    values.number("silent", 0, 1, &silent);
    instrument->silent = silent == 1;
    values.number("silent_after", 0, 2147483647, &instrument->silent_after);
    values.number("error", -2147483647LL - 1, 0, &instrument->error);
    instrument->present = values.any();
}

}  // namespace

bool valid_reply_format(std::string_view format) {
    if (format.size() > 64) return false;
    int conversions = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        if (++i < format.size() && format[i] == '%') continue;
        while (i < format.size() && std::string_view("-+ #0").find(format[i]) != std::string_view::npos) ++i;
        const auto digits = [&] {  // a width or precision of at most three digits
            const size_t from = i;
            while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i;
            return i - from <= 3;
        };
        if (!digits()) return false;
        if (i < format.size() && format[i] == '.' && (++i, !digits())) return false;
        if (i == format.size() || std::string_view("eEfFgGaA").find(format[i]) == std::string_view::npos) return false;
        ++conversions;
    }
    return conversions == 1;
}

int load_bus_config(BusConfig *config) {
    *config = BusConfig{};
    char path[4096] = "";
    (void)jigsim_scenario_path(path, sizeof path);
    int problems = 0;
    SectionValues board("gpib", path, &problems);
    read_boards(board, &config->boards);
    board.number("tmo", 0, 65535, &config->timeout_tenths);
    board.number("init_error", -2147483647LL - 1, 0, &config->init_error);
    for (int address = 0; address < kAddresses; ++address) {
        SectionValues values("gpib." + std::to_string(address), path, &problems);
        read_instrument(values, &config->instruments[static_cast<size_t>(address)]);
    }
    return problems;
}

}  // namespace gpibsim
