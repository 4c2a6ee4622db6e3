#include "protocol.h"

#include "platform/files.h"

namespace ksw::sim {
namespace {

constexpr char kCR = '\r';
constexpr size_t kLineLimit = 4096;
constexpr int kEndRecordGraceMs = 20;

bool ends_with(const std::string &s, const std::string &tail) {
    return !tail.empty() && s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The last record of an Intel HEX (type 01) or Motorola S-record (S7, S8, S9) file.
bool end_record(const std::string &line) {
    if (line.size() >= 9 && line[0] == ':') return line.compare(7, 2, "01") == 0;
    return line.size() >= 2 && line[0] == 'S' && (line[1] == '7' || line[1] == '8' || line[1] == '9');
}

}  // namespace

void PeerProtocol::feed(std::string_view bytes, std::vector<std::string> *replies) {
    switch (config_.mode) {
    case PeerMode::echo: replies->emplace_back(bytes); break;
    case PeerMode::sink: break;
    case PeerMode::text:
        for (const char c : bytes) feed_text(c, replies);
        break;
    case PeerMode::packet:
        for (const char c : bytes) feed_packet(c, replies);
        break;
    case PeerMode::download:
        for (const char c : bytes) feed_download(c, replies);
        break;
    }
}

void PeerProtocol::feed_text(char c, std::vector<std::string> *replies) {
    if (pending_.size() >= kLineLimit) pending_.erase(0, pending_.size() - kLineLimit + 1);
    pending_ += c;
    for (const auto &[request, reply] : config_.replies) {
        if (ends_with(pending_, request)) {
            replies->push_back(reply);
            pending_.clear();
            return;
        }
    }
    if (c == kCR) {
        if (!config_.unknown_reply.empty()) replies->push_back(config_.unknown_reply);
        pending_.clear();
    }
}

void PeerProtocol::feed_packet(char c, std::vector<std::string> *replies) {
    pending_ += c;
    if (pending_.size() < 2 || pending_.size() < 2u + static_cast<uint8_t>(pending_[1])) return;
    replies->push_back(config_.packet_reply.empty() ? pending_ : config_.packet_reply);
    pending_.clear();
}

// Idle: " " is answered " ", "L" CR are echoed and start a download; other bytes form a command
// line, and a line that starts with "T" (the start command "TA000") is recorded.
void PeerProtocol::feed_download(char c, std::vector<std::string> *replies) {
    if (load_ == Load::loading) return feed_loading(c, replies);
    if (load_ == Load::got_l) {
        load_ = Load::idle;
        if (c == kCR) {
            replies->push_back("\r");
            load_ = Load::loading;
            data_.clear();
            record_.clear();
            end_seen_ = false;
            return;
        }
        pending_.assign(1, 'L');
    }
    if (pending_.empty() && c == ' ') {
        replies->push_back(" ");
    } else if (pending_.empty() && c == 'L') {
        replies->push_back("L");
        load_ = Load::got_l;
    } else if (c == kCR || c == '\n') {
        if (!pending_.empty() && pending_[0] == 'T') start_commands_.push_back(pending_);
        pending_.clear();
    } else if (pending_.size() < kLineLimit) {
        pending_ += c;
    }
}

void PeerProtocol::feed_loading(char c, std::vector<std::string> *replies) {
    if (end_seen_) {
        // The end record's line is over; a LF that completes its CR LF still belongs to the file.
        if (c == '\n') data_ += c;
        finish_download(replies);
        if (c != '\n') feed_download(c, replies);
        return;
    }
    data_ += c;
    if (c == kCR || c == '\n') {
        end_seen_ = end_record(record_);
        record_.clear();
        if (end_seen_ && c == '\n') finish_download(replies);
    } else if (record_.size() < kLineLimit) {
        record_ += c;
    }
}

void PeerProtocol::finish_download(std::vector<std::string> *replies) {
    load_ = Load::idle;
    end_seen_ = false;
    last_download_ = std::move(data_);
    data_.clear();
    ++downloads_;
    if (!config_.download_file.empty()) platform::write_file_atomic(config_.download_file, last_download_);
    replies->push_back("*");
}

void PeerProtocol::idle(std::vector<std::string> *replies) {
    if (load_ == Load::loading) finish_download(replies);
}

int PeerProtocol::idle_timeout_ms() const {
    if (load_ != Load::loading) return -1;
    return end_seen_ ? kEndRecordGraceMs : static_cast<int>(config_.download_idle_ms);
}

}  // namespace ksw::sim
