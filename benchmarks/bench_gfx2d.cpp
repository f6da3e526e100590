// 2D drawing figures on the offscreen context: a 32 x 32 sprite drawn 10,000 times per
// frame (frames and sprites per second) against the same quads sent as one batch, and
// 1000 characters of text per frame against 1000 single sprite quads.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/core/error_log.h"
#include "runtime/core/lifecycle.h"
#include "runtime/gfx2d/gfx2d.h"
#include "runtime/platform/window.h"
#include "runtime/screen/font.h"
#include "runtime/screen/gl_window.h"
#include "runtime/screen/screen_state.h"

namespace {

using namespace runtime;

constexpr int SCREEN_W = 640, SCREEN_H = 480;
constexpr int SPRITES_PER_FRAME = 10000;
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

void finish_frame(benchmark::State& state, int64_t sprites) {
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                               benchmark::Counter::kIsRate);
    state.counters["sprites/s"] = benchmark::Counter(static_cast<double>(state.iterations() * sprites),
                                                     benchmark::Counter::kIsRate);
}

void BM_DrawSprite32x32_10000PerFrame(benchmark::State& state) {
    if (!set_up_once()) return state.SkipWithError("no offscreen OpenGL");
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        for (int i = 0; i < SPRITES_PER_FRAME; ++i) draw_sprite(SPRITE, x_of(i), y_of(i));
        glFinish();
    }
    finish_frame(state, SPRITES_PER_FRAME);
}
BENCHMARK(BM_DrawSprite32x32_10000PerFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline: the same 10,000 textured quads from one vertex array in a single call.
void BM_Baseline_10000QuadsInOneBatch(benchmark::State& state) {
    if (!set_up_once()) return state.SkipWithError("no offscreen OpenGL");
    OpenGLRainbows* e = rainbows();
    const SpriteSlot& s = e->sprites[SPRITE];
    const float u = static_cast<float>(s.width) / s.texture_width, v = static_cast<float>(s.height) / s.texture_height;
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
    finish_frame(state, SPRITES_PER_FRAME);
}
BENCHMARK(BM_Baseline_10000QuadsInOneBatch)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PrintText1000CharactersPerFrame(benchmark::State& state) {
    if (!set_up_once()) return state.SkipWithError("no offscreen OpenGL");
    const DynString text(std::string(TEXT_LENGTH, 'W').c_str());
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        print_text(text, 0, 100);
        glFinish();
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["chars/s"] = benchmark::Counter(static_cast<double>(state.iterations() * TEXT_LENGTH),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PrintText1000CharactersPerFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// Baseline for text: 1000 single 8 x 8 quads of the font, one draw call each.
void BM_Baseline_1000SingleQuadsOfTheFont(benchmark::State& state) {
    if (!set_up_once()) return state.SkipWithError("no offscreen OpenGL");
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        for (int i = 0; i < TEXT_LENGTH; ++i) draw_sprite_stretched(FONT_SLOT_BASE, i * 8, 100, 8, 8);
        glFinish();
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Baseline_1000SingleQuadsOfTheFont)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
