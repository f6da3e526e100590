// Collisions over alpha maps, render targets on both paths (framebuffer objects and
// the emulation with the entry points withheld), tiled images and backgrounds.
#include <gtest/gtest.h>

#include "gl2d_fixture.h"
#include "runtime/platform/clock.h"

namespace runtime {
namespace {

using Collisions = Gl2dTest;

TEST_F(Collisions, OverlapCollidesAndTouchingEdgesDoNot) {
    load(make_bmp("a.bmp", 8, 8, [](int, int) { return WHITE; }), 1);
    load(make_bmp("b.bmp", 8, 8, [](int, int) { return RED; }), 2);
    EXPECT_EQ(sprite_collision(1, 0, 0, 2, 7, 7), 1.0);
    EXPECT_EQ(sprite_collision(1, 0, 0, 2, 8, 0), 0.0);  // touching at an edge
    EXPECT_EQ(sprite_collision(1, 0, 0, 2, 0, 8), 0.0);
    EXPECT_EQ(sprite_collision(1, 0, 0, 2, 20, 20), 0.0);
    EXPECT_EQ(sprite_collision(1, 10, 10, 2, 3, 3), 1.0);
}

TEST_F(Collisions, TransparentPixelsDoNotCollide) {
    // A ring: only the border of a 9 x 9 picture is opaque; the hole is keyed out.
    load(make_bmp("ring.bmp", 9, 9, [](int x, int y) {
             return (x == 0 || y == 0 || x == 8 || y == 8) ? WHITE : DEFAULT_TRANSPARENT_COLOUR;
         }), 1);
    load(make_bmp("dot.bmp", 1, 1, [](int, int) { return RED; }), 2);
    EXPECT_EQ(sprite_collision(1, 0, 0, 2, 4, 4), 0.0);
    EXPECT_EQ(sprite_collision(1, 0, 0, 2, 1, 1), 0.0);
    EXPECT_EQ(sprite_collision(1, 0, 0, 2, 0, 4), 1.0);
    EXPECT_EQ(sprite_collision(1, 0, 0, 2, 8, 3), 1.0);  // an odd row and column
    EXPECT_NE(engine->alpha_maps[1], nullptr);           // cached after the first test
}

TEST_F(Collisions, FrameCollisionUsesTheFrameCells) {
    // 2 x 1 frames of 4 x 4: frame 0 opaque, frame 1 keyed out entirely.
    const std::string path = make_bmp("f.bmp", 8, 4, [](int x, int) {
        return x < 4 ? WHITE : DEFAULT_TRANSPARENT_COLOUR;
    });
    ASSERT_EQ(load_animated_sprite(DynString(path.c_str()), 3, 4, 4), 1.0);
    load(make_bmp("b.bmp", 2, 2, [](int, int) { return RED; }), 2);
    EXPECT_EQ(sprite_frame_collision(3, 0, 10, 10, 2, 0, 11, 11), 1.0);
    EXPECT_EQ(sprite_frame_collision(3, 1, 10, 10, 2, 0, 11, 11), 0.0);
    // The frame rectangle is 4 wide: at x 14 the other sprite only touches it.
    EXPECT_EQ(sprite_frame_collision(3, 0, 10, 10, 2, 0, 14, 11), 0.0);
}

TEST_F(Collisions, GrabbingIntoASpriteRefreshesItsAlphaMap) {
    load(make_bmp("a.bmp", 8, 8, [](int, int) { return WHITE; }), 1);
    load(make_bmp("b.bmp", 8, 8, [](int, int) { return WHITE; }), 2);
    ASSERT_EQ(sprite_collision(1, 0, 0, 2, 0, 0), 1.0);
    fill_rect(0, 0, 40, 40, DEFAULT_TRANSPARENT_COLOUR);
    grab_sprite(1, 0, 0, 8, 8);
    EXPECT_EQ(sprite_collision(1, 0, 0, 2, 0, 0), 0.0);
}

class RenderTargets : public Gl2dTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        Gl2dTest::SetUp();
        if (!GetParam()) {
            // Withholding the entry points switches targets to the emulation.
            platform::gl_extensions().glGenFramebuffersEXT = nullptr;
        } else if (!platform::gl_extensions().has_framebuffer_objects()) {
            GTEST_SKIP() << "no framebuffer objects in this OpenGL";
        }
    }
    bool framebuffer_path() const { return GetParam(); }
};

TEST_P(RenderTargets, CreateMakesAnEmptyPowerOfTwoPicture) {
    create_render_target(0, 10, 100, 50);
    const SpriteSlot& s = engine->sprites[10];
    EXPECT_EQ(s.texture_width, 128);
    EXPECT_EQ(s.texture_height, 64);
    EXPECT_EQ(s.width, 100);
    EXPECT_EQ(s.height, 50);
    EXPECT_EQ(engine->render_targets[0].sprite, 10);
    EXPECT_EQ(engine->render_targets[0].fb_width, framebuffer_path() ? 128 : 0);
    create_render_target(32, 11, 10, 10);
    EXPECT_EQ(engine->sprites[11].texture, 0u);
}

TEST_P(RenderTargets, DrawingLandsInTheSpriteAndTheScreenIsKept) {
    // Screen content under the target's corner.
    for (int y = 0; y < 60; y += 4) fill_rect(0, y, 120, 2, BLUE);
    const std::vector<uint8_t> before = read_block(0, 0, 120, 60);
    create_render_target(1, 10, 100, 50);
    use_render_target(1);
    EXPECT_EQ(engine->current_render_target, 1);
    fill_rect(5, 5, 10, 10, RED);
    end_render_target();
    EXPECT_EQ(engine->current_render_target, -1);
    EXPECT_EQ(read_block(0, 0, 120, 60), before);

    glClear(GL_COLOR_BUFFER_BIT);
    fill_rect(150, 100, 100, 50, GREEN);
    draw_sprite(10, 150, 100);
    EXPECT_EQ(pixel(155, 105), RED);
    EXPECT_EQ(pixel(164, 114), RED);
    EXPECT_EQ(pixel(165, 114), GREEN);  // undrawn target pixels are transparent
    EXPECT_EQ(pixel(150, 100), GREEN);
}

TEST_P(RenderTargets, UsingAgainContinuesOnThePreviousContent) {
    create_render_target(2, 12, 64, 64);
    use_render_target(2);
    fill_rect(0, 0, 4, 4, RED);
    use_render_target(-1);
    EXPECT_EQ(engine->current_render_target, -1);
    use_render_target(2);
    fill_rect(10, 10, 4, 4, BLUE);
    use_render_target(99);  // ignored
    EXPECT_EQ(engine->current_render_target, 2);
    end_render_target();
    glClear(GL_COLOR_BUFFER_BIT);
    draw_sprite(12, 100, 100);
    EXPECT_EQ(pixel(101, 101), RED);
    EXPECT_EQ(pixel(111, 111), BLUE);
}

INSTANTIATE_TEST_SUITE_P(BothPaths, RenderTargets, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "Framebuffer" : "Emulation";
                         });

using TiledImages = Gl2dTest;

TEST_F(TiledImages, ScreenAsBackgroundIsDrawnBackAfterClearing) {
    fill_rect(0, 0, TEST_SCREEN_W, TEST_SCREEN_H, BLUE);
    fill_rect(300, 200, 10, 10, RED);
    use_screen_as_background();
    EXPECT_EQ(engine->tiled_images[0].rows, 1);  // one 512 tile covers 320 x 240
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(pixel(10, 10), 0u);
    draw_background();
    EXPECT_EQ(pixel(10, 10), BLUE);
    EXPECT_EQ(pixel(305, 205), RED);
    EXPECT_EQ(pixel(319, 239), BLUE);
    clear_screen();
    EXPECT_EQ(engine->tiled_images[0].rows, 0);
    EXPECT_EQ(pixel(10, 10), 0u);
}

TEST_F(TiledImages, LoadedPictureIsCutIntoTiles) {
    const std::string path = make_bmp("big.bmp", 600, 40, [](int x, int) { return x < 512 ? GREEN : RED; });
    ASSERT_TRUE(load_tiled_image(3, path.c_str()));
    EXPECT_EQ(engine->tiled_images[3].columns, 2);
    EXPECT_EQ(engine->tiled_images[3].rows, 1);
    EXPECT_EQ(engine->tiled_images[3].tiles[MAX_TILE_ROWS].used_width, 512);
    draw_tiled_image(3);
    EXPECT_EQ(pixel(100, 20), GREEN);
    free_tiled_image(3);
    EXPECT_EQ(engine->tiled_images[3].tiles[0].texture, 0);
    EXPECT_FALSE(load_tiled_image(3, temp_.file("missing.bmp").c_str()));
}

TEST_F(TiledImages, LoadBackgroundCrossFadesForAboutOneAndAHalfSeconds) {
    const std::string path = make_bmp("bg.bmp", 64, 64, [](int, int) { return RED; });
    fill_rect(0, 0, TEST_SCREEN_W, TEST_SCREEN_H, BLUE);
    int frames = 0;
    // Frames are only counted; finishing each keeps the driver's queue short.
    gfx2d_hooks().show_frame = [&] {
        ++frames;
        glFinish();
    };
    const double start = platform::now_ms();
    ASSERT_EQ(load_background(DynString(path.c_str())), 1.0);
    const double took = platform::now_ms() - start;
    EXPECT_GE(took, 1400.0);
    EXPECT_GT(frames, 2);
    EXPECT_EQ(engine->tiled_images[1].rows, 0);
    EXPECT_EQ(engine->tiled_images[2].rows, 0);
    EXPECT_EQ(engine->tiled_images[0].rows, 1);
    EXPECT_EQ(pixel(10, 10), RED);
    EXPECT_EQ(engine->alpha, 1.0f);
}

TEST_F(TiledImages, LoadBackgroundOfAMissingFileKeepsTheBackground) {
    fill_rect(0, 0, TEST_SCREEN_W, TEST_SCREEN_H, BLUE);
    use_screen_as_background();
    int frames = 0;
    gfx2d_hooks().show_frame = [&] { ++frames; };
    EXPECT_EQ(load_background(DynString(temp_.file("missing.bmp").c_str())), 0.0);
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(pixel(10, 10), BLUE);
    glClear(GL_COLOR_BUFFER_BIT);
    draw_background();
    EXPECT_EQ(pixel(10, 10), BLUE);
}

}  // namespace
}  // namespace runtime
