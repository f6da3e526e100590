// Pixel-exact collisions: the overlap of two pictures scanned on a 2-pixel grid in
// four passes, over alpha maps read back from OpenGL once per loaded sprite.
#include <GL/gl.h>

#include <algorithm>

#include "runtime/gfx2d/drawing_2d.h"
#include "runtime/gfx2d/gfx2d_internal.h"
#include "runtime/gfx2d/opengl_rainbows.h"

namespace runtime {

using gfx2d_detail::index_of;
using gfx2d_detail::whole;

namespace {

// The sprite's cached alpha map (texture_width x texture_height, row 0 at the bottom).
const uint8_t* alpha_map(OpenGLRainbows* e, int32_t s) {
    const SpriteSlot& slot = e->sprites[static_cast<size_t>(s)];
    if (slot.texture == 0 || slot.texture_width <= 0 || slot.texture_height <= 0) return nullptr;
    std::unique_ptr<uint8_t[]>& map = e->alpha_maps[static_cast<size_t>(s)];
    if (!map) {
        map.reset(new uint8_t[static_cast<size_t>(slot.texture_width) *
                              static_cast<size_t>(slot.texture_height)]());
        flush_sprite_batch();
        glBindTexture(GL_TEXTURE_2D, slot.texture);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, map.get());
        e->bound_sprite = -1;
    }
    return map.get();
}

// A picture placed on the screen: its origin, and the rectangle that takes part.
struct Placement {
    int32_t sprite;
    int64_t origin_x, origin_y;  // screen position of the picture's top-left pixel
    int64_t left, top, right, bottom;  // the rectangle tested, right and bottom exclusive
};

bool opaque_at(OpenGLRainbows* e, const Placement& p, const uint8_t* map, int64_t px, int64_t py) {
    const SpriteSlot& slot = e->sprites[static_cast<size_t>(p.sprite)];
    const int64_t column = px - p.origin_x;
    const int64_t row = slot.height - 1 - (py - p.origin_y);
    // Pictures larger than their texture (clamped uploads) have no map there.
    if (column < 0 || column >= slot.texture_width || row < 0 || row >= slot.texture_height) {
        return false;
    }
    return map[row * slot.texture_width + column] != 0;
}

double collide(OpenGLRainbows* e, const Placement& a, const Placement& b) {
    const int64_t x0 = std::max(a.left, b.left), x1 = std::min(a.right, b.right);
    const int64_t y0 = std::max(a.top, b.top), y1 = std::min(a.bottom, b.bottom);
    if (x0 >= x1 || y0 >= y1) return 0;
    const uint8_t* map_a = alpha_map(e, a.sprite);
    const uint8_t* map_b = alpha_map(e, b.sprite);
    if (!map_a || !map_b) return 0;
    // Even rows and columns first: large overlaps are usually decided early.
    for (int pass = 0; pass < 4; ++pass) {
        const int64_t row_start = pass / 2, column_start = pass % 2;
        for (int64_t py = y0 + row_start; py < y1; py += 2) {
            for (int64_t px = x0 + column_start; px < x1; px += 2) {
                if (opaque_at(e, a, map_a, px, py) && opaque_at(e, b, map_b, px, py)) return 1;
            }
        }
    }
    return 0;
}

bool place_whole(OpenGLRainbows* e, double sprite, double x, double y, Placement& p) {
    const int64_t s = index_of(sprite);
    if (!valid_sprite(s)) return false;
    const SpriteSlot& slot = e->sprites[static_cast<size_t>(s)];
    p.sprite = static_cast<int32_t>(s);
    p.origin_x = p.left = whole(x);
    p.origin_y = p.top = whole(y);
    p.right = p.left + slot.width;
    p.bottom = p.top + slot.height;
    return true;
}

bool place_frame(OpenGLRainbows* e, double sprite, double frame, double x, double y, Placement& p) {
    if (!place_whole(e, sprite, x, y, p)) return false;
    const SpriteSlot& slot = e->sprites[static_cast<size_t>(p.sprite)];
    if (slot.frame_width <= 0 || slot.frame_height <= 0) return true;
    const int32_t columns = slot.width / slot.frame_width;
    if (columns <= 0) return false;
    const int32_t f = whole(frame);
    const int64_t column = f % columns, row = f / columns;
    // The picture is placed so that the frame's cell lies at (x, y).
    p.origin_x = p.left - column * slot.frame_width;
    p.origin_y = p.top - row * slot.frame_height;
    p.right = p.left + slot.frame_width;
    p.bottom = p.top + slot.frame_height;
    return true;
}

}  // namespace

double sprite_collision(double sprite1, double x1, double y1, double sprite2, double x2,
                        double y2) {
    OpenGLRainbows* e = rainbows();
    if (!e) return 0;
    Placement a{}, b{};
    if (!place_whole(e, sprite1, x1, y1, a) || !place_whole(e, sprite2, x2, y2, b)) return 0;
    return collide(e, a, b);
}

double sprite_frame_collision(double sprite1, double frame1, double x1, double y1,
                              double sprite2, double frame2, double x2, double y2) {
    OpenGLRainbows* e = rainbows();
    if (!e) return 0;
    Placement a{}, b{};
    if (!place_frame(e, sprite1, frame1, x1, y1, a) || !place_frame(e, sprite2, frame2, x2, y2, b)) {
        return 0;
    }
    return collide(e, a, b);
}

}  // namespace runtime
