// A whole runtime for the OS-service tests: offscreen window, 2D engine, built-in font,
// input started on the window, the test's own temporary and current folder, and a
// frame script that plays one step of synthetic input per shown frame.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "runtime/gfx2d/gfx2d.h"
#include "runtime/input/input.h"
#include "runtime/input/input_state.h"
#include "runtime/platform/events.h"
#include "runtime/screen/frame.h"
#include "runtime/screen/gl_window.h"
#include "runtime/screen/screen_state.h"
#include "runtime/screen/text/font.h"
#include "support/runtime_fixture.h"

namespace runtime::os_test {

constexpr int OS_SCREEN_W = 320;
constexpr int OS_SCREEN_H = 240;
// A script that has not ended the loop after this many frames presses Escape.
constexpr int MAX_SCRIPT_FRAMES = 600;

class OsRuntime : public test_support::RuntimeFixture {
protected:
    void SetUp() override {
        RuntimeFixture::SetUp();
        char here[1024] = {};
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        start_folder_ = here;
        ASSERT_EQ(chdir(temp_.path().c_str()), 0);
        ASSERT_NE(create_engine_2d(), nullptr);
        ASSERT_TRUE(create_gl_window(OS_SCREEN_W, OS_SCREEN_H, 0, 60, 0));
        set_frame_rate(500);
        load_font(DynString(""), 0);
        InputState& input = create_input_state();
        start_input(input, window_state().window, 0);
        char_translation() = CharTranslation{};
        pump_messages();
        script_hook_ = add_frame_hook([this] { play_step(); });
    }
    void TearDown() override {
        RuntimeFixture::TearDown();
        unsetenv("RUNTIME_FILE_DIALOG");
        ASSERT_EQ(chdir(start_folder_.c_str()), 0);
    }

    void play_step() {
        ++frames_;
        if (next_step_ < steps_.size()) {
            steps_[next_step_++]();
        } else if (frames_ > MAX_SCRIPT_FRAMES) {
            key(1, frames_ % 2 == 0);
        }
    }
    static void key(int code, bool down) {
        platform::Event e;
        e.kind = down ? platform::EventKind::KEY_DOWN : platform::EventKind::KEY_UP;
        e.scan_code = code;
        platform::push_event(e);
    }
    // One key press and release, over two frames.
    void tap(int code) {
        steps_.push_back([code] { key(code, true); });
        steps_.push_back([code] { key(code, false); });
    }
    // Presses and releases that all arrive between two frames, each with the text the
    // layout makes of it (none for an empty text).
    void quick_taps(std::vector<std::pair<int, const char*>> keys) {
        steps_.push_back([keys] {
            for (const auto& [code, text] : keys) {
                key(code, true);
                if (*text) {
                    platform::Event e;
                    e.kind = platform::EventKind::TEXT_INPUT;
                    std::snprintf(e.text, sizeof e.text, "%s", text);
                    platform::push_event(e);
                }
                key(code, false);
            }
        });
    }
    void idle(int frames) {
        for (int i = 0; i < frames; ++i) steps_.push_back([] {});
    }
    void click(int x, int y) {
        steps_.push_back([x, y] {
            platform::Event e;
            e.kind = platform::EventKind::MOUSE_MOTION;
            e.x = x;
            e.y = y;
            platform::push_event(e);
            e.kind = platform::EventKind::MOUSE_BUTTON_DOWN;
            e.button = 1;
            platform::push_event(e);
        });
        steps_.push_back([x, y] {
            platform::Event e;
            e.kind = platform::EventKind::MOUSE_BUTTON_UP;
            e.x = x;
            e.y = y;
            e.button = 1;
            platform::push_event(e);
        });
    }
    std::string folder() const {
        char here[1024] = {};
        return getcwd(here, sizeof here) != nullptr ? here : "";
    }

    std::string start_folder_;
    std::vector<std::function<void()>> steps_;
    size_t next_step_ = 0;
    int frames_ = 0;
    int script_hook_ = 0;
};

}  // namespace runtime::os_test
