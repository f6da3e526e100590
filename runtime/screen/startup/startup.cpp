// The initialisation sequence. It sits above every module, so each module's object is
// created here in its place of the order.
#include "runtime/screen/startup/startup.h"

#include <unistd.h>

#include <cstdio>

#include "runtime/core/error_log.h"
#include "runtime/core/lifecycle.h"
#include "runtime/core/string_functions.h"
#include "runtime/files/data_folder.h"
#include "runtime/files/packed_archive.h"
#include "runtime/gfx2d/drawing_2d.h"
#include "runtime/gfx2d/opengl_rainbows.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/input/input_state.h"
#include "runtime/input/mouse.h"
#include "runtime/net/session_state.h"
#include "runtime/platform/window.h"
#include "runtime/screen/frame.h"
#include "runtime/screen/gl_window.h"
#include "runtime/screen/screen_state.h"
#include "runtime/screen/text/font.h"
#include "runtime/sound/sound_slots.h"

namespace runtime {

namespace {

constexpr char LOADING_TEXT[] = "Loading...";
constexpr double LOADING_TEXT_LENGTH = 10;

}  // namespace

std::string program_folder_of(const std::string& program_path) {
    const size_t cut = program_path.find_last_of("/\\");
    return cut == std::string::npos ? program_path : program_path.substr(0, cut);
}

std::string program_folder() {
    char path[PROGRAM_PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path);
    // A path that fills the buffer may have been cut: do not guess a folder from it.
    if (n <= 0 || static_cast<size_t>(n) >= sizeof path) return "";
    return program_folder_of(std::string(path, static_cast<size_t>(n)));
}

bool make_program_folder_current() {
    const std::string folder = program_folder();
    return !folder.empty() && chdir(folder.c_str()) == 0;
}

void initialise_runtime(const char* /*command_text*/, int show_command, const char* title) {
    ScreenState& s = screen_state();
    const ProcessState& settings = process_state();
    s.auto_pause = true;

    create_engine_2d();
    if (!create_gl_window(settings.screen_width, settings.screen_height, 0, settings.frame_rate,
                          settings.multisample_samples))
        return;
    s.main_window = window_state().window;
    platform::set_window_title(title ? title : "");
    s.window_title = title ? title : "";

    delete_error_log();

    InputState& input = create_input_state();
    SoundSystem& sound = create_sound_system();
    create_net_session();
    // Bound to the 2D engine, which releases it first when it is destroyed.
    create_scene_3d();

    seed_random(static_cast<uint32_t>(static_cast<long long>(now_ms())));

    if (settings.fullscreen != 0)
        enter_fullscreen();
    else
        leave_fullscreen();

    start_input(input, window_state().window, settings.capture_mouse != 0 ? 1 : 0);
    // Without an audio device the run goes on silently.
    start_sound(sound.device, window_state().window);
    font_state().current_font = 0;

    // When it cannot be made current the folder stays as it was.
    make_program_folder_current();
    const std::string folder = program_folder();
    close_packed_archives();
    set_archive_paths(folder.c_str(), folder.c_str());
    data_folder_state().folder = installed_data_folder(folder);

    clear_screen();
    reset_timer_bases();
    present_frame();
    reset_2d_state(0, 0, 0, 0);

    double screen_w = 0;
    double screen_h = 0;
    get_screen_size(screen_w, screen_h);
    load_font(DynString(""), 0);
    load_font(DynString(DEFAULT_FONT_FILE), 0);
    double char_w = 0;
    double char_h = 0;
    get_font_size(char_w, char_h);
    print_text(DynString(LOADING_TEXT), (screen_w - LOADING_TEXT_LENGTH * char_w) * 0.5,
               (screen_h - char_h) * 0.5);
    show_screen();

    s.paused = false;
    reset_timer_bases();
    if (show_command == 0) hide_window();
    set_system_pointer(settings.capture_mouse == 0 ? 1 : 0);

    std::fputs("Init OK\n", stdout);
    std::fflush(stdout);
}

}  // namespace runtime
