// Texture upload: sizes, row order, edge bleeding, the mipmap formula and chain, the
// normal map; the OpenGL part on a real offscreen context.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "gl2d_fixture.h"
#include "runtime/gfx2d/texture_upload.h"

namespace runtime {
namespace {

void set(ImageBuffer& image, int x, int y, uint32_t rgba) {
    uint8_t* p = image.pixel(x, y);
    for (int c = 0; c < 4; ++c) p[c] = (rgba >> (8 * c)) & 0xFF;
}
uint32_t get(const ImageBuffer& image, int x, int y) {
    const uint8_t* p = image.pixel(x, y);
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

TEST(TextureSize, LeastPowerOfTwoDoublingAtLeastOnce) {
    const int cases[][2] = {{0, 2}, {1, 2}, {2, 2}, {3, 4}, {100, 128}, {128, 128}, {129, 256}, {20, 32}};
    for (const auto& c : cases) EXPECT_EQ(texture_size_for(c[0]), c[1]) << c[0];
}

TEST(TextureBuffer, PictureSitsInTheLowerLeftWithItsBottomRowFirst) {
    ImageBuffer picture;
    ASSERT_TRUE(picture.resize(3, 2));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) set(picture, x, y, 0xFF000000u | static_cast<uint32_t>(y * 16 + x + 1));
    ImageBuffer texture;
    ASSERT_TRUE(texture.resize(4, 2));
    std::memset(texture.pixels, 0x55, 32);
    fill_texture_buffer(picture, 0, 0, 3, 2, texture);
    EXPECT_EQ(get(texture, 0, 0), 0xFF000011u);  // bottom picture row in texture row 0
    EXPECT_EQ(get(texture, 2, 1), 0xFF000003u);  // top row in row h - 1
    EXPECT_EQ(get(texture, 3, 0), 0u);           // padding is transparent black
}

TEST(TextureBuffer, RegionStartsAtItsOffset) {
    ImageBuffer picture;
    ASSERT_TRUE(picture.resize(4, 4));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) set(picture, x, y, 0xFF000000u | static_cast<uint32_t>(y * 16 + x));
    ImageBuffer texture;
    ASSERT_TRUE(texture.resize(2, 2));
    fill_texture_buffer(picture, 2, 1, 2, 2, texture);
    EXPECT_EQ(get(texture, 0, 1), 0xFF000012u);  // picture (2, 1) is the region's top-left
    EXPECT_EQ(get(texture, 1, 0), 0xFF000023u);
}

TEST(EdgeBleeding, TransparentTexelsTakeTheMeanOfOpaqueInnerNeighbours) {
    ImageBuffer t;
    ASSERT_TRUE(t.resize(4, 4));
    std::memset(t.pixels, 0, 64);
    set(t, 1, 1, 0xFF000010u);
    set(t, 2, 1, 0xFF000021u);
    set(t, 0, 3, 0x00FFFFFFu);  // transparent, no opaque neighbour: becomes all zero
    bleed_transparent_edges(t);
    EXPECT_EQ(get(t, 0, 0), 0x00000010u);  // one neighbour (1, 1)
    EXPECT_EQ(get(t, 1, 2), 0x00000018u);  // (0x10 + 0x21) / 2, truncated
    EXPECT_EQ(get(t, 0, 3), 0u);
    EXPECT_EQ(get(t, 1, 1), 0xFF000010u);  // opaque texels unchanged
}

TEST(EdgeBleeding, OnlyTheInnerAreaCountsAsNeighbours) {
    ImageBuffer t;
    ASSERT_TRUE(t.resize(4, 4));
    std::memset(t.pixels, 0, 64);
    set(t, 0, 0, 0xFF0000FFu);  // opaque, but on the edge
    bleed_transparent_edges(t);
    EXPECT_EQ(get(t, 1, 1), 0u);
}

TEST(Mipmap, FormulaOfTheNextLevel) {
    // One channel pattern in a 4 x 4 level: S(a, b) = 10 * b + a.
    uint8_t px[4 * 4 * 4];
    for (int b = 0; b < 4; ++b)
        for (int a = 0; a < 4; ++a)
            for (int c = 0; c < 4; ++c) px[(b * 4 + a) * 4 + c] = static_cast<uint8_t>(10 * b + a + c);
    int32_t w = 4, h = 4;
    ASSERT_TRUE(next_mipmap_level(px, w, h));
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 2);
    auto s = [](int a, int b) { return 10 * b + a; };
    // (0, 0): both conditions; (1, 0): y only; (0, 1): x only; (1, 1): neither.
    EXPECT_EQ(px[0], (4 * s(0, 0) + 2 * s(1, 0) + 2 * s(1, 2) + s(0, 2)) / 9);
    EXPECT_EQ(px[4], (2 * s(2, 0) + s(2, 2)) / 3);
    EXPECT_EQ(px[8], (2 * s(0, 2) + s(1, 2)) / 3);
    EXPECT_EQ(px[12], s(2, 2));
    EXPECT_EQ(px[13], s(2, 2) + 1);
}

TEST(Mipmap, ChainOfAHundredByTwentyPicture) {
    int32_t w = 128, h = 32;
    std::vector<uint8_t> px(static_cast<size_t>(w) * static_cast<size_t>(h) * 4, 7);
    std::vector<std::pair<int, int>> levels = {{w, h}};
    while (next_mipmap_level(px.data(), w, h)) levels.emplace_back(w, h);
    const std::vector<std::pair<int, int>> want = {{128, 32}, {64, 16}, {32, 8}, {16, 4},
                                                   {8, 2},    {4, 1},   {2, 1},  {1, 1}};
    EXPECT_EQ(levels, want);
}

TEST(NormalMap, FlatPictureFacesStraightOut) {
    ImageBuffer image;
    ASSERT_TRUE(image.resize(3, 3));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) set(image, x, y, 0x80808080u);
    make_normal_map(image);
    EXPECT_EQ(get(image, 1, 1), 0x80FF7F7Fu);  // (127, 127, 255) with alpha kept
}

TEST(NormalMap, SlopeFollowsTheFormula) {
    // Height rises to the right: blue = 0, 100, 200 per column (wrapping at the edges).
    ImageBuffer image;
    ASSERT_TRUE(image.resize(3, 3));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) set(image, x, y, 0xFF000000u | (static_cast<uint32_t>(x * 100) << 16));
    make_normal_map(image);
    const double l = 0 / 255.0, r = 200 / 255.0;
    const double nx = l + l + 2 * l - r - r - 2 * r;
    const double s = 1.0 / std::sqrt(nx * nx + 1.0);
    const uint8_t* p = image.pixel(1, 1);
    EXPECT_EQ(p[0], static_cast<uint8_t>((nx * s + 1) * 0.5 * 255));
    EXPECT_EQ(p[1], 127);
    EXPECT_EQ(p[2], static_cast<uint8_t>((s + 1) * 0.5 * 255));
}

using TextureUploadGl = Gl2dTest;

TEST_F(TextureUploadGl, HundredByTwentyBecomesA128By32TextureWithEightMipLevels) {
    ImageBuffer picture;
    ASSERT_TRUE(picture.resize(100, 20));
    std::memset(picture.pixels, 200, 100 * 20 * 4);
    uint32_t texture = 0, mip = 0;
    ASSERT_TRUE(upload_texture(picture, 0, 0, 0, 0, &texture, &mip, false, false));
    GLint w = 0, h = 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    EXPECT_EQ(w, 128);
    EXPECT_EQ(h, 32);
    glBindTexture(GL_TEXTURE_2D, mip);
    const int want[][2] = {{128, 32}, {64, 16}, {32, 8}, {16, 4}, {8, 2}, {4, 1}, {2, 1}, {1, 1}};
    for (int level = 0; level < 8; ++level) {
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &h);
        EXPECT_EQ(w, want[level][0]) << level;
        EXPECT_EQ(h, want[level][1]) << level;
    }
    // Level 0 holds the picture bottom row first and bled padding.
    std::vector<uint8_t> texels(128 * 32 * 4);
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(texels[0], 200);
    EXPECT_EQ(texels[(20 * 128 + 50) * 4 + 3], 0);  // above the picture: transparent
    EXPECT_EQ(texels[(20 * 128 + 50) * 4], 200);    // ...with the colour bled in
}

TEST_F(TextureUploadGl, EmptyRegionFailsAndKeepsTheOldName) {
    ImageBuffer picture;
    ASSERT_TRUE(picture.resize(4, 4));
    uint32_t texture = 12345;
    EXPECT_FALSE(upload_texture(picture, 4, 0, 0, 0, &texture, nullptr, false, false));
    EXPECT_EQ(texture, 12345u);
}

TEST_F(TextureUploadGl, UploadReplacesTheOldTextureName) {
    ImageBuffer picture;
    ASSERT_TRUE(picture.resize(2, 2));
    std::memset(picture.pixels, 255, 16);
    uint32_t texture = 0;
    ASSERT_TRUE(upload_texture(picture, 0, 0, 0, 0, &texture, nullptr, false, true));
    const uint32_t first = texture;
    ASSERT_TRUE(upload_texture(picture, 0, 0, 0, 0, &texture, nullptr, false, true));
    EXPECT_NE(texture, 0u);
    EXPECT_FALSE(glIsTexture(first) && first != texture);
}

}  // namespace
}  // namespace runtime
