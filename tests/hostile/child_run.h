// Runs a built program of this project in a child process with limits of its own, so a program
// that hangs or is killed ends the test with a clear result instead of stopping the suite.
#pragma once

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "temp_dir.h"

namespace ksw::testing {

// The sanitizers' shadow memory rules out a limit on the address space.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer) || __has_feature(thread_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

struct ChildLimits {
    rlim_t file_size = RLIM_INFINITY;      // RLIMIT_FSIZE in bytes
    rlim_t address_space = RLIM_INFINITY;  // RLIMIT_AS in bytes
    unsigned alarm_seconds = 30;           // then SIGALRM ends the child
};

struct ChildRun {
    int exit_code = -1;
    int signal = 0;      // the signal that ended the program, if one did
    std::string output;  // stdout and stderr together
    bool exited_with(int code) const { return signal == 0 && exit_code == code; }
};

// `relative` ("bin/ksw", "extras/lib") in the build tree the tests run in.
inline std::string built(const std::string &relative) {
    const char *dir = std::getenv("KSW_TEST_BINARY_DIR");
    return std::string(dir ? dir : ".") + "/" + relative;
}

// Runs `argv` (argv[0] a path) in `dir` with the variables `env` ("NAME=value") set, input from
// /dev/null and output to `dir`/out.txt.
inline ChildRun run_child(const TempDir &dir, std::vector<std::string> argv, const std::vector<std::string> &env = {},
                          const ChildLimits &limits = {}) {
    std::vector<char *> args;
    for (std::string &word : argv) args.push_back(word.data());
    args.push_back(nullptr);
    const std::string output = dir.file("out.txt");
    const pid_t child = ::fork();
    if (child == 0) {
        const int in = ::open("/dev/null", O_RDONLY), out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || ::chdir(dir.path().c_str()) != 0) ::_exit(127);
        ::dup2(in, 0), ::dup2(out, 1), ::dup2(out, 2);
        for (const std::string &entry : env) ::putenv(const_cast<char *>(entry.c_str()));
        const rlimit file_size{limits.file_size, limits.file_size}, space{limits.address_space, limits.address_space};
        ::setrlimit(RLIMIT_FSIZE, &file_size);
        ::setrlimit(RLIMIT_AS, &space);
        ::signal(SIGXFSZ, SIG_DFL);     // as a shell starts it
        ::alarm(limits.alarm_seconds);  // kept across exec
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ChildRun run;
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) return run;
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    run.output = read_text(output);
    return run;
}

}  // namespace ksw::testing
