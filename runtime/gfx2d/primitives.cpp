// Points, lines, rectangles, polygons and reading pixels back. Drawing in the
// transparent colour writes alpha 0, which grab_sprite turns into transparency.
#include <GL/gl.h>

#include "runtime/gfx2d/drawing_2d.h"
#include "runtime/gfx2d/gfx2d_internal.h"
#include "runtime/gfx2d/opengl_rainbows.h"

namespace runtime {

using gfx2d_detail::colour_of;
using gfx2d_detail::index_of;
using gfx2d_detail::whole;

namespace {

// Colour, no texture, the projection moved by 3/8 pixel so integer positions hit
// pixel centres; finish_primitive undoes it.
void begin_primitive(OpenGLRainbows* e, uint32_t colour) {
    flush_sprite_batch();
    glDisable(GL_ALPHA_TEST);
    const bool transparent = colour == colour_key_of(e->transparent_colour);
    const auto a = static_cast<GLubyte>(transparent ? 0 : static_cast<int>(e->alpha * 255.0f));
    glColor4ub(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF, a);
    bind_sprite(-1);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glTranslatef(0.375f, 0.375f, 0.0f);
    glMatrixMode(GL_MODELVIEW);
}

void finish_primitive(OpenGLRainbows* e) {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glColor4f(1, 1, 1, e->alpha);
    glEnable(GL_ALPHA_TEST);
}

}  // namespace

void plot(double x, double y, double colour) {
    OpenGLRainbows* e = rainbows();
    if (!e) return;
    begin_primitive(e, colour_of(colour));
    glBegin(GL_POINTS);
    glVertex2f(static_cast<float>(x), static_cast<float>(y));
    glEnd();
    finish_primitive(e);
}

void draw_line(double x1, double y1, double x2, double y2, double colour) {
    OpenGLRainbows* e = rainbows();
    if (!e) return;
    begin_primitive(e, colour_of(colour));
    const float ax = static_cast<float>(x1), ay = static_cast<float>(y1);
    const float bx = static_cast<float>(x2), by = static_cast<float>(y2);
    glBegin(GL_LINES);
    glVertex2f(ax, ay);
    glVertex2f(bx, by);
    glEnd();
    // Lines leave out their last pixel; the point puts it in.
    glBegin(GL_POINTS);
    glVertex2f(bx, by);
    glEnd();
    finish_primitive(e);
}

void fill_rect(double x, double y, double width, double height, double colour) {
    OpenGLRainbows* e = rainbows();
    if (!e) return;
    int64_t rx = whole(x), ry = whole(y), rw = whole(width), rh = whole(height);
    if (rw < 0) {
        rx = rx + rw + 1;
        rw = -rw;
    }
    if (rh < 0) {
        ry = ry + rh + 1;
        rh = -rh;
    }
    begin_primitive(e, colour_of(colour));
    const float x0 = static_cast<float>(rx), y0 = static_cast<float>(ry);
    const float x1 = static_cast<float>(rx + rw), y1 = static_cast<float>(ry + rh);
    // Counter-clockwise on screen, so face culling keeps it.
    glBegin(GL_QUADS);
    glVertex2f(x0, y1);
    glVertex2f(x1, y1);
    glVertex2f(x1, y0);
    glVertex2f(x0, y0);
    glEnd();
    finish_primitive(e);
}

double read_pixel(double x, double y) {
    OpenGLRainbows* e = rainbows();
    if (!e) return 0;
    flush_sprite_batch();
    GLubyte rgb[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    const int64_t row = int64_t{e->screen_height} - 1 - whole(y);
    glReadPixels(whole(x), gfx2d_detail::clamp32(row), 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return rgb[0] | (rgb[1] << 8) | (rgb[2] << 16);
}

void start_polygon(double sprite) {
    OpenGLRainbows* e = rainbows();
    if (!e) return;
    const int64_t s = index_of(sprite);
    bind_sprite(valid_sprite(s) ? static_cast<int32_t>(s) : -1);
    e->polygon_vertices.clear();
    e->polygon_vertices.reserve(8);
}

void add_polygon_vertex(double x, double y, double texture_x, double texture_y, double colour) {
    OpenGLRainbows* e = rainbows();
    if (!e) return;
    PolygonVertex v{};
    v.x = static_cast<float>(x);
    v.y = static_cast<float>(y);
    if (valid_sprite(e->bound_sprite)) {
        const SpriteSlot& slot = e->sprites[static_cast<size_t>(e->bound_sprite)];
        if (slot.texture_width > 0 && slot.texture_height > 0) {
            v.u = static_cast<float>(texture_x / slot.texture_width);
            v.v = static_cast<float>((slot.height - texture_y) / slot.texture_height);
        }
    }
    const uint32_t c = colour_of(colour);
    v.red = static_cast<float>(c & 0xFF) / 255.0f;
    v.green = static_cast<float>((c >> 8) & 0xFF) / 255.0f;
    v.blue = static_cast<float>((c >> 16) & 0xFF) / 255.0f;
    v.alpha = c == colour_key_of(e->transparent_colour) ? 0.0f : e->alpha;
    e->polygon_vertices.push(v);
}

void end_polygon() {
    OpenGLRainbows* e = rainbows();
    if (!e) return;
    flush_sprite_batch();
    const PolygonVertex* v = e->polygon_vertices.items;
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_DITHER);
    glShadeModel(GL_SMOOTH);
    if (e->polygon_vertices.count > 0) {
        const bool textured = e->bound_sprite >= 0;
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glVertexPointer(2, GL_FLOAT, sizeof(PolygonVertex), &v->x);
        glColorPointer(4, GL_FLOAT, sizeof(PolygonVertex), &v->red);
        if (textured) {
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexCoordPointer(2, GL_FLOAT, sizeof(PolygonVertex), &v->u);
        }
        glDrawArrays(GL_TRIANGLE_FAN, 0, e->polygon_vertices.count);
        if (textured) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
    }
    glShadeModel(GL_FLAT);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, e->alpha);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_DITHER);
}

}  // namespace runtime
