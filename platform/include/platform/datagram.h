// Unix datagram sockets in the runtime folder, standing in for the mailslots through which the
// copies of the station and the line server exchange short messages: a receiving socket is
// bound to a name of its own; a sender writes one message to a named socket and keeps nothing
// open. Message boundaries are kept; a receiver never reads more than its buffer holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ksw::platform {

enum class SendResult { kSent, kNoReceiver, kFailed };

// Sends `bytes` as one message to the socket at `path`. kNoReceiver when nothing is bound
// there (no file, or nobody reading it), kFailed for any other failure (reason in `error`).
SendResult send_datagram(const std::string &path, std::string_view bytes, std::string *error = nullptr);

class DatagramReceiver {
public:
    DatagramReceiver() = default;
    ~DatagramReceiver();
    DatagramReceiver(const DatagramReceiver &) = delete;
    DatagramReceiver &operator=(const DatagramReceiver &) = delete;

    // Binds to `path`; a stale socket file left by a dead holder is replaced. False with the
    // reason in `error`.
    bool bind(const std::string &path, std::string *error = nullptr);
    void close();
    bool is_open() const { return fd_ >= 0; }
    const std::string &path() const { return path_; }

    // Waits up to `timeout_ms` for a message: 1 one is waiting, 0 none came, -1 the socket
    // cannot be polled.
    int wait(uint32_t timeout_ms);
    // Reads the waiting message into `buffer` (at most `size` bytes; the rest of a longer message
    // is dropped). Returns the bytes stored, or -1 on a failed read (reason in `error`); does not
    // wait when nothing is there (-1, "nothing waiting").
    long receive(char *buffer, size_t size, std::string *error = nullptr);

private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace ksw::platform
