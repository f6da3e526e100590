// The object transform stack. A level's matrix is its base (the level below, identity
// at level 0) times its extra matrices, its translation, its rotations from the last
// added to the first and its scale: objects are scaled, turned, then moved.
#include "runtime/gfx3d/transforms.h"

#include <GL/gl.h>

#include <cmath>

#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gfx3d/scene_math.h"
#include "runtime/gfx3d/transforms_internal.h"

namespace runtime {

namespace {

using namespace gfx3d_detail;

const float IDENTITY[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

const float* base_of(const Rainbows3D& scene, int32_t level) {
    return level == 0 ? IDENTITY : scene.transform_levels[level - 1].matrix;
}

// Rotation about a normalised axis, as glRotate builds it.
void rotation_matrix(float angle_degrees, float x, float y, float z, float out[16]) {
    const float radians = angle_degrees * 0.017453292f;
    const float c = std::cos(radians), s = std::sin(radians), t = 1 - c;
    const float m[16] = {t * x * x + c,     t * x * y + s * z, t * x * z - s * y, 0,
                         t * x * y - s * z, t * y * y + c,     t * y * z + s * x, 0,
                         t * x * z + s * y, t * y * z - s * x, t * z * z + c,     0,
                         0,                 0,                 0,                 1};
    for (int i = 0; i < 16; ++i) out[i] = m[i];
}

// The level's matrix from its base. Always starting from the base (rather than from
// what the matrix holds) keeps a rotation added after drawing from applying the earlier
// steps twice.
void recompute(Rainbows3D& scene, int32_t level_number) {
    TransformLevel& level = scene.transform_levels[level_number];
    if (level.clean) return;
    float* m = level.matrix;
    const float* base = base_of(scene, level_number);
    for (int i = 0; i < 16; ++i) m[i] = base[i];
    for (int32_t i = 0; i < level.matrix_count; ++i) multiply_onto(m, level.matrices[i]);
    const float* p = level.position;
    if (p[0] != 0 || p[1] != 0 || p[2] != 0) {
        const float translation[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, p[0], p[1], p[2], 1};
        multiply_onto(m, translation);
    }
    for (int32_t i = level.rotation_count - 1; i >= 0; --i) {
        const TransformRotation& r = level.rotations[i];
        float axis[3] = {r.x, r.y, r.z};
        // Only a zero axis names no direction; a short one is as good as a long one.
        if (axis[0] == 0 && axis[1] == 0 && axis[2] == 0) continue;
        normalise(axis);
        float rotation[16];
        rotation_matrix(r.angle, axis[0], axis[1], axis[2], rotation);
        multiply_onto(m, rotation);
    }
    const float* s = level.scale;
    if (s[0] != 1 || s[1] != 1 || s[2] != 1) {
        const float scaling[16] = {s[0], 0, 0, 0, 0, s[1], 0, 0, 0, 0, s[2], 0, 0, 0, 0, 1};
        multiply_onto(m, scaling);
    }
    level.clean = true;
}

// No extra matrices or rotations, scale 1, position 0, the base as matrix.
void initialise_level(Rainbows3D& scene, int32_t level_number) {
    TransformLevel& level = scene.transform_levels[level_number];
    level.matrix_count = 0;
    level.rotation_count = 0;
    for (float& s : level.scale) s = 1;
    for (float& p : level.position) p = 0;
    const float* base = base_of(scene, level_number);
    for (int i = 0; i < 16; ++i) level.matrix[i] = base[i];
    level.clean = true;
}

// The level restarted from its base; its position and scale stay.
TransformLevel& restart_level(Rainbows3D& scene) {
    TransformLevel& level = scene.transform_levels[scene.transform_level];
    level.matrix_count = 0;
    level.rotation_count = 0;
    level.clean = false;
    return level;
}

}  // namespace

void reset_transform_stack(Rainbows3D& scene) {
    scene.transform_level = 0;
    initialise_level(scene, 0);
}

void push_transform() {
    Rainbows3D* scene = rainbows_3d();
    if (!scene) return;
    recompute(*scene, scene->transform_level);
    if (scene->transform_level < TRANSFORM_LEVEL_COUNT - 1) ++scene->transform_level;
    initialise_level(*scene, scene->transform_level);
}

void pop_transform() {
    Rainbows3D* scene = rainbows_3d();
    if (!scene) return;
    if (scene->transform_level > 0) {
        --scene->transform_level;
    } else {
        initialise_level(*scene, 0);
    }
}

void set_transform_position(double x, double y, double z) {
    Rainbows3D* scene = rainbows_3d();
    if (!scene) return;
    TransformLevel& level = restart_level(*scene);
    level.position[0] = static_cast<float>(x);
    level.position[1] = static_cast<float>(y);
    level.position[2] = static_cast<float>(z);
}

void set_transform_scale(double x, double y, double z) {
    Rainbows3D* scene = rainbows_3d();
    if (!scene) return;
    TransformLevel& level = restart_level(*scene);
    level.scale[0] = static_cast<float>(x);
    level.scale[1] = static_cast<float>(y);
    level.scale[2] = static_cast<float>(z);
}

void add_transform_rotation(double angle, double x, double y, double z) {
    Rainbows3D* scene = rainbows_3d();
    if (!scene) return;
    TransformLevel& level = scene->transform_levels[scene->transform_level];
    level.clean = false;
    if (level.rotation_count >= MAX_TRANSFORM_ROTATIONS) return;
    level.rotations[level.rotation_count++] = {static_cast<float>(angle), static_cast<float>(x),
                                               static_cast<float>(y), static_cast<float>(z)};
}

void add_transform_matrix(double m0, double m1, double m2, double m3, double m4, double m5,
                          double m6, double m7, double m8, double m9, double m10, double m11,
                          double m12, double m13, double m14, double m15) {
    Rainbows3D* scene = rainbows_3d();
    if (!scene) return;
    TransformLevel& level = scene->transform_levels[scene->transform_level];
    level.clean = false;
    if (level.matrix_count >= MAX_TRANSFORM_MATRICES) return;
    const double values[16] = {m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15};
    float* out = level.matrices[level.matrix_count++];
    for (int i = 0; i < 16; ++i) out[i] = static_cast<float>(values[i]);
}

const float* current_transform() {
    Rainbows3D* scene = rainbows_3d();
    if (!scene) return IDENTITY;
    recompute(*scene, scene->transform_level);
    return scene->transform_levels[scene->transform_level].matrix;
}

void apply_transform() {
    if (!scene_for_gl()) return;
    glMatrixMode(GL_MODELVIEW);
    glMultMatrixf(current_transform());
}

bool point_into_transform(const float world[3], float out[3]) {
    const float* m = current_transform();
    double matrix[16], inverse[16];
    for (int i = 0; i < 16; ++i) matrix[i] = m[i];
    if (!invert(matrix, inverse)) return false;
    const double in[4] = {world[0], world[1], world[2], 1};
    double result[4];
    transform(inverse, in, result);
    if (result[3] == 0) return false;
    for (int i = 0; i < 3; ++i) out[i] = static_cast<float>(result[i] / result[3]);
    return true;
}

}  // namespace runtime
