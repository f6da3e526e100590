// Texture upload: the picture is converted once into the texture's final layout, and
// the mipmap chain is built in place in the same buffer.
#include "runtime/gfx2d/texture_upload.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "runtime/gfx2d/drawing_2d.h"

namespace runtime {

int32_t texture_size_for(int32_t n) {
    int32_t size = 1;
    do {
        size *= 2;
    } while (size < n && size < (1 << 30));
    return size;
}

void fill_texture_buffer(const ImageBuffer& image, int32_t x, int32_t y, int32_t w, int32_t h,
                         ImageBuffer& texture) {
    std::memset(texture.pixels, 0,
                static_cast<size_t>(texture.width) * static_cast<size_t>(texture.height) * 4);
    const int32_t tw = texture.width, th = texture.height;
    const int64_t x_end = std::min<int64_t>(static_cast<int64_t>(x) + tw, image.width);
    const int64_t y_end = std::min<int64_t>(static_cast<int64_t>(y) + th, image.height);
    for (int64_t py = std::max(y, 0); py < y_end; ++py) {
        if (py - y >= h) break;
        const int64_t row = static_cast<int64_t>(y) + h - 1 - py;
        if (row < 0 || row >= th) continue;
        for (int64_t px = std::max(x, 0); px < x_end; ++px) {
            if (px - x >= w) break;
            std::memcpy(texture.pixel(static_cast<int32_t>(px - x), static_cast<int32_t>(row)),
                        image.pixel(static_cast<int32_t>(px), static_cast<int32_t>(py)), 4);
        }
    }
}

void bleed_transparent_edges(ImageBuffer& texture) {
    const int32_t tw = texture.width, th = texture.height;
    for (int32_t ty = 0; ty < th; ++ty) {
        for (int32_t tx = 0; tx < tw; ++tx) {
            uint8_t* t = texture.pixel(tx, ty);
            if (t[3] != 0) continue;
            int sum_r = 0, sum_g = 0, sum_b = 0, count = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    if (dx == 0 && dy == 0) continue;
                    const int32_t nx = tx + dx, ny = ty + dy;
                    if (nx < 1 || nx > tw - 2 || ny < 1 || ny > th - 2) continue;
                    const uint8_t* n = texture.pixel(nx, ny);
                    if (n[3] == 0) continue;
                    sum_r += n[0];
                    sum_g += n[1];
                    sum_b += n[2];
                    ++count;
                }
            }
            // Texels changed here keep alpha 0, so they never count as neighbours.
            t[0] = static_cast<uint8_t>(count ? sum_r / count : 0);
            t[1] = static_cast<uint8_t>(count ? sum_g / count : 0);
            t[2] = static_cast<uint8_t>(count ? sum_b / count : 0);
        }
    }
}

bool next_mipmap_level(uint8_t* pixels, int32_t& width, int32_t& height) {
    if (width <= 1 && height <= 1) return false;
    const int32_t pw = width;
    const int32_t nw = std::max(1, width / 2), nh = std::max(1, height / 2);
    auto s = [&](int32_t a, int32_t b, int c) { return int{pixels[(b * pw + a) * 4 + c]}; };
    // Every source texel read lies at or after the texel written, so in place is safe.
    for (int32_t y = 0; y < nh; ++y) {
        for (int32_t x = 0; x < nw; ++x) {
            uint8_t value[4];
            for (int c = 0; c < 4; ++c) {
                int v;
                if (x < nw - 1 && y < nh - 1) {
                    v = (4 * s(2 * x, 2 * y, c) + 2 * s(2 * x + 1, 2 * y, c) +
                         2 * s(2 * x + 1, 2 * y + 2, c) + s(2 * x, 2 * y + 2, c)) / 9;
                } else if (x < nw - 1) {
                    v = (2 * s(2 * x, 2 * y, c) + s(2 * x + 1, 2 * y, c)) / 3;
                } else if (y < nh - 1) {
                    v = (2 * s(2 * x, 2 * y, c) + s(2 * x, 2 * y + 2, c)) / 3;
                } else {
                    v = s(2 * x, 2 * y, c);
                }
                value[c] = static_cast<uint8_t>(v);
            }
            std::memcpy(pixels + (y * nw + x) * 4, value, 4);
        }
    }
    width = nw;
    height = nh;
    return true;
}

void make_normal_map(ImageBuffer& image) {
    const int32_t w = image.width, h = image.height;
    if (w < 1 || h < 1) return;
    ImageBuffer out;
    if (!out.resize(w, h)) return;
    auto height_at = [&](int32_t x, int32_t y) {
        x = (x % w + w) % w;
        y = (y % h + h) % h;
        return image.pixel(x, y)[2] / 255.0;
    };
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const double um = height_at(x - 1, y + 1), u0 = height_at(x, y + 1),
                         up = height_at(x + 1, y + 1);
            const double dm = height_at(x - 1, y - 1), d0 = height_at(x, y - 1),
                         dp = height_at(x + 1, y - 1);
            const double l = height_at(x - 1, y), r = height_at(x + 1, y);
            const double nx = um + dm + 2 * l - up - dp - 2 * r;
            const double ny = um + 2 * u0 + up - dm - 2 * d0 - dp;
            const double s = 1.0 / std::sqrt(nx * nx + ny * ny + 1.0);
            uint8_t* o = out.pixel(x, y);
            o[0] = static_cast<uint8_t>((nx * s + 1) * 0.5 * 255);
            o[1] = static_cast<uint8_t>((ny * s + 1) * 0.5 * 255);
            o[2] = static_cast<uint8_t>((s + 1) * 0.5 * 255);
            o[3] = image.pixel(x, y)[3];
        }
    }
    std::swap(image.pixels, out.pixels);
    std::swap(image.capacity, out.capacity);
}

namespace {

void set_texture_parameters(GLint min_filter, GLint mag_filter) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, mag_filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min_filter);
}

void set_unpack_state() {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
}

}  // namespace

bool upload_texture(const ImageBuffer& image, int32_t x, int32_t y, int32_t w, int32_t h,
                    uint32_t* texture, uint32_t* mip_texture, bool normal_map, bool nearest) {
    GLint max_size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
    if (max_size < 2) max_size = 2;
    if (w == 0) w = image.width - x;
    if (h == 0) h = image.height - y;
    if (w < 1 || h < 1) return false;
    w = std::min(w, static_cast<int32_t>(max_size));
    h = std::min(h, static_cast<int32_t>(max_size));
    const int32_t tw = texture_size_for(w), th = texture_size_for(h);
    // The collected quads may use the texture replaced here, and binding changes theirs.
    flush_sprite_batch();

    ImageBuffer buffer;
    if (!buffer.resize(tw, th)) return false;
    fill_texture_buffer(image, x, y, w, h, buffer);
    if (!nearest) bleed_transparent_edges(buffer);

    set_unpack_state();
    GLuint name = *texture;
    if (name != 0) glDeleteTextures(1, &name);
    *texture = 0;
    glGenTextures(1, &name);
    *texture = name;
    glBindTexture(GL_TEXTURE_2D, name);
    const GLint filter = nearest ? GL_NEAREST : GL_LINEAR;
    set_texture_parameters(filter, filter);
    if (normal_map) make_normal_map(buffer);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, buffer.pixels);

    if (mip_texture) {
        set_unpack_state();
        GLuint mip = 0;
        glGenTextures(1, &mip);
        *mip_texture = mip;
        glBindTexture(GL_TEXTURE_2D, mip);
        set_texture_parameters(GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
        int32_t lw = tw, lh = th;
        GLint level = 0;
        glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, lw, lh, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     buffer.pixels);
        while (next_mipmap_level(buffer.pixels, lw, lh)) {
            ++level;
            glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, lw, lh, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                         buffer.pixels);
        }
    }
    return true;
}

}  // namespace runtime
