// The window contract on the offscreen driver: a real GL context, drawing and read-back,
// display modes, and the desktop services that must stay silent headless.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <SDL2/SDL.h>

#include <cstring>
#include <string>

#include "runtime/platform/gl_extensions.h"
#include "runtime/platform/window.h"

namespace runtime::platform {
namespace {

class PlatformWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(init_video()) << last_error();
        ASSERT_TRUE(create_window("test", 0, 0, 64, 48, GlFormat{})) << last_error();
        ASSERT_TRUE(create_gl_context()) << last_error();
    }
    void TearDown() override {
        delete_gl_context();
        destroy_window();
    }
};

TEST(MultisampleTries, HalvesDownToOne) {
    struct Row {
        int samples;
        std::vector<int> tries;
    };
    const Row rows[] = {
        {8, {8, 4, 2, 1}}, {6, {6, 3, 1}}, {5, {5, 2, 1}}, {2, {2, 1}},
        {1, {1}},          {0, {}},        {-4, {}},
    };
    for (const Row& r : rows) EXPECT_EQ(multisample_tries(r.samples), r.tries) << r.samples;
}

TEST_F(PlatformWindow, GivesACompatibilityContextWithTheAskedBuffers) {
    GLint alpha = 0, depth = 0, stencil = 0;
    glGetIntegerv(GL_ALPHA_BITS, &alpha);
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    glGetIntegerv(GL_STENCIL_BITS, &stencil);
    EXPECT_EQ(alpha, 8);
    EXPECT_GE(depth, 24);
    EXPECT_EQ(stencil, 8);
    // Immediate mode exists only in a compatibility context.
    glBegin(GL_POINTS);
    glEnd();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(PlatformWindow, DrawsAndReadsBack) {
    glViewport(0, 0, 64, 48);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 64, 48, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glColor3f(1.0f, 0.0f, 0.0f);
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(32, 0);
    glVertex2f(32, 48);
    glVertex2f(0, 48);
    glEnd();
    unsigned char left[4] = {};
    unsigned char right[4] = {};
    glReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, left);
    glReadPixels(50, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, right);
    EXPECT_EQ(left[0], 255);
    EXPECT_EQ(left[2], 0);
    EXPECT_EQ(right[0], 0);
    EXPECT_EQ(right[2], 255);
    swap_buffers();
}

TEST_F(PlatformWindow, RendererIsReported) {
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    ASSERT_NE(renderer, nullptr);
    EXPECT_GT(std::strlen(renderer), 0u);
}

TEST_F(PlatformWindow, ExtensionRecordFilledForTheContext) {
    load_gl_extensions();
    const auto* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    ASSERT_NE(ext, nullptr);
    EXPECT_EQ(gl_extensions().has_framebuffer_objects(),
              extension_listed(ext, "GL_EXT_framebuffer_object"));
    EXPECT_EQ(gl_extensions().has_multitexture(), std::strstr(ext, "GL_ARB_multitexture") != nullptr);
    if (gl_extensions().has_framebuffer_objects()) {
        // The fetched entry points really work on this context.
        GLuint fbo = 0;
        gl_extensions().glGenFramebuffersEXT(1, &fbo);
        EXPECT_NE(fbo, 0u);
        gl_extensions().glDeleteFramebuffersEXT(1, &fbo);
    }
    gl_extensions() = GlExtensions{};
}

TEST_F(PlatformWindow, TitleVisibilityAndSize) {
    set_window_title("Caption \xC3\xBC");
    EXPECT_EQ(window_title(), "Caption \xC3\xBC");
    EXPECT_FALSE(window_shown());
    show_window();
    EXPECT_TRUE(window_shown());
    hide_window();
    EXPECT_FALSE(window_shown());
    set_window_client_size(100, 80);
    int w = 0, h = 0;
    window_client_size(w, h);
    EXPECT_EQ(w, 100);
    EXPECT_EQ(h, 80);
}

TEST_F(PlatformWindow, OneWindowAtATime) {
    EXPECT_TRUE(has_window());
    EXPECT_NE(window_id(), 0u);
    EXPECT_FALSE(create_window("second", 0, 0, 10, 10, GlFormat{}));
}

TEST_F(PlatformWindow, ContextSurvivesTheWindowAndMovesToTheNext) {
    const uint32_t first = window_id();
    destroy_window();
    EXPECT_TRUE(has_gl_context());
    ASSERT_TRUE(create_window("again", 0, 0, 32, 32, GlFormat{}));
    EXPECT_NE(window_id(), first);
    EXPECT_TRUE(make_gl_context_current()) << last_error();
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(PlatformWindow, FullscreenNeedsADisplayModeThatLarge) {
    EXPECT_FALSE(enter_fullscreen_mode(100000, 100000, 0));
    EXPECT_FALSE(in_fullscreen_mode());
    int w = 0, h = 0, bits = 0;
    ASSERT_TRUE(desktop_mode(w, h, bits));
    EXPECT_TRUE(enter_fullscreen_mode(w, h, 0)) << last_error();
    EXPECT_TRUE(in_fullscreen_mode());
    leave_fullscreen_mode();
    EXPECT_FALSE(in_fullscreen_mode());
}

TEST_F(PlatformWindow, NoMessageBoxHeadless) {
    EXPECT_FALSE(real_display_attached());
    EXPECT_FALSE(show_warning_box("caption", "text"));
}

}  // namespace
}  // namespace runtime::platform

namespace runtime::platform {
namespace {

TEST(PlatformDesktop, ScreenSaverOffWhileRunning) {
    ASSERT_TRUE(init_video());
    SDL_EnableScreenSaver();
    disable_screen_saver();
    EXPECT_FALSE(SDL_IsScreenSaverEnabled());
}

}  // namespace
}  // namespace runtime::platform
