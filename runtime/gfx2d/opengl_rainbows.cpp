// The engine's life: construction, the global pointer, teardown, and the low-level
// operations every drawing command shares (binding, quads, batches, the 2D state).
#include "runtime/gfx2d/opengl_rainbows.h"

#include <GL/gl.h>

#include <cstring>

#include "runtime/core/lifecycle.h"
#include "runtime/gfx2d/drawing_2d.h"
#include "runtime/gfx2d/gfx2d_internal.h"
#include "runtime/gfx2d/render_targets.h"
#include "runtime/platform/gl_extensions.h"
#include "runtime/platform/window.h"
#include "runtime/screen/gl_window.h"

namespace runtime {

namespace {

// The one engine; set by the constructor, cleared by the destructor.
struct Engine2DSlot {
    OpenGLRainbows* engine = nullptr;
};
Engine2DSlot& engine_slot() {
    static Engine2DSlot slot;
    return slot;
}

void delete_engine() {
    OpenGLRainbows* engine = engine_slot().engine;
    if (!engine) return;
    delete engine;
    leave_frame_loop();
}

void reset_slot(SpriteSlot& slot) {
    slot = SpriteSlot{};
    slot.texture_width = -1;
    slot.texture_height = -1;
}

}  // namespace

OpenGLRainbows* rainbows() { return engine_slot().engine; }

Gfx2dHooks& gfx2d_hooks() {
    static Gfx2dHooks hooks;
    return hooks;
}

OpenGLRainbows::OpenGLRainbows()
    : sprites(new SpriteSlot[SPRITE_COUNT]()),
      alpha_maps(new std::unique_ptr<uint8_t[]>[SPRITE_COUNT]),
      tiled_images(new TiledImage[TILED_IMAGE_COUNT]) {
    for (int32_t i = 0; i < SPRITE_COUNT; ++i) reset_slot(sprites[static_cast<size_t>(i)]);
    engine_slot().engine = this;
}

OpenGLRainbows::~OpenGLRainbows() {
    // The scene draws through this engine and owns textures and programs of its context.
    // A copy, because the release removes the hook itself.
    if (auto release = gfx2d_hooks().release_3d_scene) release();
    end_render_target();
    for (int32_t t = 0; t < RENDER_TARGET_COUNT; ++t) free_render_target(t);
    free_all_sprites();
    destroy_gl_window();
    if (engine_slot().engine == this) engine_slot().engine = nullptr;
}

OpenGLRainbows* create_engine_2d() {
    if (rainbows()) return rainbows();
    auto* engine = new OpenGLRainbows();
    join_frame_loop();
    // The step must not unregister itself while it runs, so it skips that part.
    register_shutdown_step(ShutdownStep::ENGINE_2D, [] { delete_engine(); });
    return engine;
}

void destroy_engine_2d() {
    register_shutdown_step(ShutdownStep::ENGINE_2D, {});
    delete_engine();
}

bool valid_sprite(int64_t sprite) { return sprite >= 0 && sprite < SPRITE_COUNT; }
bool valid_tiled_image(int64_t image) { return image >= 0 && image < TILED_IMAGE_COUNT; }

void free_sprite(int32_t sprite) {
    OpenGLRainbows* e = rainbows();
    if (!e || !valid_sprite(sprite)) return;
    flush_sprite_batch();
    SpriteSlot& slot = e->sprites[static_cast<size_t>(sprite)];
    if (e->gl_ready) {
        GLuint names[2] = {slot.texture, slot.mip_texture};
        if (names[0]) glDeleteTextures(1, &names[0]);
        if (names[1]) glDeleteTextures(1, &names[1]);
    }
    reset_slot(slot);
    e->alpha_maps[static_cast<size_t>(sprite)].reset();
    if (e->bound_sprite == sprite) e->bound_sprite = -1;
}

void free_all_sprites() {
    OpenGLRainbows* e = rainbows();
    if (!e) return;
    for (int32_t s = 0; s < SPRITE_COUNT; ++s) {
        if (e->sprites[static_cast<size_t>(s)].texture || e->sprites[static_cast<size_t>(s)].mip_texture ||
            e->alpha_maps[static_cast<size_t>(s)]) {
            free_sprite(s);
        } else {
            reset_slot(e->sprites[static_cast<size_t>(s)]);
        }
    }
    for (int32_t t = 0; t < TILED_IMAGE_COUNT; ++t) free_tiled_image(t);
}

void bind_sprite(int32_t sprite, int32_t second_sprite, bool mipmapped,
                 const uint32_t* texture_list) {
    flush_sprite_batch();
    bind_sprite_now(sprite, second_sprite, mipmapped, texture_list);
}

void bind_sprite_now(int32_t sprite, int32_t second_sprite, bool mipmapped,
                     const uint32_t* texture_list) {
    OpenGLRainbows* e = rainbows();
    if (!e) return;
    e->bound_sprite = sprite;
    e->bound_second_sprite = second_sprite;
    e->bound_mipmapped = mipmapped ? 1 : 0;
    auto texture_of = [&](int32_t s) -> GLuint {
        if (!valid_sprite(s)) return 0;
        if (texture_list) return texture_list[s];
        return mipmapped ? e->sprites[static_cast<size_t>(s)].mip_texture
                         : e->sprites[static_cast<size_t>(s)].texture;
    };
    const platform::GlExtensions& ext = platform::gl_extensions();
    if (!ext.glActiveTextureARB) {
        if (sprite < 0) {
            glDisable(GL_TEXTURE_2D);
        } else {
            glBindTexture(GL_TEXTURE_2D, texture_of(sprite));
            glEnable(GL_TEXTURE_2D);
        }
        return;
    }
    ext.glActiveTextureARB(GL_TEXTURE1_ARB);
    if (sprite >= 0 && second_sprite >= 0) {
        glBindTexture(GL_TEXTURE_2D, texture_of(sprite));
        glEnable(GL_TEXTURE_2D);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
    ext.glActiveTextureARB(GL_TEXTURE0_ARB);
    if (sprite < 0) {
        glDisable(GL_TEXTURE_2D);
    } else {
        glBindTexture(GL_TEXTURE_2D, texture_of(second_sprite >= 0 ? second_sprite : sprite));
        glEnable(GL_TEXTURE_2D);
    }
}

void draw_quad(const float v[16]) {
    flush_sprite_batch();
    glBegin(GL_QUADS);
    for (int i = 0; i < 4; ++i) {
        glTexCoord2f(v[i * 4 + 2], v[i * 4 + 3]);
        glVertex2f(v[i * 4], v[i * 4 + 1]);
    }
    glEnd();
}

void draw_batch(uint32_t primitive) {
    OpenGLRainbows* e = rainbows();
    if (!e) return;
    flush_sprite_batch();
    if (e->batch_vertices.count == 0) return;
    draw_vertex_array(e->batch_vertices.items, e->batch_vertices.count, primitive);
}

void reset_2d_state(int32_t x, int32_t y, int32_t width, int32_t height) {
    OpenGLRainbows* e = rainbows();
    if (!e) return;
    flush_sprite_batch();
    if (width <= 0 || height <= 0) {
        x = 0;
        y = 0;
        width = e->screen_width;
        height = e->screen_height;
    }
    e->viewport_x = x;
    e->viewport_y = y;
    e->viewport_width = width;
    e->viewport_height = height;
    // In 64 bits, clamped: positions near the 32-bit limits would overflow.
    glViewport(x, gfx2d_detail::clamp32(int64_t{e->screen_height} - height - y), width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.05f);
    for (GLenum cap :
         std::initializer_list<GLenum>{GL_DEPTH_TEST, GL_DITHER, GL_FOG, GL_LINE_SMOOTH, GL_POINT_SMOOTH,
                                       GL_POLYGON_SMOOTH, GL_STENCIL_TEST, GL_POLYGON_OFFSET_POINT,
                                       GL_COLOR_MATERIAL, GL_AUTO_NORMAL, GL_NORMALIZE, GL_LIGHTING}) {
        glDisable(cap);
    }
    glColor4f(1, 1, 1, 1);
    glClearColor(0, 0, 0, 1);
    glShadeModel(GL_FLAT);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_FASTEST);
}

void set_screen_size(int32_t width, int32_t height) {
    OpenGLRainbows* e = rainbows();
    if (!e) return;
    e->screen_width = width;
    e->screen_height = height;
    reset_2d_state(0, 0, width, height);
}

void set_2d_viewport(double x, double y, double width, double height) {
    if (!rainbows()) return;
    // Quads drawn in 3D mode belong to its state.
    flush_sprite_batch();
    if (gfx2d_hooks().leave_3d_mode) gfx2d_hooks().leave_3d_mode();
    using gfx2d_detail::whole;
    reset_2d_state(whole(x), whole(y), whole(width), whole(height));
}

void get_screen_size(double& width, double& height) {
    OpenGLRainbows* e = rainbows();
    width = e ? e->screen_width : 0;
    height = e ? e->screen_height : 0;
}

void set_alpha_mode(double value) {
    OpenGLRainbows* e = rainbows();
    if (!e) return;
    int32_t blending = 0;
    float alpha = 1.0f;
    if (value == 0) {
        blending = 0;
    } else if (value > 0) {
        blending = 1;
        alpha = static_cast<float>(value < 1 ? value : 1.0);
    } else {
        blending = 2;
        alpha = static_cast<float>(-value < 1 ? -value : 1.0);
    }
    SpriteBatch& batch = e->sprite_batch;
    // The same mode again leaves the state as it is, so the batch goes on.
    if (batch.vertices.count > 0 && batch.alpha_mode_known && batch.blending == blending &&
        batch.alpha == alpha) {
        return;
    }
    draw_collected_quads(e);
    if (blending == 0) {
        glDisable(GL_BLEND);
    } else {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, blending == 1 ? GL_ONE : GL_ONE_MINUS_SRC_ALPHA);
    }
    e->alpha = alpha;
    glColor4f(1, 1, 1, e->alpha);
    batch.alpha_mode_known = true;
    batch.blending = blending;
    batch.alpha = alpha;
}

void set_transparent_colour(double colour) {
    OpenGLRainbows* e = rainbows();
    if (!e) return;
    const int32_t value = gfx2d_detail::whole(colour);
    const uint32_t c = value == -1 ? NO_TRANSPARENT_COLOUR : static_cast<uint32_t>(value) & 0xFFFFFF;
    e->transparent_colour = c;
    e->font_colour_key = c;
}

bool save_image_file(const char* file_name, const uint8_t* bgr_pixels, int32_t width,
                     int32_t height, int32_t row_length, bool top_down) {
    const OpenGLRainbows* e = rainbows();
    return save_image_file(file_name, bgr_pixels, width, height, row_length, top_down,
                           e ? colour_key_of(e->transparent_colour) : DEFAULT_TRANSPARENT_COLOUR);
}

}  // namespace runtime
