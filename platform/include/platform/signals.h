// The termination signals (SIGINT, SIGTERM, SIGHUP) as requests to close the station. Once
// watched, they are blocked in every thread and reported, one by one, to a handler that runs on
// a watcher thread of its own, where it may post to the main thread; nothing is done in a
// signal handler. SIGPIPE is ignored, so a peer that goes away gives a write error, and SIGXFSZ
// is ignored, so a file that may not grow gives EFBIG instead of killing the process.
#pragma once

#include <atomic>
#include <functional>
#include <string>

namespace ksw::platform {

class TerminationSignals {
public:
    // Starts watching. Must be called before any other thread is started (threads inherit the
    // blocked set). False with the reason in `error` when it cannot.
    bool start(std::function<void(int signal)> on_signal, std::string *error = nullptr);
    // Stops the watcher thread (the signals stay blocked). Also done by the destructor.
    void stop();
    ~TerminationSignals() { stop(); }

    // The first signal received so far, 0 when none.
    int received() const;

    struct State;  // the watcher's own (public for the watcher function only)

private:
    State *state_ = nullptr;
    std::atomic<int> received_{0};
};

// The exit status of a process ended by `signal` as the shells report it: 128 + the number.
constexpr int exit_status_for_signal(int signal) { return 128 + signal; }

}  // namespace ksw::platform
