// The line editor on a real window: keys typed one per frame, Backspace, Return, the
// grabbed screen under the text, and input_number.
#include <GL/gl.h>

#include <cstdio>
#include <functional>
#include <vector>

#include "input_test_support.h"
#include "runtime/core/lifecycle.h"
#include "runtime/gfx2d/gfx2d.h"
#include "runtime/input/input_state.h"
#include "runtime/input/key_codes.h"
#include "runtime/screen/frame.h"
#include "runtime/screen/screen_state.h"
#include "runtime/screen/text/font.h"

namespace runtime::input_test {
namespace {

class LineEditor : public test_support::RuntimeFixture {
protected:
    void SetUp() override {
        RuntimeFixture::SetUp();
        ASSERT_NE(create_engine_2d(), nullptr);
        ASSERT_TRUE(create_gl_window(320, 240, 0, 60, 0));
        set_frame_rate(500);
        load_font(DynString(""), 0);
        InputState& input = create_input_state();
        start_input(input, window_state().window, 0);
        char_translation() = CharTranslation{};
        pump_messages();
        hook_ = add_frame_hook([this] {
            ++frames_;
            if (next_ < steps_.size())
                steps_[next_++]();
            else if (frames_ > 500)
                tap_now(28, frames_ % 2 == 0);  // end a stuck editor
        });
    }
    static void tap_now(int code, bool down) {
        platform::Event e;
        e.kind = down ? platform::EventKind::KEY_DOWN : platform::EventKind::KEY_UP;
        e.scan_code = code;
        platform::push_event(e);
    }
    void tap(int code, const char* text = nullptr) {
        steps_.push_back([code, text] {
            tap_now(code, true);
            if (!text) return;
            platform::Event e;
            e.kind = platform::EventKind::TEXT_INPUT;
            std::snprintf(e.text, sizeof e.text, "%s", text);
            platform::push_event(e);
        });
        steps_.push_back([code] { tap_now(code, false); });
    }
    // Lit pixels of the frame about to be presented, in a block (2D coordinates).
    static int lit_pixels(int x, int y, int w, int h) {
        std::vector<unsigned char> rgb(static_cast<size_t>(w * h) * 3);
        flush_sprite_batch();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(x, 240 - y - h, w, h, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        int lit = 0;
        for (size_t i = 0; i < rgb.size(); i += 3)
            if (rgb[i] > 128 && rgb[i + 1] > 128 && rgb[i + 2] > 128) ++lit;
        return lit;
    }

    std::vector<std::function<void()>> steps_;
    size_t next_ = 0;
    int frames_ = 0;
    int hook_ = 0;
};

TEST_F(LineEditor, TwoBackspacesAfterTwoLettersLeaveAnEmptyText) {
    tap(KEY_A);
    tap(KEY_B);
    tap(KEY_BACKSPACE);
    tap(KEY_BACKSPACE);
    tap(KEY_RETURN);
    DynString text("ab");
    text = "";
    input_line(text, 10, 10);
    EXPECT_STREQ(text.text_of(), "");
    EXPECT_EQ(rainbows()->tiled_images[LINE_EDITOR_IMAGE].columns, 0);  // discarded
}

TEST_F(LineEditor, TypedTextIsAppendedAndDrawn) {
    int lit_with_text = -1;
    int lit_before = -1;
    steps_.push_back([&] { lit_before = lit_pixels(40, 40, 40, 8); });
    tap(KEY_A);
    tap(KEY_B);
    steps_.push_back([&] { lit_with_text = lit_pixels(40, 40, 40, 8); });
    tap(KEY_PAD_ENTER);  // ends it too
    DynString text("x");
    input_line(text, 40.7, 40.2);
    EXPECT_STREQ(text.text_of(), "xab");
    EXPECT_GT(lit_with_text, lit_before);
    EXPECT_GT(lit_before, 0);  // the initial "x"
}

TEST_F(LineEditor, TheScreenUnderTheEditorStaysVisible) {
    // A white block drawn before the editor is grabbed and redrawn every frame.
    fill_rect(200, 200, 20, 20, 0xFFFFFF);
    ASSERT_EQ(lit_pixels(205, 205, 10, 10), 100);
    int lit_block = -1;
    tap(KEY_A);
    steps_.push_back([&] { lit_block = lit_pixels(205, 205, 10, 10); });
    tap(KEY_RETURN);
    DynString text;
    input_line(text, 0, 0);
    EXPECT_EQ(lit_block, 100);
}

TEST_F(LineEditor, TakesWhatTheLayoutTypesWithShift) {
    tap(KEY_1, "!");
    tap(KEY_MINUS, "_");
    tap(KEY_APOSTROPHE, "\"");
    tap(KEY_RETURN);
    DynString text("a");
    input_line(text, 10, 10);
    EXPECT_STREQ(text.text_of(), "a!_\"");
}

TEST_F(LineEditor, InputNumberReadsTheTypedNumber) {
    tap(KEY_4);
    tap(KEY_2);
    tap(KEY_PERIOD);
    tap(KEY_5);
    tap(KEY_RETURN);
    EXPECT_EQ(input_number(0, 0), 42.5);
}

}  // namespace
}  // namespace runtime::input_test
