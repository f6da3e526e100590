// The 3D scene object: camera, frustum, lights, the shadow light and pass, the object
// transform stack and the shader slots. One scene exists, bound to the 2D engine whose
// viewport and texture binding it shares; the 3D objects hang off it in their own table.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace runtime {

class OpenGLRainbows;
// The 3D objects' table; defined and filled by the object commands, owned by the scene.
struct ObjectTable;

constexpr int32_t TRANSFORM_LEVEL_COUNT = 16;
constexpr int32_t MAX_TRANSFORM_ROTATIONS = 16;
constexpr int32_t MAX_TRANSFORM_MATRICES = 16;
constexpr int32_t SHADER_SLOT_COUNT = 255;
constexpr int32_t LIGHT_COUNT = 8;

// One rotation of a transform level: angle in degrees about the axis (x, y, z).
struct TransformRotation {
    float angle = 0;
    float x = 0;
    float y = 0;
    float z = 0;
};

// One level of the object transform stack. `matrix` is column-major like OpenGL; while
// `clean` is false it still holds the base the recompute multiplies onto.
struct TransformLevel {
    int32_t matrix_count = 0;
    int32_t rotation_count = 0;
    TransformRotation rotations[MAX_TRANSFORM_ROTATIONS];
    float scale[3] = {1, 1, 1};
    float position[3] = {0, 0, 0};
    float matrices[MAX_TRANSFORM_MATRICES][16] = {};
    float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    bool clean = true;
};

// The GLSL objects of one shader slot (0: none).
struct ShaderSlot {
    uint32_t program = 0;
    uint32_t vertex_shader = 0;
    uint32_t fragment_shader = 0;
};

class Rainbows3D {
public:
    // Sets the global scene pointer; the destructor clears it.
    explicit Rainbows3D(OpenGLRainbows* renderer);
    virtual ~Rainbows3D();
    Rainbows3D(const Rainbows3D&) = delete;
    Rainbows3D& operator=(const Rainbows3D&) = delete;

    // The object commands put their table here with its own deleter; the scene's destructor
    // releases it first, while the OpenGL context still exists.
    std::unique_ptr<ObjectTable, void (*)(ObjectTable*)> objects{nullptr, nullptr};
    float frustum_planes[6][4] = {};
    bool shadow_pass_active = false;
    int32_t cull_mode = 0;
    TransformLevel transform_levels[TRANSFORM_LEVEL_COUNT];
    int32_t transform_level = 0;
    ShaderSlot shader_programs[SHADER_SLOT_COUNT];
    bool shadow_light_on = false;
    uint8_t shadow_light_mode = 1;
    float shadow_light_position[3] = {0, 0, 0};
    float shadow_light_colour[3] = {0, 0, 0};
    float camera_up[3] = {0, 1, 0};
    float camera_position[3] = {0, 0, 0};
    float camera_target[3] = {0, 0, 0};
    float culling_tangent = 0;
    float near_plane = 0;
    float far_plane = 0;
    uint8_t enabled_lights = 0;
    OpenGLRainbows* renderer = nullptr;
    int32_t smoothing_mode = 0;
    float camera_matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    // Shader slot in use for drawing (-1: fixed function).
    int32_t current_shader = -1;
    // set_light marks light positions and spot directions (show_light_markers).
    bool show_light_markers = false;
    // The shader entry points were found missing and that was reported.
    bool shader_support_reported = false;

    // Set by the object commands: start_3d forgets the remembered object textures; after
    // each presented frame texture mipmapping for objects goes off.
    std::function<void()> objects_start_3d;
    std::function<void()> objects_next_frame;
};

// The scene (null when none exists).
Rainbows3D* rainbows_3d();
// The scene for a command that uses or changes OpenGL state: pending 2D drawing is sent
// first, so it lands under the state it was drawn with.
Rainbows3D* scene_for_gl();

// Seams of the 3D module; the defaults are the real thing.
struct Gfx3dHooks {
    // Where shader compile and link logs and the missing-support message go, and the
    // objects' load errors. Default: one line each in the error log.
    std::function<void(const char* text)> error_callback;
};
Gfx3dHooks& gfx3d_hooks();
// Sends a text to the error callback.
void report_3d_error(const char* text);

// Creates the scene bound to the 2D engine (null without an engine), joins the frame
// loop (shadow pass end before presenting, no shader after it, 2D viewport resets leave
// 3D mode) and makes the 2D engine's destruction release it first.
Rainbows3D* create_scene_3d();
// Destroys the scene (objects, shader programs, hooks); no-op without one.
void destroy_scene_3d();

}  // namespace runtime
