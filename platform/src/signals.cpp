#include "platform/signals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "platform/files.h"

namespace ksw::platform {

struct TerminationSignals::State {
    int signal_fd = -1;
    int stop_fd = -1;
    std::atomic<int> *first = nullptr;
    std::function<void(int)> on_signal;
    std::thread watcher;
};

namespace {

sigset_t termination_set() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

void watch(TerminationSignals::State *s) {
    pollfd fds[2] = {{s->signal_fd, POLLIN, 0}, {s->stop_fd, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        signalfd_siginfo info{};
        if (::read(s->signal_fd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) continue;
        const int number = static_cast<int>(info.ssi_signo);
        int expected = 0;
        s->first->compare_exchange_strong(expected, number);
        if (s->on_signal) s->on_signal(number);
    }
}

}  // namespace

bool TerminationSignals::start(std::function<void(int)> on_signal, std::string *error) {
    stop();
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    const sigset_t set = termination_set();
    if (const int rc = pthread_sigmask(SIG_BLOCK, &set, nullptr); rc != 0) {
        if (error) *error = "cannot block the termination signals: " + errno_text(rc);
        return false;
    }
    auto *s = new State;
    s->signal_fd = ::signalfd(-1, &set, SFD_CLOEXEC);
    s->stop_fd = ::eventfd(0, EFD_CLOEXEC);
    if (s->signal_fd < 0 || s->stop_fd < 0) {
        if (error) *error = "cannot watch the termination signals: " + errno_text(errno);
        if (s->signal_fd >= 0) ::close(s->signal_fd);
        if (s->stop_fd >= 0) ::close(s->stop_fd);
        delete s;
        return false;
    }
    s->on_signal = std::move(on_signal);
    s->first = &received_;
    try {
        s->watcher = std::thread(watch, s);
    } catch (const std::system_error &failure) {
        if (error) *error = std::string("cannot start the signal watcher: ") + failure.what();
        ::close(s->signal_fd);
        ::close(s->stop_fd);
        delete s;
        return false;
    }
    state_ = s;
    return true;
}

void TerminationSignals::stop() {
    if (!state_) return;
    const uint64_t one = 1;
    (void)::write(state_->stop_fd, &one, sizeof one);
    if (state_->watcher.joinable()) state_->watcher.join();
    ::close(state_->signal_fd);
    ::close(state_->stop_fd);
    delete state_;
    state_ = nullptr;
}

int TerminationSignals::received() const { return received_.load(); }

}  // namespace ksw::platform
