// Shared fixture of the input tests: a real offscreen window, the input state started
// on it, and helpers that put synthetic events into the window system's queue.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "runtime/input/input.h"
#include "runtime/input/input_state.h"
#include "runtime/platform/events.h"
#include "runtime/screen/gl_window.h"
#include "runtime/screen/screen_state.h"
#include "support/runtime_fixture.h"

namespace runtime::input_test {

class InputFixture : public test_support::RuntimeFixture {
protected:
    void SetUp() override {
        RuntimeFixture::SetUp();
        ASSERT_TRUE(create_gl_window(320, 240, 0, 60, 0));
        pump_all();
        InputState& input = create_input_state();
        start_input(input, window_state().window, capture_mouse_);
        char_translation() = CharTranslation{};
        pump_all();
    }
    void TearDown() override {
        RuntimeFixture::TearDown();
        char_translation() = CharTranslation{};
    }
    static void pump_all() { platform::pump_events(); }
    static void key(int code, bool down) {
        platform::Event e;
        e.kind = down ? platform::EventKind::KEY_DOWN : platform::EventKind::KEY_UP;
        e.scan_code = code;
        ASSERT_TRUE(platform::push_event(e));
    }
    static void press(int code) { key(code, true); }
    // A press and the text the layout makes of it, as the window system sends them.
    static void press_typing(int code, const char* text) {
        press(code);
        platform::Event e;
        e.kind = platform::EventKind::TEXT_INPUT;
        std::snprintf(e.text, sizeof e.text, "%s", text);
        ASSERT_TRUE(platform::push_event(e));
    }
    static void release(int code) { key(code, false); }
    static void motion(int x, int y, int dx, int dy) {
        platform::Event e;
        e.kind = platform::EventKind::MOUSE_MOTION;
        e.x = x;
        e.y = y;
        e.dx = dx;
        e.dy = dy;
        ASSERT_TRUE(platform::push_event(e));
    }
    static void button(int number, bool down) {
        platform::Event e;
        e.kind = down ? platform::EventKind::MOUSE_BUTTON_DOWN : platform::EventKind::MOUSE_BUTTON_UP;
        e.button = number;
        ASSERT_TRUE(platform::push_event(e));
    }
    static void wheel(int amount) {
        platform::Event e;
        e.kind = platform::EventKind::MOUSE_WHEEL;
        e.wheel = amount;
        ASSERT_TRUE(platform::push_event(e));
    }
    // What show_screen does for input at the start of a frame.
    static void next_frame() { run_frame_hooks(); }

    int capture_mouse_ = 0;
};

}  // namespace runtime::input_test
