// What the simulated microcontroller answers, byte stream in, replies out. No I/O here: the
// peer thread moves the bytes and applies the line faults.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "serial_peer.h"

namespace ksw::sim {

class PeerProtocol {
public:
    explicit PeerProtocol(const SerialPeerConfig &config) : config_(config) {}

    // Bytes from the station; appends the replies they call for, one entry per reply.
    void feed(std::string_view bytes, std::vector<std::string> *replies);
    // The line has been quiet for idle_timeout_ms().
    void idle(std::vector<std::string> *replies);
    // How long the line may stay quiet before idle() is due; -1 when nothing waits for a pause.
    int idle_timeout_ms() const;

    int downloads() const { return downloads_; }
    const std::string &last_download() const { return last_download_; }
    const std::vector<std::string> &start_commands() const { return start_commands_; }

private:
    enum class Load { idle, got_l, loading };

    void feed_text(char c, std::vector<std::string> *replies);
    void feed_packet(char c, std::vector<std::string> *replies);
    void feed_download(char c, std::vector<std::string> *replies);
    void feed_loading(char c, std::vector<std::string> *replies);
    void finish_download(std::vector<std::string> *replies);

    const SerialPeerConfig &config_;
    std::string pending_;  // text: the line so far; packet: the packet so far; download: a command
    Load load_ = Load::idle;
    std::string data_;        // the download so far
    std::string record_;      // the download's current line
    bool end_seen_ = false;   // the end record has come; a LF may still follow
    int downloads_ = 0;
    std::string last_download_;
    std::vector<std::string> start_commands_;
};

}  // namespace ksw::sim
