// Helpers shared by the 2D engine's source files (not part of the public interface).
#pragma once

#include <cmath>
#include <cstdint>

namespace runtime::gfx2d_detail {

// A command's number as a whole 32-bit value: truncated toward zero, NaN as 0, and
// clamped to the 32-bit range so that no conversion is undefined.
inline int32_t whole(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return 2147483647;
    if (x <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int32_t>(x);
}
// A 64-bit value clamped into the 32-bit range.
inline int32_t clamp32(int64_t x) {
    return static_cast<int32_t>(x < INT32_MIN ? INT32_MIN : x > INT32_MAX ? INT32_MAX : x);
}
// A number as a sprite or image index: truncated, or -1 when it is no index at all.
inline int64_t index_of(double x) {
    if (std::isnan(x) || x >= 9.0e15 || x <= -9.0e15) return -1;
    return static_cast<int64_t>(x);
}
// Rounded up to a whole pixel (the sprite commands' placement rule).
inline int32_t ceil_pixel(double x) { return whole(std::ceil(x)); }
// A colour number as the 24-bit colour it names (bits 24-31 ignored).
inline uint32_t colour_of(double x) { return static_cast<uint32_t>(whole(x)) & 0xFFFFFFu; }

}  // namespace runtime::gfx2d_detail

namespace runtime {
class OpenGLRainbows;
struct BatchVertex;
// bind_sprite without drawing the collected quads first (the batch binds its own sprite).
void bind_sprite_now(int32_t sprite, int32_t second_sprite = -1, bool mipmapped = false,
                     const uint32_t* texture_list = nullptr);
// Draws vertices from arrays of x, y, z, u, v.
void draw_vertex_array(const BatchVertex* vertices, int32_t count, uint32_t primitive);
// Draws the collected sprite quads and empties the batch.
void draw_collected_quads(OpenGLRainbows* engine);
// Installs the engine's parts of the frame loop's hooks (2D state, render target end,
// background after presenting, background freeing, texture release); and removes them.
void join_frame_loop();
void leave_frame_loop();
// Takes the screen size, colour depth and context state from the window record.
void sync_engine_with_window();
}  // namespace runtime
