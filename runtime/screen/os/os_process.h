// Starting other programs and looking up functions in shared libraries.
#pragma once

#include <vector>

#include "runtime/core/dyn_string.h"

namespace runtime {

// Starts the command line (words split as on a command line, no shell); with wait,
// blocks and puts the exit code into exit_code (else it stays 0). 1 started, 0 not.
// `show` has no meaning here: programs open their own windows.
double run_process(const DynString& command, double wait, double show, double& exit_code);

// Passes a signal on to the program a waiting run_process or dialog is blocked on, if
// any; safe inside a signal handler.
void signal_waited_program(int signal_number);

// Address of `function` in `library` (null when either is missing). Libraries are
// cached by their lower-case name but loaded by the name as given.
void get_library_function(const DynString& library, const DynString& function, void*& address);

// Every library loaded so far; freed at process exit.
struct LibraryCache {
    std::vector<DynString> names;  // lower-case
    std::vector<void*> handles;
    int loads = 0;  // successful loads, for figures and tests
    bool exit_hook = false;
};
LibraryCache& library_cache();
// Frees every cached library and empties the cache.
void free_library_cache();

}  // namespace runtime
