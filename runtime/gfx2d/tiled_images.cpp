// Tiled images: pictures larger than one texture cut into square tiles; tiled image 0
// is the screen background that the frame loop draws after presenting a frame.
#include <GL/gl.h>

#include <algorithm>
#include <string>

#include "runtime/gfx2d/drawing_2d.h"
#include "runtime/gfx2d/opengl_rainbows.h"
#include "runtime/gfx2d/packed_names.h"
#include "runtime/gfx2d/texture_upload.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/gl_extensions.h"
#include "runtime/screen/frame.h"

namespace runtime {

namespace {

constexpr double BACKGROUND_FADE_MS = 1500.0;

GLint max_texture_size() {
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    return std::max(size, 64);
}

void show_frame() {
    if (gfx2d_hooks().show_frame) {
        gfx2d_hooks().show_frame();
    } else {
        show_screen();
    }
}

}  // namespace

void free_tiled_image(int32_t image) {
    OpenGLRainbows* e = rainbows();
    if (!e || !valid_tiled_image(image)) return;
    TiledImage& t = e->tiled_images[static_cast<size_t>(image)];
    flush_sprite_batch();
    if (e->gl_ready) {
        for (const TiledImage::Tile& tile : t.tiles) {
            if (tile.texture == 0) continue;
            const auto name = static_cast<GLuint>(tile.texture);
            glDeleteTextures(1, &name);
        }
    }
    t = TiledImage{};
}

bool load_tiled_image(int32_t image, const char* file_name) {
    OpenGLRainbows* e = rainbows();
    if (!e || !valid_tiled_image(image)) return false;
    std::string path;
    if (!resolve_image_name(file_name, path)) return false;
    ImageBuffer picture;
    if (!load_picture(picture, path.c_str(), NO_COLOUR_KEY)) return false;
    if (picture.width == 0 || picture.height == 0) return false;
    const int32_t tile = std::min<int32_t>(max_texture_size(), 512);
    free_tiled_image(image);
    TiledImage& t = e->tiled_images[static_cast<size_t>(image)];
    int32_t rows = 0, most_columns = 0;
    // The record holds 64 x 64 tiles; parts of a picture beyond them are left out.
    for (int32_t y = 0; y < picture.height && rows < MAX_TILE_ROWS; y += tile, ++rows) {
        int32_t columns = 0;
        for (int32_t x = 0; x < picture.width && columns < MAX_TILE_COLUMNS; x += tile, ++columns) {
            uint32_t texture = 0;
            if (!upload_texture(picture, x, y, tile, tile, &texture, nullptr, false, false)) continue;
            TiledImage::Tile& slot = t.tiles[columns * MAX_TILE_ROWS + rows];
            slot.texture = static_cast<int32_t>(texture);
            slot.texture_width = slot.texture_height = tile;
            slot.used_width = slot.used_height = tile;
        }
        most_columns = std::max(most_columns, columns);
    }
    t.columns = most_columns;
    t.rows = rows;
    return true;
}

void grab_screen_tiles(int32_t image) {
    OpenGLRainbows* e = rainbows();
    if (!e || !valid_tiled_image(image)) return;
    flush_sprite_batch();
    const int32_t larger = std::max(e->screen_width, e->screen_height);
    const GLint max_size = max_texture_size();
    int32_t tile = 128;
    while (tile < larger && tile < max_size) tile *= 2;
    TiledImage& t = e->tiled_images[static_cast<size_t>(image)];
    int32_t rows = 0, columns = 0;
    for (int32_t y = 0; y < e->screen_height && rows < MAX_TILE_ROWS; y += tile, ++rows) {
        columns = 0;
        for (int32_t x = 0; x < e->screen_width && columns < MAX_TILE_COLUMNS; x += tile, ++columns) {
            TiledImage::Tile& slot = t.tiles[columns * MAX_TILE_ROWS + rows];
            auto texture = static_cast<GLuint>(slot.texture);
            if (texture == 0 || slot.texture_width != tile || slot.texture_height != tile) {
                if (texture != 0) glDeleteTextures(1, &texture);
                glGenTextures(1, &texture);
                glBindTexture(GL_TEXTURE_2D, texture);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
                glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tile, tile, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                             nullptr);
                slot.texture = static_cast<int32_t>(texture);
                slot.texture_width = slot.texture_height = tile;
            }
            slot.used_width = std::min(tile, e->screen_width - x);
            slot.used_height = std::min(tile, e->screen_height - y);
            glBindTexture(GL_TEXTURE_2D, texture);
            glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, x, e->screen_height - y - slot.used_height,
                                slot.used_width, slot.used_height);
        }
    }
    t.columns = columns;
    t.rows = rows;
    e->bound_sprite = -1;
}

void draw_tiled_image(int32_t image) {
    OpenGLRainbows* e = rainbows();
    if (!e || !valid_tiled_image(image)) return;
    const TiledImage& t = e->tiled_images[static_cast<size_t>(image)];
    flush_sprite_batch();
    glDisable(GL_ALPHA_TEST);
    const platform::GlExtensions& ext = platform::gl_extensions();
    if (ext.glActiveTextureARB) {
        ext.glActiveTextureARB(GL_TEXTURE1_ARB);
        glDisable(GL_TEXTURE_2D);
        ext.glActiveTextureARB(GL_TEXTURE0_ARB);
    }
    glEnable(GL_TEXTURE_2D);
    for (int32_t column = 0; column < t.columns; ++column) {
        for (int32_t row = 0; row < t.rows; ++row) {
            const TiledImage::Tile& tile = t.tiles[column * MAX_TILE_ROWS + row];
            if (tile.texture == 0 || tile.texture_width <= 0 || tile.texture_height <= 0) continue;
            glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(tile.texture));
            const auto x = static_cast<float>(column * tile.texture_width);
            const auto y = static_cast<float>(row * tile.texture_height);
            const auto w = static_cast<float>(tile.used_width);
            const auto h = static_cast<float>(tile.used_height);
            const float u = w / static_cast<float>(tile.texture_width),
                        v = h / static_cast<float>(tile.texture_height);
            const float quad[16] = {x, y + h, 0, 0, x + w, y + h, u, 0, x + w, y, u, v, x, y, 0, v};
            draw_quad(quad);
        }
    }
    glEnable(GL_ALPHA_TEST);
    glBindTexture(GL_TEXTURE_2D, 0);
    e->bound_sprite = -1;
}

void draw_background() {
    if (!rainbows()) return;
    set_alpha_mode(0);
    draw_tiled_image(0);
}

void use_screen_as_background() { grab_screen_tiles(0); }

double load_background(const DynString& file_name) {
    OpenGLRainbows* e = rainbows();
    if (!e) return 0;
    const char* name = file_name.text_of();
    // A name that finds no file ends the command before the background is touched.
    std::string path;
    if (!resolve_image_name(name, path)) return 0;
    grab_screen_tiles(2);
    const bool loaded = load_tiled_image(1, name);
    free_tiled_image(0);
    glClear(GL_COLOR_BUFFER_BIT);
    const double end = platform::now_ms() + BACKGROUND_FADE_MS;
    double k = 0.9;
    while (k > 0 && k < 1) {
        // Each frame starts from black: the additive fade would otherwise pile up on
        // whatever the swapped-in back buffer still holds.
        glClear(GL_COLOR_BUFFER_BIT);
        set_alpha_mode(k);
        draw_tiled_image(2);
        set_alpha_mode(1 - k);
        draw_tiled_image(1);
        show_frame();
        k = (end - platform::now_ms()) / BACKGROUND_FADE_MS;
    }
    free_tiled_image(1);
    free_tiled_image(2);
    const bool ok = loaded && load_tiled_image(0, name);
    set_alpha_mode(0);
    draw_tiled_image(0);
    show_frame();
    return ok ? 1 : 0;
}

}  // namespace runtime
