// The 3D fixture with a camera looking down the z axis and model files in the test's
// folder.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "gl3d_fixture.h"

namespace runtime {

// A binary .ddd file: every frame has offset (128, 128, 0) and scale 0.1, so a vertex's
// bytes (x, y, z) stand at ((x - 128) / 10, (y - 128) / 10, z / 10).
struct DddVertex {
    uint8_t x, y, z, colour;  // colour: index into the file's colour table
};
inline std::string ddd_binary(const std::vector<uint32_t>& colours,
                              const std::vector<std::vector<DddVertex>>& frames) {
    std::string out;
    const auto put = [&out](const void* p, size_t n) { out.append(static_cast<const char*>(p), n); };
    const auto u32 = [&put](uint32_t v) { put(&v, 4); };
    const auto f32 = [&put](float f) { put(&f, 4); };
    const double version = 1.02;
    u32(13021975);
    put(&version, 8);
    u32(static_cast<uint32_t>(frames.size()));
    u32(static_cast<uint32_t>(colours.size()));
    u32(0);
    for (uint32_t c : colours) u32(c);
    for (const auto& frame : frames) {
        u32(static_cast<uint32_t>(frame.size()));
        for (float f : {128.0f, 128.0f, 0.0f, 0.1f, 0.1f, 0.1f}) f32(f);
        for (const DddVertex& v : frame)
            out += std::string{char(v.x), char(v.y), char(v.z), char(5), char(v.colour)};
    }
    return out;
}
// A triangle (counter-clockwise seen from +z) of side 2 world units with its lower left
// corner at (x, y), in the bytes of ddd_binary.
inline std::array<DddVertex, 3> ddd_triangle(double x, double y, uint8_t colour) {
    const auto b = [](double world) { return static_cast<uint8_t>(world * 10 + 128); };
    return {DddVertex{b(x), b(y), 0, colour}, DddVertex{b(x + 2), b(y), 0, colour},
            DddVertex{b(x), b(y + 2), 0, colour}};
}

// The vertices of the triangles one after another, as one frame.
inline std::vector<DddVertex> joined(std::initializer_list<std::array<DddVertex, 3>> triangles) {
    std::vector<DddVertex> out;
    for (const auto& t : triangles) out.insert(out.end(), t.begin(), t.end());
    return out;
}

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
