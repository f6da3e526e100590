// The one application window with its OpenGL context, as the runtime sees it: creation,
// title, visibility, placement, display modes, buffer swap, and the few desktop services
// that go with a window (message box, beep, screen saver).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace runtime::platform {

// What the pixel format of a new window asks for.
struct GlFormat {
    int colour_bits = 24;    // 0: the desktop's depth
    int alpha_bits = 8;
    int depth_bits = 24;
    int stencil_bits = 8;
    int samples = 0;         // 0: no multisample buffer
};

// Starts the window system (once; later calls return the first result).
bool init_video();
// Stops the window system; every window and context must be gone.
void quit_video();
// Why the last window-system call failed (empty when unknown).
std::string last_error();
// Name of the window-system driver in use ("x11", "wayland", "offscreen", ...).
std::string video_driver();
// True when the windows are seen by a person: a real display driver, not offscreen/dummy.
bool real_display_attached();
// Size and bits per pixel of the desktop's display mode; false when unknown.
bool desktop_mode(int& width, int& height, int& bits_per_pixel);

// Creates the window (hidden, with a caption) at a position and client size for the
// given pixel format; replaces nothing: false when a window exists or creation fails.
bool create_window(const char* title, int x, int y, int width, int height, const GlFormat& format);
bool has_window();
// Destroys the window (the context survives, detached); no-op without a window.
void destroy_window();
// A number that names the current window (0: none); changes with every new window.
uint32_t window_id();

// Creates an OpenGL compatibility context for the window and makes it current.
bool create_gl_context();
// Makes the existing context current on the window; false without either.
bool make_gl_context_current();
// Detaches the context from the window (the context is kept).
void detach_gl_context();
void delete_gl_context();
bool has_gl_context();
// Samples per pixel of the window's framebuffer as the driver reports it (0: none).
int framebuffer_samples();

// The multisample sample counts tried for a request, in order: halving until 1
// (8 -> 8 4 2 1, 6 -> 6 3 1); empty for 0 or less.
std::vector<int> multisample_tries(int samples);

void set_window_title(const char* utf8_title);
std::string window_title();
void show_window();
void hide_window();
bool window_shown();
// Brings the window to the top and gives it the input focus.
void raise_window();
void set_window_position(int x, int y);
void window_position(int& x, int& y);
void set_window_client_size(int width, int height);
void window_client_size(int& width, int& height);
// Caption and border on (ordinary window) or off (popup, as in fullscreen).
void set_window_bordered(bool bordered);
void set_window_always_on_top(bool on_top);

// Switches the window to a fullscreen display mode of at least width x height (and the
// colour depth when nonzero). False when the display has no such mode or refuses.
bool enter_fullscreen_mode(int width, int height, int bits_per_pixel);
// Back to the desktop's display mode and an ordinary window.
void leave_fullscreen_mode();
bool in_fullscreen_mode();

// Presents the back buffer.
void swap_buffers();

// A modal message box with an exclamation icon; shown only when a real display is
// attached (never headless, in CI or under the tests). False when it was not shown.
bool show_warning_box(const char* caption, const char* utf8_text);
// An audible warning where there is a terminal to hear it.
void beep();
// Keeps the screen saver and the display's power-down off while the program runs.
void disable_screen_saver();

}  // namespace runtime::platform
