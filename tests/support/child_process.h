// Child processes for the tests: a program started without a shell, its standard output
// and error captured in files, its end waited for with a time limit.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace test_support {

struct ProcessRun {
    int status = -1;         // exit status, or -1 when it did not exit normally
    int signal = 0;          // the signal that ended it, if one did
    bool timed_out = false;  // it ran past its time and was killed
    long peak_kb = 0;        // its peak resident memory
    std::string out, err;
};

// A program started in the background, standard output and error going into files.
class StartedProgram {
public:
    StartedProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& folder = "", const std::vector<std::string>& extra_env = {});
    ~StartedProgram();  // a program still running is killed
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    pid_t pid() const { return pid_; }
    // What it has written to standard output so far.
    std::string out_so_far() const;
    // And to standard error.
    std::string err_so_far() const;
    // Waits for its end; after timeout_seconds it is killed and the run says so.
    ProcessRun wait(int timeout_seconds = 120);

private:
    test_support::TempDir capture_;
    pid_t pid_ = -1;
};

// Runs program with arguments in folder (the current one when empty); extra_env entries
// ("NAME=VALUE") are added to the environment, and "NAME=" removes NAME from it.
ProcessRun run_program(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& folder = "", const std::vector<std::string>& extra_env = {});

}  // namespace test_support
