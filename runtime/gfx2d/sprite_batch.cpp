// Sprite batching: consecutive sprite and text quads with one texture and winding are
// collected and drawn in one call when anything else needs the OpenGL state. Every other
// command of the engine draws the batch first, so the pixels are those of drawing each
// quad on its own.
#include <GL/gl.h>

#include <algorithm>
#include <cstring>

#include "runtime/gfx2d/drawing_2d.h"
#include "runtime/gfx2d/gfx2d_internal.h"
#include "runtime/gfx2d/opengl_rainbows.h"

namespace runtime {

namespace {

// Vertices collected before a draw call is due anyway; about 1.3 MB.
constexpr int32_t BATCH_VERTEX_LIMIT = 1 << 16;
// Distance from the right and bottom edges of the viewport below which a vertex may land
// outside the clip volume once projected (the left and top edges project exactly).
constexpr float CLIP_MARGIN = 1.0f / 16;

// Whether every vertex lies within the 2D viewport and well within the depth range.
bool inside_viewport(const OpenGLRainbows* e, const BatchVertex* v, int32_t count) {
    const auto right = static_cast<float>(e->viewport_width) - CLIP_MARGIN;
    const auto bottom = static_cast<float>(e->viewport_height) - CLIP_MARGIN;
    for (int32_t i = 0; i < count; ++i) {
        if (!(v[i].x >= 0 && v[i].x <= right && v[i].y >= 0 && v[i].y <= bottom &&
              v[i].z >= -0.5f && v[i].z <= 0.5f)) {
            return false;
        }
    }
    return true;
}

}  // namespace

void draw_vertex_array(const BatchVertex* vertices, int32_t count, uint32_t primitive) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(BatchVertex), &vertices->x);
    glTexCoordPointer(2, GL_FLOAT, sizeof(BatchVertex), &vertices->u);
    glDrawArrays(primitive, 0, count);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void draw_collected_quads(OpenGLRainbows* e) {
    SpriteBatch& batch = e->sprite_batch;
    if (batch.vertices.count == 0) return;
    // Without a context (it is going away) the quads have nowhere to go.
    if (e->gl_ready) {
        if (batch.clockwise) glFrontFace(GL_CW);
        draw_vertex_array(batch.vertices.items, batch.vertices.count, GL_QUADS);
        if (batch.clockwise) glFrontFace(GL_CCW);
        ++batch.draw_calls;
    }
    batch.vertices.clear();
    batch.sprite = -1;
    batch.texture = 0;
    batch.alone = false;
}

void flush_sprite_batch() {
    OpenGLRainbows* e = rainbows();
    if (!e) return;
    draw_collected_quads(e);
    // Whatever comes next may change the blending behind the engine's back.
    e->sprite_batch.alpha_mode_known = false;
}

bool batch_quads(OpenGLRainbows* e, int32_t sprite, bool clockwise, const BatchVertex* vertices,
                 int32_t count) {
    if (!e || !valid_sprite(sprite) || count < 4 || count > (1 << 28)) return false;
    SpriteBatch& batch = e->sprite_batch;
    VertexList<BatchVertex>& list = batch.vertices;
    const uint32_t texture = e->sprites[static_cast<size_t>(sprite)].texture;
    // A draw call that clips takes another path through the driver, whose rounding
    // differs slightly for every quad in it; so quads that may clip are drawn on their own.
    const bool alone = !inside_viewport(e, vertices, count);
    if (list.count > 0 &&
        (alone || batch.alone || batch.sprite != sprite || batch.texture != texture ||
         batch.clockwise != clockwise || count > BATCH_VERTEX_LIMIT - list.count)) {
        draw_collected_quads(e);
    }
    // Doubling keeps growth to a few steps in the first frame.
    const int32_t needed = list.count + count;
    if (needed > list.capacity &&
        !list.reserve(std::max(needed, std::min(list.capacity * 2, BATCH_VERTEX_LIMIT)))) {
        draw_collected_quads(e);
        if (!list.reserve(count)) return false;
    }
    if (list.count == 0) {
        bind_sprite_now(sprite);
        batch.sprite = sprite;
        batch.texture = texture;
        batch.clockwise = clockwise;
        batch.alone = alone;
    }
    std::memcpy(list.items + list.count, vertices,
                sizeof(BatchVertex) * static_cast<size_t>(count));
    list.count += count;
    return true;
}

}  // namespace runtime
