// The application window and its OpenGL context: creation with the pixel format and
// multisample retries, windowed and fullscreen display modes, hiding and destroying.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace runtime {

// Window fields of the runtime (read by the 2D engine for the screen size); a
// default-constructed record is the state before any window exists.
struct WindowState {
    uint32_t window = 0;            // the window's id; 0 while none exists
    int screen_width = 0;           // client size in pixels
    int screen_height = 0;
    int colour_depth = 0;           // 0: the desktop's depth
    bool is_fullscreen = false;
    int multisample_samples = 0;    // samples of the format in use; 0 when none
    bool gl_ready = false;          // the first window and context exist
    double next_frame_time = 0;     // limiter deadline, ms
    double frame_time = 1000.0 / 60.0;
    bool has_performance_counter = true;  // the monotonic clock always exists here
    double counter_frequency = 1.0e9;     // its ticks per second (nanoseconds)
    // Sample counts asked for by the last multisample request, in order.
    std::vector<int> multisample_tries;
    // Once per process: the software-renderer warning and the renderer string.
    bool software_warning_shown = false;
    std::string renderer;
};
WindowState& window_state();

// Frame time for a frame rate: 1000 / rate, 2 ms for 0 or less.
double frame_time_for_rate(int frame_rate);
// True for renderer strings of OpenGL drawn in software.
bool is_software_renderer(const char* renderer);
// The warning text shown once when OpenGL runs in software (UTF-8).
extern const char SOFTWARE_GL_CAPTION[];
extern const char SOFTWARE_GL_TEXT[];

// Tries the multisample sample counts for a request (8: 8, 4, 2, 1), creating the window
// and a context for each until one works; the count in use, 0 when none (no window then).
int choose_multisample_format(int x, int y, int width, int height, int colour_bits,
                              int samples);
// Creates the window and makes the context current; false when the window system or the
// window cannot be had (nothing else is done then).
bool create_gl_window(int width, int height, int colour_depth, int frame_rate,
                      int multisample_samples);
// Fullscreen display mode of the screen size; on failure a beep, the error-log line
// "No Fullscreen Mode available", windowed mode and false.
bool enter_fullscreen();
// Windowed mode at the screen size, shown; always true.
bool leave_fullscreen();
// Leaves fullscreen and hides the window; true.
bool hide_window();
// The same under the name the file requester uses.
inline bool hide_gl_window() { return hide_window(); }
// Releases GL resources through the hook, leaves fullscreen, destroys the window (the
// context is kept); true when there was a window.
bool destroy_gl_window();

}  // namespace runtime
