// Runtime-wide window state: the activation pause, the two switches, the hooks through
// which upper modules join the frame loop, and the screen-mode command.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "runtime/core/dyn_string.h"
#include "runtime/core/listener_list.h"
#include "runtime/platform/events.h"
#include "runtime/screen/window_commands.h"

namespace runtime {

// A default-constructed record is the state at load.
struct ScreenState {
    uint32_t main_window = 0;
    DynString window_title;
    bool auto_pause = true;
    bool paused = false;
    bool escape_ends_program = true;
    // Limiter and timer queries, ms.
    double last_frame_time = 0;
    double previous_frame_time = 0;
    double timer_base = 0;
    // Keys the frame loop tests (Escape, Alt, F4), fed from events by set-1 scan code
    // until the input module supplies its key states through ScreenHooks::key_down.
    std::array<bool, 256> keys_down{};
    int event_listener = 0;
};
ScreenState& screen_state();

// How upper modules join in; every hook is optional (empty: the step does nothing).
struct ScreenHooks {
    // 2D engine: draw the quads it has collected, before the frame or the buffer changes.
    std::function<void()> flush_2d;
    // 2D engine: viewport and fixed 2D state; 0 or less for width/height = whole screen.
    std::function<void(int x, int y, int width, int height)> reset_2d_state;
    // 2D engine: drawing back to the screen when an off-screen target is in use.
    std::function<void()> end_render_target;
    // 3D scene: finish a shadow pass before presenting.
    std::function<void()> end_shadow_pass;
    // After presenting: alpha mode 0, screen background, 2D state, mipmapping, shader.
    // The 2D engine and the 3D scene each add a listener while they live.
    ListenerList<> prepare_next_frame;
    // clear_screen: free the screen background (tiled image 0).
    std::function<void()> free_screen_background;
    // destroy_gl_window: release sprite textures and pixel buffers.
    std::function<void()> release_gl_resources;
    // Input module: whether a key (set-1 scan code, extended + 128) is down.
    std::function<bool(int scan_code)> key_down;
    // Input module, sound: a new window handle after a display-mode change; each adds a
    // listener when it starts and removes it when it stops.
    ListenerList<uint32_t> window_changed;
};
ScreenHooks& screen_hooks();

// Runs once per show_screen, before the Escape and Alt+F4 tests (input polling).
int add_frame_hook(std::function<void()> hook);
void remove_frame_hook(int id);
void run_frame_hooks();

// Starts taking window events (focus, close, keys) from the pump; idempotent.
void attach_window_events();
// The window procedure: what one window event does to the runtime state.
void window_procedure(const platform::Event& event);
// Whether a key is down as the frame loop sees it (hook, else the event-fed table).
bool frame_key_down(int scan_code);

// Back to the load state (tests): hooks and frame hooks cleared, then the window
// destroyed and the state reset.
void reset_screen();

}  // namespace runtime
