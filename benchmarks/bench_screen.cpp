// Frame limiter figures, headless: 600 empty frames at 60 frames per second with the
// limiter (absolute-deadline sleeps, learned spin margin) and, for comparison in the same
// run, with a fixed 2 ms spin margin and with the pure busy wait. Prints the mean frame
// period, the 50th and 99th percentile of the deviation from 16.667 ms and the process's
// CPU time as a share of one core.
//   bench_screen [--frames N] [--busy-wait | --sleeping] [--trace]   (default: all three;
//   --sleeping: the limiter alone; --trace lists the frames more than 1 ms off)
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/platform/clock.h"
#include "bench_clock.h"
#include "runtime/platform/window.h"
#include "runtime/screen/frame.h"
#include "runtime/screen/gl_window.h"
#include "runtime/screen/screen_state.h"

namespace {

struct Figures {
    double mean_period = 0;
    double p50_deviation = 0;
    double p99_deviation = 0;
    double max_deviation = 0;
    double cpu_share = 0;  // CPU time / wall time, 1.0 = one core
};

bool g_trace = false;
// How late the limiter's sleeps woke, ms past their deadlines.
std::vector<double> g_lateness;

enum class Mode { LEARNED, FIXED_2MS, BUSY };

Figures run(int frames, Mode mode) {
    runtime::timing_seams().busy_wait = mode == Mode::BUSY;
    runtime::timing_seams().fixed_spin_ms = mode == Mode::FIXED_2MS ? 2.0 : 0.0;
    g_lateness.clear();
    runtime::timing_seams().sleep_until = [](double deadline) {
        runtime::platform::sleep_until_ms(deadline);
        g_lateness.push_back(runtime::platform::now_ms() - deadline);
    };
    runtime::set_frame_rate(60);
    const double target = 1000.0 / 60.0;
    // Settle on the grid first, so the first measured period is a whole frame.
    for (int i = 0; i < 5; ++i) runtime::show_screen();
    std::vector<double> periods;
    periods.reserve(static_cast<size_t>(frames));
    const double cpu0 = bench::clock_ms(CLOCK_PROCESS_CPUTIME_ID);
    const double wall0 = runtime::platform::now_ms();
    double last = wall0;
    for (int i = 0; i < frames; ++i) {
        runtime::show_screen();
        const double t = runtime::platform::now_ms();
        periods.push_back(t - last);
        last = t;
    }
    Figures f;
    const double wall = runtime::platform::now_ms() - wall0;
    f.cpu_share = (bench::clock_ms(CLOCK_PROCESS_CPUTIME_ID) - cpu0) / wall;
    f.mean_period = wall / frames;
    std::vector<double> deviations;
    for (size_t i = 0; i < periods.size(); ++i) {
        deviations.push_back(std::fabs(periods[i] - target));
        if (g_trace && deviations.back() > 1.0)
            std::printf("  frame %zu period %.3f ms\n", i, periods[i]);
    }
    f.p50_deviation = bench::percentile(deviations, 0.50);
    f.p99_deviation = bench::percentile(deviations, 0.99);
    f.max_deviation = *std::max_element(deviations.begin(), deviations.end());
    return f;
}

void print(const char* name, const Figures& f) {
    std::printf(
        "%-15s mean period %.4f ms (%+.3f %%)  deviation p50 %.3f ms  p99 %.3f ms  "
        "max %.3f ms  CPU %.1f %% of one core\n",
        name, f.mean_period, (f.mean_period / (1000.0 / 60.0) - 1.0) * 100.0, f.p50_deviation,
        f.p99_deviation, f.max_deviation, f.cpu_share * 100.0);
}

}  // namespace

int main(int argc, char** argv) {
    int frames = 600;
    bool sleeping = true;
    bool busy = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            frames = std::max(10, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--trace") == 0) {
            g_trace = true;
        } else if (std::strcmp(argv[i], "--busy-wait") == 0) {
            sleeping = false;
        } else if (std::strcmp(argv[i], "--sleeping") == 0) {
            busy = false;
        } else {
            std::fprintf(stderr,
                         "usage: bench_screen [--frames N] [--busy-wait | --sleeping] [--trace]\n");
            return 2;
        }
    }
    // Headless unless the caller chose a driver.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    if (!runtime::create_gl_window(640, 480, 0, 60, 0)) {
        std::fprintf(stderr, "no window: %s\n", runtime::platform::last_error().c_str());
        return 1;
    }
    std::printf("%d empty frames at 60 fps on %s, target period %.4f ms\n", frames,
                runtime::platform::video_driver().c_str(), 1000.0 / 60.0);
    Figures limiter, fixed, spin;
    if (sleeping) {
        print("limiter", limiter = run(frames, Mode::LEARNED));
        std::printf(
            "%-15s spin margin learned: %.3f ms; sleeps woke late by p50 %.3f, p95 %.3f,"
            " p99 %.3f ms\n",
            "", runtime::limiter_spin_margin(), bench::percentile(g_lateness, 0.50),
            bench::percentile(g_lateness, 0.95), bench::percentile(g_lateness, 0.99));
    }
    if (sleeping && busy) print("fixed 2 ms spin", fixed = run(frames, Mode::FIXED_2MS));
    if (busy) print("busy-wait", spin = run(frames, Mode::BUSY));
    if (sleeping && busy && limiter.cpu_share > 0) {
        std::printf("limiter vs fixed 2 ms spin: CPU %.2fx, p99 deviation %.3f vs %.3f ms\n",
                    limiter.cpu_share / fixed.cpu_share, limiter.p99_deviation,
                    fixed.p99_deviation);
        std::printf("limiter vs busy-wait:       CPU %.2fx, p99 deviation %.3f vs %.3f ms\n",
                    limiter.cpu_share / spin.cpu_share, limiter.p99_deviation, spin.p99_deviation);
    }
    runtime::reset_screen();
    return 0;
}
