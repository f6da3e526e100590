// How the 2D engine joins the frame loop below it: the window layer and the frame loop
// call these hooks, and the engine follows the window's size and context state.
#include <GL/gl.h>

#include "runtime/gfx2d/drawing_2d.h"
#include "runtime/gfx2d/gfx2d_internal.h"
#include "runtime/gfx2d/opengl_rainbows.h"
#include "runtime/gfx2d/render_targets.h"
#include "runtime/platform/window.h"
#include "runtime/screen/gl_window.h"
#include "runtime/screen/screen_state.h"

namespace runtime {

namespace {

// The hooks as they were before the engine joined; later parts (the 3D scene) chain on.
struct FrameLoopLink {
    bool joined = false;
    int prepare_listener = 0;  // its listener of the frame loop
};
FrameLoopLink& frame_loop_link() {
    static FrameLoopLink link;
    return link;
}

}  // namespace

void sync_engine_with_window() {
    OpenGLRainbows* e = rainbows();
    if (!e) return;
    const WindowState& w = window_state();
    if (w.screen_width > 0 && w.screen_height > 0) {
        e->screen_width = w.screen_width;
        e->screen_height = w.screen_height;
    }
    e->colour_depth = w.colour_depth;
    e->gl_ready = platform::has_gl_context();
}

void join_frame_loop() {
    FrameLoopLink& link = frame_loop_link();
    ScreenHooks& hooks = screen_hooks();
    hooks.reset_2d_state = [](int x, int y, int width, int height) {
        sync_engine_with_window();
        reset_2d_state(x, y, width, height);
    };
    hooks.flush_2d = [] { flush_sprite_batch(); };
    hooks.end_render_target = [] { end_render_target(); };
    if (!link.joined) {
        link.prepare_listener = hooks.prepare_next_frame.add([] {
            draw_background();
            reset_2d_state(0, 0, 0, 0);
        });
    }
    hooks.free_screen_background = [] { free_tiled_image(0); };
    hooks.release_gl_resources = [] { free_all_sprites(); };
    link.joined = true;
    sync_engine_with_window();
}

void leave_frame_loop() {
    FrameLoopLink& link = frame_loop_link();
    if (!link.joined) return;
    ScreenHooks& hooks = screen_hooks();
    hooks.reset_2d_state = nullptr;
    hooks.flush_2d = nullptr;
    hooks.end_render_target = nullptr;
    hooks.prepare_next_frame.remove(link.prepare_listener);
    hooks.free_screen_background = nullptr;
    hooks.release_gl_resources = nullptr;
    link = FrameLoopLink{};
}

}  // namespace runtime
