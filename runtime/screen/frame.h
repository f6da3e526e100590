// Frame presentation and timing: the clock, the message pump, the frame limiter on a
// fixed deadline grid, show_screen and the timer queries.
#pragma once

#include <array>
#include <functional>

namespace runtime {

// The clock and sleeps the frame loop uses; empty members mean the real monotonic clock.
struct TimingSeams {
    std::function<double()> clock;
    std::function<void(double ms)> sleep;
    // The limiter's sleep to a deadline on the clock above. Empty: the real absolute sleep,
    // or `sleep` for the time left when a test clock is set.
    std::function<void(double deadline_ms)> sleep_until;
    // true: the limiter spins for the whole wait instead of sleeping.
    bool busy_wait = false;
    // > 0: a fixed spin margin in ms instead of the learned one (benchmark comparison).
    double fixed_spin_ms = 0;
};
TimingSeams& timing_seams();

// Milliseconds before the deadline at which the limiter stops sleeping and spins: learned
// from the sleeps it sees, between these bounds; the most it starts from.
constexpr double LIMITER_MAX_SPIN_MS = 2.0;
constexpr double LIMITER_MIN_SPIN_MS = 0.1;
// Longest single sleep of the limiter, so events are still pumped in long frames.
constexpr double LIMITER_MAX_SLEEP_MS = 10.0;
// The margin covers this share (%) of the last LIMITER_SAMPLES wake-ups.
constexpr int LIMITER_SAMPLES = 64;
constexpr int LIMITER_COVERED_PERCENT = 95;

// How late the limiter's recent sleeps woke (ms past the time asked), as a ring, and the
// spin margin learned from them.
struct LimiterState {
    std::array<double, LIMITER_SAMPLES> lateness{};
    int samples = 0;  // entries filled so far
    int next = 0;     // entry the next sleep overwrites
    double margin = LIMITER_MAX_SPIN_MS;
};
LimiterState& limiter_state();
// The spin margin now: the wake-up lateness that LIMITER_COVERED_PERCENT of the recent sleeps
// stayed within, plus LIMITER_MIN_SPIN_MS, at most LIMITER_MAX_SPIN_MS (also before any sleep
// was seen). A few stray late wake-ups do not raise it.
double limiter_spin_margin();

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

}  // namespace runtime
