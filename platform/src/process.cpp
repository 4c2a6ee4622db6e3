#include "platform/process.h"

#include <cerrno>
#include <cstdlib>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>

#include "platform/files.h"

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
