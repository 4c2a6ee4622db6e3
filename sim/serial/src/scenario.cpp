// The "[serial]" section of a scenario file.
#include <charconv>
#include <filesystem>
#include <optional>

#include "platform/files.h"
#include "platform/ini.h"
#include "serial_peer.h"

namespace ksw::sim {
namespace {

constexpr std::string_view kSection = "serial";
constexpr uintmax_t kLargestScenario = 1 << 20;
constexpr uint64_t kLongestMs = 3600000;  // an hour: longer is a typo, not a test

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<uint64_t> number(const std::string &text, uint64_t limit) {
    uint64_t value = 0;
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty() || value > limit) return std::nullopt;
    return value;
}

struct Reader {
    const platform::IniFile &ini;
    std::string *error;

    bool fail(const std::string &key, const std::string &why) const {
        if (error) *error = "[serial] " + key + ": " + why;
        return false;
    }
    bool get_number(const std::string &key, uint64_t limit, uint64_t *out) const {
        const std::optional<std::string> v = ini.get(kSection, key);
        if (!v) return true;
        const std::optional<uint64_t> n = number(*v, limit);
        if (!n) return fail(key, "expected a number up to " + std::to_string(limit) + ", not \"" + *v + "\"");
        *out = *n;
        return true;
    }
    bool get_ms(const std::string &key, uint32_t *out) const {
        uint64_t n = *out;
        if (!get_number(key, kLongestMs, &n)) return false;
        *out = static_cast<uint32_t>(n);
        return true;
    }
    bool get_bytes(const std::string &key, std::string *out) const {
        const std::optional<std::string> v = ini.get(kSection, key);
        if (!v) return true;
        if (!decode_bytes(*v, out)) return fail(key, "bad escape in \"" + *v + "\"");
        return true;
    }
    bool get_text(const std::string &key, std::string *out) const {
        if (const std::optional<std::string> v = ini.get(kSection, key)) *out = *v;
        return true;
    }
    bool get_choice(const std::string &key, std::initializer_list<std::string_view> words, size_t *out) const {
        const std::optional<std::string> v = ini.get(kSection, key);
        if (!v) return true;
        size_t i = 0;
        for (const std::string_view w : words) {
            if (platform::equal_nocase(*v, w)) {
                *out = i;
                return true;
            }
            ++i;
        }
        return fail(key, "unknown choice \"" + *v + "\"");
    }
};

bool known_key(const std::string &key) {
    static constexpr std::string_view kKeys[] = {
        "mode",        "unknown_reply",  "packet_reply", "download_file", "download_idle_ms",
        "fault",       "drop_after",     "reply_delay_ms", "byte_delay_ms", "garbage_seed", "line",
        "port"};  // the station's port name for the product; the station reads it, the peer does not
    for (const std::string_view k : kKeys)
        if (platform::equal_nocase(key, k)) return true;
    return false;
}

// "requestN" or "replyN": the prefix, then one or more digits.
bool numbered(const std::string &key, std::string_view prefix) {
    if (key.size() <= prefix.size() || !platform::equal_nocase(std::string_view(key).substr(0, prefix.size()), prefix))
        return false;
    return key.find_first_not_of("0123456789", prefix.size()) == std::string::npos;
}

// "requestN" with "replyN" for every N.
bool read_replies(const Reader &r, SerialPeerConfig *config) {
    for (const std::string &key : r.ini.keys(kSection)) {
        if (numbered(key, "reply") && !r.ini.get(kSection, "request" + key.substr(5)))
            return r.fail(key, "has no request" + key.substr(5));
        if (!numbered(key, "request")) continue;
        const std::string reply_key = "reply" + key.substr(7);
        if (!r.ini.get(kSection, reply_key)) return r.fail(key, "has no " + reply_key);
        std::string request, reply;
        if (!r.get_bytes(key, &request) || !r.get_bytes(reply_key, &reply)) return false;
        if (request.empty()) return r.fail(key, "is empty");
        config->replies.emplace_back(request, reply);
    }
    return true;
}

}  // namespace

bool decode_bytes(std::string_view text, std::string *out) {
    out->clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            *out += text[i];
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
        case 'r': *out += '\r'; break;
        case 'n': *out += '\n'; break;
        case 't': *out += '\t'; break;
        case '0': *out += '\0'; break;
        case '\\': *out += '\\'; break;
        case 'x': {
            if (i + 2 >= text.size()) return false;
            const int hi = hex_digit(text[i + 1]), lo = hex_digit(text[i + 2]);
            if (hi < 0 || lo < 0) return false;
            *out += static_cast<char>(hi * 16 + lo);
            i += 2;
            break;
        }
        default: return false;
        }
    }
    return true;
}

bool parse_serial_scenario(const platform::IniFile &ini, SerialPeerConfig *config, std::string *error) {
    SerialPeerConfig c;
    const Reader r{ini, error};
    for (const std::string &key : ini.keys(kSection)) {
        if (!known_key(key) && !numbered(key, "request") && !numbered(key, "reply"))
            return r.fail(key, "unknown key");
    }
    size_t mode = 0, fault = 0, line = 0;
    uint64_t drop_after = 0, seed = c.garbage_seed;
    if (!r.get_choice("mode", {"echo", "text", "packet", "download", "sink"}, &mode) ||
        !r.get_choice("fault", {"none", "silence", "garbage", "drop"}, &fault) ||
        !r.get_choice("line", {"raw", "cooked"}, &line) || !read_replies(r, &c) ||
        !r.get_bytes("unknown_reply", &c.unknown_reply) || !r.get_text("download_file", &c.download_file) ||
        !r.get_ms("download_idle_ms", &c.download_idle_ms) || !r.get_number("drop_after", UINT64_MAX, &drop_after) ||
        !r.get_ms("reply_delay_ms", &c.reply_delay_ms) || !r.get_ms("byte_delay_ms", &c.byte_delay_ms) ||
        !r.get_number("garbage_seed", UINT32_MAX, &seed))
        return false;
    if (const std::optional<std::string> v = ini.get(kSection, "packet_reply"); v && !platform::equal_nocase(*v, "echo")) {
        if (!r.get_bytes("packet_reply", &c.packet_reply)) return false;
        if (c.packet_reply.size() < 2 || c.packet_reply.size() != 2u + static_cast<uint8_t>(c.packet_reply[1]))
            return r.fail("packet_reply", "is no packet (byte 1 must count the bytes after it)");
    }
    c.mode = static_cast<PeerMode>(mode);
    c.fault = static_cast<PeerFault>(fault);
    c.cooked_line = line == 1;
    c.drop_after = drop_after;
    c.garbage_seed = static_cast<uint32_t>(seed);
    *config = std::move(c);
    return true;
}

bool load_serial_scenario(const std::string &path, SerialPeerConfig *config, std::string *error) {
    // Only a regular file of sensible size: a FIFO would block the read, a device never end.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        if (error) *error = path + ": no scenario file";
        return false;
    }
    if (std::filesystem::file_size(path, ec) > kLargestScenario) {
        if (error) *error = path + ": scenario file too large";
        return false;
    }
    std::string text;
    if (!platform::read_file(path, &text, error)) return false;
    platform::IniFile ini;
    ini.parse(text);
    return parse_serial_scenario(ini, config, error);
}

}  // namespace ksw::sim
