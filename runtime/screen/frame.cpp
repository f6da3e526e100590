// Frame presentation and timing. The limiter keeps the deadline grid and pumps events
// while it waits; it sleeps to an absolute deadline and spins only for the last stretch,
// as long as its recent sleeps have mostly been seen to overrun.
#include "runtime/screen/frame.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "runtime/core/lifecycle.h"
#include "runtime/input/key_codes.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/events.h"
#include "runtime/platform/window.h"
#include "runtime/screen/gl_window.h"
#include "runtime/screen/screen_state.h"

namespace runtime {

namespace {

void seam_sleep(double ms) {
    const TimingSeams& seams = timing_seams();
    if (seams.sleep)
        seams.sleep(ms);
    else
        platform::sleep_for_ms(ms);
}

// Sleeps to a deadline on the runtime clock and notes how late the sleep woke.
void limiter_sleep_until(double deadline) {
    const TimingSeams& seams = timing_seams();
    if (seams.sleep_until) {
        seams.sleep_until(deadline);
    } else if (seams.clock) {
        seam_sleep(deadline - now_ms());
    } else {
        platform::sleep_until_ms(deadline);
    }
    LimiterState& state = limiter_state();
    state.lateness[static_cast<size_t>(state.next)] = std::max(0.0, now_ms() - deadline);
    state.next = (state.next + 1) % LIMITER_SAMPLES;
    state.samples = std::min(state.samples + 1, LIMITER_SAMPLES);
    std::array<double, LIMITER_SAMPLES> sorted = state.lateness;
    std::sort(sorted.begin(), sorted.begin() + state.samples);
    const int covered = (state.samples * LIMITER_COVERED_PERCENT + 99) / 100;
    state.margin = std::min(sorted[static_cast<size_t>(covered - 1)] + LIMITER_MIN_SPIN_MS,
                            LIMITER_MAX_SPIN_MS);
}

// Numbers reach commands as doubles and mean int32, truncated towards zero.
int to_int32(double value) {
    if (!(value == value)) return 0;
    if (value >= 2147483647.0) return 2147483647;
    if (value <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(value);
}

}  // namespace

TimingSeams& timing_seams() {
    static TimingSeams record;
    return record;
}

LimiterState& limiter_state() {
    static LimiterState record;
    return record;
}

double limiter_spin_margin() {
    const double fixed = timing_seams().fixed_spin_ms;
    return fixed > 0 ? fixed : limiter_state().margin;
}

double now_ms() {
    const TimingSeams& seams = timing_seams();
    return seams.clock ? seams.clock() : platform::now_ms();
}

double pump_messages() {
    platform::pump_events();
    return 1.0;
}

double present_frame() {
    const ScreenHooks& hooks = screen_hooks();
    if (hooks.flush_2d) hooks.flush_2d();
    if (hooks.end_render_target) hooks.end_render_target();
    platform::swap_buffers();
    if (platform::has_gl_context()) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    WindowState& w = window_state();
    const bool busy = timing_seams().busy_wait;
    const double t0 = now_ms();
    double now = t0;
    for (;;) {
        platform::pump_events();
        now = now_ms();
        if (now > w.next_frame_time) break;
        if (busy) continue;
        const double wake = w.next_frame_time - limiter_spin_margin();
        if (wake > now) limiter_sleep_until(std::min(wake, now + LIMITER_MAX_SLEEP_MS));
    }
    // The deadline moves on a fixed grid; late frames are not made up.
    double next = w.next_frame_time + w.frame_time;
    if (w.frame_time > 0) {
        while (now > next) next += w.frame_time;
    }
    w.next_frame_time = next;
    return now - t0 + 1.0;
}

void show_screen() {
    ScreenState& s = screen_state();
    const ScreenHooks& hooks = screen_hooks();
    if (process_state().debug_mode != 0) {
        platform::show_window();
        platform::raise_window();
    }
    s.previous_frame_time = s.last_frame_time;
    s.last_frame_time = now_ms();
    while (s.paused) {
        pump_messages();
        seam_sleep(100.0);
    }
    run_frame_hooks();
    // Key 129 lies beyond the scan codes; the key states are read there all the same.
    if (s.escape_ends_program && (frame_key_down(129) || frame_key_down(KEY_ESCAPE))) end_program();
    if (frame_key_down(KEY_LEFT_ALT) && frame_key_down(KEY_F4)) end_program();
    if (hooks.end_shadow_pass) hooks.end_shadow_pass();
    present_frame();
    if (platform::has_gl_context()) {
        glDisable(GL_BLEND);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    }
    hooks.prepare_next_frame.call();
}

void clear_screen() {
    const ScreenHooks& hooks = screen_hooks();
    if (hooks.flush_2d) hooks.flush_2d();
    if (hooks.free_screen_background) hooks.free_screen_background();
    if (platform::has_gl_context()) glClear(GL_COLOR_BUFFER_BIT);
}

void set_frame_rate(double fps) {
    window_state().frame_time = frame_time_for_rate(to_int32(fps));
}

double is_fullscreen_mode() { return window_state().is_fullscreen ? 1.0 : 0.0; }

double frame_duration() {
    const ScreenState& s = screen_state();
    const double d = s.last_frame_time - s.previous_frame_time;
    return d > 0 ? d : 1.0;
}

double elapsed_ms() { return now_ms() - screen_state().timer_base; }

void sleep_ms(double ms) {
    const int whole = to_int32(ms);
    if (whole > 0) seam_sleep(whole);
}

void reset_timer_bases() {
    ScreenState& s = screen_state();
    const double t = now_ms();
    s.last_frame_time = t;
    s.previous_frame_time = t;
    s.timer_base = t;
}

}  // namespace runtime
