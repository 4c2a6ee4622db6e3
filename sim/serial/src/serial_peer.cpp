#include "serial_peer.h"

#include <algorithm>
#include <chrono>

#include "protocol.h"
#include "pty.h"

namespace ksw::sim {
namespace {

constexpr size_t kReceivedKept = size_t{1} << 20;
constexpr size_t kReadChunk = 4096;

uint8_t next_garbage(uint32_t *state) {
    uint32_t x = *state;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    *state = x;
    return static_cast<uint8_t>(x >> 11);
}

}  // namespace

SerialPeer::SerialPeer(SerialPeerConfig config)
    : config_(std::move(config)),
      pty_(std::make_unique<Pty>()),
      protocol_(std::make_unique<PeerProtocol>(config_)),
      fault_(config_.fault),
      garbage_state_(config_.garbage_seed == 0 ? 1 : config_.garbage_seed) {}

SerialPeer::~SerialPeer() { stop(); }

bool SerialPeer::start(std::string *error) {
    if (thread_.joinable()) return true;
    if (stopping_.load()) {
        if (error) *error = "the peer has been stopped";
        return false;
    }
    if (!pty_->open(config_.cooked_line, error)) return false;
    path_ = pty_->slave_path();
    thread_ = std::thread([this] { run(); });
    return true;
}

void SerialPeer::stop() {
    stopping_.store(true);
    pty_->wake();
    if (thread_.joinable()) thread_.join();
    pty_->close();
}

void SerialPeer::run() {
    uint8_t buffer[kReadChunk];
    std::vector<std::string> replies;
    while (!stopping_.load() && !dropped_.load()) {
        int timeout = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            timeout = protocol_->idle_timeout_ms();
        }
        size_t got = 0;
        const Pty::Read r = pty_->read(buffer, sizeof buffer, &got, timeout);
        if (r == Pty::Read::woken || r == Pty::Read::failed) break;
        replies.clear();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (r == Pty::Read::data) {
                note_received(buffer, got);
                protocol_->feed(std::string_view(reinterpret_cast<const char *>(buffer), got), &replies);
            } else {
                protocol_->idle(&replies);
            }
        }
        changed_.notify_all();
        for (std::string &reply_bytes : replies) {
            if (dropped_.load() || stopping_.load()) break;
            reply(std::move(reply_bytes));
        }
    }
}

void SerialPeer::note_received(const uint8_t *data, size_t n) {
    received_count_ += n;
    const size_t room = received_.size() < kReceivedKept ? kReceivedKept - received_.size() : 0;
    received_.append(reinterpret_cast<const char *>(data), n < room ? n : room);
}

// One reply through the line faults: silence drops it, garbage replaces its bytes, the drop
// fault closes the line once drop_after reply bytes have gone out, delays slow it down.
void SerialPeer::reply(std::string bytes) {
    const PeerFault fault = fault_.load();
    if (fault == PeerFault::silence || bytes.empty()) return;
    if (fault == PeerFault::garbage)
        for (char &c : bytes) c = static_cast<char>(next_garbage(&garbage_state_));
    if (config_.reply_delay_ms > 0 && !pty_->pause(config_.reply_delay_ms)) return;
    const size_t step = config_.byte_delay_ms > 0 ? 1 : bytes.size();
    for (size_t at = 0; at < bytes.size(); at += step) {
        size_t n = std::min(step, bytes.size() - at);
        if (fault == PeerFault::drop) {
            const uint64_t sent = sent_.load();
            const uint64_t left = sent < config_.drop_after ? config_.drop_after - sent : 0;
            if (left == 0) break;
            n = static_cast<size_t>(std::min<uint64_t>(n, left));
        }
        if (at > 0 && config_.byte_delay_ms > 0 && !pty_->pause(config_.byte_delay_ms)) return;
        if (!pty_->write_all(reinterpret_cast<const uint8_t *>(bytes.data() + at), n)) return;
        sent_ += n;
        if (fault == PeerFault::drop && sent_.load() >= config_.drop_after) break;
    }
    if (fault == PeerFault::drop && sent_.load() >= config_.drop_after) {
        dropped_.store(true);  // before the close, so whoever sees the hang-up sees this too
        pty_->close();
        changed_.notify_all();
    }
}

std::string SerialPeer::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

size_t SerialPeer::received_count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_count_;
}

bool SerialPeer::wait_received(size_t count, uint32_t timeout_ms) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return received_count_ >= count; });
}

void SerialPeer::clear_received() {
    std::lock_guard<std::mutex> lock(mutex_);
    received_.clear();
    received_count_ = 0;
}

int SerialPeer::downloads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return protocol_->downloads();
}

std::string SerialPeer::last_download() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return protocol_->last_download();
}

std::vector<std::string> SerialPeer::start_commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return protocol_->start_commands();
}

bool SerialPeer::wait_downloads(int count, uint32_t timeout_ms) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                             [&] { return protocol_->downloads() >= count; });
}

}  // namespace ksw::sim
