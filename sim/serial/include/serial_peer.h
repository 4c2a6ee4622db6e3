// A simulated product on a serial line: a pseudo-terminal whose far end behaves like the
// product's microcontroller. The station (or a test) opens slave_path() as its serial port.
//
// Behaviours (one per peer): echo every byte; fixed text replies to fixed requests;
// length-prefixed packets answered by an echo or a fixed reply; the microcontroller download
// (" " answered " ", "L" CR echoed, the file collected until an end record or a pause, "*",
// then the "T" start command); or a sink that answers nothing. Line faults on top: silence,
// garbage instead of replies, a line that drops after some reply bytes, slow replies.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace ksw::platform {
class IniFile;
}

namespace ksw::sim {

enum class PeerMode { echo, text, packet, download, sink };
enum class PeerFault { none, silence, garbage, drop };

struct SerialPeerConfig {
    PeerMode mode = PeerMode::echo;
    // text: a reply is sent when the bytes received end with its request.
    std::vector<std::pair<std::string, std::string>> replies;
    // text: sent when a CR ends a line that matched no request (empty: nothing).
    std::string unknown_reply;
    // packet: the reply to every packet; empty answers each packet with itself.
    std::string packet_reply;
    // download: the file that receives the downloaded bytes (empty: kept in memory only), and
    // the pause that ends a download without an end record.
    std::string download_file;
    uint32_t download_idle_ms = 300;
    // Faults and timing of every reply.
    PeerFault fault = PeerFault::none;
    uint64_t drop_after = 0;  // drop: reply bytes sent before the line closes
    uint32_t reply_delay_ms = 0;
    uint32_t byte_delay_ms = 0;
    uint32_t garbage_seed = 1;
    // Leave the line in the terminal's cooked mode, as a device left by another program.
    bool cooked_line = false;
};

// Reads the "[serial]" section of a scenario. False with the reason in `error` for an unknown
// key or a value that does not parse; a missing section gives the defaults.
bool parse_serial_scenario(const platform::IniFile &ini, SerialPeerConfig *config, std::string *error);
bool load_serial_scenario(const std::string &path, SerialPeerConfig *config, std::string *error);

// Scenario texts: "\r", "\n", "\t", "\0", "\\" and "\xHH" stand for their bytes. False for an
// unknown or cut escape.
bool decode_bytes(std::string_view text, std::string *out);

class PeerProtocol;
class Pty;

class SerialPeer {
public:
    explicit SerialPeer(SerialPeerConfig config);
    ~SerialPeer();
    SerialPeer(const SerialPeer &) = delete;
    SerialPeer &operator=(const SerialPeer &) = delete;

    // Opens the pseudo-terminal and starts answering. False with the reason in `error`.
    bool start(std::string *error = nullptr);
    // The device the station opens.
    const std::string &path() const { return path_; }
    // Stops answering, closes the line and joins the thread. Safe to call twice.
    void stop();

    // Switches the fault while the peer runs.
    void set_fault(PeerFault fault) { fault_.store(fault); }

    // Bytes received so far (the first MiB of them), their count, and a wait for a count.
    std::string received() const;
    size_t received_count() const;
    bool wait_received(size_t count, uint32_t timeout_ms) const;
    void clear_received();
    // Reply bytes written to the line.
    size_t sent_count() const { return sent_.load(); }
    // True once the peer has closed the line (drop fault).
    bool line_dropped() const { return dropped_.load(); }

    // download: finished downloads, the bytes of the last one, the start commands received.
    int downloads() const;
    std::string last_download() const;
    std::vector<std::string> start_commands() const;
    bool wait_downloads(int count, uint32_t timeout_ms) const;

private:
    void run();
    void reply(std::string bytes);
    void note_received(const uint8_t *data, size_t n);

    SerialPeerConfig config_;
    std::unique_ptr<Pty> pty_;
    std::unique_ptr<PeerProtocol> protocol_;
    std::string path_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<PeerFault> fault_;
    std::atomic<size_t> sent_{0};
    std::atomic<bool> dropped_{false};
    uint32_t garbage_state_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::string received_;
    size_t received_count_ = 0;
};

}  // namespace ksw::sim
