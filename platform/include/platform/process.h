// Starting other programs: the editor and the test program's user( commands.
#pragma once

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

// Waits for a process started by start_process; returns its exit status (or 128 + signal),
// -1 when it cannot be waited for.
int wait_process(int pid);

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
