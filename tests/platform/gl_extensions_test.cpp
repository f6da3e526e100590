// Extension entry points: a group is fetched only when its extension is listed, since a
// lookup under GLX or EGL answers any name with an address.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/platform/gl_extensions.h"

namespace runtime::platform {
namespace {

// Like GLX: every name gets a (bogus, never called) address. Records the names asked.
std::vector<std::string>& asked() {
    static std::vector<std::string> names;
    return names;
}
int dummy_target;
void* answer_everything(const char* name) {
    asked().emplace_back(name);
    return &dummy_target;
}

class GlExtensionsFrom : public ::testing::Test {
protected:
    void SetUp() override { asked().clear(); }
    void TearDown() override { gl_extensions() = GlExtensions{}; }
};

TEST_F(GlExtensionsFrom, NullStringFetchesNothing) {
    load_gl_extensions_from(nullptr, &answer_everything);
    EXPECT_TRUE(asked().empty());
    EXPECT_FALSE(gl_extensions().has_framebuffer_objects());
}

TEST_F(GlExtensionsFrom, EmptyStringFetchesNothing) {
    load_gl_extensions_from("", &answer_everything);
    EXPECT_TRUE(asked().empty());
    EXPECT_FALSE(gl_extensions().has_multitexture());
}

TEST_F(GlExtensionsFrom, MultitextureWithoutBufferObjects) {
    load_gl_extensions_from("GL_ARB_multitexture GL_EXT_bgra", &answer_everything);
    const GlExtensions& e = gl_extensions();
    EXPECT_TRUE(e.has_multitexture());
    EXPECT_NE(e.glClientActiveTextureARB, nullptr);
    EXPECT_FALSE(e.has_buffer_objects());
    EXPECT_EQ(e.glGetBufferParameterivARB, nullptr);
    EXPECT_FALSE(e.has_shader_objects());
    EXPECT_FALSE(e.has_framebuffer_objects());
    EXPECT_EQ(asked().size(), 3u);
}

TEST_F(GlExtensionsFrom, BufferObjectsRideOnTheMultitextureTest) {
    load_gl_extensions_from("GL_ARB_vertex_buffer_object", &answer_everything);
    EXPECT_FALSE(gl_extensions().has_buffer_objects());
    load_gl_extensions_from("GL_ARB_vertex_buffer_object GL_ARB_multitexture", &answer_everything);
    EXPECT_TRUE(gl_extensions().has_buffer_objects());
    EXPECT_NE(gl_extensions().glUnmapBufferARB, nullptr);
}

TEST_F(GlExtensionsFrom, ShaderObjectsNeedFragmentProgramAndShaderObjects) {
    load_gl_extensions_from("GL_ARB_fragment_program", &answer_everything);
    EXPECT_FALSE(gl_extensions().has_shader_objects());
    load_gl_extensions_from("GL_ARB_shader_objects", &answer_everything);
    EXPECT_FALSE(gl_extensions().has_shader_objects());
    load_gl_extensions_from("GL_ARB_fragment_program GL_ARB_shader_objects", &answer_everything);
    EXPECT_TRUE(gl_extensions().has_shader_objects());
    EXPECT_NE(gl_extensions().glUniform1iARB, nullptr);
}

TEST_F(GlExtensionsFrom, FramebufferObjectsOnlyWhenListed) {
    load_gl_extensions_from("GL_EXT_framebuffer_object_extra", &answer_everything);
    EXPECT_FALSE(gl_extensions().has_framebuffer_objects());
    load_gl_extensions_from("GL_A GL_EXT_framebuffer_object GL_B", &answer_everything);
    EXPECT_TRUE(gl_extensions().has_framebuffer_objects());
    EXPECT_NE(gl_extensions().glFramebufferRenderbufferEXT, nullptr);
}

TEST_F(GlExtensionsFrom, RefillClearsWhatTheNewContextLacks) {
    load_gl_extensions_from("GL_ARB_multitexture GL_EXT_framebuffer_object", &answer_everything);
    ASSERT_TRUE(gl_extensions().has_framebuffer_objects());
    load_gl_extensions_from("GL_ARB_multitexture", &answer_everything);
    EXPECT_FALSE(gl_extensions().has_framebuffer_objects());
    EXPECT_TRUE(gl_extensions().has_multitexture());
}

TEST(ExtensionListed, WholeWordsOnly) {
    struct Row {
        const char* list;
        const char* name;
        bool listed;
    };
    const Row rows[] = {
        {"GL_X", "GL_X", true},
        {"GL_A GL_X", "GL_X", true},
        {"GL_X GL_A", "GL_X", true},
        {"GL_XY GL_X", "GL_X", true},
        {"GL_XY", "GL_X", false},
        {"AGL_X", "GL_X", false},
        {"", "GL_X", false},
        {nullptr, "GL_X", false},
        {"GL_X", "", false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(extension_listed(r.list, r.name), r.listed)
            << (r.list ? r.list : "(null)") << " / " << r.name;
}

}  // namespace
}  // namespace runtime::platform
