// Runs a shell command as a child process and collects its exit code and output.
#pragma once

#include <string>

namespace test_support {

struct CommandRun {
    int code = -1;    // the exit code, or -1 when the child did not exit normally
    std::string out;  // standard output and standard error together
};

CommandRun run_command(const std::string& command);

}  // namespace test_support
