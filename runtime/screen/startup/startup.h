// The runtime's initialisation: the window, the global objects, the program folder as
// current folder, the first frame and "Init OK".
#pragma once

#include <string>

namespace runtime {

// Brings the runtime up in its fixed order; stops after a failed window creation.
void initialise_runtime(const char* command_text, int show_command, const char* title);
// The folder part of a program path: cut before the last "/" or "\" (none: unchanged).
std::string program_folder_of(const std::string& program_path);
// The folder of /proc/self/exe; empty when it cannot be read within PROGRAM_PATH_MAX.
std::string program_folder();
// Makes the folder of /proc/self/exe the current folder; false when it cannot.
bool make_program_folder_current();

// Length of the program-path buffer; a longer path is not used.
constexpr size_t PROGRAM_PATH_MAX = 1024;

}  // namespace runtime
