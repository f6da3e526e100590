// Projection, camera, fog, lights and the frustum, read back from OpenGL's state.
#include <gtest/gtest.h>

#include <cmath>

#include "gl3d_fixture.h"

namespace runtime {
namespace {

constexpr double DEG = 3.14159265358979323846 / 180;

using Projection = Gl3dTest;

TEST_F(Projection, FrustumAndOrthographicBoxFromTheFieldOfView) {
    struct Case {
        double fov, near_plane, top;
        bool ortho;
        double culling_tangent;
    };
    const Case cases[] = {
        {45, 1, std::tan(22.5 * DEG), false, std::tan(50 * DEG)},
        {90, 2, 2.0, false, std::tan(89 * DEG)},
        {-10, 1, std::tan(5 * DEG) * 100, true, std::tan(89 * DEG)},
        {-10, 0.5, 0.5 * std::tan(5 * DEG) * 100, true, std::tan(89 * DEG)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fov);
        start_3d(c.near_plane, 100, c.fov);
        float p[16];
        glGetFloatv(GL_PROJECTION_MATRIX, p);
        // Frustum: p0 = n / right, p5 = n / top; box: p0 = 1 / right, p5 = 1 / top.
        const double scale = c.ortho ? 1 : c.near_plane;
        EXPECT_NEAR(scale / p[5], c.top, 1e-4 * c.top);
        EXPECT_NEAR(scale / p[0], c.top * 4 / 3, 1e-4 * c.top);
        EXPECT_EQ(p[15] == 1.0f, c.ortho);
        EXPECT_NEAR(scene->culling_tangent, c.culling_tangent, 1e-3);
    }
}

TEST_F(Projection, UsesTheTwoDViewportAndResetsTheScene) {
    set_2d_viewport(10, 20, 160, 120);
    set_light(2, WHITE, 0, 0, 0, 0, 0, -1, 180);
    set_culling(1);
    push_transform();
    start_3d(1, 100, 45);
    GLint view[4];
    glGetIntegerv(GL_VIEWPORT, view);
    EXPECT_EQ(view[0], 10);
    EXPECT_EQ(view[1], TEST_SCREEN_H - 120 - 20);
    EXPECT_EQ(view[2], 160);
    EXPECT_EQ(view[3], 120);
    EXPECT_EQ(scene->enabled_lights, 0);
    EXPECT_FALSE(glIsEnabled(GL_LIGHT2));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(scene->transform_level, 0);
}

TEST_F(Projection, FogDefaultsToTheNearAndFarPlanes) {
    start_3d(2, 50, 60);
    set_fog(0x204080, 0, 0, 0);
    float start = 0, end = 0, colour[4] = {};
    glGetFloatv(GL_FOG_START, &start);
    glGetFloatv(GL_FOG_END, &end);
    glGetFloatv(GL_FOG_COLOR, colour);
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    EXPECT_EQ(start, 2.0f);
    EXPECT_EQ(end, 50.0f);
    EXPECT_NEAR(colour[0], 0x80 / 255.0, 1e-6);
    EXPECT_NEAR(colour[2], 0x20 / 255.0, 1e-6);
    EXPECT_EQ(colour[3], 0.0f);
    set_fog(0, 0, 5, 9);
    glGetFloatv(GL_FOG_START, &start);
    EXPECT_EQ(start, 5.0f);
    set_fog(-1, 0, 0, 0);
    EXPECT_FALSE(glIsEnabled(GL_FOG));
}

using Lights = Gl3dTest;

TEST_F(Lights, LightingGoesOffWithTheLastLight) {
    start_3d(1, 100, 45);
    set_light(0, WHITE, 0, 0, 5, 0, 0, 0, 120);
    set_light(11, RED, 1, 2, 3, 0, 0, -1, 30);  // OpenGL light 3
    EXPECT_EQ(scene->enabled_lights, 0b1001);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT3));
    float cutoff = 0;
    glGetLightfv(GL_LIGHT3, GL_SPOT_CUTOFF, &cutoff);
    EXPECT_EQ(cutoff, 30.0f);
    // Lines switch lighting off for their draw only.
    draw_line_3d(0, 0, 0, 1, 1, 1, 2, RED);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    set_light(0, WHITE, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    set_light(3, WHITE, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT3));
    EXPECT_EQ(scene->enabled_lights, 0);
}

TEST_F(Lights, ViewAxisLightKeepsTheMatrixStackBalanced) {
    start_3d(1, 100, 45);
    set_camera(3, 4, 10, 0, 0, 0);
    GLint depth_before = 0, depth_after = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth_before);
    for (int i = 0; i < 100; ++i) set_light(i, 0x00FF00, 0, 0, 0, 0, 0, 0, 1);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth_after);
    EXPECT_EQ(depth_after, depth_before);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    // Along the view axis whatever the camera; no specular.
    float position[4] = {}, specular[4] = {}, diffuse[4] = {};
    glGetLightfv(GL_LIGHT5, GL_POSITION, position);
    glGetLightfv(GL_LIGHT5, GL_SPECULAR, specular);
    glGetLightfv(GL_LIGHT5, GL_DIFFUSE, diffuse);
    EXPECT_NEAR(position[0], 0, 1e-6);
    EXPECT_NEAR(position[2], 1, 1e-6);
    EXPECT_EQ(position[3], 0.0f);
    EXPECT_EQ(specular[1], 0.0f);
    EXPECT_EQ(diffuse[1], 1.0f);
}

TEST_F(Lights, NegativeLightsDefineTheShadowLightAndItsPass) {
    start_3d(1, 100, 45);
    set_light(-1, 0x0000FF, 1, 2, 3, 0, 0, 0, 1);
    EXPECT_TRUE(scene->shadow_light_on);
    EXPECT_EQ(scene->shadow_light_mode, 1);
    EXPECT_EQ(scene->shadow_light_position[2], 3.0f);
    EXPECT_EQ(scene->shadow_light_colour[0], 1.0f);
    EXPECT_FALSE(scene->shadow_pass_active);
    set_light(-7, 0, 0, 0, 0, 0, 0, 0, 1);
    EXPECT_EQ(scene->shadow_light_mode, 2);
    set_light(-3, 0, 0, 0, 0, 0, 0, 0, 1);
    EXPECT_EQ(scene->shadow_light_mode, 3);
    EXPECT_TRUE(scene->shadow_pass_active);
    EXPECT_TRUE(glIsEnabled(GL_STENCIL_TEST));
    set_light(-3, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_FALSE(scene->shadow_pass_active);
    EXPECT_FALSE(scene->shadow_light_on);
    // Every way out of the pass: a 2D viewport reset, presenting, start_3d.
    for (int way = 0; way < 3; ++way) {
        set_light(-3, 0, 0, 0, 0, 0, 0, 0, 1);
        ASSERT_TRUE(scene->shadow_pass_active);
        if (way == 0) set_2d_viewport(0, 0, 0, 0);
        if (way == 1) show_screen();
        if (way == 2) start_3d(1, 100, 45);
        EXPECT_FALSE(scene->shadow_pass_active) << way;
        EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST)) << way;
        start_3d(1, 100, 45);
    }
}

using Camera = Gl3dTest;

TEST_F(Camera, ProjectAndUnprojectRoundTrip) {
    for (double fov : {45.0, -10.0}) {
        start_3d(1, 100, fov);
        set_camera(4, 3, 12, 0, 1, 0);
        const double points[][3] = {{0, 1, 0}, {2, -1, 3}, {-3, 2, -20}, {0.5, 0.25, 8}};
        for (const auto& p : points) {
            double sx = 0, sy = 0, depth = 0, x = 0, y = 0, z = 0;
            ASSERT_EQ(project_point(p[0], p[1], p[2], sx, sy, depth), 1.0);
            ASSERT_EQ(unproject_point(sx, sy, depth, x, y, z), 1.0);
            EXPECT_NEAR(x, p[0], 1e-3) << fov;
            EXPECT_NEAR(y, p[1], 1e-3) << fov;
            EXPECT_NEAR(z, p[2], 1e-3) << fov;
        }
    }
    // The target is the middle of the screen.
    double sx = 0, sy = 0, depth = 0;
    start_3d(1, 100, 45);
    set_camera(4, 3, 12, 0, 1, 0);
    project_point(0, 1, 0, sx, sy, depth);
    EXPECT_NEAR(sx, TEST_SCREEN_W / 2.0, 1e-3);
    EXPECT_NEAR(sy, TEST_SCREEN_H / 2.0, 1e-3);
    EXPECT_GT(depth, 0);
    EXPECT_LT(depth, 1);
}

TEST_F(Camera, DegenerateProjectionsFail) {
    start_3d(1, 100, 45);
    set_camera(0, 0, 10, 0, 0, 0);
    double a = 0, b = 0, c = 0;
    // In the camera's own plane the perspective w is 0.
    EXPECT_EQ(project_point(5, 0, 10, a, b, c), 0.0);
    glScalef(0, 1, 1);
    EXPECT_EQ(unproject_point(10, 10, 0.5, a, b, c), 0.0);
}

TEST_F(Camera, SphereInFrustumAgainstTheCamera) {
    start_3d(1, 100, 45);
    set_camera(0, 0, 10, 0, 0, 0);
    struct Case {
        float x, y, z, r;
        bool inside;
    };
    const Case cases[] = {
        {0, 0, 0, 1, true},     {0, 0, 20, 1, false},  {0, 0, 20, 15, true},
        {0, 0, -200, 1, false}, {0, 0, -89, 1, true},  {50, 0, 0, 1, false},
        {50, 0, 0, 50, true},   {0, -9, 0, 1, false},  {0, -4, 0, 1, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sphere_in_frustum(c.x, c.y, c.z, c.r), c.inside)
            << c.x << "," << c.y << "," << c.z << " r " << c.r;
    }
}

}  // namespace
}  // namespace runtime
