// The window procedure through synthetic events: the activation pause and its title,
// the close request, and the Escape and Alt+KEY_F4 ends of show_screen.
#include <unistd.h>

#include <string>
#include <vector>

#include "runtime/input/key_codes.h"
#include "runtime/platform/events.h"
#include "runtime/screen/screen_state.h"
#include "screen_fixture.h"

namespace runtime {
namespace {

void push(platform::EventKind kind, int scan_code = 0) {
    platform::Event e;
    e.kind = kind;
    e.scan_code = scan_code;
    ASSERT_TRUE(platform::push_event(e));
}

// Death tests re-run the test in a fresh process, away from this one's GL context.
class ScreenWindowDeath : public ScreenWindow {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        ScreenWindow::SetUp();
    }
};

// Reached only when show_screen returned instead of ending the program.
constexpr int RETURNED = 42;

TEST_F(ScreenWindow, FocusLossPausesAndMarksTheTitle) {
    push(platform::EventKind::FOCUS_LOST);
    pump_messages();
    EXPECT_TRUE(screen_state().paused);
    EXPECT_EQ(platform::window_title(), "brisel42_x9 <pause>");
    push(platform::EventKind::FOCUS_GAINED);
    pump_messages();
    EXPECT_FALSE(screen_state().paused);
    EXPECT_EQ(platform::window_title(), "brisel42_x9");
}

TEST_F(ScreenWindow, SetWindowTitleKeepsThePauseMark) {
    set_window_title("My game");
    EXPECT_EQ(platform::window_title(), "My game");
    push(platform::EventKind::FOCUS_LOST);
    pump_messages();
    EXPECT_EQ(platform::window_title(), "My game <pause>");
    set_window_title(DynString("Level 2"));  // changed while paused
    EXPECT_EQ(platform::window_title(), "Level 2 <pause>");
    push(platform::EventKind::FOCUS_GAINED);
    pump_messages();
    EXPECT_EQ(platform::window_title(), "Level 2");
}

TEST_F(ScreenWindow, NoPauseWithoutAutoPause) {
    set_auto_pause(0);
    push(platform::EventKind::FOCUS_LOST);
    pump_messages();
    EXPECT_FALSE(screen_state().paused);
    EXPECT_EQ(platform::window_title(), "brisel42_x9");
    set_auto_pause(0.5);  // any nonzero number switches it on
    EXPECT_TRUE(screen_state().auto_pause);
}

TEST_F(ScreenWindow, NoPauseInDebugMode) {
    process_state().debug_mode = 1;
    push(platform::EventKind::FOCUS_LOST);
    pump_messages();
    EXPECT_FALSE(screen_state().paused);
    EXPECT_EQ(platform::window_title(), "brisel42_x9");
}

TEST_F(ScreenWindow, ShowScreenWaitsWhilePausedInStepsOf100Ms) {
    std::vector<double> sleeps;
    timing_seams().sleep = [&sleeps](double ms) {
        sleeps.push_back(ms);
        // The window comes back after the third wait.
        if (sleeps.size() == 3) push(platform::EventKind::FOCUS_GAINED);
    };
    int polled = 0;
    add_frame_hook([&polled] { ++polled; });
    push(platform::EventKind::FOCUS_LOST);
    pump_messages();
    ASSERT_TRUE(screen_state().paused);
    show_screen();
    EXPECT_FALSE(screen_state().paused);
    ASSERT_GE(sleeps.size(), 3u);
    EXPECT_EQ(std::vector<double>(sleeps.begin(), sleeps.begin() + 3),
              (std::vector<double>{100, 100, 100}));
    // Input is polled once the pause is over, not during it.
    EXPECT_EQ(polled, 1);
}

TEST_F(ScreenWindow, KeysFedFromEvents) {
    push(platform::EventKind::KEY_DOWN, KEY_F4);
    pump_messages();
    EXPECT_TRUE(frame_key_down(KEY_F4));
    push(platform::EventKind::KEY_UP, KEY_F4);
    pump_messages();
    EXPECT_FALSE(frame_key_down(KEY_F4));
    EXPECT_FALSE(frame_key_down(-1));
    EXPECT_FALSE(frame_key_down(256));
}

TEST_F(ScreenWindowDeath, EscapeEndsTheProgram) {
    EXPECT_EXIT(
        {
            push(platform::EventKind::KEY_DOWN, KEY_ESCAPE);
            pump_messages();
            show_screen();
            _exit(RETURNED);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(ScreenWindowDeath, EscapeIgnoredWhenSwitchedOff) {
    EXPECT_EXIT(
        {
            set_escape_ends_program(0);
            push(platform::EventKind::KEY_DOWN, KEY_ESCAPE);
            pump_messages();
            show_screen();
            _exit(RETURNED);
        },
        ::testing::ExitedWithCode(RETURNED), "");
}

TEST_F(ScreenWindowDeath, AltF4EndsEvenWithEscapeSwitchedOff) {
    EXPECT_EXIT(
        {
            set_escape_ends_program(0);
            push(platform::EventKind::KEY_DOWN, KEY_LEFT_ALT);
            push(platform::EventKind::KEY_DOWN, KEY_F4);
            pump_messages();
            show_screen();
            _exit(RETURNED);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(ScreenWindowDeath, AltOrF4AloneDoesNotEnd) {
    EXPECT_EXIT(
        {
            push(platform::EventKind::KEY_DOWN, KEY_LEFT_ALT);
            pump_messages();
            show_screen();
            push(platform::EventKind::KEY_UP, KEY_LEFT_ALT);
            push(platform::EventKind::KEY_DOWN, KEY_F4);
            pump_messages();
            show_screen();
            _exit(RETURNED);
        },
        ::testing::ExitedWithCode(RETURNED), "");
}

TEST_F(ScreenWindowDeath, KeyStatesFromTheInputModuleAreUsed) {
    // Key 129 is tested beside Escape; only the input module's key states can hold it.
    EXPECT_EXIT(
        {
            screen_hooks().key_down = [](int scan_code) { return scan_code == 129; };
            show_screen();
            _exit(RETURNED);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(ScreenWindowDeath, CloseRequestEndsWhileTheLimiterWaits) {
    EXPECT_EXIT(
        {
            push(platform::EventKind::QUIT_REQUEST);
            window_state().next_frame_time = now_ms() + 50;
            present_frame();
            _exit(RETURNED);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(ScreenWindowDeath, CloseRequestEndsWhilePaused) {
    EXPECT_EXIT(
        {
            push(platform::EventKind::FOCUS_LOST);
            pump_messages();
            timing_seams().sleep = [](double) { push(platform::EventKind::QUIT_REQUEST); };
            show_screen();
            _exit(RETURNED);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace runtime
