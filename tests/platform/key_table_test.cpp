// The public key names against what the SDL platform reports: real key events of named
// SDL keys come out of the pump with the KEY_ code of that key.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "runtime/input/key_codes.h"
#include "runtime/platform/events.h"
#include "runtime/platform/keyboard.h"
#include "runtime/platform/window.h"

namespace runtime::platform {
namespace {

struct NamedKey {
    int code;
    const char* sdl_name;  // SDL's own name of the key, independent of the table's spelling
};

// The keys games use most, from each block of the keyboard.
constexpr NamedKey NAMED_KEYS[] = {
    {KEY_ESCAPE, "Escape"},
    {KEY_1, "1"},
    {KEY_0, "0"},
    {KEY_BACKSPACE, "Backspace"},
    {KEY_TAB, "Tab"},
    {KEY_Q, "Q"},
    {KEY_RETURN, "Return"},
    {KEY_LEFT_CONTROL, "Left Ctrl"},
    {KEY_A, "A"},
    {KEY_LEFT_SHIFT, "Left Shift"},
    {KEY_Z, "Z"},
    {KEY_M, "M"},
    {KEY_SLASH, "/"},
    {KEY_RIGHT_SHIFT, "Right Shift"},
    {KEY_LEFT_ALT, "Left Alt"},
    {KEY_SPACE, "Space"},
    {KEY_F1, "F1"},
    {KEY_F10, "F10"},
    {KEY_F12, "F12"},
    {KEY_PAD_7, "Keypad 7"},
    {KEY_PAD_0, "Keypad 0"},
    {KEY_PAD_ENTER, "Keypad Enter"},
    {KEY_RIGHT_CONTROL, "Right Ctrl"},
    {KEY_PAD_DIVIDE, "Keypad /"},
    {KEY_RIGHT_ALT, "Right Alt"},
    {KEY_HOME, "Home"},
    {KEY_UP, "Up"},
    {KEY_PAGE_UP, "PageUp"},
    {KEY_LEFT, "Left"},
    {KEY_RIGHT, "Right"},
    {KEY_END, "End"},
    {KEY_DOWN, "Down"},
    {KEY_PAGE_DOWN, "PageDown"},
    {KEY_INSERT, "Insert"},
    {KEY_DELETE, "Delete"},
};

class KeyTable : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(init_video());
        ASSERT_TRUE(create_window("keys", 0, 0, 32, 32, GlFormat{}));
        pump_events();
        listener_ = add_event_listener([this](const Event& e) {
            if (e.kind == EventKind::KEY_DOWN) codes_.push_back(e.scan_code);
        });
    }
    void TearDown() override {
        remove_event_listener(listener_);
        destroy_window();
    }
    int listener_ = 0;
    std::vector<int> codes_;
};

TEST_F(KeyTable, NamedKeysArriveWithTheirCodes) {
    for (const NamedKey& key : NAMED_KEYS) {
        SCOPED_TRACE(key.sdl_name);
        const SDL_Scancode sdl = SDL_GetScancodeFromName(key.sdl_name);
        ASSERT_NE(sdl, SDL_SCANCODE_UNKNOWN);
        SDL_Event raw{};
        raw.type = SDL_KEYDOWN;
        raw.key.windowID = window_id();
        raw.key.keysym.scancode = sdl;
        ASSERT_EQ(SDL_PushEvent(&raw), 1);
        codes_.clear();
        pump_events();
        ASSERT_EQ(codes_.size(), 1u);
        EXPECT_EQ(codes_[0], key.code);
        EXPECT_EQ(platform_scancode_from_set1(key.code), static_cast<int>(sdl));
    }
}

// Over every SDL key: a code goes back to a key that reports it, and only the ISO key
// beside Return shares its code with another SDL key.
TEST(KeyTableRange, EveryCodeRoundTrips) {
    std::set<int> seen;
    int shared = 0;
    for (int sdl = 1; sdl < SDL_NUM_SCANCODES; ++sdl) {
        const int code = set1_from_platform_scancode(sdl);
        if (code == 0) continue;
        EXPECT_EQ(set1_from_platform_scancode(platform_scancode_from_set1(code)), code) << sdl;
        if (!seen.insert(code).second) {
            ++shared;
            EXPECT_EQ(code, KEY_BACKSLASH) << sdl;
        }
    }
    EXPECT_EQ(shared, 1);
    EXPECT_EQ(seen.size(), 124u);  // one per KEY_ name
}

}  // namespace
}  // namespace runtime::platform
