// What `task(` asks of the line-server link: the station opens the link at start-up and points
// the run context to it; without one the context's pointer is null and `task(` answers as a
// copy without a server does (e152 for a send, e153 for a receive or flush).
//
// Every method may be called from the sequencer thread or a link member; the task lock keeps one
// request and its reply together. Results are 0 or an error number of the message table.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace ksw {

// Message kinds and their words: 0 "WAIT", 1 "READY", 2 "RUN", 3 "PAUSE", 4 "STOP", 5 "FOCUS",
// 6 "SET", 7 "GET", 8 "KEY".
enum ServerMessage : int {
    kServerWait = 0, kServerReady, kServerRun, kServerPause, kServerStop,
    kServerFocus, kServerSet, kServerGet, kServerKey,
};

// The largest reply kept, terminating zero included; a longer datagram is cut to fit.
constexpr size_t kServerReplyBuffer = 100;

class ServerChannel {
public:
    virtual ~ServerChannel() = default;
    // Sends message `kind` (0..8) with its argument (kind 5: the number as two digits; kinds 6..8:
    // the text; kinds 0..4: none), as "%02d" of the instance number, the kind's word, the argument.
    // 0, e152 (no instance number, or no server socket) or e153 (the write failed).
    virtual int send(int kind, std::string_view argument) = 0;
    // Waits up to `timeout_ms` for one reply and stores it (at most kServerReplyBuffer - 1
    // bytes, up to its first zero byte) in `*reply`. 0, e153 (no own socket, or an empty
    // reply), e155 (time-out), e156 (the socket cannot be polled) or e157 (the read failed).
    virtual int receive(std::string *reply, uint32_t timeout_ms) = 0;
    // Drops every reply that is waiting: 0, e153, e156 or e157.
    virtual int flush() = 0;
    // Keeps a request and its reply from interleaving with another thread's.
    std::mutex &task_lock() { return task_lock_; }

private:
    std::mutex task_lock_;
};

}  // namespace ksw
