// The window and its OpenGL context on the platform layer. SDL switches display modes
// on the same window, so fullscreen keeps the window and its context.
#include "runtime/screen/gl_window.h"

#include <GL/gl.h>

#include <cstring>

#include "runtime/core/error_log.h"
#include "runtime/core/lifecycle.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/gl_extensions.h"
#include "runtime/platform/window.h"
#include "runtime/screen/frame.h"
#include "runtime/screen/screen_state.h"

namespace runtime {

const char SOFTWARE_GL_CAPTION[] = "!!OpenGL Software Emulation!!";
const char SOFTWARE_GL_TEXT[] =
    "Please update your GFX adapter's driver\nso it can render OpenGL by HARDWARE\n\n\n"
    "Bitte aktualisieren Sie Ihren\nGrafkkartentreiber, damit er OpenGL\n"
    "per HARDWARE unterst\xC3\xBCtzt!";

namespace {

constexpr char WINDOW_CLASS_NAME[] = "Tessary";
constexpr double DISPLAY_SETTLE_MS = 500.0;

void reset_2d_state_whole_screen() {
    const ScreenHooks& hooks = screen_hooks();
    if (hooks.reset_2d_state) {
        hooks.reset_2d_state(0, 0, 0, 0);
    } else if (platform::has_gl_context()) {
        const WindowState& w = window_state();
        glViewport(0, 0, w.screen_width, w.screen_height);
    }
}

// One window with one pixel format; a context that cannot be made current on it is
// replaced. Multisample formats always get a new context.
bool try_create(int x, int y, int width, int height, const platform::GlFormat& format) {
    if (platform::has_window()) platform::destroy_window();
    if (!platform::create_window(WINDOW_CLASS_NAME, x, y, width, height, format)) return false;
    const bool reused =
        format.samples == 0 && platform::has_gl_context() && platform::make_gl_context_current();
    if (reused || platform::create_gl_context()) return true;
    platform::destroy_window();
    return false;
}

void warn_if_software_gl() {
    WindowState& w = window_state();
    if (w.software_warning_shown) return;
    if (w.renderer.empty()) {
        const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        if (!renderer) return;
        w.renderer = renderer;
    }
    if (!is_software_renderer(w.renderer.c_str())) return;
    w.software_warning_shown = true;
    platform::show_warning_box(SOFTWARE_GL_CAPTION, SOFTWARE_GL_TEXT);
    append_error_log("OpenGL Software Emulation");
}

}  // namespace

WindowState& window_state() {
    static WindowState record;
    return record;
}

double frame_time_for_rate(int frame_rate) {
    return frame_rate > 0 ? 1000.0 / frame_rate : 2.0;
}

bool is_software_renderer(const char* renderer) {
    if (!renderer) return false;
    for (const char* prefix : {"llvmpipe", "softpipe", "swrast"})
        if (std::strncmp(renderer, prefix, std::strlen(prefix)) == 0) return true;
    return std::strcmp(renderer, "Mesa Windows GDI Driver") == 0;
}

int choose_multisample_format(int x, int y, int width, int height, int colour_bits,
                              int samples) {
    WindowState& w = window_state();
    w.multisample_tries.clear();
    platform::GlFormat format;
    format.colour_bits = colour_bits;
    for (int count : platform::multisample_tries(samples)) {
        w.multisample_tries.push_back(count);
        format.samples = count;
        if (try_create(x, y, width, height, format)) return count;
    }
    return 0;
}

bool create_gl_window(int width, int height, int colour_depth, int frame_rate,
                      int multisample_samples) {
    WindowState& w = window_state();
    w.frame_time = frame_time_for_rate(frame_rate);
    if (!platform::init_video()) return false;
    w.multisample_samples = multisample_samples;

    int desktop_w = width;
    int desktop_h = height;
    int desktop_bits = 24;
    platform::desktop_mode(desktop_w, desktop_h, desktop_bits);
    const int x = (desktop_w - width) / 2;
    const int y = (desktop_h - height) / 2;

    platform::GlFormat format;
    format.colour_bits = colour_depth != 0 ? colour_depth : desktop_bits;

    w.multisample_samples = choose_multisample_format(x, y, width, height, format.colour_bits,
                                                      multisample_samples);
    // Without a context nothing can be drawn: count it as a failed creation.
    if (w.multisample_samples == 0 && !try_create(x, y, width, height, format)) return false;

    int client_w = 0;
    int client_h = 0;
    platform::window_client_size(client_w, client_h);
    w.window = platform::window_id();
    w.is_fullscreen = false;
    w.colour_depth = format.colour_bits;
    w.screen_width = width != 0 ? width : client_w;
    w.screen_height = height != 0 ? height : client_h;

    warn_if_software_gl();
    w.next_frame_time = now_ms();
    platform::load_gl_extensions();
    attach_window_events();
    register_shutdown_step(ShutdownStep::MAIN_WINDOW, [] {
        destroy_gl_window();
        platform::delete_gl_context();
        platform::quit_video();
    });

    platform::show_window();
    reset_2d_state_whole_screen();
    w.gl_ready = true;
    return true;
}

bool enter_fullscreen() {
    WindowState& w = window_state();
    int desktop_w = 0;
    int desktop_h = 0;
    int desktop_bits = 0;
    platform::desktop_mode(desktop_w, desktop_h, desktop_bits);
    const int bits = w.colour_depth != 0 && w.colour_depth != desktop_bits ? w.colour_depth : 0;
    bool ok = platform::has_window() &&
              platform::enter_fullscreen_mode(w.screen_width, w.screen_height, bits);
    if (!ok && bits != 0 && platform::has_window())
        ok = platform::enter_fullscreen_mode(w.screen_width, w.screen_height, 0);
    if (!ok) {
        platform::beep();
        append_error_log("No Fullscreen Mode available");
        leave_fullscreen();
        return false;
    }
    platform::set_window_bordered(false);
    platform::set_window_position(0, 0);
    platform::show_window();
    platform::raise_window();
    platform::set_window_always_on_top(true);
    reset_2d_state_whole_screen();
    // Like a new window: the limiter starts from now.
    w.next_frame_time = now_ms();
    w.is_fullscreen = true;
    return true;
}

bool leave_fullscreen() {
    WindowState& w = window_state();
    if (w.is_fullscreen || platform::in_fullscreen_mode()) {
        platform::leave_fullscreen_mode();
        platform::sleep_for_ms(DISPLAY_SETTLE_MS);
    }
    platform::set_window_always_on_top(false);
    platform::set_window_bordered(true);
    int x = 0;
    int y = 0;
    if (platform::has_window()) {
        platform::window_position(x, y);
    } else {
        int desktop_w = 0;
        int desktop_h = 0;
        int bits = 0;
        platform::desktop_mode(desktop_w, desktop_h, bits);
        x = (desktop_w - w.screen_width) / 2;
        y = (desktop_h - w.screen_height) / 2;
    }
    platform::set_window_client_size(w.screen_width, w.screen_height);
    platform::set_window_position(x, y);
    platform::show_window();
    platform::raise_window();
    reset_2d_state_whole_screen();
    w.is_fullscreen = false;
    return true;
}

bool hide_window() {
    WindowState& w = window_state();
    if (w.is_fullscreen) platform::leave_fullscreen_mode();
    platform::hide_window();
    w.is_fullscreen = false;
    return true;
}

bool destroy_gl_window() {
    WindowState& w = window_state();
    if (!platform::has_window()) return false;
    if (screen_hooks().release_gl_resources) screen_hooks().release_gl_resources();
    leave_fullscreen();
    platform::detach_gl_context();
    platform::destroy_window();
    w.window = 0;
    w.screen_width = 0;
    w.screen_height = 0;
    return true;
}

}  // namespace runtime
