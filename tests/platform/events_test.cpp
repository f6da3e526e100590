// The event pump: SDL events of the window become runtime events in order, and
// push_event round-trips synthetic input.
#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <cstring>
#include <vector>

#include "runtime/platform/events.h"
#include "runtime/platform/keyboard.h"
#include "runtime/platform/window.h"

namespace runtime::platform {
namespace {

class PlatformEvents : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(init_video());
        ASSERT_TRUE(create_window("events", 0, 0, 32, 32, GlFormat{}));
        pump_events();  // drop what window creation queued
        listener_ = add_event_listener([this](const Event& e) { seen_.push_back(e); });
    }
    void TearDown() override {
        remove_event_listener(listener_);
        destroy_window();
    }
    int listener_ = 0;
    std::vector<Event> seen_;
};

TEST_F(PlatformEvents, FocusAndCloseRoundTrip) {
    Event e;
    e.kind = EventKind::FOCUS_LOST;
    ASSERT_TRUE(push_event(e));
    e.kind = EventKind::FOCUS_GAINED;
    ASSERT_TRUE(push_event(e));
    e.kind = EventKind::QUIT_REQUEST;
    ASSERT_TRUE(push_event(e));
    EXPECT_GE(pump_events(), 3);
    ASSERT_EQ(seen_.size(), 3u);
    EXPECT_EQ(seen_[0].kind, EventKind::FOCUS_LOST);
    EXPECT_EQ(seen_[1].kind, EventKind::FOCUS_GAINED);
    EXPECT_EQ(seen_[2].kind, EventKind::QUIT_REQUEST);
}

TEST_F(PlatformEvents, KeysCarrySetOneScanCodesAndModifiers) {
    Event e;
    e.kind = EventKind::KEY_DOWN;
    e.scan_code = 62;  // F4
    e.alt_down = true;
    ASSERT_TRUE(push_event(e));
    e.kind = EventKind::KEY_UP;
    e.scan_code = 1;  // Escape
    e.alt_down = false;
    ASSERT_TRUE(push_event(e));
    pump_events();
    ASSERT_EQ(seen_.size(), 2u);
    EXPECT_EQ(seen_[0].kind, EventKind::KEY_DOWN);
    EXPECT_EQ(seen_[0].scan_code, 62);
    EXPECT_TRUE(seen_[0].alt_down);
    EXPECT_EQ(seen_[0].layout_char, 0);  // a function key has no character
    EXPECT_EQ(seen_[1].kind, EventKind::KEY_UP);
    EXPECT_EQ(seen_[1].scan_code, 1);
    EXPECT_FALSE(seen_[1].alt_down);
}

TEST_F(PlatformEvents, RawSdlEventsAreTranslated) {
    SDL_Event raw{};
    raw.type = SDL_WINDOWEVENT;
    raw.window.windowID = window_id();
    raw.window.event = SDL_WINDOWEVENT_CLOSE;
    ASSERT_EQ(SDL_PushEvent(&raw), 1);
    raw = SDL_Event{};
    raw.type = SDL_MOUSEBUTTONDOWN;
    raw.button.windowID = window_id();
    raw.button.button = SDL_BUTTON_RIGHT;
    raw.button.x = 5;
    raw.button.y = 7;
    ASSERT_EQ(SDL_PushEvent(&raw), 1);
    raw = SDL_Event{};
    raw.type = SDL_KEYDOWN;
    raw.key.windowID = window_id();
    raw.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
    ASSERT_EQ(SDL_PushEvent(&raw), 1);
    pump_events();
    ASSERT_EQ(seen_.size(), 3u);
    EXPECT_EQ(seen_[0].kind, EventKind::QUIT_REQUEST);
    EXPECT_EQ(seen_[1].kind, EventKind::MOUSE_BUTTON_DOWN);
    EXPECT_EQ(seen_[1].button, 2);
    EXPECT_EQ(seen_[1].x, 5);
    EXPECT_EQ(seen_[1].y, 7);
    EXPECT_EQ(seen_[2].scan_code, set1_from_platform_scancode(SDL_SCANCODE_ESCAPE));
}

TEST_F(PlatformEvents, OtherWindowsEventsAreNotTaken) {
    SDL_Event raw{};
    raw.type = SDL_WINDOWEVENT;
    raw.window.windowID = window_id() + 1000;
    raw.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    ASSERT_EQ(SDL_PushEvent(&raw), 1);
    pump_events();
    EXPECT_TRUE(seen_.empty());
}

TEST_F(PlatformEvents, RemovedListenerHearsNothing) {
    remove_event_listener(listener_);
    Event e;
    e.kind = EventKind::FOCUS_LOST;
    ASSERT_TRUE(push_event(e));
    pump_events();
    EXPECT_TRUE(seen_.empty());
    listener_ = 0;
}

TEST_F(PlatformEvents, TextIsBoundedAndTerminated) {
    Event e;
    e.kind = EventKind::TEXT_INPUT;
    std::memset(e.text, 'a', sizeof e.text - 1);
    ASSERT_TRUE(push_event(e));
    pump_events();
    ASSERT_EQ(seen_.size(), 1u);
    EXPECT_LT(std::strlen(seen_[0].text), sizeof seen_[0].text);
}

}  // namespace
}  // namespace runtime::platform
