// Pictures and text that face the camera: 3D sprites and 3D text, both laid out along
// the camera's right and up vectors taken from the modelview matrix.
#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "runtime/gfx2d/drawing_2d.h"
#include "runtime/gfx2d/opengl_rainbows.h"
#include "runtime/gfx3d/camera.h"
#include "runtime/gfx3d/debug_draw.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gfx3d/scene_math.h"
#include "runtime/screen/text/font.h"

namespace runtime {

namespace {

using namespace gfx3d_detail;

// Text in 3D: the font's cells on the plane spanned by the camera's right and up vectors,
// centred on the point, one cell `scale` units per font pixel.
void print_facing(Rainbows3D& scene, const char* text, const float p[3], float scale) {
    double cell_width = 0, cell_height = 0;
    get_font_size(cell_width, cell_height);
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    const float right[3] = {m[0], m[4], m[8]};
    const float up[3] = {m[1], m[5], m[9]};
    // Font pixels to world: x along right, y (downwards in the font) against up.
    const float layout[16] = {right[0] * scale, right[1] * scale, right[2] * scale, 0,
                              -up[0] * scale,   -up[1] * scale,   -up[2] * scale,   0,
                              0,                0,                0,                0,
                              p[0],             p[1],             p[2],             1};
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMultMatrixf(layout);
    const auto length = static_cast<double>(std::strlen(text));
    draw_text(scene.renderer, font_state().current_font, text,
              static_cast<float>(-length * cell_width / 2), static_cast<float>(-cell_height / 2), 0);
    flush_sprite_batch();
    glPopMatrix();
}

// Text printed flat over the scene, centred on the point's projection.
void print_projected(Rainbows3D& scene, const char* text, const float p[3]) {
    double sx = 0, sy = 0, depth = 0;
    if (!project_point(p[0], p[1], p[2], sx, sy, depth)) return;
    GLint view[4];
    glGetIntegerv(GL_VIEWPORT, view);
    double cell_width = 0, cell_height = 0;
    get_font_size(cell_width, cell_height);
    // project_point's x counts from the screen's left edge and its y is offset by the
    // viewport's window row; the projection below counts from the viewport's corner.
    const double x = sx - view[0] - static_cast<double>(std::strlen(text)) * cell_width / 2;
    const double y = sy + view[1] - cell_height / 2;
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, view[2], view[3], 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    draw_text(scene.renderer, font_state().current_font, text, static_cast<float>(x),
              static_cast<float>(y), 0);
    // The text is queued with the 2D drawing: send it before the matrices go back.
    flush_sprite_batch();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

}  // namespace

void draw_sprite_3d(double sprite_number, double x, double y, double z, double scale) {
    Rainbows3D* scene = scene_for_gl();
    if (!scene || !scene->renderer || std::isnan(sprite_number)) return;
    OpenGLRainbows& e = *scene->renderer;
    const int32_t sprite = whole(sprite_number);
    if (!valid_sprite(sprite)) return;
    const SpriteSlot& slot = e.sprites[static_cast<size_t>(sprite)];
    if (slot.width <= 0 || slot.height <= 0 || slot.texture_width <= 0 || slot.texture_height <= 0) {
        return;
    }
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    const auto k = static_cast<float>(scale);
    const float half_width = k * static_cast<float>(slot.width / 4);
    const float height = k * static_cast<float>(slot.height / 2);
    const float p[3] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
    float d[3], h[3];
    for (int i = 0; i < 3; ++i) {
        d[i] = half_width * m[i * 4];
        h[i] = height * m[i * 4 + 1];
    }
    const float u = (static_cast<float>(slot.width) - 0.5f) / static_cast<float>(slot.texture_width);
    const float v =
        (static_cast<float>(slot.height) - 0.5f) / static_cast<float>(slot.texture_height);
    if (!e.batch_vertices.reserve(4)) return;
    BatchVertex* q = e.batch_vertices.items;
    // Counter-clockwise as the camera sees it.
    q[0] = {p[0] - d[0], p[1] - d[1], p[2] - d[2], 0, 0};
    q[1] = {p[0] + d[0], p[1] + d[1], p[2] + d[2], u, 0};
    q[2] = {p[0] + d[0] + h[0], p[1] + d[1] + h[1], p[2] + d[2] + h[2], u, v};
    q[3] = {p[0] - d[0] + h[0], p[1] - d[1] + h[1], p[2] - d[2] + h[2], 0, v};
    e.batch_vertices.count = 4;

    const int32_t cull_mode = scene->cull_mode;
    set_culling(-1);
    bind_sprite(sprite);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    draw_batch(GL_QUADS);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    set_culling(cull_mode);
}

void print_3d(const DynString& text, double x, double y, double z, double scale) {
    Rainbows3D* scene = scene_for_gl();
    if (!scene || !scene->renderer || text.size() == 0) return;
    const int32_t cull_mode = scene->cull_mode;
    const bool lighting = glIsEnabled(GL_LIGHTING) == GL_TRUE;
    set_culling(0);
    glDisable(GL_LIGHTING);
    const float p[3] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
    if (scale != 0) {
        print_facing(*scene, text.text_of(), p, static_cast<float>(scale));
    } else {
        print_projected(*scene, text.text_of(), p);
    }
    set_culling(cull_mode);
    if (lighting) glEnable(GL_LIGHTING);
}

void print_3d(double value, double x, double y, double z, double scale) {
    print_3d(number_to_text(value), x, y, z, scale);
}

}  // namespace runtime
