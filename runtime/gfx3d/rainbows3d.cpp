// The scene's life: the global pointer, how it joins the frame loop and the 2D engine,
// its teardown, and the error callback.
#include "runtime/gfx3d/rainbows3d.h"

#include "runtime/core/error_log.h"
#include "runtime/gfx2d/drawing_2d.h"
#include "runtime/gfx2d/opengl_rainbows.h"
#include "runtime/gfx3d/shaders_internal.h"
#include "runtime/gfx3d/shadow_pass.h"
#include "runtime/platform/window.h"
#include "runtime/screen/screen_state.h"

namespace runtime {

namespace {

// The one scene, and its listener of the frame loop while it has joined.
struct SceneSlot {
    Rainbows3D* scene = nullptr;
    bool joined = false;
    int prepare_listener = 0;
};
SceneSlot& scene_slot() {
    static SceneSlot slot;
    return slot;
}

void join_frame_loop_3d() {
    SceneSlot& slot = scene_slot();
    ScreenHooks& hooks = screen_hooks();
    hooks.end_shadow_pass = [] { end_shadow_pass(); };
    if (!slot.joined) {
        slot.prepare_listener = hooks.prepare_next_frame.add([] {
            Rainbows3D* scene = rainbows_3d();
            if (!scene) return;
            if (scene->objects_next_frame) scene->objects_next_frame();
            select_no_shader(*scene);
        });
    }
    gfx2d_hooks().leave_3d_mode = [] { end_shadow_pass(); };
    gfx2d_hooks().release_3d_scene = [] { destroy_scene_3d(); };
    slot.joined = true;
}

void leave_frame_loop_3d() {
    SceneSlot& slot = scene_slot();
    if (!slot.joined) return;
    ScreenHooks& hooks = screen_hooks();
    hooks.end_shadow_pass = nullptr;
    hooks.prepare_next_frame.remove(slot.prepare_listener);
    gfx2d_hooks().leave_3d_mode = nullptr;
    gfx2d_hooks().release_3d_scene = nullptr;
    slot.prepare_listener = 0;
    slot.joined = false;
}

}  // namespace

Rainbows3D* rainbows_3d() { return scene_slot().scene; }

Rainbows3D* scene_for_gl() {
    flush_sprite_batch();
    return rainbows_3d();
}

Gfx3dHooks& gfx3d_hooks() {
    static Gfx3dHooks hooks;
    return hooks;
}

void report_3d_error(const char* text) {
    if (!text) return;
    if (gfx3d_hooks().error_callback) {
        gfx3d_hooks().error_callback(text);
    } else {
        append_error_log(text);
    }
}

Rainbows3D::Rainbows3D(OpenGLRainbows* engine) : renderer(engine) { scene_slot().scene = this; }

Rainbows3D::~Rainbows3D() {
    // Objects first: their textures and buffers belong to the context that still exists.
    objects.reset();
    release_shader_programs(*this);
    if (scene_slot().scene == this) scene_slot().scene = nullptr;
}

Rainbows3D* create_scene_3d() {
    if (rainbows_3d()) return rainbows_3d();
    OpenGLRainbows* engine = rainbows();
    if (!engine) return nullptr;
    auto* scene = new Rainbows3D(engine);
    join_frame_loop_3d();
    return scene;
}

void destroy_scene_3d() {
    Rainbows3D* scene = rainbows_3d();
    if (!scene) return;
    // A pass left running would leave stencil and colour writes in their pass state.
    if (platform::has_gl_context()) end_shadow_pass();
    delete scene;
    leave_frame_loop_3d();
}

}  // namespace runtime
