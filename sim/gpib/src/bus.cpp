#include "bus.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>

#include "jigsim.h"

namespace gpibsim {
namespace {

bool valid_address(int address) { return address >= 0 && address < kAddresses; }

// Removes the end-of-message characters the board takes off every reply.
void strip_end_of_message(std::string *text) {
    while (!text->empty() && (text->back() == '\n' || text->back() == '\r')) text->pop_back();
}

}  // namespace

std::string escaped(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') out += "\\\\";
        else if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (byte < 0x20 || byte > 0x7E) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

int Bus::reset() {
    BusConfig fresh;
    const int problems = load_bus_config(&fresh);  // the world is asked without the bus's lock
    std::lock_guard<std::mutex> hold(lock_);
    config_ = std::move(fresh);
    boards_ = {};
    for (Board &b : boards_) b.timeout_tenths = config_.timeout_tenths;
    talkers_ = {};
    sent_.clear();
    sent_dropped_ = 0;
    return problems;
}

int32_t Bus::check_board(int32_t board, bool initialised) const {
    if (board < 0 || board >= kBoards) return kBadParameter;
    if (!(config_.boards & (1u << board))) return kNoBoard;
    if (initialised && !boards_[static_cast<size_t>(board)].initialised) return kNotInitialised;
    return 0;
}

int32_t Bus::read_addresses(const int32_t *addresses, std::vector<int> *out) {
    out->clear();
    if (!addresses) return kBadParameter;
    for (size_t i = 0; i <= kAddresses; ++i) {
        const int32_t a = addresses[i];
        if (a == -1) return out->empty() ? kBadParameter : 0;
        if (!valid_address(a)) return kBadValue;
        out->push_back(a);
    }
    return kBadParameter;  // no end mark
}

bool Bus::has_instrument(int address) const {
    return valid_address(address) && config_.instruments[static_cast<size_t>(address)].present;
}

int32_t Bus::init_board(int32_t board) {
    std::lock_guard<std::mutex> hold(lock_);
    if (const int32_t rc = check_board(board, false)) return rc;
    if (config_.init_error) return config_.init_error;
    Board &b = boards_[static_cast<size_t>(board)];
    b.initialised = true;
    b.remote = false;
    b.timeout_tenths = config_.timeout_tenths;
    ++b.inits;
    return 0;
}

int32_t Bus::finish_board(int32_t board) {
    std::lock_guard<std::mutex> hold(lock_);
    if (const int32_t rc = check_board(board, true)) return rc;
    Board &b = boards_[static_cast<size_t>(board)];
    b.initialised = false;
    b.remote = false;
    ++b.finishes;
    return 0;
}

int32_t Bus::set_config(int32_t board, const char *config) {
    std::lock_guard<std::mutex> hold(lock_);
    if (const int32_t rc = check_board(board, true)) return rc;
    if (!config) return kBadParameter;
    // Blank-separated options; the only one this board knows is /TMO=n (0..65535 tenths).
    int timeout = boards_[static_cast<size_t>(board)].timeout_tenths;
    std::string_view rest(config);
    while (!rest.empty()) {
        const size_t start = rest.find_first_not_of(' ');
        if (start == std::string_view::npos) break;
        rest.remove_prefix(start);
        const std::string_view option = rest.substr(0, rest.find(' '));
        rest.remove_prefix(option.size());
        if (option.size() < 6 || option.size() > 10 || option.substr(0, 5) != "/TMO=" ||
            option.find_first_not_of("0123456789", 5) != std::string_view::npos)
            return kBadValue;
        const long value = std::strtol(std::string(option.substr(5)).c_str(), nullptr, 10);
        if (value > 65535) return kBadValue;
        timeout = static_cast<int>(value);
    }
    boards_[static_cast<size_t>(board)].timeout_tenths = timeout;
    return 0;
}

int32_t Bus::set_remote(int32_t board, bool on) {
    std::lock_guard<std::mutex> hold(lock_);
    if (const int32_t rc = check_board(board, true)) return rc;
    boards_[static_cast<size_t>(board)].remote = on;
    return 0;
}

int32_t Bus::clear_interface(int32_t board) {
    std::lock_guard<std::mutex> hold(lock_);
    if (const int32_t rc = check_board(board, true)) return rc;
    ++boards_[static_cast<size_t>(board)].clears;
    for (Talker &t : talkers_) t.asked = false;  // every instrument's interface starts over
    return 0;
}

int32_t Bus::send(int32_t board, const int32_t *addresses, int32_t length, const char *data) {
    std::lock_guard<std::mutex> hold(lock_);
    if (const int32_t rc = check_board(board, true)) return rc;
    std::vector<int> listeners;
    if (const int32_t rc = read_addresses(addresses, &listeners)) return rc;
    if (length < 0 || (length > 0 && !data)) return kBadValue;
    for (const int a : listeners) {
        const Instrument &instrument = config_.instruments[static_cast<size_t>(a)];
        if (!instrument.present) return kTimeout;  // nobody takes the handshake
        if (instrument.error) return instrument.error;
    }
    const Clock::time_point now = Clock::now();
    for (const int a : listeners) {
        Talker &t = talkers_[static_cast<size_t>(a)];
        t.asked = true;
        t.asked_at = now;
        if (sent_.size() < kSentLimit) sent_.push_back({a, std::string(data ? data : "", static_cast<size_t>(length))});
        else ++sent_dropped_;
    }
    return 0;
}

bool Bus::reply_text(const Instrument &instrument, std::string *text) {
    if (instrument.follows < 0) {
        *text = instrument.reply;
        return true;
    }
    int counts = 0;
    if (jigsim_adc_sample(instrument.follows, instrument.range, &counts) != 0) return false;
    char buf[512];
    const int n = std::snprintf(buf, sizeof buf, instrument.format.c_str(), counts * instrument.scale);
    if (n < 0) return false;
    text->assign(buf, std::min(static_cast<size_t>(n), sizeof buf - 1));
    return true;
}

int32_t Bus::receive(int32_t board, const int32_t *addresses, int32_t *length, char *buffer) {
    Instrument instrument;
    bool answers = false;
    Clock::time_point until;
    int talker = 0;
    {
        std::lock_guard<std::mutex> hold(lock_);
        if (const int32_t rc = check_board(board, true)) return rc;
        std::vector<int> talkers;
        if (const int32_t rc = read_addresses(addresses, &talkers)) return rc;
        if (talkers.size() != 1) return kBadParameter;
        if (!length || *length < 0 || (*length > 0 && !buffer)) return kBadValue;
        talker = talkers.front();
        instrument = config_.instruments[static_cast<size_t>(talker)];
        if (!instrument.present) return kTimeout;
        if (instrument.error) return instrument.error;
        Talker &t = talkers_[static_cast<size_t>(talker)];
        const Clock::time_point now = Clock::now();
        const auto timeout = std::chrono::milliseconds(100LL * boards_[static_cast<size_t>(board)].timeout_tenths);
        const bool silent = instrument.silent || (instrument.silent_after >= 0 && t.reads >= instrument.silent_after);
        if (!silent && !t.asked) {
            t.asked = true;
            t.asked_at = now;
        }
        const Clock::time_point ready = t.asked_at + std::chrono::milliseconds(instrument.delay_ms);
        answers = !silent && ready <= now + timeout;
        until = answers ? ready : now + timeout;
    }
    std::this_thread::sleep_until(until);
    if (!answers) return kTimeout;
    std::string text;
    if (!reply_text(instrument, &text)) return kReceiveError;
    {
        std::lock_guard<std::mutex> hold(lock_);
        Talker &t = talkers_[static_cast<size_t>(talker)];
        t.asked = false;
        ++t.reads;
    }
    strip_end_of_message(&text);
    const size_t n = std::min(text.size(), static_cast<size_t>(*length));
    if (n) std::memcpy(buffer, text.data(), n);
    *length = static_cast<int32_t>(n);
    return 0;
}

int Bus::set_reply(int address, const char *reply) {
    if (!valid_address(address)) return -1;
    std::lock_guard<std::mutex> hold(lock_);
    Instrument &instrument = config_.instruments[static_cast<size_t>(address)];
    instrument = Instrument{};
    if (reply) {
        instrument.present = true;
        instrument.reply = reply;
    }
    talkers_[static_cast<size_t>(address)] = Talker{};
    return 0;
}

int Bus::set_silent(int address, bool silent) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!has_instrument(address)) return -1;
    Instrument &instrument = config_.instruments[static_cast<size_t>(address)];
    instrument.silent = silent;
    instrument.silent_after = -1;
    return 0;
}

int Bus::set_error(int address, int32_t code) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!has_instrument(address) || code > 0) return -1;
    config_.instruments[static_cast<size_t>(address)].error = code;
    return 0;
}

int Bus::set_delay(int address, uint32_t ms) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!has_instrument(address) || ms > kDelayMax) return -1;
    config_.instruments[static_cast<size_t>(address)].delay_ms = ms;
    return 0;
}

size_t Bus::sent_count() {
    std::lock_guard<std::mutex> hold(lock_);
    return sent_.size();
}

long Bus::sent(size_t index, int *address, char *text, size_t len) {
    std::lock_guard<std::mutex> hold(lock_);
    if (index >= sent_.size()) return -1;
    const Sent &s = sent_[index];
    if (address) *address = s.address;
    if (text && len > 0) {
        const size_t n = std::min(s.text.size(), len - 1);
        std::memcpy(text, s.text.data(), n);
        text[n] = '\0';
    }
    return static_cast<long>(s.text.size());
}

uint64_t Bus::sent_dropped() {
    std::lock_guard<std::mutex> hold(lock_);
    return sent_dropped_;
}

void Bus::clear_sent() {
    std::lock_guard<std::mutex> hold(lock_);
    sent_.clear();
    sent_dropped_ = 0;
}

long Bus::reads(int address) {
    if (!valid_address(address)) return -1;
    std::lock_guard<std::mutex> hold(lock_);
    return talkers_[static_cast<size_t>(address)].reads;
}

int Bus::board_state(int board, gpib_sim_board_state *out) {
    if (board < 0 || board >= kBoards || !out) return -1;
    std::lock_guard<std::mutex> hold(lock_);
    const Board &b = boards_[static_cast<size_t>(board)];
    *out = {(config_.boards >> board) & 1 ? 1 : 0, b.initialised, b.remote, b.timeout_tenths, b.inits, b.finishes, b.clears};
    return 0;
}

std::string Bus::report_lines() {
    std::lock_guard<std::mutex> hold(lock_);
    std::string out;
    for (const Sent &s : sent_) out += "gpib." + std::to_string(s.address) + ".sent=" + escaped(s.text) + "\n";
    return out;
}

}  // namespace gpibsim
