// Sprite loading and sprite drawing: plain, stretched (mirrored), zoomed, rotozoomed
// and animation frames, each one quad of the sprite batch.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "runtime/gfx2d/drawing_2d.h"
#include "runtime/gfx2d/gfx2d_internal.h"
#include "runtime/gfx2d/opengl_rainbows.h"
#include "runtime/gfx2d/packed_names.h"
#include "runtime/gfx2d/texture_upload.h"

namespace runtime {

using gfx2d_detail::ceil_pixel;
using gfx2d_detail::index_of;
using gfx2d_detail::whole;

namespace {

// The slot of a sprite that can be drawn: a valid number with a picture in it.
const SpriteSlot* drawable(int64_t sprite) {
    OpenGLRainbows* e = rainbows();
    if (!e || !valid_sprite(sprite)) return nullptr;
    const SpriteSlot& slot = e->sprites[static_cast<size_t>(sprite)];
    if (slot.texture == 0 || slot.texture_width <= 0 || slot.texture_height <= 0) return nullptr;
    return &slot;
}

// Puts one quad of four vertices x, y, u, v (z = 0) into the batch.
void batch_quad(int64_t sprite, const float q[16], bool clockwise = false) {
    BatchVertex v[4];
    for (int i = 0; i < 4; ++i) v[i] = {q[i * 4], q[i * 4 + 1], 0.0f, q[i * 4 + 2], q[i * 4 + 3]};
    batch_quads(rainbows(), static_cast<int32_t>(sprite), clockwise, v, 4);
}

}  // namespace

bool load_sprite_image(const char* file_name, int32_t sprite, int64_t colour_key, bool normal_map) {
    OpenGLRainbows* e = rainbows();
    if (!e || !valid_sprite(sprite)) return false;
    free_sprite(sprite);
    std::string path;
    if (!resolve_image_name(file_name, path)) return false;
    ImageBuffer image;
    if (!load_picture(image, path.c_str(), colour_key)) return false;
    if (image.width == 0 || image.height == 0) return false;
    SpriteSlot& slot = e->sprites[static_cast<size_t>(sprite)];
    uint32_t texture = 0, mip = 0;
    bool ok;
    if (sprite >= FONT_SLOT_BASE) {
        ok = upload_texture(image, 0, 0, 0, 0, &texture, nullptr, false, true);
    } else {
        ok = upload_texture(image, 0, 0, 0, 0, &texture, &mip, normal_map, false);
    }
    if (!ok) return false;
    GLint max_size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
    slot.texture = texture;
    slot.mip_texture = mip;
    slot.texture_width =
        static_cast<int16_t>(texture_size_for(std::min<int32_t>(image.width, std::max(max_size, 2))));
    slot.texture_height =
        static_cast<int16_t>(texture_size_for(std::min<int32_t>(image.height, std::max(max_size, 2))));
    slot.width = static_cast<int16_t>(image.width);
    slot.height = static_cast<int16_t>(image.height);
    return true;
}

double load_sprite(const DynString& file_name, double sprite) {
    OpenGLRainbows* e = rainbows();
    const int64_t s = index_of(sprite);
    if (!e || !valid_sprite(s)) return 0;
    return load_sprite_image(file_name.text_of(), static_cast<int32_t>(s), colour_key_of(e->transparent_colour),
                             false)
               ? 1
               : 0;
}

double load_bump_sprite(const DynString& file_name, double sprite) {
    const int64_t s = index_of(sprite);
    if (!rainbows() || !valid_sprite(s)) return 0;
    return load_sprite_image(file_name.text_of(), static_cast<int32_t>(s),
                             DEFAULT_TRANSPARENT_COLOUR, true)
               ? 1
               : 0;
}

double load_animated_sprite(const DynString& file_name, double sprite, double frame_width,
                            double frame_height) {
    if (load_sprite(file_name, sprite) == 0) return 0;
    SpriteSlot& slot = rainbows()->sprites[static_cast<size_t>(index_of(sprite))];
    if (slot.width > 0) {
        // Frame sizes share the slot's 16-bit fields; out-of-range sizes mean no frames.
        const int32_t fw = whole(frame_width), fh = whole(frame_height);
        const bool fits = fw > 0 && fh > 0 && fw <= 32767 && fh <= 32767;
        slot.frame_width = static_cast<int16_t>(fits ? fw : 0);
        slot.frame_height = static_cast<int16_t>(fits ? fh : 0);
    }
    return 1;
}

void get_sprite_size(double sprite, double& width, double& height) {
    OpenGLRainbows* e = rainbows();
    const int64_t s = index_of(sprite);
    width = height = 0;
    if (!e || !valid_sprite(s)) return;
    width = e->sprites[static_cast<size_t>(s)].width;
    height = e->sprites[static_cast<size_t>(s)].height;
}

void draw_sprite(double sprite, double x, double y) {
    const int64_t s = index_of(sprite);
    const SpriteSlot* slot = drawable(s);
    if (!slot) return;
    const float px = static_cast<float>(ceil_pixel(x)), py = static_cast<float>(ceil_pixel(y));
    const float w = slot->width, h = slot->height;
    const float u = w / slot->texture_width, v = h / slot->texture_height;
    const float quad[16] = {px + w, py, u, v, px, py, 0, v, px, py + h, 0, 0, px + w, py + h, u, 0};
    batch_quad(s, quad);
}

void draw_sprite_stretched(double sprite, double x, double y, double width, double height) {
    const int64_t s = index_of(sprite);
    const SpriteSlot* slot = drawable(s);
    if (!slot) return;
    const float px = static_cast<float>(ceil_pixel(x)), py = static_cast<float>(ceil_pixel(y));
    const int32_t iw = ceil_pixel(width), ih = ceil_pixel(height);
    if (iw == 0 || ih == 0) return;  // no area: nothing to draw
    const float w = static_cast<float>(iw), h = static_cast<float>(ih);
    const float u = static_cast<float>(slot->width) / slot->texture_width;
    const float v = static_cast<float>(slot->height) / slot->texture_height;
    const float quad[16] = {px, py + h, 0, 0, px + w, py + h, u, 0, px + w, py, u, v, px, py, 0, v};
    // One negative size mirrors the picture and turns the quad's winding (its batch is drawn
    // with clockwise front faces); both negative turn it by 180 degrees, winding kept.
    batch_quad(s, quad, (iw < 0) != (ih < 0));
}

void draw_sprite_zoomed(double sprite, double x, double y, double zoom_x, double zoom_y) {
    const SpriteSlot* slot = drawable(index_of(sprite));
    if (!slot) return;
    const double w = slot->width, h = slot->height;
    const double zw = zoom_x * w, zh = zoom_y * h;
    draw_sprite_stretched(sprite, x - (zw - w) / 2, y - (zh - h) / 2, zw, zh);
}

void draw_sprite_rotozoomed(double sprite, double x, double y, double angle, double zoom) {
    const int64_t s = index_of(sprite);
    const SpriteSlot* slot = drawable(s);
    if (!slot) return;
    const int32_t w = slot->width, h = slot->height;
    const float tw = slot->texture_width, th = slot->texture_height;
    // Turned about the axis (0, 0, -1), then moved to the centre: computed here rather than
    // on the modelview matrix, so the quad can join the batch.
    const double radians = angle * (3.14159265358979323846 / 180.0);
    const double c = std::cos(radians), sn = std::sin(radians);
    const double cx = x + w / 2, cy = y + h / 2;
    const double a = zoom * w * 0.5, b = zoom * h * 0.5;
    const float u0 = 0.5f / tw, u1 = (static_cast<float>(w) - 0.5f) / tw, v0 = 0.5f / th,
                v1 = (static_cast<float>(h) - 0.5f) / th;
    const double corners[4][2] = {{-a, b}, {a, b}, {a, -b}, {-a, -b}};
    const float uv[4][2] = {{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}};
    float quad[16];
    for (int i = 0; i < 4; ++i) {
        const double px = corners[i][0], py = corners[i][1];
        quad[i * 4] = static_cast<float>(cx + c * px + sn * py);
        quad[i * 4 + 1] = static_cast<float>(cy - sn * px + c * py);
        quad[i * 4 + 2] = uv[i][0];
        quad[i * 4 + 3] = uv[i][1];
    }
    batch_quad(s, quad);
}

void draw_sprite_frame(double sprite, double frame, double x, double y) {
    const int64_t s = index_of(sprite);
    const SpriteSlot* slot = drawable(s);
    if (!slot || slot->frame_width <= 0 || slot->frame_height <= 0) return;
    const int32_t fw = slot->frame_width, fh = slot->frame_height;
    const int32_t columns = slot->width / fw;
    if (columns <= 0) return;
    // In 64 bits: frame numbers near the 32-bit limits would overflow the products.
    const int64_t f = whole(frame);
    const int64_t row = f / columns, column = f % columns;
    const float tw = slot->texture_width, th = slot->texture_height;
    const float px = static_cast<float>(ceil_pixel(x)), py = static_cast<float>(ceil_pixel(y));
    const float u0 = static_cast<float>(column * fw) / tw, u1 = static_cast<float>((column + 1) * fw) / tw;
    const float v0 = static_cast<float>(slot->height - (row + 1) * fh) / th,
                v1 = v0 + static_cast<float>(fh) / th;
    const float quad[16] = {px + static_cast<float>(fw),
                            py,
                            u1,
                            v1,
                            px,
                            py,
                            u0,
                            v1,
                            px,
                            py + static_cast<float>(fh),
                            u0,
                            v0,
                            px + static_cast<float>(fw),
                            py + static_cast<float>(fh),
                            u1,
                            v0};
    batch_quad(s, quad);
}

}  // namespace runtime
