// 2D drawing figures on the offscreen context: a 32 x 32 sprite drawn 10,000 times per
// frame through the sprite batch, against the same quads sent as one batch and against one
// draw call per sprite; 2,000 alpha-blended sprites per frame against 60 frames per second;
// 1000 characters of text against 1000 single quads. Ratios against the baselines of the
// same run are printed at the end (medians when --benchmark_repetitions is given).
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "runtime/core/error_log.h"
#include "runtime/core/lifecycle.h"
#include "runtime/gfx2d/gfx2d.h"
#include "runtime/platform/window.h"
#include "runtime/screen/gl_window.h"
#include "runtime/screen/screen_state.h"
#include "runtime/screen/text/font.h"

namespace {

using namespace runtime;

constexpr int SCREEN_W = 640, SCREEN_H = 480;
constexpr int SPRITES_PER_FRAME = 10000;
constexpr int BLENDED_SPRITES_PER_FRAME = 2000;
constexpr int TEXT_LENGTH = 1000;
constexpr int SPRITE = 1;

// One window, context and engine for the whole run, with a 32 x 32 sprite and font 0.
bool set_up_once() {
    static const bool ready = [] {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        if (!create_engine_2d() || !create_gl_window(SCREEN_W, SCREEN_H, 0, 0, 0)) return false;
        set_alpha_mode(0);
        std::vector<uint8_t> bgr(32 * 32 * 3);
        for (size_t i = 0; i < bgr.size(); ++i) bgr[i] = static_cast<uint8_t>(i * 7);
        const std::string path = temp_folder() + "bench_gfx2d_sprite.bmp";
        if (!save_image_file(path.c_str(), bgr.data(), 32, 32, 32, false, 0x010000)) return false;
        const bool loaded = load_sprite(DynString(path.c_str()), SPRITE) == 1.0;
        std::remove(path.c_str());
        load_font(DynString(""), 0);
        return loaded;
    }();
    return ready;
}

double x_of(int i) { return (i * 37) % (SCREEN_W - 32); }
double y_of(int i) { return (i * 53) % (SCREEN_H - 32); }

// Every frame ends with the batch drawn and the driver done with it.
void end_frame() {
    flush_sprite_batch();
    glFinish();
}

// Counters of a frame loop that started at process CPU time `cpu_start`.
void finish_frame(benchmark::State& state, int64_t sprites, double cpu_start) {
    state.counters["proc_cpu_ms"] =
        (bench::clock_ms(CLOCK_PROCESS_CPUTIME_ID) - cpu_start) / static_cast<double>(state.iterations());
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["sprites/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * sprites), benchmark::Counter::kIsRate);
}

void BM_DrawSprite32x32_10000PerFrame(benchmark::State& state) {
    if (!set_up_once()) return state.SkipWithError("no offscreen OpenGL");
    const double cpu_start = bench::clock_ms(CLOCK_PROCESS_CPUTIME_ID);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        for (int i = 0; i < SPRITES_PER_FRAME; ++i) draw_sprite(SPRITE, x_of(i), y_of(i));
        end_frame();
    }
    finish_frame(state, SPRITES_PER_FRAME, cpu_start);
}
BENCHMARK(BM_DrawSprite32x32_10000PerFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline: the same 10,000 textured quads from one vertex array in a single call.
void BM_Baseline_10000QuadsInOneBatch(benchmark::State& state) {
    if (!set_up_once()) return state.SkipWithError("no offscreen OpenGL");
    OpenGLRainbows* e = rainbows();
    const SpriteSlot& s = e->sprites[SPRITE];
    const float u = static_cast<float>(s.width) / s.texture_width;
    const float v = static_cast<float>(s.height) / s.texture_height;
    const double cpu_start = bench::clock_ms(CLOCK_PROCESS_CPUTIME_ID);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        e->batch_vertices.reserve(SPRITES_PER_FRAME * 4);
        BatchVertex* q = e->batch_vertices.items;
        for (int i = 0; i < SPRITES_PER_FRAME; ++i, q += 4) {
            const auto x = static_cast<float>(x_of(i)), y = static_cast<float>(y_of(i));
            q[0] = {x + 32, y, 0, u, v};
            q[1] = {x, y, 0, 0, v};
            q[2] = {x, y + 32, 0, 0, 0};
            q[3] = {x + 32, y + 32, 0, u, 0};
        }
        e->batch_vertices.count = SPRITES_PER_FRAME * 4;
        bind_sprite(SPRITE);
        draw_batch(GL_QUADS);
        glFinish();
    }
    finish_frame(state, SPRITES_PER_FRAME, cpu_start);
}
BENCHMARK(BM_Baseline_10000QuadsInOneBatch)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline: one draw call per sprite, as without the batch.
void BM_Baseline_10000SpritesOneCallEach(benchmark::State& state) {
    if (!set_up_once()) return state.SkipWithError("no offscreen OpenGL");
    const double cpu_start = bench::clock_ms(CLOCK_PROCESS_CPUTIME_ID);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        for (int i = 0; i < SPRITES_PER_FRAME; ++i) {
            draw_sprite(SPRITE, x_of(i), y_of(i));
            flush_sprite_batch();
        }
        end_frame();
    }
    finish_frame(state, SPRITES_PER_FRAME, cpu_start);
}
BENCHMARK(BM_Baseline_10000SpritesOneCallEach)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AlphaBlendedSprite32x32_2000PerFrame(benchmark::State& state) {
    if (!set_up_once()) return state.SkipWithError("no offscreen OpenGL");
    const double cpu_start = bench::clock_ms(CLOCK_PROCESS_CPUTIME_ID);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        set_alpha_mode(-0.5);
        for (int i = 0; i < BLENDED_SPRITES_PER_FRAME; ++i) draw_sprite(SPRITE, x_of(i), y_of(i));
        set_alpha_mode(0);
        end_frame();
    }
    finish_frame(state, BLENDED_SPRITES_PER_FRAME, cpu_start);
}
BENCHMARK(BM_AlphaBlendedSprite32x32_2000PerFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PrintText1000CharactersPerFrame(benchmark::State& state) {
    if (!set_up_once()) return state.SkipWithError("no offscreen OpenGL");
    const DynString text(std::string(TEXT_LENGTH, 'W').c_str());
    const double cpu_start = bench::clock_ms(CLOCK_PROCESS_CPUTIME_ID);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        print_text(text, 0, 100);
        end_frame();
    }
    finish_frame(state, TEXT_LENGTH, cpu_start);
}
BENCHMARK(BM_PrintText1000CharactersPerFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline for text: 1000 single 8 x 8 quads of the font, one draw call each.
void BM_Baseline_1000SingleQuadsOfTheFont(benchmark::State& state) {
    if (!set_up_once()) return state.SkipWithError("no offscreen OpenGL");
    const double cpu_start = bench::clock_ms(CLOCK_PROCESS_CPUTIME_ID);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        for (int i = 0; i < TEXT_LENGTH; ++i) {
            draw_sprite_stretched(FONT_SLOT_BASE, (i * 8) % SCREEN_W, 100 + (i * 8) / SCREEN_W * 8,
                                  8, 8);
            flush_sprite_batch();
        }
        end_frame();
    }
    finish_frame(state, TEXT_LENGTH, cpu_start);
}
BENCHMARK(BM_Baseline_1000SingleQuadsOfTheFont)->Unit(benchmark::kMillisecond)->UseRealTime();

// The console output, plus the ratios of each figure to its baseline.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            // Single runs, or the medians of repetitions reported as aggregates only.
            const bool median_run =
                run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type != Run::RT_Iteration && !median_run) continue;
            const std::string& name = run.run_name.function_name;
            if (median_run && !seen_median_[name]) {
                seen_median_[name] = true;
                real_[name].clear();
                cpu_[name].clear();
                process_[name].clear();
            }
            if (seen_median_[name] && !median_run) continue;
            real_[name].push_back(run.GetAdjustedRealTime());
            cpu_[name].push_back(run.GetAdjustedCPUTime());
            const auto counter = run.counters.find("proc_cpu_ms");
            if (counter != run.counters.end()) process_[name].push_back(counter->second.value);
        }
    }
    void print_ratios() {
        const auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
        const char* sprites = "BM_DrawSprite32x32_10000PerFrame";
        const char* one_batch = "BM_Baseline_10000QuadsInOneBatch";
        const char* one_each = "BM_Baseline_10000SpritesOneCallEach";
        const char* blended = "BM_AlphaBlendedSprite32x32_2000PerFrame";
        const char* text = "BM_PrintText1000CharactersPerFrame";
        const char* text_base = "BM_Baseline_1000SingleQuadsOfTheFont";
        std::printf(
            "\nper frame (medians)                 wall ms   baseline   ratio |"
            " process CPU ms  baseline   ratio\n");
        const auto row = [&](const char* what, const char* name, const char* base) {
            std::printf("%-34s %9.2f %10.2f %6.2fx | %14.1f %9.1f %6.2fx\n", what,
                        median(real_, name), median(real_, base),
                        ratio(median(real_, name), median(real_, base)), median(process_, name),
                        median(process_, base),
                        ratio(median(process_, name), median(process_, base)));
        };
        row("10,000 sprites vs one batch", sprites, one_batch);
        row("one call per sprite vs batched", one_each, sprites);
        row("1000 characters vs single quads", text, text_base);
        std::printf(
            "10,000 sprites: main-thread CPU %.3f us per sprite, one batch %.3f us"
            " (target: wall time <= 1.2x the one batch)\n",
            median(cpu_, sprites) * 1000.0 / SPRITES_PER_FRAME,
            median(cpu_, one_batch) * 1000.0 / SPRITES_PER_FRAME);
        const double frame = median(real_, blended);
        std::printf(
            "2,000 alpha-blended sprites: %.2f ms per frame = %.0f frames per second"
            " (target >= 60), process CPU %.1f ms per frame\n",
            frame, frame > 0 ? 1000.0 / frame : 0.0, median(process_, blended));
    }

private:
    using Figures = std::map<std::string, std::vector<double>>;
    static double median(Figures& figures, const std::string& name) {
        std::vector<double>& v = figures[name];
        if (v.empty()) return 0.0;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
    // Wall time, main-thread CPU time and process CPU time (all threads) per frame, ms.
    Figures real_, cpu_, process_;
    std::map<std::string, bool> seen_median_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print_ratios();
    benchmark::Shutdown();
    return 0;
}
