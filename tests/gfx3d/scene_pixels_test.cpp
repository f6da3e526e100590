// What the scene draws, read back from the frame: light and fog on a quad, a stencil
// shadow, camera-facing sprites and text, wire shapes.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "gl3d_fixture.h"
#include "runtime/screen/text/font.h"

namespace runtime {
namespace {

using ScenePixels = Gl3dTest;

TEST_F(ScenePixels, LightAndFogColourAQuadAsTheySay) {
    // Quad at distance 10; the light's diffuse plus the scene's ambient 0.2 (colour
    // material has made the white quad's ambient white); fog
    // half way between near 1 and far 19, or exponential with density ln 2 / 10.
    struct Case {
        const char* what;
        double light_dz;  // 0: no light
        int fog;          // 0 none, 1 linear, 2 exponential
        uint32_t expected;
    };
    const Case cases[] = {
        {"unlit", 0, 0, 0xFFFFFF},
        {"lit from the front", -1, 0, 0x3333FF},
        {"lit from behind", 1, 0, 0x333333},
        {"unlit, linear fog", 0, 1, 0xFF8080},
        {"lit, linear fog", -1, 1, 0x991A80},
        {"lit, exponential fog", -1, 2, 0x991A80},
    };
    for (const Case& c : cases) {
        start_3d(1, 19, 45);
        set_camera(0, 0, 10, 0, 0, 0);
        if (c.light_dz != 0) set_light(0, RED, 0, 0, 0, 0, 0, c.light_dz, 180);
        if (c.fog == 1) set_fog(BLUE, 0, 0, 0);
        if (c.fog == 2) set_fog(BLUE, 1, std::log(2.0) / 10, 0);
        quad_z(0, 0, 0, 3, WHITE);
        EXPECT_TRUE(colour_near(pixel_at(0, 0, 0), c.expected, 4)) << c.what;
        set_fog(-1, 0, 0, 0);
    }
}

// A floor at z = 0, an occluder square at z = 2 and a light at (3, 0, 6): the shadow
// on the floor is x -3..0, y -1.5..1.5. From above, floor points closer than 1.25 to the
// axis are hidden behind the occluder; from the side, rays to the floor at x > 0 pass
// through the volume and out again.
TEST_F(ScenePixels, ShadowVolumeDarkensThePixelsBehindTheOccluderOnly) {
    struct Point {
        float x, y, z;
        uint32_t expected;
    };
    const struct {
        float eye[3];
        float up_z;
        std::vector<Point> points;
    } views[] = {
        {{0, 0, 10},
         0,
         {{-2.5, 0, 0, 0x808080}, {-2, 1.3f, 0, 0x808080}, {-1.8f, -1, 0, 0x808080},
          {2, 0, 0, WHITE}, {-2, 2.5f, 0, WHITE}, {-3.5f, 0, 0, WHITE}, {0, -3, 0, WHITE},
          {0, 0, 2, BLUE}, {0.5f, 0.5f, 2, BLUE}}},
        {{-10, 0, 3},
         1,
         {{-2.5, 0, 0, 0x808080}, {1, 0, 0, WHITE}, {2, 0.5f, 0, WHITE}, {-3.5f, 0, 0, WHITE}}},
    };
    const float light[3] = {3, 0, 6};
    const float square[] = {-1, -1, 2, 1, -1, 2, 1, 1, 2, -1, 1, 2};
    const int32_t triangles[] = {0, 1, 2, 0, 2, 3};
    const uint8_t flags[] = {SHADOW_FACES_LIGHT | SHADOW_SILHOUETTE_EDGE_0 | SHADOW_SILHOUETTE_EDGE_1,
                             SHADOW_FACES_LIGHT | SHADOW_SILHOUETTE_EDGE_1 | SHADOW_SILHOUETTE_EDGE_2};
    ShadowVolumeMesh mesh;
    mesh.positions = square;
    mesh.vertex_count = 4;
    mesh.triangles = triangles;
    mesh.triangle_count = 2;
    mesh.flags = flags;
    for (const auto& view : views) {
        const auto look = [&view] {
            start_3d(1, 100, 60);
            set_camera_up(0, 1 - view.up_z, view.up_z);
            set_camera(view.eye[0], view.eye[1], view.eye[2], 0, 0, 0);
        };
        glClear(GL_COLOR_BUFFER_BIT);
        look();
        quad_z(0, 0, 0, 8, WHITE);
        quad_z(0, 0, 2, 1, BLUE);
        set_light(-3, WHITE, light[0], light[1], light[2], 0, 0, 0, 1);
        draw_shadow_volume(mesh, light, false);
        // Nothing is visible while the pass counts.
        EXPECT_EQ(pixel_at(-2.5, 0, 0), WHITE);
        // The 2D reset ends the pass, which darkens what was counted.
        set_2d_viewport(0, 0, 0, 0);
        look();
        for (const Point& p : view.points) {
            EXPECT_TRUE(colour_near(pixel_at(p.x, p.y, p.z), p.expected, 2))
                << view.eye[0] << ": " << p.x << "," << p.y << "," << p.z;
        }
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ScenePixels, CameraFacingSpriteCoversItsBoxFromEverySide) {
    load(make_bmp("s.bmp", 32, 16, [](int, int) { return GREEN; }), 5);
    // One unit one pixel: the sprite is 16 wide and 8 tall, standing on the point.
    const double eyes[][3] = {{0, 0, 10}, {10, 0, 0}, {-6, 0, -8}, {0, 0, -10}};
    for (const auto& eye : eyes) {
        SCOPED_TRACE(eye[0] * 100 + eye[2]);
        glClear(GL_COLOR_BUFFER_BIT);
        start_3d(1, 100, PIXEL_ORTHO_FOV);
        set_culling(1);
        set_camera(eye[0], eye[1], eye[2], 0, 0, 0);
        draw_sprite_3d(5, 0, 0, 0, 1);
        const LitBox box = lit_box();
        EXPECT_EQ(box.x0, 152);
        EXPECT_EQ(box.x1, 167);
        EXPECT_EQ(box.y0, 112);
        EXPECT_EQ(box.y1, 119);
        EXPECT_EQ(pixel(160, 115), GREEN);
        EXPECT_EQ(scene->cull_mode, 1);
    }
}

TEST_F(ScenePixels, TextInThreeDIsCentredOnItsPoint) {
    load_font(DynString(""), 0);  // the built-in font: cells of 8 x 8
    for (double scale : {1.0, 0.0, 2.0}) {
        SCOPED_TRACE(scale);
        glClear(GL_COLOR_BUFFER_BIT);
        start_3d(1, 100, PIXEL_ORTHO_FOV);
        set_camera(10, 0, 0, 0, 0, 0);
        print_3d(DynString("HHHH"), 0, 20, 0, scale);
        const double k = scale == 0 ? 1 : scale;
        const LitBox box = lit_box();
        ASSERT_GE(box.x0, 0);
        // Within the cells (16 k either side, 4 k above and below) and reaching near
        // both ends.
        EXPECT_GE(box.x0, 160 - 16 * k - 1);
        EXPECT_LE(box.x1, 160 + 16 * k);
        EXPECT_LE(box.x0, 160 - 12 * k);
        EXPECT_GE(box.x1, 160 + 12 * k);
        EXPECT_GE(box.y0, 100 - 4 * k - 1);
        EXPECT_LE(box.y1, 100 + 4 * k);
    }
}

// 2D drawing is queued; every 3D command that changes the OpenGL state sends it first, so
// a sprite drawn just before lands where the 2D state put it.
TEST_F(ScenePixels, SpritesDrawnBefore3DKeepTheir2DPlace) {
    load(make_bmp("s.bmp", 8, 8, [](int, int) { return GREEN; }), 5);
    const std::vector<void (*)()> next_commands = {
        [] { start_3d(1, 100, 45); },
        [] { set_fog(0xFFFFFF, 0, 1, 2); },
        [] { draw_point_3d(0, 0, 0, 1, 0xFF); },
        [] { use_shader(-1); },
    };
    for (size_t i = 0; i < next_commands.size(); ++i) {
        SCOPED_TRACE(i);
        set_2d_viewport(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        draw_sprite(5, 20, 30);
        next_commands[i]();
        flush_sprite_batch();
        EXPECT_EQ(pixel(23, 33), GREEN);
        EXPECT_EQ(pixel(19, 33), 0u);
    }
}

TEST_F(ScenePixels, WireShapesStayOnTheirOutline) {
    const float centre[3] = {0, 0, 0};
    const float a[3] = {60, 0, 0}, b[3] = {0, 30, 0}, c[3] = {0, 0, 10};
    for (int shape = 0; shape < 2; ++shape) {
        glClear(GL_COLOR_BUFFER_BIT);
        start_3d(1, 200, PIXEL_ORTHO_FOV);
        set_camera(0, 0, 100, 0, 0, 0);
        if (shape == 0) draw_wire_sphere(centre, 50, WHITE, 1);
        if (shape == 1) draw_wire_box(centre, a, b, c, WHITE, 1);
        const int half_w = shape == 0 ? 50 : 60, half_h = shape == 0 ? 50 : 30;
        const LitBox box = lit_box();
        EXPECT_NEAR(box.x0, 160 - half_w, 2) << shape;
        EXPECT_NEAR(box.x1, 160 + half_w, 2) << shape;
        EXPECT_NEAR(box.y0, 120 - half_h, 2) << shape;
        EXPECT_NEAR(box.y1, 120 + half_h, 2) << shape;
        // The box is hollow; the sphere's many edges leave gaps between them.
        if (shape == 1) {
            EXPECT_EQ(pixel(160, 120), 0u);
        }
    }
}

}  // namespace
}  // namespace runtime
