// A fresh window, 2D engine and 3D scene per test, a camera looking down the z axis,
// and the 3D error callback collected into a list.
#pragma once

#include <string>
#include <vector>

#include "gfx2d/gl2d_fixture.h"
#include "runtime/gfx3d/gfx3d.h"

namespace runtime {

class ObjectTest : public Gl2dTest {
protected:
    void SetUp() override {
        Gl2dTest::SetUp();
        ASSERT_NE(create_scene_3d(), nullptr);
        gfx3d_hooks().error_callback = [this](const char* text) { errors.push_back(text); };
    }
    void TearDown() override {
        gfx3d_hooks() = Gfx3dHooks{};
        destroy_scene_3d();
        Gl2dTest::TearDown();
    }
    // Perspective camera at (0, 0, 10) looking at the origin, on a black frame.
    static void look_at_origin(double eye_x = 0) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        start_3d(1, 100, 45);
        set_camera(eye_x, 0, 10, 0, 0, 0);
    }
    // The frame's colour where a world point lands.
    static uint32_t pixel_at(double x, double y, double z) {
        double sx = 0, sy = 0, depth = 0;
        project_point(x, y, z, sx, sy, depth);
        return pixel(static_cast<int>(sx), static_cast<int>(sy));
    }
    std::string write(const std::string& name, const std::string& bytes) {
        const std::string path = temp_.file(name);
        test_support::write_file(path, bytes);
        return path;
    }

    std::vector<std::string> errors;
};

}  // namespace runtime
