// Render targets. With framebuffer objects the sprite's texture is attached to a
// framebuffer with its own depth buffer; without them the target is emulated in the
// top-left corner of the back buffer, whose content is saved in SCRATCH_SLOT meanwhile.
#include "runtime/gfx2d/render_targets.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "runtime/gfx2d/drawing_2d.h"
#include "runtime/gfx2d/gfx2d_internal.h"
#include "runtime/gfx2d/opengl_rainbows.h"
#include "runtime/gfx2d/texture_upload.h"
#include "runtime/platform/gl_extensions.h"

namespace runtime {

using gfx2d_detail::index_of;
using gfx2d_detail::whole;

namespace {

bool framebuffer_entry_points_present() {
    const platform::GlExtensions& x = platform::gl_extensions();
    return x.glGenFramebuffersEXT && x.glGenRenderbuffersEXT && x.glBindRenderbufferEXT &&
           x.glRenderbufferStorageEXT && x.glCheckFramebufferStatusEXT && x.glBindFramebufferEXT &&
           x.glFramebufferTexture2DEXT && x.glFramebufferRenderbufferEXT;
}

bool has_framebuffer(const RenderTarget& t) {
    return t.fb_width != 0 && t.fb_height != 0 && platform::gl_extensions().glBindFramebufferEXT;
}

void attach(const RenderTarget& t, GLuint texture) {
    const platform::GlExtensions& x = platform::gl_extensions();
    x.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, t.framebuffer);
    x.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, t.depth_buffer);
    x.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                                texture, 0);
    x.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT,
                                   GL_RENDERBUFFER_EXT, t.depth_buffer);
}

void detach() {
    const platform::GlExtensions& x = platform::gl_extensions();
    x.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    x.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
}

// Takes the drawing out of the target in use and gives the screen back.
void leave_current_target(OpenGLRainbows* e) {
    flush_sprite_batch();
    const int32_t current = e->current_render_target;
    if (current < 0 || current >= RENDER_TARGET_COUNT) return;
    const RenderTarget& t = e->render_targets[current];
    if (has_framebuffer(t)) {
        detach();
    } else if (valid_sprite(t.sprite)) {
        const SpriteSlot& slot = e->sprites[static_cast<size_t>(t.sprite)];
        grab_sprite(t.sprite, 0, 0, slot.width, slot.height);
        fill_rect(0, 0, slot.texture_width, slot.texture_height, 0);
        draw_sprite(SCRATCH_SLOT, 0, 0);
    }
    reset_2d_state(0, 0, 0, 0);
}

}  // namespace

void free_render_target(int32_t target) {
    OpenGLRainbows* e = rainbows();
    if (!e || target < 0 || target >= RENDER_TARGET_COUNT) return;
    RenderTarget& t = e->render_targets[target];
    const platform::GlExtensions& x = platform::gl_extensions();
    flush_sprite_batch();
    if (e->gl_ready) {
        if (t.framebuffer && x.glDeleteFramebuffersEXT) x.glDeleteFramebuffersEXT(1, &t.framebuffer);
        if (t.depth_buffer && x.glDeleteRenderbuffersEXT) {
            x.glDeleteRenderbuffersEXT(1, &t.depth_buffer);
        }
    }
    t = RenderTarget{};
}

void create_render_target(double target, double sprite, double width, double height) {
    OpenGLRainbows* e = rainbows();
    const int64_t t = index_of(target), s = index_of(sprite);
    if (!e || t < 0 || t >= RENDER_TARGET_COUNT || !valid_sprite(s)) return;
    const int32_t w = whole(width), h = whole(height);
    // The picture sizes live in the slot's 16-bit fields.
    if (w < 1 || h < 1 || w > 16384 || h > 16384) return;
    const int32_t tw = texture_size_for(w), th = texture_size_for(h);

    free_sprite(static_cast<int32_t>(s));
    ImageBuffer blank;
    if (!blank.resize(tw, th)) return;
    std::fill(blank.pixels, blank.pixels + static_cast<size_t>(tw) * static_cast<size_t>(th) * 4, uint8_t{0});
    SpriteSlot& slot = e->sprites[static_cast<size_t>(s)];
    uint32_t texture = 0;
    if (!upload_texture(blank, 0, 0, 0, 0, &texture, nullptr, false, false)) return;
    slot.texture = texture;
    slot.width = static_cast<int16_t>(w);
    slot.height = static_cast<int16_t>(h);
    slot.texture_width = static_cast<int16_t>(tw);
    slot.texture_height = static_cast<int16_t>(th);

    free_render_target(static_cast<int32_t>(t));
    RenderTarget& record = e->render_targets[t];
    if (framebuffer_entry_points_present()) {
        const platform::GlExtensions& x = platform::gl_extensions();
        x.glGenFramebuffersEXT(1, &record.framebuffer);
        x.glGenRenderbuffersEXT(1, &record.depth_buffer);
        x.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, record.depth_buffer);
        x.glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, tw, th);
        // The status is that of the framebuffer as it will be used: with both attachments.
        attach(record, texture);
        const GLenum status = x.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
        if (status == GL_FRAMEBUFFER_COMPLETE_EXT) {
            record.fb_width = tw;
            record.fb_height = th;
        }
        // Back to where drawing was: the screen, or the framebuffer of the target in use.
        const int32_t current = e->current_render_target;
        if (current >= 0 && current != t && has_framebuffer(e->render_targets[current])) {
            const RenderTarget& in_use = e->render_targets[current];
            attach(in_use, e->sprites[static_cast<size_t>(in_use.sprite)].texture);
        } else {
            detach();
        }
    }
    record.sprite = static_cast<int32_t>(s);
    e->bound_sprite = -1;
}

void use_render_target(double target) {
    OpenGLRainbows* e = rainbows();
    if (!e) return;
    const int64_t t = index_of(target);
    if (t < 0) {
        end_render_target();
        return;
    }
    if (t >= RENDER_TARGET_COUNT) return;
    leave_current_target(e);
    e->current_render_target = static_cast<int32_t>(t);
    const RenderTarget& record = e->render_targets[t];
    if (!valid_sprite(record.sprite)) return;
    const SpriteSlot& slot = e->sprites[static_cast<size_t>(record.sprite)];
    const int32_t w = slot.width, h = slot.height;
    if (has_framebuffer(record)) {
        attach(record, slot.texture);
        reset_2d_state(0, 0, w, h);
        glViewport(0, 0, w, h);
    } else {
        reset_2d_state(0, 0, w, h);
        grab_sprite(SCRATCH_SLOT, 0, 0, w, h);
        const int64_t key = colour_key_of(e->transparent_colour);
        fill_rect(0, 0, w, h, static_cast<double>(key < 0 ? 0 : key));  // black when there is none
        draw_sprite(record.sprite, 0, 0);
    }
}

void end_render_target() {
    OpenGLRainbows* e = rainbows();
    if (!e) return;
    leave_current_target(e);
    e->current_render_target = -1;
}

}  // namespace runtime
