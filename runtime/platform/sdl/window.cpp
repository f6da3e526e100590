// The window contract on SDL2: one window with an OpenGL compatibility context.
#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "runtime/platform/sdl/sdl_window.h"
#include "runtime/platform/window.h"

namespace runtime::platform {

namespace {
constexpr int MAX_DISPLAY_MODE_SIZE = 16384;
}  // namespace

SdlWindowState& sdl_window_state() {
    static SdlWindowState state;
    return state;
}

bool init_video() {
    SdlWindowState& s = sdl_window_state();
    if (!s.video_tried) {
        s.video_tried = true;
        s.video_ok = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
        // Holding the GL library keeps it (and the context) alive between windows;
        // SDL unloads it with the last OpenGL window otherwise.
        s.gl_library = s.video_ok && SDL_GL_LoadLibrary(nullptr) == 0;
    }
    return s.video_ok;
}

void quit_video() {
    SdlWindowState& s = sdl_window_state();
    if (s.context) delete_gl_context();
    if (s.window) destroy_window();
    if (s.gl_library) SDL_GL_UnloadLibrary();
    if (s.video_ok) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    s = SdlWindowState{};
}

std::string last_error() { return SDL_GetError(); }

std::string video_driver() {
    const char* name = SDL_GetCurrentVideoDriver();
    return name ? name : "";
}

bool real_display_attached() {
    const std::string driver = video_driver();
    return !driver.empty() && driver != "offscreen" && driver != "dummy" &&
           driver != "evdev";
}

bool desktop_mode(int& width, int& height, int& bits_per_pixel) {
    SDL_DisplayMode mode{};
    if (!init_video() || SDL_GetDesktopDisplayMode(0, &mode) != 0) return false;
    width = mode.w;
    height = mode.h;
    bits_per_pixel = static_cast<int>(SDL_BITSPERPIXEL(mode.format));
    return true;
}

bool create_window(const char* title, int x, int y, int width, int height,
                   const GlFormat& format) {
    SdlWindowState& s = sdl_window_state();
    if (s.window || !init_video()) return false;
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    // Colour bits split over the three channels; 16-bit desktops get 5-6-5.
    const int channel = format.colour_bits > 0 && format.colour_bits <= 16 ? 5 : 8;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, format.alpha_bits);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, format.depth_bits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, format.stencil_bits);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, format.samples > 0 ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, format.samples > 0 ? format.samples : 0);
    s.window = SDL_CreateWindow(title ? title : "", x, y, width > 0 ? width : 1,
                                height > 0 ? height : 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!s.window) return false;
    s.window_id = SDL_GetWindowID(s.window);
    s.fullscreen = false;
    s.title = title ? title : "";
    return true;
}

bool has_window() { return sdl_window_state().window != nullptr; }

void destroy_window() {
    SdlWindowState& s = sdl_window_state();
    if (!s.window) return;
    if (s.context) SDL_GL_MakeCurrent(s.window, nullptr);
    SDL_DestroyWindow(s.window);
    s.window = nullptr;
    s.window_id = 0;
    s.fullscreen = false;
}

uint32_t window_id() { return sdl_window_state().window_id; }

bool create_gl_context() {
    SdlWindowState& s = sdl_window_state();
    if (!s.window) return false;
    SDL_GLContext context = SDL_GL_CreateContext(s.window);
    if (!context) return false;
    if (s.context) SDL_GL_DeleteContext(s.context);
    s.context = context;
    return SDL_GL_MakeCurrent(s.window, s.context) == 0;
}

bool make_gl_context_current() {
    SdlWindowState& s = sdl_window_state();
    if (!s.window || !s.context) return false;
    return SDL_GL_MakeCurrent(s.window, s.context) == 0;
}

void detach_gl_context() {
    SdlWindowState& s = sdl_window_state();
    if (s.window && s.context) SDL_GL_MakeCurrent(s.window, nullptr);
}

void delete_gl_context() {
    SdlWindowState& s = sdl_window_state();
    if (!s.context) return;
    if (s.window) SDL_GL_MakeCurrent(s.window, nullptr);
    SDL_GL_DeleteContext(s.context);
    s.context = nullptr;
}

bool has_gl_context() { return sdl_window_state().context != nullptr; }

int framebuffer_samples() {
    int buffers = 0;
    int samples = 0;
    if (!has_gl_context()) return 0;
    if (SDL_GL_GetAttribute(SDL_GL_MULTISAMPLEBUFFERS, &buffers) != 0 || buffers == 0) return 0;
    if (SDL_GL_GetAttribute(SDL_GL_MULTISAMPLESAMPLES, &samples) != 0) return 0;
    return samples;
}

std::vector<int> multisample_tries(int samples) {
    std::vector<int> tries;
    if (samples <= 0) return tries;
    for (;;) {
        tries.push_back(samples);
        if (samples / 2 == 0) break;
        samples >>= 1;
    }
    return tries;
}

void set_window_title(const char* utf8_title) {
    SdlWindowState& s = sdl_window_state();
    s.title = utf8_title ? utf8_title : "";
    if (s.window) SDL_SetWindowTitle(s.window, s.title.c_str());
}

std::string window_title() { return sdl_window_state().title; }

void show_window() {
    if (SDL_Window* w = sdl_window()) SDL_ShowWindow(w);
}

void hide_window() {
    if (SDL_Window* w = sdl_window()) SDL_HideWindow(w);
}

bool window_shown() {
    SDL_Window* w = sdl_window();
    return w && (SDL_GetWindowFlags(w) & SDL_WINDOW_SHOWN) != 0;
}

void raise_window() {
    if (SDL_Window* w = sdl_window()) SDL_RaiseWindow(w);
}

void set_window_position(int x, int y) {
    if (SDL_Window* w = sdl_window()) SDL_SetWindowPosition(w, x, y);
}

void window_position(int& x, int& y) {
    x = y = 0;
    if (SDL_Window* w = sdl_window()) SDL_GetWindowPosition(w, &x, &y);
}

void set_window_client_size(int width, int height) {
    if (SDL_Window* w = sdl_window())
        SDL_SetWindowSize(w, width > 0 ? width : 1, height > 0 ? height : 1);
}

void window_client_size(int& width, int& height) {
    width = height = 0;
    if (SDL_Window* w = sdl_window()) SDL_GetWindowSize(w, &width, &height);
}

void set_window_bordered(bool bordered) {
    if (SDL_Window* w = sdl_window()) SDL_SetWindowBordered(w, bordered ? SDL_TRUE : SDL_FALSE);
}

void set_window_always_on_top(bool on_top) {
    if (SDL_Window* w = sdl_window())
        SDL_SetWindowAlwaysOnTop(w, on_top ? SDL_TRUE : SDL_FALSE);
}

bool enter_fullscreen_mode(int width, int height, int bits_per_pixel) {
    SdlWindowState& s = sdl_window_state();
    if (!s.window) return false;
    // Drivers without a mode list (offscreen) accept any size; no screen shows these.
    if (width <= 0 || height <= 0 || width > MAX_DISPLAY_MODE_SIZE ||
        height > MAX_DISPLAY_MODE_SIZE)
        return false;
    const int display = SDL_GetWindowDisplayIndex(s.window);
    SDL_DisplayMode wanted{};
    wanted.w = width;
    wanted.h = height;
    if (bits_per_pixel > 0) {
        wanted.format = bits_per_pixel <= 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
    }
    SDL_DisplayMode mode{};
    // No mode at least this large: the display cannot show the screen.
    if (!SDL_GetClosestDisplayMode(display < 0 ? 0 : display, &wanted, &mode)) return false;
    if (bits_per_pixel > 0 &&
        static_cast<int>(SDL_BITSPERPIXEL(mode.format)) != bits_per_pixel)
        return false;
    if (SDL_SetWindowDisplayMode(s.window, &mode) != 0) return false;
    if (SDL_SetWindowFullscreen(s.window, SDL_WINDOW_FULLSCREEN) != 0) return false;
    s.fullscreen = true;
    return true;
}

void leave_fullscreen_mode() {
    SdlWindowState& s = sdl_window_state();
    if (s.window && s.fullscreen) SDL_SetWindowFullscreen(s.window, 0);
    s.fullscreen = false;
}

bool in_fullscreen_mode() { return sdl_window_state().fullscreen; }

void swap_buffers() {
    if (SDL_Window* w = sdl_window()) SDL_GL_SwapWindow(w);
}

bool show_warning_box(const char* caption, const char* utf8_text) {
    // A modal box would hang unattended runs on a virtual display: not in CI, not
    // under the test registration (which sets RUNTIME_TEST_DATA).
    if (!real_display_attached() || std::getenv("CI") || std::getenv("RUNTIME_TEST_DATA"))
        return false;
    return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, caption, utf8_text, sdl_window()) ==
           0;
}

void beep() {
    if (isatty(STDERR_FILENO)) {
        std::fputs("\a", stderr);
        std::fflush(stderr);
    }
}

void disable_screen_saver() {
    if (init_video()) SDL_DisableScreenSaver();
}

}  // namespace runtime::platform
