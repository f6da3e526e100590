// Starting other programs without a shell, implemented on POSIX (posix/process.cpp):
// posix_spawn with an argument vector, optional waiting, and capture of standard output
// for helper programs (dialogs).
#pragma once

#include <string>
#include <vector>

namespace runtime::platform {

// Starts argv[0] (searched in PATH when it has no "/") with the current environment
// and folder. With `wait`, blocks until it ends and stores its exit code (128 + signal
// when killed). False when the program cannot be started.
bool spawn_process(const std::vector<std::string>& argv, bool wait, int* exit_code);

// Runs argv to its end and collects its standard output (at most `max_output` bytes
// kept; the rest is read and dropped). Standard error goes to /dev/null. False when it
// cannot be started; otherwise the exit code (128 + signal when killed).
bool run_and_capture(const std::vector<std::string>& argv, std::string& output, int& exit_code,
                     size_t max_output);

// Whether a program of that name is found in PATH (or, with a "/", is executable).
bool program_available(const std::string& name);

// Collects children started without waiting that have ended since, so none lingers.
void reap_finished_children();

// Sends the signal to the program being waited for (a dialog), if any. Safe inside a
// signal handler: a program ending on a signal takes its dialog with it.
void signal_waited_child(int signal_number);

}  // namespace runtime::platform
