// Runs the built converter as a child process for end-to-end tests and collects its
// exit status, standard output and standard error.
#pragma once

#include <string>

#include "support/child_process.h"

namespace converter_test {

using test_support::ProcessRun;
using test_support::run_program;
using test_support::StartedProgram;

// The converter executable beside the other built programs (RUNTIME_BIN_DIR).
std::string converter_path();
// The folder of the golden cases (tests/app/data).
std::string test_data_folder();

}  // namespace converter_test
