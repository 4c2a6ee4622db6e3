#include "platform/process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <csignal>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/tick.h"

#include "platform/files.h"
#include "platform/raw_file.h"

extern char **environ;

namespace ksw::platform {

std::vector<std::string> split_command_line(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool in_word = false, quoted = false;
    for (const char c : line) {
        if (c == '"') {
            quoted = !quoted;
            in_word = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (in_word) words.push_back(word);
            word.clear();
            in_word = false;
        } else {
            word += c;
            in_word = true;
        }
    }
    if (in_word) words.push_back(word);
    return words;
}

int start_process(const std::vector<std::string> &argv, std::string *error) {
    if (argv.empty() || argv[0].empty()) {
        if (error) *error = "no program to start";
        return -1;
    }
    std::vector<char *> args;
    args.reserve(argv.size() + 1);
    for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ);
    if (rc != 0) {
        if (error) *error = "cannot start " + argv[0] + ": " + errno_text(rc);
        return -1;
    }
    return static_cast<int>(pid);
}

namespace {

// A wait status as the exit status of an ended process (128 + signal for a killed one).
int exit_status(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

int wait_process(int pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return exit_status(status);
}

namespace {

// The child's side between fork and exec: only async-signal-safe calls. A failure to exec is
// reported through `report` as the errno value.
[[noreturn]] void become_child(char *const *argv, int output, int report, pid_t parent) {
    sigset_t all;
    sigemptyset(&all);
    sigprocmask(SIG_SETMASK, &all, nullptr);  // the station blocks its termination signals
    for (const int sig : {SIGPIPE, SIGXFSZ, SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigaction(sig, &action, nullptr);
    }
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);  // the station is already gone
    const int null_input = ::open("/dev/null", O_RDONLY);
    if (null_input < 0 || dup2(null_input, 0) < 0 || dup2(output, 1) < 0) {
        const int err = errno;
        (void)!::write(report, &err, sizeof err);
        _exit(127);
    }
    execv(argv[0], argv);
    const int err = errno;
    (void)!::write(report, &err, sizeof err);
    _exit(127);
}

}  // namespace

bool ChildProcess::start(const std::vector<std::string> &argv, std::string *error) {
    (void)stop();
    if (argv.empty() || argv[0].empty()) {
        if (error) *error = "no program to start";
        return false;
    }
    std::vector<char *> args;
    for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    int output[2], report[2];
    if (::pipe2(output, O_CLOEXEC) != 0) {
        if (error) *error = "cannot start " + argv[0] + ": " + errno_text(errno);
        return false;
    }
    if (::pipe2(report, O_CLOEXEC) != 0) {
        if (error) *error = "cannot start " + argv[0] + ": " + errno_text(errno);
        ::close(output[0]);
        ::close(output[1]);
        return false;
    }
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) become_child(args.data(), output[1], report[1], parent);
    const int fork_errno = errno;
    ::close(output[1]);
    ::close(report[1]);
    if (pid < 0) {
        ::close(output[0]);
        ::close(report[0]);
        if (error) *error = "cannot start " + argv[0] + ": " + errno_text(fork_errno);
        return false;
    }
    // The report pipe closes on a successful exec; otherwise it carries the reason.
    int child_errno = 0;
    ssize_t n;
    do n = ::read(report[0], &child_errno, sizeof child_errno);
    while (n < 0 && errno == EINTR);
    ::close(report[0]);
    if (n > 0) {
        ::close(output[0]);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
        if (error) *error = "cannot start " + argv[0] + ": " + errno_text(child_errno);
        return false;
    }
    pid_ = pid;
    output_ = output[0];
    pending_.clear();
    return true;
}

bool ChildProcess::read_line(std::string *line, uint32_t timeout_ms, size_t limit, std::string *error) {
    auto fail = [error](const std::string &why) {
        if (error) *error = why;
        return false;
    };
    if (output_ < 0) return fail("the program is not running");
    const uint32_t start = tick_count();
    for (;;) {
        const size_t end = pending_.find('\n');
        if (end != std::string::npos && end <= limit) {
            line->assign(pending_, 0, end);
            pending_.erase(0, end + 1);
            return true;
        }
        if (pending_.size() > limit) return fail("its line is longer than " + std::to_string(limit) + " bytes");
        const uint32_t waited = ticks_since(start);
        if (waited >= timeout_ms) return fail("no line within " + std::to_string(timeout_ms) + " ms");
        pollfd p{output_, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(timeout_ms - waited));
        if (ready < 0 && errno != EINTR) return fail(errno_text(errno));
        if (ready <= 0) continue;
        char buffer[512];
        const ssize_t n = ::read(output_, buffer, sizeof buffer);
        if (n < 0 && errno != EINTR && errno != EAGAIN) return fail(errno_text(errno));
        if (n == 0) return fail("it ended without a line");
        if (n > 0) pending_.append(buffer, static_cast<size_t>(n));
    }
}

int ChildProcess::stop(uint32_t grace_ms) {
    if (output_ >= 0) ::close(output_);
    output_ = -1;
    pending_.clear();
    if (pid_ <= 0) return -1;
    const pid_t pid = pid_;
    pid_ = -1;
    int status = 0;
    ::kill(pid, SIGTERM);
    const uint32_t start = tick_count();
    pid_t done = 0;
    while ((done = ::waitpid(pid, &status, WNOHANG)) == 0 && ticks_since(start) < grace_ms) sleep_ms(10);
    if (done == 0) {
        ::kill(pid, SIGKILL);
        while ((done = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {}
    }
    if (done < 0) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

int poll_process(int pid) {
    if (pid <= 0) return -1;
    int status = 0;
    pid_t done = -1;
    do {
        done = ::waitpid(pid, &status, WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == 0) return kStillRunning;
    return done < 0 ? -1 : exit_status(status);
}

bool stop_process(int pid, bool force) { return pid > 0 && ::kill(pid, force ? SIGKILL : SIGTERM) == 0; }

std::string default_editor() {
    for (const char *name : {"VISUAL", "EDITOR"}) {
        const char *value = std::getenv(name);
        if (value && *value) return value;
    }
    return "xdg-open";
}

bool set_environment(const std::string &name, const std::string &value) {
    return ::setenv(name.c_str(), value.c_str(), 1) == 0;
}

std::string environment(const std::string &name) {
    const char *value = std::getenv(name.c_str());
    return value ? std::string(value) : std::string();
}

}  // namespace ksw::platform

namespace ksw::platform {

bool run_with_input(const std::vector<std::string> &argv, std::string_view input, uint32_t timeout_ms,
                    std::string *error) {
    if (argv.empty() || argv[0].empty()) {
        if (error) *error = "no program to start";
        return false;
    }
    int pipe_ends[2];
    if (::pipe2(pipe_ends, O_CLOEXEC) != 0) {
        if (error) *error = errno_text(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[0], 0);
    std::vector<char *> args;
    for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_ends[0]);
    if (rc != 0) {
        ::close(pipe_ends[1]);
        if (error) *error = "cannot start " + argv[0] + ": " + errno_text(rc);
        return false;
    }
    // A reader that ends early must not end this process with SIGPIPE: the write fails instead.
    std::signal(SIGPIPE, SIG_IGN);
    const bool written = write_all(pipe_ends[1], input.data(), input.size(), error);
    ::close(pipe_ends[1]);
    const uint32_t start = tick_count();
    int status = kStillRunning;
    while ((status = poll_process(pid)) == kStillRunning && ticks_since(start) < timeout_ms) ::usleep(10000);
    if (status == kStillRunning) {
        (void)stop_process(pid, true);
        (void)wait_process(pid);
        if (error) *error = argv[0] + " did not end in time";
        return false;
    }
    // A command that failed says so by its status, also when it ended before it read its input
    // (the write then broke on the closed pipe first); a broken write of a command that ended
    // well keeps the write's own reason.
    if (status != 0) {
        if (error) *error = argv[0] + " ended with status " + std::to_string(status);
        return false;
    }
    return written;
}

}  // namespace ksw::platform
