// Sprite drawing, primitives, alpha modes, grabbing and saving on a real offscreen
// context, read back pixel by pixel.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "gl2d_fixture.h"
#include "runtime/screen/screen_state.h"

namespace runtime {
namespace {

// A picture whose every pixel has its own colour: red from x, green from y.
uint32_t pattern(int x, int y) { return static_cast<uint32_t>((40 * x + 20) | ((40 * y + 20) << 8)); }

using SpriteDrawing = Gl2dTest;

TEST_F(SpriteDrawing, DrawSpriteMapsTexelsToPixelsAtTheCeilingPosition) {
    load(make_bmp("p.bmp", 5, 3, pattern), 7);
    draw_sprite(7, 10.2, 20.7);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) EXPECT_EQ(pixel(11 + x, 21 + y), pattern(x, y)) << x << "," << y;
    }
    EXPECT_EQ(pixel(10, 21), 0u);
    EXPECT_EQ(pixel(16, 21), 0u);
    EXPECT_EQ(pixel(11, 20), 0u);
    EXPECT_EQ(pixel(11, 24), 0u);
}

TEST_F(SpriteDrawing, OnePixelPictureUsesATwoByTwoTexture) {
    load(make_bmp("one.bmp", 1, 1, [](int, int) { return GREEN; }), 3);
    double w = 0, h = 0;
    get_sprite_size(3, w, h);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(engine->sprites[3].texture_width, 2);
    EXPECT_EQ(engine->sprites[3].texture_height, 2);
    draw_sprite(3, 4, 4);
    EXPECT_EQ(pixel(4, 4), GREEN);
}

TEST_F(SpriteDrawing, NegativeWidthMirrorsInsteadOfBeingCulled) {
    load(make_bmp("p.bmp", 5, 3, pattern), 1);
    draw_sprite_stretched(1, 50, 40, -5, 3);
    // The quad runs from x 50 back to 45: column 45 shows the picture's last column.
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) EXPECT_EQ(pixel(45 + x, 40 + y), pattern(4 - x, y)) << x << "," << y;
    }
    draw_sprite_stretched(1, 100, 43, 5, -3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) EXPECT_EQ(pixel(100 + x, 40 + y), pattern(x, 2 - y)) << x << "," << y;
    }
    GLint front = 0;
    glGetIntegerv(GL_FRONT_FACE, &front);
    EXPECT_EQ(front, GL_CCW);
}

TEST_F(SpriteDrawing, BothSizesNegativeTurnsThePictureHalfWay) {
    load(make_bmp("p.bmp", 5, 3, pattern), 1);
    draw_sprite_stretched(1, 50, 43, -5, -3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) EXPECT_EQ(pixel(45 + x, 40 + y), pattern(4 - x, 2 - y)) << x << "," << y;
    }
}

TEST_F(SpriteDrawing, StretchedRoundsEveryValueUp) {
    load(make_bmp("w.bmp", 4, 4, [](int, int) { return WHITE; }), 2);
    draw_sprite_stretched(2, 9.1, 9.9, 10.5, 3.2);  // x 10, y 10, 11 x 4
    EXPECT_EQ(pixel(10, 10), WHITE);
    EXPECT_EQ(pixel(20, 13), WHITE);
    EXPECT_EQ(pixel(21, 13), 0u);
    EXPECT_EQ(pixel(20, 14), 0u);
    EXPECT_EQ(pixel(9, 10), 0u);
}

TEST_F(SpriteDrawing, ZoomedIsCentredWhereTheUnzoomedPictureWouldBe) {
    load(make_bmp("w.bmp", 4, 2, [](int, int) { return WHITE; }), 2);
    draw_sprite_zoomed(2, 100, 100, 2, 3);
    // W = 8, H = 6 at (100 - 2, 100 - 2).
    EXPECT_EQ(pixel(98, 98), WHITE);
    EXPECT_EQ(pixel(105, 103), WHITE);
    EXPECT_EQ(pixel(97, 98), 0u);
    EXPECT_EQ(pixel(106, 103), 0u);
    EXPECT_EQ(pixel(98, 97), 0u);
    EXPECT_EQ(pixel(98, 104), 0u);
}

TEST_F(SpriteDrawing, RotozoomTurnsCounterClockwiseAboutTheCentre) {
    // 20 x 10: red left half, green right half; 90 degrees puts the red half at the bottom.
    load(make_bmp("r.bmp", 20, 10, [](int x, int) { return x < 10 ? RED : GREEN; }), 4);
    draw_sprite_rotozoomed(4, 100, 100, 90, 1);
    // Centre (110, 105); after turning, 10 wide and 20 tall.
    EXPECT_EQ(pixel(110, 110), RED);
    EXPECT_EQ(pixel(110, 99), GREEN);
    EXPECT_EQ(pixel(104, 105), 0u);
    EXPECT_EQ(pixel(116, 105), 0u);
    EXPECT_EQ(pixel(110, 93), 0u);
    EXPECT_EQ(pixel(110, 116), 0u);
}

TEST_F(SpriteDrawing, RotozoomMatchesItsReferencePicture) {
    load(make_bmp("r.bmp", 24, 16, [](int x, int y) { return (x / 4 + y / 4) % 2 ? BLUE | 0x2020 : WHITE; }), 4);
    draw_sprite_rotozoomed(4, 20, 20, 30, 1.5);
    EXPECT_TRUE(matches_golden("rotozoom_30_1_5", 0, 0, 64, 56, 24));
}

TEST_F(SpriteDrawing, FrameFiveOfA128By64PictureIsColumnOneOfRowOne) {
    // 4 x 2 frames of 32 x 32, frame n coloured n * 20 in red.
    const std::string path = make_bmp("f.bmp", 128, 64, [](int x, int y) {
        return static_cast<uint32_t>((y / 32 * 4 + x / 32) * 20 + 10);
    });
    ASSERT_EQ(load_animated_sprite(DynString(path.c_str()), 9, 32, 32), 1.0);
    draw_sprite_frame(9, 5, 40.5, 60);
    EXPECT_EQ(pixel(41, 60), 110u);
    EXPECT_EQ(pixel(72, 91), 110u);
    EXPECT_EQ(pixel(73, 60), 0u);
    EXPECT_EQ(pixel(41, 92), 0u);
    draw_sprite_frame(9, 2, 200, 10);
    EXPECT_EQ(pixel(215, 20), 50u);
}

// Numbers at and beyond the 32-bit limits: no overflow (the sanitizer pass runs this),
// and the engine keeps working afterwards.
TEST_F(SpriteDrawing, ExtremeNumbersStayDefined) {
    const std::string path = make_bmp("f.bmp", 64, 32, [](int, int) { return WHITE; });
    ASSERT_EQ(load_animated_sprite(DynString(path.c_str()), 9, 32, 32), 1.0);
    const double limit = 2147483648.0;
    for (double n : {1e10, -1e10, limit, -limit, limit - 1}) {
        draw_sprite_frame(9, n, 0, 0);
        draw_sprite_frame(9, 1, n, n);
        EXPECT_LE(read_pixel(0, n), static_cast<double>(0xFFFFFF)) << n;
        EXPECT_LE(read_pixel(n, n), static_cast<double>(0xFFFFFF)) << n;
        grab_sprite(10, 0, n, 10, 10);
        grab_sprite(10, n, 0, 10, 10);
        EXPECT_EQ(engine->sprites[10].width, 10) << n;
        set_2d_viewport(n, n, 10, 10);
        EXPECT_EQ(engine->viewport_x, n > 0 ? INT32_MAX : INT32_MIN) << n;
        sprite_frame_collision(9, n, 0, 0, 9, -n, 0, 0);
        fill_rect(n, n, -n, n, RED);
    }
    set_2d_viewport(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    draw_sprite_frame(9, 1, 10, 10);
    EXPECT_EQ(pixel(12, 12), WHITE);
}

TEST_F(SpriteDrawing, FrameDrawsNothingWithoutFrameSizes) {
    load(make_bmp("w.bmp", 8, 8, [](int, int) { return WHITE; }), 2);
    draw_sprite_frame(2, 0, 10, 10);
    EXPECT_EQ(pixel(12, 12), 0u);
}

TEST_F(SpriteDrawing, TransparentColourOfTheFileIsNotDrawn) {
    load(make_bmp("k.bmp", 2, 1, [](int x, int) { return x == 0 ? DEFAULT_TRANSPARENT_COLOUR : WHITE; }), 2);
    fill_rect(0, 0, 20, 20, BLUE);
    draw_sprite(2, 5, 5);
    EXPECT_EQ(pixel(5, 5), BLUE);
    EXPECT_EQ(pixel(6, 5), WHITE);
}

TEST_F(SpriteDrawing, BumpSpriteHoldsANormalMap) {
    load(make_bmp("b.bmp", 4, 4, [](int, int) { return 0x808080u; }), 2);
    ASSERT_EQ(load_bump_sprite(DynString(temp_.file("b.bmp").c_str()), 2), 1.0);
    draw_sprite(2, 0, 0);
    EXPECT_EQ(pixel(1, 1), 0xFF7F7Fu);
}

TEST_F(SpriteDrawing, FailedLoadLeavesTheSlotEmpty) {
    load(make_bmp("w.bmp", 4, 4, [](int, int) { return WHITE; }), 2);
    EXPECT_EQ(load_sprite(DynString(temp_.file("missing.bmp").c_str()), 2), 0.0);
    EXPECT_EQ(engine->sprites[2].texture, 0u);
    EXPECT_EQ(engine->sprites[2].texture_width, -1);
    EXPECT_EQ(engine->sprites[2].width, 0);
    draw_sprite(2, 0, 0);
    EXPECT_EQ(pixel(1, 1), 0u);
}

TEST_F(SpriteDrawing, OverlongFileNameFailsCleanly) {
    EXPECT_EQ(load_sprite(DynString(std::string(5000, 'b').c_str()), 2), 0.0);
    gfx2d_hooks().show_frame = [] { glFinish(); };
    EXPECT_EQ(load_background(DynString(std::string(5000, 'b').c_str())), 0.0);
    EXPECT_EQ(engine->sprites[2].texture, 0u);
}

TEST_F(SpriteDrawing, NumbersOutsideTheStoreAreIgnored) {
    const std::string path = make_bmp("w.bmp", 4, 4, [](int, int) { return WHITE; });
    for (double s : {-1.0, 65536.0, 1e12, -1e300, std::nan("")}) {
        EXPECT_EQ(load_sprite(DynString(path.c_str()), s), 0.0) << s;
        draw_sprite(s, 0, 0);
        draw_sprite_stretched(s, 0, 0, 4, 4);
        draw_sprite_zoomed(s, 0, 0, 2, 2);
        draw_sprite_rotozoomed(s, 0, 0, 10, 1);
        draw_sprite_frame(s, 0, 0, 0);
        grab_sprite(s, 0, 0, 4, 4);
        start_polygon(s);
        double w = 1, h = 1;
        get_sprite_size(s, w, h);
        EXPECT_EQ(w, 0);
        EXPECT_EQ(sprite_collision(s, 0, 0, s, 0, 0), 0.0);
        EXPECT_EQ(save_sprite_image(DynString(temp_.file("x.bmp").c_str()), s), 0.0);
    }
    for (int t : {-1, 16, 1000}) {
        draw_tiled_image(t);
        free_tiled_image(t);
        grab_screen_tiles(t);
        EXPECT_FALSE(load_tiled_image(t, path.c_str()));
    }
    EXPECT_EQ(pixel(1, 1), 0u);
}

TEST_F(SpriteDrawing, FreeAllSpritesEmptiesEverySlot) {
    load(make_bmp("w.bmp", 4, 4, [](int, int) { return WHITE; }), 2);
    load(make_bmp("w2.bmp", 4, 4, [](int, int) { return WHITE; }), 65000);
    free_all_sprites();
    for (int s : {2, 65000}) {
        EXPECT_EQ(engine->sprites[static_cast<size_t>(s)].texture, 0u);
        EXPECT_EQ(engine->sprites[static_cast<size_t>(s)].mip_texture, 0u);
        EXPECT_EQ(engine->sprites[static_cast<size_t>(s)].texture_width, -1);
        EXPECT_EQ(engine->sprites[static_cast<size_t>(s)].height, 0);
    }
}

using Primitives = Gl2dTest;

TEST_F(Primitives, PlotSetsExactlyOnePixel) {
    plot(5, 7, RED);
    EXPECT_EQ(pixel(5, 7), RED);
    EXPECT_EQ(pixel(4, 7), 0u);
    EXPECT_EQ(pixel(6, 7), 0u);
    EXPECT_EQ(pixel(5, 6), 0u);
    EXPECT_EQ(read_pixel(5, 7), 255.0);
}

TEST_F(Primitives, LineIncludesBothEndPoints) {
    draw_line(10, 10, 20, 10, GREEN);
    for (int x = 10; x <= 20; ++x) EXPECT_EQ(pixel(x, 10), GREEN) << x;
    EXPECT_EQ(pixel(9, 10), 0u);
    EXPECT_EQ(pixel(21, 10), 0u);
    draw_line(30, 30, 30, 35, BLUE);
    for (int y = 30; y <= 35; ++y) EXPECT_EQ(pixel(30, y), BLUE) << y;
}

TEST_F(Primitives, FillRectWithNegativeWidthExtendsLeft) {
    fill_rect(10, 10, -5, 3, WHITE);
    for (int x = 6; x <= 10; ++x) {
        for (int y = 10; y <= 12; ++y) EXPECT_EQ(pixel(x, y), WHITE) << x << "," << y;
    }
    EXPECT_EQ(pixel(5, 10), 0u);
    EXPECT_EQ(pixel(11, 10), 0u);
    EXPECT_EQ(pixel(8, 13), 0u);
    fill_rect(50, 50, 2, -2, RED);
    EXPECT_EQ(pixel(50, 49), RED);
    EXPECT_EQ(pixel(51, 50), RED);
    EXPECT_EQ(pixel(50, 48), 0u);
}

TEST_F(Primitives, TransparentColourWritesAlphaZero) {
    fill_rect(0, 0, 10, 10, RED);
    plot(3, 3, DEFAULT_TRANSPARENT_COLOUR);
    EXPECT_EQ(pixel_rgba(3, 3) >> 24, 0u);
    EXPECT_EQ(pixel_rgba(4, 3) >> 24, 255u);
}

TEST_F(Primitives, PolygonFillsAsATriangleFan) {
    start_polygon(-1);
    add_polygon_vertex(10, 30, 0, 0, RED);
    add_polygon_vertex(30, 30, 0, 0, RED);
    add_polygon_vertex(30, 10, 0, 0, RED);
    add_polygon_vertex(10, 10, 0, 0, RED);
    end_polygon();
    EXPECT_EQ(pixel(20, 20), RED);
    EXPECT_EQ(pixel(11, 11), RED);
    EXPECT_EQ(pixel(35, 20), 0u);
    GLint shade = 0;
    glGetIntegerv(GL_SHADE_MODEL, &shade);
    EXPECT_EQ(shade, GL_FLAT);
}

TEST_F(Primitives, TexturedPolygonTakesTexturePixels) {
    load(make_bmp("p.bmp", 5, 3, pattern), 1);
    start_polygon(1);
    add_polygon_vertex(0, 30, 0, 3, WHITE);
    add_polygon_vertex(50, 30, 5, 3, WHITE);
    add_polygon_vertex(50, 0, 5, 0, WHITE);
    add_polygon_vertex(0, 0, 0, 0, WHITE);
    end_polygon();
    // The picture stretched ten times: texel (2, 0) fills x 20..29, y 0..9. Pixel centres
    // sit 1/20 texel beside texel centres, so linear filtering mixes in up to 5 %.
    auto near = [](uint32_t a, uint32_t b) {
        for (int c = 0; c < 24; c += 8) {
            if (std::abs(static_cast<int>((a >> c) & 0xFF) - static_cast<int>((b >> c) & 0xFF)) > 3) return false;
        }
        return true;
    };
    EXPECT_PRED2(near, pixel(25, 5), pattern(2, 0));
    EXPECT_PRED2(near, pixel(35, 15), pattern(3, 1));
    EXPECT_EQ(pixel(51, 5), 0u);
}

using AlphaModes = Gl2dTest;

TEST_F(AlphaModes, PositiveIsAdditiveWithAlphaAtMostOne) {
    load(make_bmp("g.bmp", 4, 4, [](int, int) { return GREEN; }), 1);
    fill_rect(0, 0, 10, 10, RED);
    set_alpha_mode(2);
    EXPECT_EQ(engine->alpha, 1.0f);
    draw_sprite(1, 2, 2);
    EXPECT_EQ(pixel(3, 3), RED | GREEN);
}

TEST_F(AlphaModes, NegativeBlendsWithHalfAlpha) {
    load(make_bmp("w.bmp", 4, 4, [](int, int) { return WHITE; }), 1);
    set_alpha_mode(-0.5);
    EXPECT_EQ(engine->alpha, 0.5f);
    draw_sprite(1, 2, 2);
    const uint32_t c = pixel(3, 3);
    EXPECT_NEAR(static_cast<int>(c & 0xFF), 128, 1);
    set_alpha_mode(0);
    EXPECT_EQ(engine->alpha, 1.0f);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

using Grabbing = Gl2dTest;

TEST_F(Grabbing, TextureSizeIsAtLeast32) {
    grab_sprite(5, 0, 0, 20, 10);
    EXPECT_EQ(engine->sprites[5].texture_width, 32);
    EXPECT_EQ(engine->sprites[5].texture_height, 32);
    EXPECT_EQ(engine->sprites[5].width, 20);
    grab_sprite(5, 0, 0, 33, 10);
    EXPECT_EQ(engine->sprites[5].texture_width, 64);
}

TEST_F(Grabbing, GrabbedRectangleDrawsBackTheSamePixels) {
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) plot(10 + x, 10 + y, pattern(x, y));
    grab_sprite(5, 10, 10, 6, 6);
    draw_sprite(5, 100, 100);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(pixel(100 + x, 100 + y), pattern(x, y)) << x << "," << y;
}

void expect_plotted_transparent_colour_becomes_transparent(OpenGLRainbows* engine) {
    fill_rect(10, 10, 5, 5, RED);
    plot(12, 12, DEFAULT_TRANSPARENT_COLOUR);
    grab_sprite(6, 10, 10, 5, 5);
    fill_rect(100, 100, 10, 10, BLUE);
    draw_sprite(6, 100, 100);
    EXPECT_EQ(read_pixel(102, 102), static_cast<double>(BLUE));
    EXPECT_EQ(read_pixel(101, 102), static_cast<double>(RED));
    (void)engine;
}

TEST_F(Grabbing, PlottedTransparentColourBecomesTransparentThroughAlphaBits) {
    GLint bits = 0;
    glGetIntegerv(GL_ALPHA_BITS, &bits);
    ASSERT_GT(bits, 0) << "the offscreen back buffer has no alpha channel";
    expect_plotted_transparent_colour_becomes_transparent(engine);
    EXPECT_GT(engine->back_buffer_alpha_bits, 0);
}

TEST_F(Grabbing, PlottedTransparentColourBecomesTransparentThroughTheKeyColour) {
    gfx2d_hooks().query_alpha_bits = [] { return 0; };
    fill_rect(0, 0, 5, 5, GREEN);
    expect_plotted_transparent_colour_becomes_transparent(engine);
    EXPECT_EQ(engine->back_buffer_alpha_bits, 0);
    // The probe pixel at (2, 2) is put back.
    EXPECT_EQ(pixel(2, 2), GREEN);
}

TEST_F(Grabbing, BlackIsTheKeyWhenTheTransparentColourIsBlack) {
    gfx2d_hooks().query_alpha_bits = [] { return 0; };
    set_transparent_colour(0);
    EXPECT_EQ(engine->font_colour_key, 0u);
    fill_rect(10, 10, 2, 1, WHITE);
    plot(11, 10, 0);
    grab_sprite(6, 10, 10, 2, 1);
    fill_rect(100, 100, 4, 4, BLUE);
    draw_sprite(6, 100, 100);
    EXPECT_EQ(pixel(100, 100), WHITE);
    EXPECT_EQ(pixel(101, 100), BLUE);
}

// set_transparent_colour(-1): no colour is transparent, white included, in loads,
// drawing, grabs and saves.
TEST_F(Grabbing, MinusOneMeansNoTransparentColour) {
    gfx2d_hooks().query_alpha_bits = [] { return 0; };
    set_transparent_colour(-1);
    load(make_bmp("k.bmp", 2, 1, [](int x, int) { return x == 0 ? WHITE : 0x8000FFu; }), 3);
    fill_rect(0, 0, 8, 8, BLUE);
    draw_sprite(3, 0, 0);
    EXPECT_EQ(pixel(0, 0), WHITE);
    EXPECT_EQ(pixel(1, 0), 0x8000FFu);
    plot(5, 5, WHITE);
    EXPECT_EQ(pixel_rgba(5, 5), 0xFFFFFFFFu);
    grab_sprite(4, 0, 0, 2, 1);
    fill_rect(0, 0, 8, 8, BLUE);
    draw_sprite(4, 0, 0);
    EXPECT_EQ(pixel(0, 0), WHITE);
    const std::string bmp = temp_.file("w.bmp");
    ASSERT_EQ(save_screen_image(DynString(bmp.c_str())), 1.0);
    ImageBuffer image;
    ASSERT_TRUE(load_bmp(image, bmp.c_str(), NO_COLOUR_KEY));
    EXPECT_EQ(image.pixel(0, 0)[0] & image.pixel(0, 0)[1] & image.pixel(0, 0)[2], 255);
}

using Saving = Gl2dTest;

TEST_F(Saving, ScreenInTheTransparentColourSavesAsTheDefaultKeyInBmp) {
    set_transparent_colour(0x00FF00);
    fill_rect(0, 0, TEST_SCREEN_W, TEST_SCREEN_H, GREEN);
    const std::string bmp = temp_.file("s.bmp"), png = temp_.file("s.PNG");
    ASSERT_EQ(save_screen_image(DynString(bmp.c_str())), 1.0);
    ASSERT_EQ(save_screen_image(DynString(png.c_str())), 1.0);
    const std::string s = test_support::read_file(bmp);
    ASSERT_EQ(s.size(), 54u + TEST_SCREEN_W * 3 * TEST_SCREEN_H);
    EXPECT_EQ(static_cast<uint8_t>(s[54]), 128);
    EXPECT_EQ(static_cast<uint8_t>(s[55]), 0);
    EXPECT_EQ(static_cast<uint8_t>(s[56]), 255);
    EXPECT_EQ(test_support::read_file(png).substr(1, 3), "PNG");
    ImageBuffer image;
    ASSERT_TRUE(load_png(image, png.c_str(), NO_COLOUR_KEY));
    EXPECT_EQ(image.pixel(0, 0)[3], 0);
}

TEST_F(Saving, SpriteImageRoundTripsThroughAFile) {
    load(make_bmp("p.bmp", 5, 3, pattern), 1);
    const std::string out = temp_.file("sprite.png");
    ASSERT_EQ(save_sprite_image(DynString(out.c_str()), 1), 1.0);
    ImageBuffer image;
    ASSERT_TRUE(load_picture(image, out.c_str(), NO_COLOUR_KEY));
    ASSERT_EQ(image.width, 5);
    ASSERT_EQ(image.height, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const uint8_t* p = image.pixel(x, y);
            EXPECT_EQ(static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)), pattern(x, y));
        }
}

using Viewport = Gl2dTest;

TEST_F(Viewport, TwoDViewportMovesTheOriginAndClips) {
    bool left_3d = false;
    gfx2d_hooks().leave_3d_mode = [&] { left_3d = true; };
    set_2d_viewport(100, 50, 40, 30);
    EXPECT_TRUE(left_3d);
    plot(0, 0, RED);
    fill_rect(30, 20, 30, 30, GREEN);  // clipped at the viewport's edge
    set_2d_viewport(0, 0, 0, 0);
    EXPECT_EQ(pixel(100, 50), RED);
    EXPECT_EQ(pixel(139, 79), GREEN);
    EXPECT_EQ(pixel(140, 79), 0u);
    EXPECT_EQ(pixel(139, 80), 0u);
    EXPECT_EQ(engine->viewport_width, TEST_SCREEN_W);
    double w = 0, h = 0;
    get_screen_size(w, h);
    EXPECT_EQ(w, TEST_SCREEN_W);
    EXPECT_EQ(h, TEST_SCREEN_H);
}

TEST_F(Viewport, ResetStateSetsTheFixedTwoDState) {
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glShadeModel(GL_SMOOTH);
    reset_2d_state(0, 0, 0, 0);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    GLint v[4] = {};
    glGetIntegerv(GL_VIEWPORT, v);
    EXPECT_EQ(v[2], TEST_SCREEN_W);
    GLfloat ref = 0;
    glGetFloatv(GL_ALPHA_TEST_REF, &ref);
    EXPECT_FLOAT_EQ(ref, 0.05f);
    GLint shade = 0;
    glGetIntegerv(GL_SHADE_MODEL, &shade);
    EXPECT_EQ(shade, GL_FLAT);
}

TEST(EngineLifecycle, GlobalPointerFollowsTheObjectAndTheShutDownStepDestroysIt) {
    ASSERT_EQ(rainbows(), nullptr);
    OpenGLRainbows* e = create_engine_2d();
    EXPECT_EQ(rainbows(), e);
    EXPECT_EQ(e->transparent_colour, 0x8000FFu);
    EXPECT_EQ(e->font_colour_key, 0u);
    EXPECT_EQ(e->current_render_target, -1);
    EXPECT_EQ(e->sprites[0].texture_width, -1);
    EXPECT_EQ(e->sprites[65535].width, 0);
    EXPECT_EQ(e->alpha, 0.0f);
    EXPECT_FALSE(e->gl_ready);
    shut_down_runtime();
    EXPECT_EQ(rainbows(), nullptr);
    reset_screen();
}

// rgb() gives what the frame shows as red, green and blue, read back from OpenGL itself;
// parts outside 0..255 are clamped.
TEST_F(Primitives, RgbIsTheColourTheFrameShows) {
    const struct {
        double r, g, b;
        uint8_t red, green, blue;
    } cases[] = {{255, 128, 0, 255, 128, 0}, {32, 128, 255, 32, 128, 255}, {300, -5, 7.9, 255, 0, 7}};
    for (const auto& c : cases) {
        fill_rect(0, 0, 4, 4, rgb(c.r, c.g, c.b));
        uint8_t p[3] = {};
        flush_sprite_batch();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(1, TEST_SCREEN_H - 2, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
        EXPECT_EQ(p[0], c.red);
        EXPECT_EQ(p[1], c.green);
        EXPECT_EQ(p[2], c.blue);
    }
}

}  // namespace
}  // namespace runtime
