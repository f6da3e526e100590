// Frame presentation and timing: the clock, the message pump, the frame limiter on a
// fixed deadline grid, show_screen and the timer queries.
#pragma once

#include <functional>

namespace runtime {

// The clock and sleep the limiter uses; empty members mean the real monotonic clock.
struct TimingSeams {
    std::function<double()> clock;
    std::function<void(double ms)> sleep;
    // true: the limiter spins for the whole wait instead of sleeping while > 2 ms remain.
    bool busy_wait = false;
};
TimingSeams& timing_seams();

// Current time in ms on the runtime's clock.
double now_ms();
// Dispatches every pending window event; 1.
double pump_messages();
// Swap, clear, wait for the deadline; ms spent waiting + 1.
double present_frame();
// Presents the frame with the pause, input poll and Escape / Alt+F4 ends.
void show_screen();
// Frees the screen background and clears the colour buffer.
void clear_screen();
// Frame time 1000 / fps, or 2 ms for 0 or less; from the next present_frame.
void set_frame_rate(double fps);
// 1.0 while in a fullscreen display mode, else 0.0.
double is_fullscreen_mode();
// ms between the last two show_screen calls; 1.0 when not positive.
double frame_duration();
// ms since the timer base.
double elapsed_ms();
// Sleeps without pumping; 0 or less returns at once.
void sleep_ms(double ms);
// Sets the three timer bases to now (initialisation).
void reset_timer_bases();

// Milliseconds still to wait above which the limiter sleeps rather than spins.
constexpr double LIMITER_SPIN_MS = 2.0;
// Longest single sleep of the limiter, so events are still pumped in long frames.
constexpr double LIMITER_MAX_SLEEP_MS = 10.0;

}  // namespace runtime
