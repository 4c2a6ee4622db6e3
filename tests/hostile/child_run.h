// Runs a built program of this project in a child process with limits of its own: a folder to
// run in, extra environment, resource limits and an alarm, so a program that hangs or is
// killed ends the test with a clear result instead of stopping the suite.
#pragma once

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "temp_dir.h"

extern char **environ;

namespace ksw::testing {

// True in a build with AddressSanitizer, whose shadow memory rules out a limit on the address
// space.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

struct ChildLimits {
    std::optional<rlim_t> file_size;     // RLIMIT_FSIZE in bytes
    std::optional<rlim_t> address_space; // RLIMIT_AS in bytes
    unsigned alarm_seconds = 30;         // the child is killed by SIGALRM after this long
};

struct ChildRun {
    int exit_code = -1;    // when the program exited
    int signal = 0;        // when a signal ended it
    std::string output;    // stdout and stderr together

    bool exited_with(int code) const { return signal == 0 && exit_code == code; }
};

// The folder the project was built in, or empty when the tests run outside CTest.
inline std::string binary_dir() {
    const char *dir = std::getenv("KSW_TEST_BINARY_DIR");
    return dir ? dir : "";
}

// Runs `program` with `arguments` in `dir`, input from /dev/null, output to `dir`/out.txt,
// with `env` added to (or replacing in) this process's environment.
inline ChildRun run_child(const TempDir &dir, const std::string &program, const std::vector<std::string> &arguments,
                          const std::vector<std::pair<std::string, std::string>> &env = {},
                          const ChildLimits &limits = {}) {
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment;
    for (char **e = environ; *e; ++e) {
        const std::string entry(*e);
        bool replaced = false;
        for (const auto &[name, value] : env) replaced = replaced || entry.rfind(name + "=", 0) == 0;
        if (!replaced) environment.push_back(entry);
    }
    for (const auto &[name, value] : env) environment.push_back(name + "=" + value);
    std::vector<char *> argv, envp;
    for (std::string &w : words) argv.push_back(w.data());
    for (std::string &e : environment) envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    const std::string output = dir.file("out.txt");

    const pid_t child = ::fork();
    if (child == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || ::chdir(dir.path().c_str()) != 0) ::_exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(out, 2);
        if (limits.file_size) {
            const rlimit limit{*limits.file_size, *limits.file_size};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (limits.address_space) {
            const rlimit limit{*limits.address_space, *limits.address_space};
            ::setrlimit(RLIMIT_AS, &limit);
        }
        ::signal(SIGXFSZ, SIG_DFL);  // as a shell would start it
        ::alarm(limits.alarm_seconds);  // kept across exec
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ChildRun run;
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) return run;
    if (WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    run.output = read_text(output);
    return run;
}

}  // namespace ksw::testing
