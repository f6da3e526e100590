// The 3D fixture with a camera looking down the z axis and model files in the test's
// folder.
#pragma once

#include <string>

#include "gl3d_fixture.h"

namespace runtime {

class ObjectTest : public Gl3dTest {
protected:
    // Perspective camera at (eye_x, 0, 10) looking at the origin, on a black frame.
    static void look_at_origin(double eye_x = 0) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        start_3d(1, 100, 45);
        set_camera(eye_x, 0, 10, 0, 0, 0);
    }
    std::string write(const std::string& name, const std::string& bytes) {
        const std::string path = temp_.file(name);
        test_support::write_file(path, bytes);
        return path;
    }
};

}  // namespace runtime
