// Starting other programs: the editor, the test program's user( commands and the simulated
// devices that run as programs of their own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ksw::platform {

// Splits a command line the way the station's command lines are written: blanks and tabs
// separate words, double quotes group a word with blanks and are removed.
std::vector<std::string> split_command_line(std::string_view line);

// Starts argv[0] (looked up on PATH when it has no "/") with the given arguments in the
// background. Returns the process id, or -1 with the reason in `error`.
int start_process(const std::vector<std::string> &argv, std::string *error = nullptr);

// Runs argv[0] (looked up on PATH) with `input` on its standard input and waits up to
// `timeout_ms` for it to end (then it is killed). True when it took the input and ended with
// status 0; otherwise false with the reason in `error`.
bool run_with_input(const std::vector<std::string> &argv, std::string_view input, uint32_t timeout_ms,
                    std::string *error = nullptr);

// Waits for a process started by start_process; returns its exit status (or 128 + signal),
// -1 when it cannot be waited for.
int wait_process(int pid);

// A helper program that runs beside the station for as long as the station needs it: its
// standard output comes back on a pipe, and it is stopped (and reaped) by stop() or by the
// destructor. It also ends when the thread that started it ends, so a station that dies
// leaves no helper behind.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { (void)stop(); }
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Starts argv[0] (a path: it is not looked up on PATH) with the given arguments, standard
    // input from /dev/null and standard error shared with the station. False with the reason in
    // `error` (when given); a child already running is stopped first.
    bool start(const std::vector<std::string> &argv, std::string *error = nullptr);
    // Reads the next line the program prints (without its line end), waiting up to `timeout_ms`
    // in all. False with the reason when the program ends or closes its output first, when no
    // whole line comes in time, or when the line grows beyond `limit` bytes.
    bool read_line(std::string *line, uint32_t timeout_ms, size_t limit = 4096, std::string *error = nullptr);
    // Asks the program to end (SIGTERM), waits up to `grace_ms`, then kills it; reaps it.
    // Returns its exit status (or 128 + signal), -1 when nothing was running.
    int stop(uint32_t grace_ms = 2000);
    bool running() const { return pid_ > 0; }
    int pid() const { return pid_; }

private:
    int pid_ = -1;
    int output_ = -1;      // our end of the child's standard output
    std::string pending_;  // bytes read past the last line handed out
};

// Looks whether a process started by start_process has ended, without waiting: its exit status
// as wait_process gives it (the process is then gone), kStillRunning while it runs, or -1 when
// it cannot be looked at (not a child of this process, already waited for).
constexpr int kStillRunning = -2;
int poll_process(int pid);

// Asks a process started by start_process to end (SIGTERM), or ends it (SIGKILL) when `force`;
// it still has to be waited for. False when the signal could not be delivered.
bool stop_process(int pid, bool force = false);

// The editor command: $VISUAL, then $EDITOR, then "xdg-open".
std::string default_editor();

// Sets the environment variable `name` for this process and the programs and libraries it
// starts afterwards. Call it before other threads exist. False when it cannot be set.
bool set_environment(const std::string &name, const std::string &value);
// The value of `name`; empty when it is not set.
std::string environment(const std::string &name);

}  // namespace ksw::platform
