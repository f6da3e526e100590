// Screen rectangles into sprites (with the back buffer's alpha, or by the key colour)
// and sprites or the whole screen into picture files.
#include <GL/gl.h>
#include <GL/glext.h>

#include <vector>

#include "runtime/gfx2d/drawing_2d.h"
#include "runtime/gfx2d/gfx2d_internal.h"
#include "runtime/gfx2d/opengl_rainbows.h"

namespace runtime {

using gfx2d_detail::index_of;
using gfx2d_detail::whole;

namespace {

int grab_size_for(int32_t n) {
    int size = 16;
    do {
        size *= 2;
    } while (size < n && size < (1 << 14));
    return size;
}

int back_buffer_alpha_bits(OpenGLRainbows* e) {
    // Queried until found non-zero, then remembered.
    if (e->back_buffer_alpha_bits == 0) {
        int bits = 0;
        if (gfx2d_hooks().query_alpha_bits) {
            bits = gfx2d_hooks().query_alpha_bits();
        } else {
            GLint value = 0;
            glGetIntegerv(GL_ALPHA_BITS, &value);
            bits = value;
        }
        e->back_buffer_alpha_bits = bits;
    }
    return e->back_buffer_alpha_bits;
}

}  // namespace

void grab_sprite(double sprite, double x, double y, double width, double height) {
    OpenGLRainbows* e = rainbows();
    const int64_t s = index_of(sprite);
    if (!e || !valid_sprite(s)) return;
    const int32_t gx = whole(x), gy = whole(y), gw = whole(width), gh = whole(height);
    // The picture sizes live in 16-bit fields.
    if (gw < 0 || gh < 0 || gw > 16384 || gh > 16384) return;
    flush_sprite_batch();
    const int tw = grab_size_for(gw), th = grab_size_for(gh);
    SpriteSlot& slot = e->sprites[static_cast<size_t>(s)];
    GLuint texture = slot.texture;
    if (!(texture != 0 && slot.texture_width == tw && slot.texture_height == th)) {
        GLuint names[2] = {slot.texture, slot.mip_texture};
        if (names[0]) glDeleteTextures(1, &names[0]);
        if (names[1]) glDeleteTextures(1, &names[1]);
        slot.texture = slot.mip_texture = 0;
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        slot.texture = texture;
    }
    const int32_t window_y = gfx2d_detail::clamp32(int64_t{e->screen_height} - gy - gh);
    if (back_buffer_alpha_bits(e) > 0) {
        glBindTexture(GL_TEXTURE_2D, texture);
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, gx, window_y, gw, gh);
    } else {
        std::vector<uint8_t>& block = e->grab_scratch;
        block.assign(static_cast<size_t>(tw) * static_cast<size_t>(th) * 4, 0);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(gx, window_y, tw, th, GL_BGRA, GL_UNSIGNED_BYTE, block.data());
        // The key is the transparent colour as the back buffer stores it at its depth;
        // without a transparent colour nothing is keyed out.
        const int64_t transparent = colour_key_of(e->transparent_colour);
        uint32_t key = 0;
        if (transparent > 0) {
            const double saved = read_pixel(2, 2);
            plot(2, 2, static_cast<double>(transparent));
            key = static_cast<uint32_t>(read_pixel(2, 2));
            plot(2, 2, saved);
        }
        const uint8_t kr = key & 0xFF, kg = (key >> 8) & 0xFF, kb = (key >> 16) & 0xFF;
        for (size_t i = 0; transparent >= 0 && i < block.size(); i += 4) {
            if (block[i] == kb && block[i + 1] == kg && block[i + 2] == kr) block[i + 3] = 0;
        }
        glBindTexture(GL_TEXTURE_2D, texture);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tw, th, 0, GL_BGRA, GL_UNSIGNED_BYTE, block.data());
    }
    slot.texture_width = static_cast<int16_t>(tw);
    slot.texture_height = static_cast<int16_t>(th);
    slot.width = static_cast<int16_t>(gw);
    slot.height = static_cast<int16_t>(gh);
    // A cached alpha map would describe the old picture; the next test reads it anew.
    e->alpha_maps[static_cast<size_t>(s)].reset();
    // The texture bound above is not the sprite the engine thinks is bound.
    e->bound_sprite = -1;
}

double save_sprite_image(const DynString& file_name, double sprite) {
    OpenGLRainbows* e = rainbows();
    const int64_t s = index_of(sprite);
    if (!e || !valid_sprite(s)) return 0;
    const SpriteSlot& slot = e->sprites[static_cast<size_t>(s)];
    if (slot.texture == 0 || slot.texture_width <= 0 || slot.texture_height <= 0) return 0;
    flush_sprite_batch();
    std::vector<uint8_t> bgr(static_cast<size_t>(slot.texture_width) *
                             static_cast<size_t>(slot.texture_height) * 3);
    glBindTexture(GL_TEXTURE_2D, slot.texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_BGR, GL_UNSIGNED_BYTE, bgr.data());
    e->bound_sprite = -1;
    return save_image_file(file_name.text_of(), bgr.data(), slot.width, slot.height,
                           slot.texture_width, false)
               ? 1
               : 0;
}

double save_screen_image(const DynString& file_name) {
    OpenGLRainbows* e = rainbows();
    if (!e || e->screen_width <= 0 || e->screen_height <= 0) return 0;
    flush_sprite_batch();
    std::vector<uint8_t> bgr(static_cast<size_t>(e->screen_width) * static_cast<size_t>(e->screen_height) *
                             3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, e->screen_width, e->screen_height, GL_BGR, GL_UNSIGNED_BYTE, bgr.data());
    return save_image_file(file_name.text_of(), bgr.data(), e->screen_width, e->screen_height,
                           e->screen_width, false)
               ? 1
               : 0;
}

}  // namespace runtime
