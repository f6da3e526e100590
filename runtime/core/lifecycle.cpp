// The program's spine: the entry and the command-line tail, the start-up settings, the
// stop record, the ordered shut-down and the three ends of the program.
#include "runtime/core/lifecycle.h"

#include <spawn.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>

#include "runtime/core/error_log.h"
#include "runtime/core/string_functions.h"

extern char** environ;

namespace runtime {

namespace {

constexpr int SHOW_DEFAULT = 10;  // the system's default show-window value
constexpr uint32_t COMMAND_TEXT_ROOM = 256;
constexpr size_t STEP_COUNT = static_cast<size_t>(ShutdownStep::EXIT_CLEANUP);

// Registered teardowns, one slot per step, index = step - 1.
std::array<std::function<void()>, STEP_COUNT>& shutdown_steps() {
    static std::array<std::function<void()>, STEP_COUNT> steps;
    return steps;
}

// Truncation towards zero that stays defined for any double (NaN and huge values included).
int truncate_to_int(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

void write_stop_record() {
    const ProcessState& state = process_state();
    append_error_log("-End On Line");
    const double values[] = {state.stop_code, state.stop_line - 1, state.current_line,
                             state.current_context};
    for (double value : values) {
        char text[16];
        std::snprintf(text, sizeof text, "%d", truncate_to_int(value));
        append_error_log(text);
    }
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

[[noreturn]] void exit_now(int status) {
    if (auto& exit_process = lifecycle_seams().exit_process) exit_process(status);
    // A replaced seam that returns must still not return to the caller of an end.
    std::fflush(nullptr);
    std::_Exit(status);
}

}  // namespace

ProcessState& process_state() {
    static ProcessState state;
    return state;
}

void register_shutdown_step(ShutdownStep step, std::function<void()> teardown) {
    auto index = static_cast<size_t>(step) - 1;
    if (index >= STEP_COUNT) return;
    shutdown_steps()[index] = std::move(teardown);
}

void shut_down_runtime() {
    for (auto& slot : shutdown_steps()) {
        if (!slot) continue;
        // Cleared before it runs, so a step that ends the program cannot run twice.
        std::function<void()> teardown = std::move(slot);
        slot = nullptr;
        teardown();
    }
}

LifecycleSeams& lifecycle_seams() {
    static LifecycleSeams seams{[](int status) {
        std::fflush(nullptr);
        std::exit(status);
    }};
    return seams;
}

std::string find_command_line_tail(const std::string& full_command_line) {
    size_t i = 0;
    size_t n = full_command_line.size();
    while (i < n && is_blank(full_command_line[i])) ++i;
    if (i < n && full_command_line[i] == '"') {
        ++i;
        while (i < n && full_command_line[i] != '"') ++i;
        if (i < n) ++i;  // past the closing quote
    } else {
        while (i < n && !is_blank(full_command_line[i])) ++i;
    }
    while (i < n && is_blank(full_command_line[i])) ++i;
    return full_command_line.substr(i);
}

std::string build_command_line(int argc, const char* const* argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        std::string word = argv[i] != nullptr ? argv[i] : "";
        if (i > 0) line += ' ';
        // An empty argument is quoted too, or it would vanish from the line.
        if (word.empty() || word.find_first_of(" \t") != std::string::npos) {
            line += '"';
            line += word;
            line += '"';
        } else {
            line += word;
        }
    }
    return line;
}

std::vector<std::string> split_command_line(const std::string& command) {
    std::vector<std::string> words;
    std::string word;
    bool in_word = false;
    bool quoted = false;
    for (char c : command) {
        if (c == '"') {
            quoted = !quoted;
            in_word = true;  // "" is an empty word of its own
        } else if (is_blank(c) && !quoted) {
            if (in_word) words.push_back(word);
            word.clear();
            in_word = false;
        } else {
            word += c;
            in_word = true;
        }
    }
    if (in_word) words.push_back(word);
    return words;
}

void minimal_initialise(const char* /*command_text*/, int /*show_command*/, const char* /*title*/) {
    delete_error_log();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    seed_random(static_cast<uint32_t>(ms.count()));
}

int runtime_main(const std::string& command_line_tail, int show_command, Initialiser initialise,
                 ApplicationMain application, const char* title) {
    ProcessState& state = process_state();
    state.command_line_text.assign(command_line_tail.c_str());
    // Taken before initialisation changes the current folder; "" when it is gone.
    std::error_code folder_error;
    const std::filesystem::path started = std::filesystem::current_path(folder_error);
    state.start_folder.assign(started.generic_string().c_str());
    state.screen_width = 640;
    state.screen_height = 480;
    state.fullscreen = 0;
    state.multisample_samples = 0;
    state.frame_rate = 60;
    state.debug_mode = 0;
    state.capture_mouse = 0;
    if (initialise != nullptr) {
        char* command_text = state.command_line_text.writable_buffer(COMMAND_TEXT_ROOM);
        initialise(command_text, show_command, title != nullptr ? title : DEFAULT_TITLE);
        state.command_line_text.recount_length();
    }
    state.stop_code = 0;
    state.stop_line = 0;
    state.current_line = 0;
    if (application != nullptr) application();
    end_program();
}

int program_entry(int argc, const char* const* argv, Initialiser initialise, ApplicationMain application,
                  const char* title) {
    std::string tail = find_command_line_tail(build_command_line(argc, argv));
    return runtime_main(tail, SHOW_DEFAULT, initialise, application, title);
}

DynString get_command_line() { return process_state().command_line_text; }

DynString start_folder() { return process_state().start_folder; }

int exit_status_for_stop() {
    const ProcessState& state = process_state();
    if (!state.stop_is_error) return 0;
    int code = truncate_to_int(state.stop_code);
    if (code == 0) return 0;
    return (code >= 1 && code <= 255) ? code : 1;
}

void end_program() {
    // A teardown step that itself ends the program finds its own slot already cleared,
    // so the nested end runs only the steps after it.
    ProcessState& state = process_state();
    shut_down_runtime();
    int status = exit_status_for_stop();
    // An error stop must not look like success to whoever started us, and says why.
    if (status != 0) {
        std::string line = "stopped: code " + std::to_string(truncate_to_int(state.stop_code));
        if (!state.stop_message.empty()) {
            line += ": " + state.stop_message;
            append_error_log(line.c_str());
        }
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    if (state.debug_mode != 0) write_stop_record();
    exit_now(status);
}

void end_statement() {
    set_stop_code(0);
    process_state().stop_is_error = false;
    end_program();
}

void end_program_and_run(const DynString& command) {
    shut_down_runtime();
    std::vector<std::string> words = split_command_line(command.text_of());
    if (!words.empty()) {
        // The OS sees "/" where the application wrote "\".
        for (char& c : words[0])
            if (c == '\\') c = '/';
        std::vector<char*> argv;
        for (auto& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // No handle inheritance: the new program gets only standard input, output and error.
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
        std::fflush(nullptr);
        pid_t child = 0;
        posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
    }
    exit_now(0);
}

double set_stop_code(double code) {
    ProcessState& state = process_state();
    state.stop_line = state.current_line;
    state.stop_code = code;
    return code;
}

void mark_source_line(double context, double line) {
    ProcessState& state = process_state();
    state.current_context = context;
    state.current_line = line;
}

void error_stop(int code) { error_stop(code, std::string()); }

void error_stop(int code, const std::string& message) {
    set_stop_code(code);
    ProcessState& state = process_state();
    state.stop_is_error = true;
    state.stop_message = message;
    end_program();
}

}  // namespace runtime
