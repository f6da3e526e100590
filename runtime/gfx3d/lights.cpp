// The eight OpenGL lights (view-axis, directional, spot and point) and the shadow light.
#include "runtime/gfx3d/lights.h"

#include <GL/gl.h>

#include "runtime/gfx3d/debug_draw.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gfx3d/scene_math.h"
#include "runtime/gfx3d/shadow_pass.h"

namespace runtime {

namespace {

using namespace gfx3d_detail;

constexpr uint32_t LIGHT_MARKER_COLOUR = 0x80C8FF;
constexpr uint32_t SPOT_MARKER_COLOUR = 0x6CAAE1;
constexpr float SPOT_MARKER_LENGTH = 500;

void define_shadow_light(Rainbows3D& scene, int32_t n, const Rgba& colour, const float p[3],
                         double cutoff) {
    scene.shadow_light_on = cutoff != 0;
    for (int i = 0; i < 3; ++i) scene.shadow_light_position[i] = p[i];
    scene.shadow_light_colour[0] = colour.r;
    scene.shadow_light_colour[1] = colour.g;
    scene.shadow_light_colour[2] = colour.b;
    if (n == -3) {
        scene.shadow_light_mode = 3;
        set_shadow_pass(cutoff != 0);
    } else {
        scene.shadow_light_mode = n == -1 ? 1 : 2;
    }
}

void light(double n_value, double colour_value, const float p[3], const float d_in[3],
           double cutoff, bool may_mark) {
    Rainbows3D* scene = scene_for_gl();
    if (!scene) return;
    const int32_t n = whole(n_value);
    const Rgba colour = rgba_of(colour_of(colour_value));
    if (n < 0) {
        define_shadow_light(*scene, n, colour, p, cutoff);
        return;
    }
    const int32_t number = n % LIGHT_COUNT;
    const GLenum id = GL_LIGHT0 + static_cast<GLenum>(number);
    const auto bit = static_cast<uint8_t>(1u << number);
    if (cutoff == 0) {
        glDisable(id);
        scene->enabled_lights &= static_cast<uint8_t>(~bit);
        if (scene->enabled_lights == 0) glDisable(GL_LIGHTING);
        return;
    }
    glEnable(GL_LIGHTING);
    glEnable(id);
    scene->enabled_lights |= bit;
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);

    const float diffuse[4] = {colour.r, colour.g, colour.b, 1};
    const float black[4] = {0, 0, 0, 1};
    float d[3] = {d_in[0], d_in[1], d_in[2]};
    const bool view_axis = p[0] == 0 && p[1] == 0 && p[2] == 0 && d[0] == 0 && d[1] == 0 && d[2] == 0;
    const bool spot = !view_axis && cutoff != 180 && cutoff <= 90;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    if (view_axis) {
        // In eye space, so that it shines along the view axis whatever the camera.
        glLoadIdentity();
        const float along_view[4] = {0, 0, 1, 0};
        glLightfv(id, GL_POSITION, along_view);
        glLightfv(id, GL_DIFFUSE, diffuse);
        glLightfv(id, GL_SPECULAR, black);
        glLightf(id, GL_SPOT_CUTOFF, 180);
    } else if (cutoff == 180) {
        float towards[3] = {-d[0], -d[1], -d[2]};
        normalise(towards);
        const float position[4] = {towards[0], towards[1], towards[2], 0};
        glLightf(id, GL_SPOT_CUTOFF, 180);
        glLightfv(id, GL_POSITION, position);
        glLightfv(id, GL_DIFFUSE, diffuse);
        glLightfv(id, GL_SPECULAR, black);
    } else {
        const float position[4] = {p[0], p[1], p[2], 1};
        glLightf(id, GL_SPOT_CUTOFF, spot ? static_cast<float>(cutoff) : 180.0f);
        glLightfv(id, GL_POSITION, position);
        if (spot) {
            normalise(d);
            glLightfv(id, GL_SPOT_DIRECTION, d);
        }
        glLightfv(id, GL_DIFFUSE, diffuse);
        glLightfv(id, GL_SPECULAR, diffuse);
    }
    glPopMatrix();

    if (!may_mark || !scene->show_light_markers) return;
    draw_point_3d(p[0], p[1], p[2], 40, LIGHT_MARKER_COLOUR);
    if (spot) {
        draw_line_3d(p[0], p[1], p[2], p[0] + d[0] * SPOT_MARKER_LENGTH,
                     p[1] + d[1] * SPOT_MARKER_LENGTH, p[2] + d[2] * SPOT_MARKER_LENGTH, 3,
                     SPOT_MARKER_COLOUR);
    }
}

}  // namespace

void set_light(double n, double colour, double x, double y, double z, double dx, double dy,
               double dz, double cutoff) {
    const float p[3] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
    const float d[3] = {static_cast<float>(dx), static_cast<float>(dy), static_cast<float>(dz)};
    light(n, colour, p, d, cutoff, true);
}

void set_camera_light(double n, double colour) {
    const Rainbows3D* scene = scene_for_gl();
    if (!scene) return;
    const float* p = scene->camera_position;
    const float d[3] = {-p[0], -p[1], -p[2]};
    light(n, colour, p, d, 180, false);
}

void show_light_markers(double flag) {
    if (Rainbows3D* scene = rainbows_3d()) scene->show_light_markers = flag != 0;
}

}  // namespace runtime
