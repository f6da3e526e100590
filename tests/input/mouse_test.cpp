// Pointer position, per-frame motion, buttons and wheel from synthetic mouse events.
#include <atomic>
#include <chrono>
#include <thread>

#include "input_test_support.h"
#include "runtime/input/input_state.h"
#include "runtime/screen/screen_state.h"

namespace runtime::input_test {
namespace {

using MouseShown = InputFixture;

TEST_F(MouseShown, PositionAndMotionFollowThePointer) {
    next_frame();
    motion(10, 20, 0, 0);
    double x, y, left, right;
    get_mouse_state(x, y, left, right);
    EXPECT_EQ(x, 10.0);
    EXPECT_EQ(y, 20.0);
    next_frame();
    motion(15, 27, 5, 7);
    EXPECT_EQ(mouse_axis(0), 5.0);
    EXPECT_EQ(mouse_axis(1), 7.0);
}

TEST_F(MouseShown, MotionIsMeasuredOncePerFrame) {
    next_frame();
    motion(40, 40, 0, 0);
    mouse_axis(0);
    next_frame();
    motion(43, 41, 3, 1);
    EXPECT_EQ(mouse_axis(0), 3.0);
    motion(50, 41, 7, 0);  // within the same frame: not measured yet
    EXPECT_EQ(mouse_axis(0), 3.0);
    next_frame();
    EXPECT_EQ(mouse_axis(0), 7.0);
    next_frame();
    EXPECT_EQ(mouse_axis(0), 0.0);
}

TEST_F(MouseShown, ButtonsAndAxes) {
    button(1, true);
    double x, y, left, right;
    get_mouse_state(x, y, left, right);
    EXPECT_EQ(left, 1.0);
    EXPECT_EQ(right, 0.0);
    button(2, true);
    button(3, true);
    EXPECT_EQ(mouse_axis(3), 1.0);
    EXPECT_EQ(mouse_axis(4), 1.0);
    EXPECT_EQ(mouse_axis(5), 1.0);
    EXPECT_EQ(mouse_axis(6), 0.0);
    button(1, false);
    button(2, false);
    button(3, false);
    EXPECT_EQ(mouse_axis(3), 0.0);
    EXPECT_EQ(mouse_axis(4), 0.0);
    EXPECT_EQ(mouse_axis(5), 0.0);
}

TEST_F(MouseShown, WheelGivesItsSign) {
    next_frame();
    wheel(3);
    EXPECT_EQ(mouse_axis(2), 1.0);
    next_frame();
    wheel(-2);
    EXPECT_EQ(mouse_axis(2), -1.0);
    next_frame();
    EXPECT_EQ(mouse_axis(2), 0.0);
}

TEST_F(MouseShown, SetMouseStoresThePosition) {
    set_mouse(33, 44);
    EXPECT_EQ(input_state()->mouse_x, 33);
    EXPECT_EQ(input_state()->mouse_y, 44);
}

class MouseCaptured : public InputFixture {
protected:
    void SetUp() override {
        capture_mouse_ = 1;
        InputFixture::SetUp();
    }
};

TEST_F(MouseCaptured, StartsWithThePointerHidden) {
    EXPECT_EQ(input_state()->pointer_shown, 0);
    EXPECT_EQ(input_state()->mouse_cooperation, 5);
    set_system_pointer(1);
    EXPECT_EQ(input_state()->pointer_shown, 1);
    EXPECT_EQ(input_state()->mouse_cooperation, 6);
}

TEST_F(MouseCaptured, RelativeMotionAccumulatesAndIsClampedToTheScreen) {
    set_mouse(100, 100);
    next_frame();
    motion(0, 0, 12, -5);
    motion(0, 0, 3, 0);
    double x, y, left, right;
    get_mouse_state(x, y, left, right);
    EXPECT_EQ(x, 115.0);
    EXPECT_EQ(y, 95.0);
    next_frame();
    motion(0, 0, -5000, 0);  // far to the left
    get_mouse_state(x, y, left, right);
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(input_state()->mouse_x, 0);  // the clamped value is stored
    next_frame();
    motion(0, 0, 4, 0);
    get_mouse_state(x, y, left, right);
    EXPECT_EQ(x, 4.0);
    next_frame();
    motion(0, 0, 9000, 9000);
    get_mouse_state(x, y, left, right);
    EXPECT_EQ(x, 319.0);
    EXPECT_EQ(y, 239.0);
}

TEST_F(MouseShown, HidingThePointerSwitchesToRelativeMotion) {
    set_system_pointer(0);
    EXPECT_EQ(input_state()->pointer_shown, 0);
    set_mouse(50, 50);
    next_frame();
    motion(7, 7, 6, 2);
    EXPECT_EQ(mouse_axis(0), 6.0);
    double x, y, left, right;
    get_mouse_state(x, y, left, right);
    EXPECT_EQ(x, 56.0);
    EXPECT_EQ(y, 52.0);
}

TEST_F(MouseShown, ANewWindowIsFollowedByOneListenerWhileStarted) {
    // Restarting never adds a second listener, and stopping removes the one there is.
    for (int i = 0; i < 20; ++i) {
        stop_input(*input_state());
        start_input(*input_state(), window_state().window, 0);
    }
    ASSERT_EQ(screen_hooks().window_changed.size(), 1u);
    screen_hooks().window_changed.call(4242);
    EXPECT_EQ(input_state()->window, 4242u);
    stop_input(*input_state());
    EXPECT_TRUE(screen_hooks().window_changed.empty());
    screen_hooks().window_changed.call(7);
    EXPECT_EQ(input_state()->window, 4242u);
}

using MouseWait = InputFixture;

TEST_F(MouseWait, EndsWhenAButtonGoesDownAfterAllWereUp) {
    button(1, true);
    std::atomic<int> stage{0};
    std::thread clicker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stage = 1;
        button(1, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stage = 2;
        button(2, true);
    });
    mouse_wait();
    const int seen = stage.load();
    clicker.join();
    EXPECT_EQ(seen, 2);
}

}  // namespace
}  // namespace runtime::input_test
