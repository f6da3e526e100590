// The initialisation sequence. It sits above every module, so each module's object is
// created here in its place of the order; modules that do not exist are left out.
#include "runtime/screen/startup.h"

#include <unistd.h>

#include <cstdio>

#include "runtime/core/error_log.h"
#include "runtime/core/lifecycle.h"
#include "runtime/core/string_functions.h"
#include "runtime/platform/window.h"
#include "runtime/screen/frame.h"
#include "runtime/screen/gl_window.h"
#include "runtime/screen/screen_state.h"

namespace runtime {

std::string program_folder_of(const std::string& program_path) {
    const size_t cut = program_path.find_last_of("/\\");
    return cut == std::string::npos ? program_path : program_path.substr(0, cut);
}

bool make_program_folder_current() {
    char path[PROGRAM_PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path);
    // A path that fills the buffer may have been cut: do not guess a folder from it.
    if (n <= 0 || static_cast<size_t>(n) >= sizeof path) return false;
    const std::string folder = program_folder_of(std::string(path, static_cast<size_t>(n)));
    return !folder.empty() && chdir(folder.c_str()) == 0;
}

void initialise_runtime(const char* /*command_text*/, int show_command, const char* title) {
    ScreenState& s = screen_state();
    const ProcessState& settings = process_state();
    s.auto_pause = true;

    if (!create_gl_window(settings.screen_width, settings.screen_height, 0, settings.frame_rate,
                          settings.multisample_samples))
        return;
    s.main_window = window_state().window;
    platform::set_window_title(title ? title : "");
    s.window_title = title ? title : "";

    delete_error_log();

    seed_random(static_cast<uint32_t>(static_cast<long long>(now_ms())));

    if (settings.fullscreen != 0)
        enter_fullscreen();
    else
        leave_fullscreen();

    make_program_folder_current();

    clear_screen();
    reset_timer_bases();
    present_frame();
    if (screen_hooks().reset_2d_state) screen_hooks().reset_2d_state(0, 0, 0, 0);

    show_screen();

    s.paused = false;
    reset_timer_bases();
    if (show_command == 0) {
        hide_gl_window();
        platform::hide_window();
    }

    std::fputs("Init OK\n", stdout);
    std::fflush(stdout);
}

}  // namespace runtime
