// The program's spine: start-up settings, the stop record, the three ends of the
// program and the ordered shut-down that every module plugs its teardown into.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "runtime/core/dyn_string.h"

namespace runtime {

// Stop codes of the error stop.
enum StopCode : int {
    STOP_USER_END = 0,
    STOP_FILE = 3,
    STOP_RANGE = 7,
    STOP_PUSH_MULTI = 8,
    STOP_INDEX = 9,
};

// Process-wide state of the lifecycle; a default-constructed record is the reset.
struct ProcessState {
    DynString command_line_text;
    int screen_width = 640;
    int screen_height = 480;
    int fullscreen = 0;
    int frame_rate = 60;
    int debug_mode = 0;
    int multisample_samples = 0;
    int capture_mouse = 0;
    double stop_code = 0;
    double stop_line = 0;
    double current_line = 0;
    double current_context = 0;
    // Set by error_stop: the end then exits with the stop code instead of 0.
    bool stop_is_error = false;
    // What the error stop says besides its code: the command and the values it refused.
    std::string stop_message;
    // The current folder when the program started, before start-up made its own current.
    DynString start_folder;
};
ProcessState& process_state();

// Shut-down steps in the order the end runs them. A module registers its step when
// its object comes to life and unregisters (or is cleared) when it goes away.
enum class ShutdownStep : int {
    TIMER_RESOLUTION = 1,
    WINDOW_TIMER,
    VIDEO_WINDOW,
    ENGINE_2D,
    INPUT,
    SOUND,
    NETWORK,
    PACKED_ARCHIVES,
    MAIN_WINDOW,
    // Our own last step, after the runtime has shut down: the process-exit clean-up
    // writes back and closes file channels, INI and line stores.
    EXIT_CLEANUP,
};
// Sets (replaces) the teardown for a step; an empty function removes it.
void register_shutdown_step(ShutdownStep step, std::function<void()> teardown);
// Runs every registered step in order, each once, clearing it after it ran.
void shut_down_runtime();

// Seams that tests may replace; they default to the real thing.
struct LifecycleSeams {
    // Ends the process with the given status (default: std::exit-like, flushing stdio).
    std::function<void(int)> exit_process;
};
LifecycleSeams& lifecycle_seams();

// The tail of a full command line: what follows the program name.
std::string find_command_line_tail(const std::string& full_command_line);
// The full command line built from argv (arguments with a blank or tab are quoted).
std::string build_command_line(int argc, const char* const* argv);

using ApplicationMain = void (*)();
using Initialiser = void (*)(const char* command_text, int show_command, const char* title);

// The window title a program gets when its entry names none.
constexpr const char* DEFAULT_TITLE = "brisel42_x9";

// The runtime's main routine: settings, initialisation, the application, the end.
int runtime_main(const std::string& command_line_tail, int show_command, Initialiser initialise,
                 ApplicationMain application, const char* title = DEFAULT_TITLE);
// Start-up used until the full initialisation exists (and by tests and tools):
// deletes the error log and seeds the random generator from the millisecond clock.
void minimal_initialise(const char* command_text, int show_command, const char* title);
// OS entry: builds the command line from argv, finds the tail, calls runtime_main; the
// window is titled `title` (a null title counts as DEFAULT_TITLE).
int program_entry(int argc, const char* const* argv, Initialiser initialise, ApplicationMain application,
                  const char* title = DEFAULT_TITLE);

DynString get_command_line();
// The folder the program was started from ("/"-separated, no trailing "/"); start-up
// makes the program's own folder current, so a path the user typed is relative to this.
DynString start_folder();
[[noreturn]] void end_program();
[[noreturn]] void end_statement();
[[noreturn]] void end_program_and_run(const DynString& command);
double set_stop_code(double code);
void mark_source_line(double context, double line);
// The error stop: set_stop_code(code), then end_program(); the process exits with the
// code (1 when outside 1..255) after writing "stopped: code N" to standard error, or
// "stopped: code N: MESSAGE" to standard error and the error log when a message is given
// (the command and the values it refused, e.g. "channel 9 is not open").
[[noreturn]] void error_stop(int code);
[[noreturn]] void error_stop(int code, const std::string& message);
// The exit status the end will use for the current stop record.
int exit_status_for_stop();

// Splits a command line into words like a shell-less command line: blanks separate,
// double quotes group. Used by end_program_and_run and run_process.
std::vector<std::string> split_command_line(const std::string& command);

}  // namespace runtime
