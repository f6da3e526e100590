// The window and context of the runtime on the offscreen driver: creation, drawing and
// presenting, multisample retries, the software warning, display modes, teardown.
#include <GL/gl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/platform/gl_extensions.h"
#include "runtime/screen/screen_state.h"
#include "screen_fixture.h"

namespace runtime {
namespace {

int count_of(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

void red_left_half() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 640, 480, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glColor3f(1.0f, 0.0f, 0.0f);
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(320, 0);
    glVertex2f(320, 480);
    glVertex2f(0, 480);
    glEnd();
}

// Red, green and blue of one pixel of the buffer being drawn.
std::vector<unsigned char> pixel(int x, int y) {
    std::vector<unsigned char> rgb(3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

TEST_F(ScreenWindow, CreatesTheWindowAtTheScreenSize) {
    const WindowState& w = window_state();
    EXPECT_NE(w.window, 0u);
    EXPECT_EQ(w.screen_width, 640);
    EXPECT_EQ(w.screen_height, 480);
    EXPECT_TRUE(w.gl_ready);
    EXPECT_FALSE(w.is_fullscreen);
    EXPECT_EQ(w.multisample_samples, 0);
    EXPECT_TRUE(w.multisample_tries.empty());
    EXPECT_TRUE(platform::window_shown());
    int cw = 0, ch = 0;
    platform::window_client_size(cw, ch);
    EXPECT_EQ(cw, 640);
    EXPECT_EQ(ch, 480);
    EXPECT_DOUBLE_EQ(w.frame_time, 1000.0 / 60);
}

TEST_F(ScreenWindow, DrawPresentReadBack) {
    red_left_half();
    EXPECT_EQ(pixel(100, 240), (std::vector<unsigned char>{255, 0, 0}));
    EXPECT_EQ(pixel(500, 240), (std::vector<unsigned char>{0, 0, 0}));
    const double waited = present_frame();
    EXPECT_GE(waited, 1.0);
    // The buffer the next frame draws into starts cleared.
    EXPECT_EQ(pixel(100, 240), (std::vector<unsigned char>{0, 0, 0}));
    red_left_half();
    show_screen();
    EXPECT_EQ(pixel(100, 240), (std::vector<unsigned char>{0, 0, 0}));
}

TEST_F(ScreenWindow, ClearScreenFreesTheBackgroundAndClears) {
    int freed = 0;
    screen_hooks().free_screen_background = [&freed] { ++freed; };
    red_left_half();
    clear_screen();
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(pixel(100, 240)[0], 0);
}

TEST_F(ScreenWindow, ExtensionRecordIsFilledForTheContext) {
    const auto* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    ASSERT_NE(ext, nullptr);
    EXPECT_EQ(platform::gl_extensions().has_framebuffer_objects(),
              platform::extension_listed(ext, "GL_EXT_framebuffer_object"));
    EXPECT_EQ(platform::gl_extensions().has_multitexture(),
              std::string(ext).find("GL_ARB_multitexture") != std::string::npos);
}

TEST_F(ScreenWindow, NextFrameTimeStartsAtCreation) {
    const double before = now_ms();
    ASSERT_TRUE(create_gl_window(320, 200, 0, 0, 0));
    EXPECT_GE(window_state().next_frame_time, before);
    EXPECT_LE(window_state().next_frame_time, now_ms());
    EXPECT_DOUBLE_EQ(window_state().frame_time, 2.0);  // frame rate 0
    EXPECT_EQ(window_state().screen_width, 320);
}

TEST_F(ScreenWindow, Multisample8Tries8Then4Then2Then1) {
    ASSERT_TRUE(create_gl_window(640, 480, 0, 60, 8));
    const WindowState& w = window_state();
    const std::vector<int> all = platform::multisample_tries(8);
    ASSERT_FALSE(w.multisample_tries.empty());
    ASSERT_LE(w.multisample_tries.size(), all.size());
    EXPECT_TRUE(std::equal(w.multisample_tries.begin(), w.multisample_tries.end(), all.begin()));
    if (w.multisample_samples > 0) {
        EXPECT_EQ(w.multisample_samples, w.multisample_tries.back());
        EXPECT_GE(platform::framebuffer_samples(), w.multisample_samples);
    } else {
        EXPECT_EQ(w.multisample_tries, all);  // every count failed
    }
    red_left_half();
    EXPECT_EQ(pixel(100, 240)[0], 255);
}

TEST_F(ScreenWindow, Multisample6Tries6Then3Then1) {
    ASSERT_TRUE(create_gl_window(640, 480, 0, 60, 6));
    const WindowState& w = window_state();
    const std::vector<int> all = {6, 3, 1};
    ASSERT_FALSE(w.multisample_tries.empty());
    EXPECT_TRUE(std::equal(w.multisample_tries.begin(), w.multisample_tries.end(), all.begin()));
    if (w.multisample_samples == 0) {
        EXPECT_EQ(w.multisample_tries, all);
    }
}

TEST_F(ScreenWindow, SoftwareWarningOncePerProcess) {
    WindowState& w = window_state();
    w.software_warning_shown = false;
    w.renderer.clear();
    delete_error_log();
    ASSERT_TRUE(create_gl_window(640, 480, 0, 60, 0));
    const bool software = is_software_renderer(window_state().renderer.c_str());
    EXPECT_EQ(count_of(error_log(), "OpenGL Software Emulation\r\n"), software ? 1 : 0);
    reset_screen();
    ASSERT_TRUE(create_gl_window(640, 480, 0, 60, 0));
    EXPECT_EQ(count_of(error_log(), "OpenGL Software Emulation\r\n"), software ? 1 : 0);
}

TEST(SoftwareRenderer, RecognisedByName) {
    struct Row {
        const char* renderer;
        bool software;
    };
    const Row rows[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", true},
        {"softpipe", true},
        {"swrast", true},
        {"Mesa Windows GDI Driver", true},
        {"Mesa Windows GDI Driver 2", false},
        {"AMD Radeon (llvmpipe)", false},
        {"Mesa Intel(R) UHD Graphics", false},
        {"", false},
        {nullptr, false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(is_software_renderer(r.renderer), r.software) << (r.renderer ? r.renderer : "null");
}

TEST(SoftwareRenderer, WarningTextIsUtf8) {
    const std::string text = SOFTWARE_GL_TEXT;
    EXPECT_NE(text.find("unterst\xC3\xBCtzt!"), std::string::npos);
    EXPECT_EQ(text.find('\xFC'), std::string::npos);
    EXPECT_EQ(std::string(SOFTWARE_GL_CAPTION), "!!OpenGL Software Emulation!!");
}

TEST_F(ScreenWindow, FullscreenFailureFallsBackToAWindow) {
    window_state().screen_width = 20000;
    window_state().screen_height = 20000;
    EXPECT_FALSE(enter_fullscreen());
    EXPECT_DOUBLE_EQ(is_fullscreen_mode(), 0.0);
    EXPECT_FALSE(platform::in_fullscreen_mode());
    EXPECT_TRUE(platform::window_shown());
    EXPECT_EQ(count_of(error_log(), "No Fullscreen Mode available\r\n"), 1);
}

TEST_F(ScreenWindow, ScreenModeToFullscreenAndBack) {
    std::vector<uint32_t> handed;
    screen_hooks().window_changed.add([&handed](uint32_t window) { handed.push_back(window); });
    set_screen_mode(0, 0, 1);
    EXPECT_DOUBLE_EQ(is_fullscreen_mode(), 1.0);
    EXPECT_TRUE(platform::in_fullscreen_mode());
    EXPECT_EQ(window_state().screen_width, 640);  // zero keeps the size
    EXPECT_EQ(process_state().fullscreen, 1);
    set_screen_mode(800, 600, 0);
    EXPECT_DOUBLE_EQ(is_fullscreen_mode(), 0.0);
    EXPECT_FALSE(platform::in_fullscreen_mode());
    int cw = 0, ch = 0;
    platform::window_client_size(cw, ch);
    EXPECT_EQ(cw, 800);
    EXPECT_EQ(ch, 600);
    EXPECT_EQ(process_state().screen_width, 800);
    EXPECT_EQ(process_state().screen_height, 600);
    EXPECT_EQ(handed, (std::vector<uint32_t>{window_state().window, window_state().window}));
}

TEST_F(ScreenWindow, HideLeavesFullscreenAndHides) {
    ASSERT_TRUE(enter_fullscreen());
    EXPECT_TRUE(hide_window());
    EXPECT_FALSE(platform::window_shown());
    EXPECT_FALSE(platform::in_fullscreen_mode());
    EXPECT_DOUBLE_EQ(is_fullscreen_mode(), 0.0);
}

TEST_F(ScreenWindow, ModeChangesResetThe2dState) {
    std::vector<int> calls;
    screen_hooks().reset_2d_state = [&calls](int x, int y, int w, int h) {
        calls.push_back(x + y + w + h);
    };
    leave_fullscreen();
    ASSERT_TRUE(enter_fullscreen());
    EXPECT_EQ(calls, (std::vector<int>{0, 0}));
}

TEST_F(ScreenWindow, DestroyReleasesResourcesAndKeepsTheContext) {
    int released = 0;
    screen_hooks().release_gl_resources = [&released] { ++released; };
    EXPECT_TRUE(destroy_gl_window());
    EXPECT_EQ(released, 1);
    EXPECT_EQ(window_state().window, 0u);
    EXPECT_EQ(window_state().screen_width, 0);
    EXPECT_EQ(window_state().screen_height, 0);
    EXPECT_TRUE(platform::has_gl_context());
    EXPECT_FALSE(destroy_gl_window());
    EXPECT_EQ(released, 1);
}

}  // namespace
}  // namespace runtime
