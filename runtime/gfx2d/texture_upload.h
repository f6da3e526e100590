// Pictures into power-of-two OpenGL textures: bottom row first, transparent edges
// bled, optional normal map and a hand-built mipmap chain.
#pragma once

#include <cstdint>

#include "runtime/gfx2d/image_files.h"

namespace runtime {

// Least power of two >= n, doubling from 1 at least once (so at least 2).
int32_t texture_size_for(int32_t n);

// Uploads the w x h region at (x, y) of the picture (w or h 0: to the right or bottom
// edge) into a new texture whose name replaces *texture (the old one is deleted); with
// mip_texture a second texture with a full mipmap chain. False for an empty region.
bool upload_texture(const ImageBuffer& image, int32_t x, int32_t y, int32_t w, int32_t h,
                    uint32_t* texture, uint32_t* mip_texture, bool normal_map, bool nearest);

// Replaces the pixels by a normal map, the blue byte taken as height (wraps at edges).
void make_normal_map(ImageBuffer& image);

// The steps of upload_texture that touch no OpenGL state, for reuse and for tests.
// Fills texture (tw x th RGBA, zeroed first) from the region, bottom row first.
void fill_texture_buffer(const ImageBuffer& image, int32_t x, int32_t y, int32_t w, int32_t h,
                         ImageBuffer& texture);
// Gives transparent texels the mean colour of their opaque inner neighbours.
void bleed_transparent_edges(ImageBuffer& texture);
// Builds the next mipmap level in place; returns false once the picture is 1 x 1.
bool next_mipmap_level(uint8_t* pixels, int32_t& width, int32_t& height);

}  // namespace runtime
