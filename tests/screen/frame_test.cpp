// The frame limiter's deadline grid and the timer commands, on a clock the test drives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "runtime/core/lifecycle.h"
#include "runtime/screen/frame.h"
#include "runtime/screen/gl_window.h"
#include "runtime/screen/screen_state.h"

namespace runtime {
namespace {

// Every clock read moves time on by `tick`; every sleep moves it on by the sleep, and a
// sleep to a deadline wakes `late` ms after it.
struct FakeClock {
    double time = 0;
    double tick = 0.25;
    double late = 0;
    std::vector<double> sleeps;
    std::vector<std::pair<double, double>> deadlines;  // (time asked, deadline)
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
        timing_seams().sleep_until = [this](double deadline) {
            deadlines.emplace_back(time, deadline);
            time = std::max(time, deadline) + late;
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

// The spin margin covers the wake-ups of nearly all recent sleeps (plus the minimum), up to
// the maximum: a stray late one leaves it alone, a slow phase raises it and is forgotten
// once LIMITER_SAMPLES sleeps have passed.
TEST_F(FrameTiming, LimiterSleepsToDeadlinesAndLearnsItsSpinMargin) {
    WindowState& w = window_state();
    w.frame_time = 1000.0 / 60;
    w.next_frame_time = 100;
    clock_.time = 50;
    EXPECT_DOUBLE_EQ(limiter_spin_margin(), LIMITER_MAX_SPIN_MS);  // nothing seen yet
    struct Phase {
        double late;
        int frames;
        double margin;
    };
    for (const Phase& phase : {Phase{0.4, LIMITER_SAMPLES, 0.5}, Phase{5.0, 1, 0.5},
                               Phase{5.0, LIMITER_SAMPLES / 4, LIMITER_MAX_SPIN_MS},
                               Phase{0.0, LIMITER_SAMPLES, LIMITER_MIN_SPIN_MS}}) {
        clock_.late = phase.late;
        for (int i = 0; i < phase.frames; ++i) {
            const double deadline = w.next_frame_time;
            clock_.deadlines.clear();
            present_frame();
            ASSERT_FALSE(clock_.deadlines.empty());
            for (const auto& [asked, until] : clock_.deadlines) {
                EXPECT_LE(until - asked, LIMITER_MAX_SLEEP_MS + 1e-9);
                EXPECT_LE(until, deadline - LIMITER_MIN_SPIN_MS + 1e-9);
            }
            // Whenever the margin covers the lateness, the spin ends on the first read past
            // the deadline.
            const double stop = clock_.time - clock_.tick;
            if (phase.late + LIMITER_MIN_SPIN_MS <= limiter_spin_margin()) {
                EXPECT_GT(stop, deadline);
                EXPECT_LE(stop, deadline + clock_.tick);
            }
        }
        EXPECT_NEAR(limiter_spin_margin(), phase.margin, 1e-9) << "late " << phase.late;
    }
    // Once learned, the last sleep of a frame ends the margin before its deadline.
    EXPECT_NEAR(clock_.deadlines.back().second,
                w.next_frame_time - w.frame_time - LIMITER_MIN_SPIN_MS, 1e-9);
    EXPECT_TRUE(clock_.sleeps.empty());  // no relative sleeps in the limiter
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
    h.prepare_next_frame.add([&] { order.push_back("prepare"); });
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
