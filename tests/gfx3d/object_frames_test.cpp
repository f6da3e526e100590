// What each frame of an object draws and collides with: reserved colours in loaded files,
// the separators of built objects, and frames holding different numbers of vertices.
#include <cmath>

#include "object_fixture.h"

namespace runtime {
namespace {

DynString text(const std::string& s) { return DynString(s.c_str()); }

TEST_F(ObjectTest, LoadedReservedColoursDrawWhiteAndKeepTheirTriangles) {
    const std::vector<uint32_t> colours = {0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD, 0xFFFFFFFC, RED};
    for (uint8_t reserved = 0; reserved < 4; ++reserved) {
        // The reserved triangle first, then a red one: no vertex starts a new run.
        const std::string file =
            write("reserved.ddd",
                  ddd_binary(colours, {joined({ddd_triangle(-3, -1, reserved), ddd_triangle(1, -1, 4)})}));
        ASSERT_EQ(load_object(text(file), 1), 1) << int{reserved};
        look_at_origin();
        draw_object_frame(1, 0);
        EXPECT_EQ(pixel_at(-2.5, -0.5, 0), WHITE) << colours[reserved];
        EXPECT_EQ(pixel_at(1.5, -0.5, 0), RED) << colours[reserved];
        EXPECT_EQ(object_sphere_collision(1, 0, 0.3, -2.5, -0.5, 0), 1) << colours[reserved];
        EXPECT_NEAR(object_ray_collision(1, 0, -2.5, -0.5, 5, 0, 0, -1), 5, 1e-4) << colours[reserved];
    }
}

TEST_F(ObjectTest, SphereTestsOnlyTouchDrawnVertices) {
    // A ring of one strip around the origin: its separator is no point of the ring.
    start_object(1);
    new_object_strip();
    for (int i = 0; i <= 16; ++i) {
        const double a = i * 2 * M_PI / 16;
        add_object_vertex(6 * std::cos(a), 6 * std::sin(a), 0, 0, 0, WHITE);
        add_object_vertex(4 * std::cos(a), 4 * std::sin(a), 0, 0, 0, WHITE);
    }
    end_object();
    EXPECT_EQ(object_sphere_collision(1, 0, 1, 0, 0, 0), 0);
    EXPECT_EQ(object_sphere_collision(1, 0, 0.5, 5, 0, 0.2), 1);
    EXPECT_EQ(object_sphere_collision(1, 0, 0.5, 0, -5, 0), 1);
}

TEST_F(ObjectTest, EachFrameDrawsAndCollidesTheTrianglesItHas) {
    // Frame 0 holds a left and a right triangle, frame 1 the left one only.
    const std::vector<DddVertex> both = joined({ddd_triangle(-3, -1, 0), ddd_triangle(1, -1, 0)});
    const std::vector<DddVertex> left = joined({ddd_triangle(-3, -1, 0)});
    const struct {
        std::vector<std::vector<DddVertex>> frames;
        double from, to, t;
        bool right_shown;
    } cases[] = {
        {{both, left}, 0, 0, 0, true}, {{both, left}, 1, 1, 0, false}, {{both, left}, 0, 1, 0.5, false},
        {{left, both}, 1, 1, 0, true}, {{left, both}, 0, 0, 0, false},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(load_object(text(write("frames.ddd", ddd_binary({WHITE}, c.frames))), 1), 1);
        look_at_origin();
        draw_object(1, c.from, c.to, c.t, 0);
        const std::string what = "frames " + std::to_string(c.frames[0].size()) + "/" +
                                 std::to_string(c.frames[1].size()) + " drawn " + std::to_string(c.from) +
                                 ".." + std::to_string(c.to);
        EXPECT_EQ(pixel_at(-2.5, -0.5, 0), WHITE) << what;
        EXPECT_EQ(pixel_at(1.5, -0.5, 0), c.right_shown ? WHITE : 0u) << what;
        if (c.from == c.to) {
            const double frame = c.from;
            EXPECT_EQ(object_sphere_collision(1, frame, 0.3, 1.5, -0.5, 0), c.right_shown ? 1 : 0) << what;
            EXPECT_NEAR(object_ray_collision(1, frame, 1.5, -0.5, 5, 0, 0, -1), c.right_shown ? 5 : 0, 1e-4)
                << what;
            EXPECT_EQ(object_box_collision(1, frame, 1.5, -0.5, 0, 0.2, 0.2), c.right_shown ? 1 : 0) << what;
        }
    }
}

}  // namespace
}  // namespace runtime
