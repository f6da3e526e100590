// Shader slots on the real driver: a program that compiles draws its colour and takes
// uniforms; one that fails returns 0 and its log reaches the error callback.
#include <gtest/gtest.h>

#include "gl3d_fixture.h"

namespace runtime {
namespace {

constexpr char VERTEX[] = "void main() { gl_Position = ftransform(); }\n";
constexpr char FRAGMENT[] =
    "uniform vec4 tint;\n"
    "void main() { gl_FragColor = vec4(1.0, 0.5, 0.0, 1.0) + tint; }\n";
constexpr char FRAGMENT_RG[] =
    "uniform vec2 rg;\n"
    "void main() { gl_FragColor = vec4(rg, 1.0, 1.0); }\n";

class Shaders : public Gl3dTest {
protected:
    DynString write(const std::string& name, const char* source) {
        const std::string path = temp_.file(name);
        EXPECT_TRUE(test_support::write_file(path, source));
        return DynString(path.c_str());
    }
    // A full-screen quad under the 3D camera, read back in its middle.
    uint32_t draw_and_read() {
        start_3d(1, 100, 45);
        set_camera(0, 0, 10, 0, 0, 0);
        quad_z(0, 0, 0, 20, WHITE);
        return pixel(160, 120);
    }
};

TEST_F(Shaders, CompiledProgramDrawsItsColourAndTakesUniforms) {
    ASSERT_TRUE(platform::gl_extensions().has_shader_objects());
    ASSERT_EQ(load_shader(3, write("v.glsl", VERTEX), write("f.glsl", FRAGMENT)), 1.0)
        << (errors.empty() ? "" : errors[0]);
    use_shader(3);
    EXPECT_TRUE(colour_near(draw_and_read(), 0x0080FF, 1));
    set_shader_uniform(3, DynString("tint"), -1, 0, 1, 0);
    set_shader_uniform(3, DynString("no_such_name"), 1);
    EXPECT_TRUE(colour_near(draw_and_read(), 0xFF8000, 1));
    // Presenting a frame goes back to the fixed function.
    show_screen();
    EXPECT_EQ(scene->current_shader, -1);
    EXPECT_EQ(draw_and_read(), WHITE);
    // A fragment shader alone links against the fixed vertex stage.
    ASSERT_EQ(load_shader(254, DynString(""), write("f2.glsl", FRAGMENT_RG)), 1.0);
    use_shader(254);
    set_shader_uniform(254, DynString("rg"), 1, 0.5);
    EXPECT_TRUE(colour_near(draw_and_read(), 0xFF80FF, 1));
    use_shader(-1);
    EXPECT_EQ(draw_and_read(), WHITE);
    EXPECT_TRUE(errors.empty());
}

TEST_F(Shaders, FailuresReturnZeroAndReport) {
    ASSERT_TRUE(platform::gl_extensions().has_shader_objects());
    const DynString vertex = write("v.glsl", VERTEX);
    EXPECT_EQ(load_shader(0, vertex, write("bad.glsl", "void main() { gl_FragColor = oops; }\n")),
              0.0);
    ASSERT_EQ(errors.size(), 2u);  // the compile log, then the link log
    EXPECT_NE(errors[0].find("oops"), std::string::npos) << errors[0];
    use_shader(0);  // a slot whose program failed draws with the fixed function
    EXPECT_EQ(draw_and_read(), WHITE);

    errors.clear();
    EXPECT_EQ(load_shader(1, DynString(temp_.file("missing.glsl").c_str()), DynString("")), 0.0);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(load_shader(255, vertex, vertex), 0.0);
    EXPECT_EQ(load_shader(-1, vertex, vertex), 0.0);
    EXPECT_EQ(errors.size(), 1u);

    // Without the entry points: one message, however often it is tried.
    errors.clear();
    platform::gl_extensions() = platform::GlExtensions{};
    EXPECT_EQ(load_shader(2, vertex, vertex), 0.0);
    EXPECT_EQ(load_shader(2, vertex, vertex), 0.0);
    use_shader(2);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "No OpenGL 2.0 Shader Support");
    platform::load_gl_extensions();
}

}  // namespace
}  // namespace runtime
