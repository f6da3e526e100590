// A fresh offscreen window, 2D engine and 3D scene per test, with the error callback
// captured and helpers for colours and quads in 3D.
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gfx2d/gl2d_fixture.h"
#include "runtime/gfx3d/gfx3d.h"

namespace runtime {

// Orthographic start_3d field of view that makes one world unit one pixel on the test
// screen with near plane 1: half height 120 = tan(-v/2) x 100.
inline const double PIXEL_ORTHO_FOV = -2 * std::atan(1.2) * 57.29577951308232;

class Gl3dTest : public Gl2dTest {
protected:
    void SetUp() override {
        Gl2dTest::SetUp();
        if (HasFatalFailure()) return;
        gfx3d_hooks().error_callback = [this](const char* text) { errors.emplace_back(text); };
        scene = create_scene_3d();
        ASSERT_NE(scene, nullptr);
    }
    void TearDown() override {
        // The 2D engine's destruction releases the scene.
        Gl2dTest::TearDown();
        EXPECT_EQ(rainbows_3d(), nullptr);
        gfx3d_hooks() = Gfx3dHooks{};
    }

    // An unlit-or-lit quad of half size h in the plane z, normal +z, counter-clockwise.
    static void quad_z(float cx, float cy, float z, float h, uint32_t colour) {
        glColor4ub(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF, 255);
        glNormal3f(0, 0, 1);
        glBegin(GL_QUADS);
        glVertex3f(cx - h, cy - h, z);
        glVertex3f(cx + h, cy - h, z);
        glVertex3f(cx + h, cy + h, z);
        glVertex3f(cx - h, cy + h, z);
        glEnd();
        glColor4f(1, 1, 1, 1);
    }

    // The pixel under a world point (via project_point).
    static uint32_t pixel_at(double x, double y, double z) {
        double sx = 0, sy = 0, depth = 0;
        EXPECT_EQ(project_point(x, y, z, sx, sy, depth), 1.0);
        return pixel(static_cast<int>(sx), static_cast<int>(sy));
    }

    Rainbows3D* scene = nullptr;
    std::vector<std::string> errors;
};

// Whether every channel of two colours is within the tolerance.
inline ::testing::AssertionResult colour_near(uint32_t actual, uint32_t expected, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = static_cast<int>((actual >> shift) & 0xFF);
        const int e = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(a - e) > tolerance) {
            char text[64];
            std::snprintf(text, sizeof text, "colour %06X is not near %06X", actual, expected);
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

// The box of pixels that are not black (x0, y0, x1, y1 inclusive); x0 = -1 when none.
struct LitBox {
    int x0 = -1, y0 = -1, x1 = -1, y1 = -1;
};
inline LitBox lit_box() {
    const std::vector<uint8_t> rgb = read_block(0, 0, TEST_SCREEN_W, TEST_SCREEN_H);
    LitBox box;
    for (int y = 0; y < TEST_SCREEN_H; ++y) {
        for (int x = 0; x < TEST_SCREEN_W; ++x) {
            const uint8_t* p = &rgb[static_cast<size_t>(y * TEST_SCREEN_W + x) * 3];
            if (p[0] < 40 && p[1] < 40 && p[2] < 40) continue;
            if (box.x0 < 0) box = {x, y, x, y};
            box.x0 = std::min(box.x0, x);
            box.x1 = std::max(box.x1, x);
            box.y0 = std::min(box.y0, y);
            box.y1 = std::max(box.y1, y);
        }
    }
    return box;
}

}  // namespace runtime
