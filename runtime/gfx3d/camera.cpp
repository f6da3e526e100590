// 3D mode, the camera and its frustum, culling, fog, and points between world and screen.
#include "runtime/gfx3d/camera.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "runtime/gfx2d/drawing_2d.h"
#include "runtime/gfx2d/opengl_rainbows.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gfx3d/scene_math.h"
#include "runtime/gfx3d/shadow_pass.h"
#include "runtime/gfx3d/transforms_internal.h"

namespace runtime {

namespace {

using namespace gfx3d_detail;

// Projection x modelview of the current GL matrices, in double precision.
void clip_matrix(double out[16]) {
    float p[16], m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    double pd[16], md[16];
    for (int i = 0; i < 16; ++i) {
        pd[i] = p[i];
        md[i] = m[i];
    }
    multiply(pd, md, out);
}

// The six planes of the view frustum, normalised: row 4 +/- rows 1, 2 and 3.
void compute_frustum_planes(Rainbows3D& scene) {
    double clip[16];
    clip_matrix(clip);
    const auto row = [&clip](int r, int column) { return clip[column * 4 + r]; };
    for (int plane = 0; plane < 6; ++plane) {
        const int r = plane / 2;
        const double sign = (plane % 2 == 0) ? 1.0 : -1.0;
        double v[4];
        for (int column = 0; column < 4; ++column) v[column] = row(3, column) + sign * row(r, column);
        const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        for (int i = 0; i < 4; ++i) {
            scene.frustum_planes[plane][i] = static_cast<float>(length > 0 ? v[i] / length : v[i]);
        }
    }
}

void save_camera_matrix(Rainbows3D& scene) {
    glGetFloatv(GL_MODELVIEW_MATRIX, scene.camera_matrix);
    reset_transform_stack(scene);
}

}  // namespace

void start_3d(double near_plane, double far_plane, double field_of_view) {
    Rainbows3D* scene = scene_for_gl();
    if (!scene || !scene->renderer) return;
    end_shadow_pass();
    const OpenGLRainbows& e = *scene->renderer;
    scene->culling_tangent =
        static_cast<float>(std::tan(std::min(field_of_view + 5, 89.0) * DEGREES));
    scene->near_plane = static_cast<float>(near_plane);
    scene->far_plane = static_cast<float>(far_plane);
    scene->camera_up[0] = 0;
    scene->camera_up[1] = 1;
    scene->camera_up[2] = 0;

    glClear(GL_DEPTH_BUFFER_BIT);
    glViewport(e.viewport_x, e.screen_height - e.viewport_height - e.viewport_y, e.viewport_width,
               e.viewport_height);
    const double aspect =
        e.viewport_height > 0 ? static_cast<double>(e.viewport_width) / e.viewport_height : 1.0;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (field_of_view > 0) {
        const double t = near_plane * std::tan(field_of_view / 2 * DEGREES);
        glFrustum(-aspect * t, aspect * t, -t, t, near_plane, far_plane);
    } else {
        const double t = near_plane * std::tan(-field_of_view / 2 * DEGREES) * 100;
        glOrtho(-aspect * t, aspect * t, -t, t, near_plane, far_plane);
        scene->culling_tangent = static_cast<float>(std::tan(89 * DEGREES));
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0);
    glColor4f(1, 1, 1, e.alpha);
    glClearColor(0, 0, 0, 1);
    for (GLenum cap : std::initializer_list<GLenum>{
             GL_FOG, GL_LINE_SMOOTH, GL_POINT_SMOOTH, GL_POLYGON_SMOOTH, GL_STENCIL_TEST,
             GL_POLYGON_OFFSET_POINT, GL_AUTO_NORMAL, GL_NORMALIZE, GL_LIGHTING, GL_CULL_FACE}) {
        glDisable(cap);
    }
    glShadeModel(GL_SMOOTH);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_DITHER);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
    for (int light = 0; light < LIGHT_COUNT; ++light) glDisable(GL_LIGHT0 + static_cast<GLenum>(light));
    scene->enabled_lights = 0;
    scene->shadow_light_on = false;
    scene->cull_mode = 0;
    save_camera_matrix(*scene);
    bind_sprite(-1);
    if (scene->objects_start_3d) scene->objects_start_3d();
}

void set_camera(double eye_x, double eye_y, double eye_z, double target_x, double target_y,
                double target_z) {
    Rainbows3D* scene = scene_for_gl();
    if (!scene) return;
    const float eye[3] = {static_cast<float>(eye_x), static_cast<float>(eye_y),
                          static_cast<float>(eye_z)};
    const float target[3] = {static_cast<float>(target_x), static_cast<float>(target_y),
                             static_cast<float>(target_z)};
    for (int i = 0; i < 3; ++i) {
        scene->camera_position[i] = eye[i];
        scene->camera_target[i] = target[i];
    }
    const float* up = scene->camera_up;
    float f[3] = {eye[0] - target[0], eye[1] - target[1], eye[2] - target[2]};
    normalise(f);
    float s[3] = {up[1] * f[2] - up[2] * f[1], up[2] * f[0] - up[0] * f[2],
                  up[0] * f[1] - up[1] * f[0]};
    normalise(s);
    float u[3] = {f[1] * s[2] - f[2] * s[1], f[2] * s[0] - f[0] * s[2], f[0] * s[1] - f[1] * s[0]};
    normalise(u);
    // Rows S, U, F in a column-major matrix.
    const float view[16] = {s[0], u[0], f[0], 0, s[1], u[1], f[1], 0,
                            s[2], u[2], f[2], 0, 0,    0,    0,    1};
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(view);
    glTranslatef(-eye[0], -eye[1], -eye[2]);
    save_camera_matrix(*scene);
    compute_frustum_planes(*scene);
}

void set_camera_up(double x, double y, double z) {
    Rainbows3D* scene = rainbows_3d();
    if (!scene) return;
    scene->camera_up[0] = static_cast<float>(x);
    scene->camera_up[1] = static_cast<float>(y);
    scene->camera_up[2] = static_cast<float>(z);
}

void set_culling(double value) {
    Rainbows3D* scene = scene_for_gl();
    if (!scene) return;
    scene->cull_mode = value > 0 ? 1 : (value < 0 ? -1 : 0);
    if (scene->cull_mode == 0) {
        glDisable(GL_CULL_FACE);
        return;
    }
    glFrontFace(scene->cull_mode > 0 ? GL_CW : GL_CCW);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
}

void set_fog(double colour, double exponential, double a, double b) {
    Rainbows3D* scene = scene_for_gl();
    if (!scene) return;
    if (whole(colour) == -1) {
        glDisable(GL_FOG);
        return;
    }
    glEnable(GL_FOG);
    if (exponential != 0) {
        glFogi(GL_FOG_MODE, GL_EXP);
        glFogf(GL_FOG_DENSITY, static_cast<float>(a));
    } else {
        const bool planes = a == 0 && b == 0;
        glFogi(GL_FOG_MODE, GL_LINEAR);
        glFogf(GL_FOG_START, planes ? scene->near_plane : static_cast<float>(a));
        glFogf(GL_FOG_END, planes ? scene->far_plane : static_cast<float>(b));
    }
    const Rgba c = rgba_of(colour_of(colour), 0.0f);
    const float fog_colour[4] = {c.r, c.g, c.b, c.a};
    glFogfv(GL_FOG_COLOR, fog_colour);
}

double project_point(double x, double y, double z, double& screen_x, double& screen_y,
                     double& depth) {
    screen_x = screen_y = depth = 0;
    if (!rainbows_3d()) return 0;
    GLint view[4];
    glGetIntegerv(GL_VIEWPORT, view);
    double clip[16];
    clip_matrix(clip);
    const double in[4] = {x, y, z, 1};
    double q[4];
    transform(clip, in, q);
    if (q[3] == 0) return 0;
    const double nx = q[0] / q[3], ny = q[1] / q[3], nz = q[2] / q[3];
    screen_x = view[0] + (nx + 1) * view[2] / 2;
    screen_y = view[3] - (view[1] + view[3] * (ny + 1) / 2);
    depth = (nz + 1) / 2;
    return 1;
}

double unproject_point(double screen_x, double screen_y, double depth, double& x, double& y,
                       double& z) {
    x = y = z = 0;
    if (!rainbows_3d()) return 0;
    GLint view[4];
    glGetIntegerv(GL_VIEWPORT, view);
    if (view[2] <= 0 || view[3] <= 0) return 0;
    double clip[16], inverse[16];
    clip_matrix(clip);
    if (!invert(clip, inverse)) return 0;
    // The exact inverse of project_point's screen row.
    const double window_y = view[3] - screen_y;
    const double in[4] = {(screen_x - view[0]) / view[2] * 2 - 1,
                          (window_y - view[1]) / view[3] * 2 - 1, depth * 2 - 1, 1};
    double q[4];
    transform(inverse, in, q);
    if (q[3] == 0) return 0;
    x = q[0] / q[3];
    y = q[1] / q[3];
    z = q[2] / q[3];
    return 1;
}

bool sphere_in_frustum(float x, float y, float z, float radius) {
    const Rainbows3D* scene = rainbows_3d();
    if (!scene) return false;
    for (const auto& p : scene->frustum_planes) {
        if (p[0] * x + p[1] * y + p[2] * z + p[3] <= -radius) return false;
    }
    return true;
}

}  // namespace runtime
