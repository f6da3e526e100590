// The frame limiter's deadline grid and the timer commands, on a clock the test drives.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "runtime/core/lifecycle.h"
#include "runtime/screen/frame.h"
#include "runtime/screen/gl_window.h"
#include "runtime/screen/screen_state.h"

namespace runtime {
namespace {

// Every clock read moves time on by `tick`; every sleep moves it on by the sleep.
struct FakeClock {
    double time = 0;
    double tick = 0.25;
    std::vector<double> sleeps;
    void install() {
        timing_seams().clock = [this] {
            const double t = time;
            time += tick;
            return t;
        };
        timing_seams().sleep = [this](double ms) {
            sleeps.push_back(ms);
            time += ms;
        };
    }
};

class FrameTiming : public ::testing::Test {
protected:
    void SetUp() override {
        reset_screen();
        process_state() = ProcessState{};
        clock_.install();
    }
    void TearDown() override { reset_screen(); }
    FakeClock clock_;
};

TEST_F(FrameTiming, WaitsUntilPastTheDeadlineAndMovesItOneStep) {
    WindowState& w = window_state();
    w.next_frame_time = 100;
    w.frame_time = 10;
    clock_.time = 50;
    const double waited = present_frame();
    // The clock read that ended the wait is the first one past 100.
    const double stop = clock_.time - clock_.tick;
    EXPECT_GT(stop, 100.0);
    EXPECT_LE(stop, 100.0 + clock_.tick);
    EXPECT_DOUBLE_EQ(waited, stop - 50.0 + 1.0);
    EXPECT_DOUBLE_EQ(w.next_frame_time, 110.0);
}

TEST_F(FrameTiming, SleepsWhileMoreThanTwoMsRemainThenSpins) {
    WindowState& w = window_state();
    w.next_frame_time = 100;
    w.frame_time = 10;
    clock_.time = 50;
    present_frame();
    ASSERT_FALSE(clock_.sleeps.empty());
    double t = 50;
    for (double ms : clock_.sleeps) {
        EXPECT_LE(ms, LIMITER_MAX_SLEEP_MS);
        EXPECT_GT(ms, 0.0);
        t += ms;
    }
    // No sleep reaches into the last LIMITER_SPIN_MS before the deadline.
    EXPECT_LE(t, 100.0 - LIMITER_SPIN_MS + 1.0);
}

TEST_F(FrameTiming, BusyWaitSwitchNeverSleeps) {
    timing_seams().busy_wait = true;
    WindowState& w = window_state();
    w.next_frame_time = 30;
    w.frame_time = 10;
    clock_.time = 0;
    present_frame();
    EXPECT_TRUE(clock_.sleeps.empty());
    EXPECT_DOUBLE_EQ(w.next_frame_time, 40.0);
}

TEST_F(FrameTiming, LateFrameIsNotMadeUpAndTheGridIsKept) {
    WindowState& w = window_state();
    w.next_frame_time = 100;
    w.frame_time = 10;
    clock_.time = 5003;  // five seconds late
    const double waited = present_frame();
    EXPECT_DOUBLE_EQ(waited, 1.0 + clock_.tick);  // one clock read, no wait
    // The first grid point (100 + k * 10) not behind the clock read of 5003.
    EXPECT_DOUBLE_EQ(w.next_frame_time, 5010.0);
    EXPECT_EQ(std::fmod(w.next_frame_time - 100.0, 10.0), 0.0);
    // The frame after waits normally, to the next grid point.
    clock_.time = 5004;
    present_frame();
    EXPECT_GT(clock_.time, 5010.0);
    EXPECT_DOUBLE_EQ(w.next_frame_time, 5020.0);
}

TEST_F(FrameTiming, GridPointEqualToTheClockIsKept) {
    WindowState& w = window_state();
    w.next_frame_time = 0;
    w.frame_time = 10;
    clock_.tick = 0;
    clock_.time = 40;
    present_frame();
    // Steps are added only while the clock is strictly beyond the deadline.
    EXPECT_DOUBLE_EQ(w.next_frame_time, 40.0);
}

TEST_F(FrameTiming, SetFrameRate) {
    struct Row {
        double fps;
        double frame_time;
    };
    const Row rows[] = {{60, 1000.0 / 60}, {59.9, 1000.0 / 59}, {1, 1000.0},
                        {0, 2.0},          {-5, 2.0},          {0.5, 2.0}};
    for (const Row& r : rows) {
        set_frame_rate(r.fps);
        EXPECT_DOUBLE_EQ(window_state().frame_time, r.frame_time) << r.fps;
    }
}

TEST_F(FrameTiming, SetFrameRateLeavesTheDeadlineAlone) {
    window_state().next_frame_time = 1234;
    set_frame_rate(30);
    EXPECT_DOUBLE_EQ(window_state().next_frame_time, 1234.0);
}

TEST_F(FrameTiming, TenFramesAtSixtyTakeAboutOneSixthOfASecond) {
    set_frame_rate(60);
    clock_.time = 1000;
    window_state().next_frame_time = 1000;
    reset_timer_bases();
    const double start = clock_.time;
    show_screen();  // the first frame waits for the grid
    const double first = clock_.time;
    for (int i = 0; i < 10; ++i) show_screen();
    EXPECT_NEAR(clock_.time - first, 10 * 1000.0 / 60, 1.0);
    EXPECT_NEAR(frame_duration(), 1000.0 / 60, 0.5);
    EXPECT_GT(first, start);
}

TEST_F(FrameTiming, FrameDurationIsOneWhenNotPositive) {
    ScreenState& s = screen_state();
    s.last_frame_time = 500;
    s.previous_frame_time = 500;
    EXPECT_DOUBLE_EQ(frame_duration(), 1.0);
    s.previous_frame_time = 600;
    EXPECT_DOUBLE_EQ(frame_duration(), 1.0);
    s.previous_frame_time = 480;
    EXPECT_DOUBLE_EQ(frame_duration(), 20.0);
}

TEST_F(FrameTiming, ElapsedCountsFromTheTimerBase) {
    clock_.tick = 0;
    clock_.time = 250;
    reset_timer_bases();
    clock_.time = 1250;
    EXPECT_DOUBLE_EQ(elapsed_ms(), 1000.0);
    EXPECT_DOUBLE_EQ(now_ms(), 1250.0);
}

TEST_F(FrameTiming, SleepTruncatesAndZeroReturnsAtOnce) {
    sleep_ms(0);
    sleep_ms(-3);
    sleep_ms(0.9);
    EXPECT_TRUE(clock_.sleeps.empty());
    sleep_ms(2.9);
    ASSERT_EQ(clock_.sleeps.size(), 1u);
    EXPECT_DOUBLE_EQ(clock_.sleeps[0], 2.0);
}

TEST_F(FrameTiming, PumpMessagesGivesOne) { EXPECT_DOUBLE_EQ(pump_messages(), 1.0); }

TEST_F(FrameTiming, FrameHooksRunOncePerShowScreen) {
    int calls = 0;
    const int id = add_frame_hook([&calls] { ++calls; });
    show_screen();
    show_screen();
    EXPECT_EQ(calls, 2);
    remove_frame_hook(id);
    show_screen();
    EXPECT_EQ(calls, 2);
}

TEST_F(FrameTiming, ShowScreenRunsItsStepsInOrder) {
    std::vector<std::string> order;
    ScreenHooks& h = screen_hooks();
    h.end_shadow_pass = [&] { order.push_back("shadow"); };
    h.end_render_target = [&] { order.push_back("target"); };
    h.prepare_next_frame = [&] { order.push_back("prepare"); };
    add_frame_hook([&] { order.push_back("input"); });
    show_screen();
    const std::vector<std::string> expected = {"input", "shadow", "target", "prepare"};
    EXPECT_EQ(order, expected);
}

TEST_F(FrameTiming, ShowScreenTimesTheFrames) {
    clock_.tick = 0;
    clock_.time = 100;
    show_screen();
    clock_.time = 130;
    show_screen();
    EXPECT_DOUBLE_EQ(screen_state().previous_frame_time, 100.0);
    EXPECT_GE(screen_state().last_frame_time, 130.0);
}

}  // namespace
}  // namespace runtime
