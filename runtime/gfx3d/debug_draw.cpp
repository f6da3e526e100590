// Debug drawing in 3D: points, lines, axis arrows, wire spheres and boxes, unlit and
// untextured, in the scene's current matrices.
#include "runtime/gfx3d/debug_draw.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "runtime/gfx2d/drawing_2d.h"
#include "runtime/gfx2d/opengl_rainbows.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gfx3d/scene_math.h"

namespace runtime {

namespace {

using namespace gfx3d_detail;

constexpr float MAX_PRIMITIVE_SIZE = 512;
constexpr float AXIS_SCALE = 20;
constexpr int SPHERE_SUBDIVISIONS = 2;

float clamped_size(double size) {
    if (std::isnan(size)) return 1;
    return static_cast<float>(std::clamp(size, 1.0, static_cast<double>(MAX_PRIMITIVE_SIZE)));
}

float current_alpha(const Rainbows3D& scene) {
    return scene.renderer ? scene.renderer->alpha : 1.0f;
}

void set_colour(uint32_t colour, float alpha) {
    const Rgba c = rgba_of(colour, alpha);
    glColor4f(c.r, c.g, c.b, c.a);
}

// Shared set-up of the debug primitives: colour material, unlit, untextured, smoothing
// of the given kind; `finish` undoes it and turns lighting back on while a light is on.
void begin_primitive(GLenum smoothing) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glEnable(GL_COLOR_MATERIAL);
    glEnable(smoothing);
    glDisable(GL_LIGHTING);
    bind_sprite(-1);
}
void finish_primitive(const Rainbows3D& scene, GLenum smoothing) {
    glPointSize(1);
    glLineWidth(1);
    glDisable(smoothing);
    glColor4f(1, 1, 1, current_alpha(scene));
    if (scene.enabled_lights) glEnable(GL_LIGHTING);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

// The unit sphere's edges: an icosahedron whose triangles are split in four, twice, with
// the new points pushed out onto the sphere. Each edge once, as pairs of points.
const std::vector<std::array<float, 3>>& sphere_edges() {
    static const std::vector<std::array<float, 3>> edges = [] {
        const float g = (1 + std::sqrt(5.0f)) / 2;
        std::vector<std::array<float, 3>> points = {
            {-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0}, {0, -1, g}, {0, 1, g},
            {0, -1, -g}, {0, 1, -g}, {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
        std::vector<std::array<int, 3>> faces = {
            {0, 11, 5}, {0, 5, 1}, {0, 1, 7}, {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
            {11, 10, 2}, {10, 7, 6}, {7, 1, 8}, {3, 9, 4}, {3, 4, 2}, {3, 2, 6}, {3, 6, 8},
            {3, 8, 9}, {4, 9, 5}, {2, 4, 11}, {6, 2, 10}, {8, 6, 7}, {9, 8, 1}};
        for (auto& p : points) normalise(p.data());
        for (int level = 0; level < SPHERE_SUBDIVISIONS; ++level) {
            std::map<std::pair<int, int>, int> middles;
            auto middle = [&](int a, int b) {
                const auto key = std::minmax(a, b);
                auto found = middles.find(key);
                if (found != middles.end()) return found->second;
                std::array<float, 3> m = {
                    points[static_cast<size_t>(a)][0] + points[static_cast<size_t>(b)][0],
                    points[static_cast<size_t>(a)][1] + points[static_cast<size_t>(b)][1],
                    points[static_cast<size_t>(a)][2] + points[static_cast<size_t>(b)][2]};
                normalise(m.data());
                points.push_back(m);
                return middles[key] = static_cast<int>(points.size()) - 1;
            };
            std::vector<std::array<int, 3>> split;
            for (const auto& f : faces) {
                const int ab = middle(f[0], f[1]), bc = middle(f[1], f[2]), ca = middle(f[2], f[0]);
                split.push_back({f[0], ab, ca});
                split.push_back({f[1], bc, ab});
                split.push_back({f[2], ca, bc});
                split.push_back({ab, bc, ca});
            }
            faces = std::move(split);
        }
        std::set<std::pair<int, int>> unique;
        for (const auto& f : faces) {
            for (int i = 0; i < 3; ++i)
                unique.insert(std::minmax(f[static_cast<size_t>(i)], f[static_cast<size_t>((i + 1) % 3)]));
        }
        std::vector<std::array<float, 3>> out;
        for (const auto& [a, b] : unique) {
            out.push_back(points[static_cast<size_t>(a)]);
            out.push_back(points[static_cast<size_t>(b)]);
        }
        return out;
    }();
    return edges;
}

}  // namespace

void draw_point_3d(double x, double y, double z, double size, double colour) {
    const Rainbows3D* scene = scene_for_gl();
    if (!scene) return;
    begin_primitive(GL_POINT_SMOOTH);
    glPointSize(clamped_size(size));
    set_colour(colour_of(colour), current_alpha(*scene));
    glBegin(GL_POINTS);
    glVertex3d(x, y, z);
    glEnd();
    finish_primitive(*scene, GL_POINT_SMOOTH);
}

void draw_line_3d(double x1, double y1, double z1, double x2, double y2, double z2, double width,
                  double colour) {
    const Rainbows3D* scene = scene_for_gl();
    if (!scene) return;
    begin_primitive(GL_LINE_SMOOTH);
    glLineWidth(clamped_size(width));
    set_colour(colour_of(colour), current_alpha(*scene));
    glBegin(GL_LINES);
    glVertex3d(x1, y1, z1);
    glVertex3d(x2, y2, z2);
    glEnd();
    finish_primitive(*scene, GL_LINE_SMOOTH);
}

void draw_axes(double x, double y, double z) {
    const Rainbows3D* scene = scene_for_gl();
    if (!scene) return;
    begin_primitive(GL_LINE_SMOOTH);
    glLoadMatrixf(scene->camera_matrix);
    glTranslated(x, y, z);
    glScalef(AXIS_SCALE, AXIS_SCALE, AXIS_SCALE);
    // One arrow along x; the others are the same shape with the axes turned.
    static const float ARROW[8][3] = {{0, 0, 0},       {1, 0, 0},        {0.75f, 0.25f, 0},
                                      {0.75f, -0.25f, 0}, {1, 0, 0},        {0.75f, 0, 0.25f},
                                      {0.75f, 0, -0.25f}, {1, 0, 0}};
    const float alpha = current_alpha(*scene);
    for (int axis = 0; axis < 3; ++axis) {
        glColor4f(axis == 0 ? 1.0f : 0.0f, axis == 1 ? 1.0f : 0.0f, axis == 2 ? 1.0f : 0.0f, alpha);
        glBegin(GL_LINE_STRIP);
        for (const auto& p : ARROW) {
            glVertex3f(p[(3 - axis) % 3], p[(4 - axis) % 3], p[(5 - axis) % 3]);
        }
        glEnd();
    }
    finish_primitive(*scene, GL_LINE_SMOOTH);
}

void draw_wire_sphere(const float centre[3], float radius, uint32_t colour, float width) {
    const Rainbows3D* scene = scene_for_gl();
    if (!scene) return;
    begin_primitive(GL_LINE_SMOOTH);
    glLineWidth(clamped_size(width));
    set_colour(colour, current_alpha(*scene));
    glBegin(GL_LINES);
    for (const auto& p : sphere_edges()) {
        glVertex3f(centre[0] + p[0] * radius, centre[1] + p[1] * radius, centre[2] + p[2] * radius);
    }
    glEnd();
    finish_primitive(*scene, GL_LINE_SMOOTH);
}

void draw_wire_box(const float centre[3], const float axis_a[3], const float axis_b[3],
                   const float axis_c[3], uint32_t colour, float width) {
    const Rainbows3D* scene = scene_for_gl();
    if (!scene) return;
    // Corner k lies at centre +/- a (bit 0), +/- b (bit 1), +/- c (bit 2); an edge joins
    // two corners that differ in one bit.
    float corners[8][3];
    for (int k = 0; k < 8; ++k) {
        for (int i = 0; i < 3; ++i) {
            corners[k][i] = centre[i] + ((k & 1) ? axis_a[i] : -axis_a[i]) +
                            ((k & 2) ? axis_b[i] : -axis_b[i]) + ((k & 4) ? axis_c[i] : -axis_c[i]);
        }
    }
    begin_primitive(GL_LINE_SMOOTH);
    glLineWidth(clamped_size(width));
    set_colour(colour, current_alpha(*scene));
    glBegin(GL_LINES);
    for (int k = 0; k < 8; ++k) {
        for (int bit = 1; bit < 8; bit <<= 1) {
            if (k & bit) continue;
            glVertex3fv(corners[k]);
            glVertex3fv(corners[k | bit]);
        }
    }
    glEnd();
    finish_primitive(*scene, GL_LINE_SMOOTH);
}

}  // namespace runtime
