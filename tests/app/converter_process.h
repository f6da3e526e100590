// Runs the built converter as a child process for end-to-end tests and collects its
// exit status, standard output and standard error.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace converter_test {

struct ProcessRun {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out, err;
};

// The converter executable beside the other built programs (RUNTIME_BIN_DIR).
std::string converter_path();
// Runs program with arguments in folder (the current one when empty); extra_env entries
// ("NAME=VALUE") are added to the environment, and "NAME=" removes NAME from it.
ProcessRun run_program(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& folder = "", const std::vector<std::string>& extra_env = {});
// The folder of the golden cases (tests/app/data).
std::string test_data_folder();

}  // namespace converter_test
