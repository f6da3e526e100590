// The object transform stack: recompute order, levels, extra matrices, and its use by
// apply_transform.
#include <gtest/gtest.h>

#include "gl3d_fixture.h"
#include "runtime/gfx3d/object_table.h"
#include "runtime/screen/screen_state.h"

namespace runtime {
namespace {

// The current level's matrix applied to a point.
std::array<float, 3> moved(float x, float y, float z) {
    const float* m = current_transform();
    return {m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
            m[2] * x + m[6] * y + m[10] * z + m[14]};
}

void expect_point(const std::array<float, 3>& p, float x, float y, float z) {
    EXPECT_NEAR(p[0], x, 1e-4);
    EXPECT_NEAR(p[1], y, 1e-4);
    EXPECT_NEAR(p[2], z, 1e-4);
}

using TransformStack = Gl3dTest;

TEST_F(TransformStack, ScaledThenTurnedInOrderThenMoved) {
    set_transform_position(1, 2, 3);
    set_transform_scale(2, 2, 2);  // keeps the position
    add_transform_rotation(90, 0, 0, 5);
    // (1,0,0) -> scale (2,0,0) -> turn about z (0,2,0) -> move (1,4,3).
    expect_point(moved(1, 0, 0), 1, 4, 3);
    // A second rotation after drawing turns once more, and the move stays single.
    add_transform_rotation(90, 0, 0, 1);
    expect_point(moved(1, 0, 0), -1, 2, 3);
    // Then about x: the first-added rotation acts first.
    set_transform_position(0, 0, 0);
    set_transform_scale(1, 1, 1);
    add_transform_rotation(90, 0, 0, 1);
    add_transform_rotation(90, 1, 0, 0);
    expect_point(moved(1, 0, 0), 0, 0, 1);
    // Only an exactly zero axis is skipped.
    add_transform_rotation(45, 0, 0, 0);
    expect_point(moved(1, 0, 0), 0, 0, 1);
}

TEST_F(TransformStack, ANewSceneJoinsTheFrameLoopOnce) {
    // The 2D engine and the scene each keep one listener of the frame loop, however often
    // the scene is made again.
    ASSERT_EQ(screen_hooks().prepare_next_frame.size(), 2u);
    for (int i = 0; i < 5; ++i) {
        destroy_scene_3d();
        EXPECT_EQ(screen_hooks().prepare_next_frame.size(), 1u);
        scene = create_scene_3d();
    }
    EXPECT_EQ(screen_hooks().prepare_next_frame.size(), 2u);
    // The scene's listener runs after a presented frame: mipmapping is off again.
    set_texture_mipmapping(1);
    show_screen();
    EXPECT_FALSE(object_table()->texture_mipmapping);
}

TEST_F(TransformStack, LevelsBuildOnTheLevelBelow) {
    set_transform_scale(2, 2, 2);
    push_transform();
    EXPECT_EQ(scene->transform_level, 1);
    set_transform_position(10, 0, 0);
    expect_point(moved(1, 0, 0), 22, 0, 0);
    // Extra matrices come before the position: a translation by 5 in x.
    add_transform_matrix(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 0, 0, 1);
    expect_point(moved(1, 0, 0), 32, 0, 0);
    pop_transform();
    expect_point(moved(1, 0, 0), 2, 0, 0);
    pop_transform();
    pop_transform();  // level 0 back to the identity
    EXPECT_EQ(scene->transform_level, 0);
    expect_point(moved(1, 0, 0), 1, 0, 0);
}

TEST_F(TransformStack, TheTopLevelIsReinitialisedInsteadOfOverrun) {
    set_transform_position(0, 1, 0);
    for (int i = 0; i < 30; ++i) {
        push_transform();
        set_transform_position(1, 0, 0);
    }
    EXPECT_EQ(scene->transform_level, TRANSFORM_LEVEL_COUNT - 1);
    // Levels 1..14 moved by 1 each, level 0 by (0, 1, 0), the top level by its own 1.
    expect_point(moved(0, 0, 0), 15, 1, 0);
    for (int i = 0; i < 40; ++i) add_transform_rotation(1, 0, 0, 1);
    EXPECT_EQ(scene->transform_levels[TRANSFORM_LEVEL_COUNT - 1].rotation_count,
              MAX_TRANSFORM_ROTATIONS);
}

TEST_F(TransformStack, ApplyMultipliesTheModelviewAndCameraResetsTheStack) {
    start_3d(1, 100, 45);
    set_transform_position(3, 0, 0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -7);
    apply_transform();
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(m[12], 3.0f);
    EXPECT_EQ(m[14], -7.0f);
    push_transform();
    set_camera(0, 0, 5, 0, 0, 0);
    EXPECT_EQ(scene->transform_level, 0);
    expect_point(moved(1, 0, 0), 1, 0, 0);
    // A point taken into the level's space and back.
    set_transform_position(1, 2, 3);
    add_transform_rotation(30, 0, 1, 0);
    const float world[3] = {4, 5, 6};
    float local[3] = {};
    ASSERT_TRUE(point_into_transform(world, local));
    expect_point(moved(local[0], local[1], local[2]), 4, 5, 6);
    set_transform_scale(0, 1, 1);
    EXPECT_FALSE(point_into_transform(world, local));
}

}  // namespace
}  // namespace runtime
