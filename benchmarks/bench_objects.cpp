// 3D object figures on the offscreen context: reading a 4-frame model of 20,000
// triangles per frame from its binary bytes against its text form, and drawing it from
// buffer objects against vertex arrays and against two frames blended on the processor.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/core/error_log.h"
#include "runtime/gfx2d/gfx2d.h"
#include "runtime/gfx3d/ddd_format.h"
#include "runtime/gfx3d/gfx3d.h"
#include "runtime/gfx3d/object_files.h"
#include "runtime/gfx3d/object_packing.h"
#include "runtime/platform/gl_extensions.h"
#include "runtime/screen/gl_window.h"

namespace {

using namespace runtime;

constexpr int GRID = 100;  // 100 x 100 quads: 20,000 triangles
constexpr int FRAMES = 4;
constexpr int OBJECT = 1;

// A rippling sheet; each frame moves the ripple.
MeshObjectX make_sheet(std::string& text) {
    MeshObjectX mesh;
    text = "DDDA 1.0 0 " + std::to_string(GRID * GRID) + "\n";
    for (int q = 0; q < GRID * GRID; ++q) {
        const int x = q % GRID, y = q / GRID, w = GRID + 1;
        const int a = y * w + x;
        text += "200 100 50 4 " + std::to_string(a) + " -1 " + std::to_string(a + 1) + " -1 " +
                std::to_string(a + w + 1) + " -1 " + std::to_string(a + w) + " -1\n";
    }
    text += std::to_string(FRAMES) + "\n";
    for (int f = 0; f < FRAMES; ++f) {
        std::vector<MeshVertex> corners;
        std::vector<std::array<float, 3>> points;
        text += std::to_string((GRID + 1) * (GRID + 1)) + "\n";
        for (int y = 0; y <= GRID; ++y) {
            for (int x = 0; x <= GRID; ++x) {
                const float px = static_cast<float>(x) * 0.1f - 5, py = static_cast<float>(y) * 0.1f - 5,
                            pz = 0.3f * std::sin(px + static_cast<float>(f));
                points.push_back({px, py, pz});
                text += std::to_string(px) + " " + std::to_string(py) + " " + std::to_string(pz) + "\n";
            }
        }
        for (int q = 0; q < GRID * GRID; ++q) {
            const int x = q % GRID, y = q / GRID, w = GRID + 1;
            for (int k : {y * w + x, y * w + x + 1, y * w + x + w + 1, y * w + x, y * w + x + w + 1, y * w + x + w}) {
                MeshVertex v;
                for (int i = 0; i < 3; ++i)
                    v.position[i] = points[static_cast<size_t>(k)][static_cast<size_t>(i)];
                v.colour_value = 0x326496;
                corners.push_back(v);
            }
        }
        pack_frame(mesh, corners);
    }
    mesh.build();
    compute_normals(mesh, NormalMode::SMOOTH);
    mesh.build();
    return mesh;
}

struct Model {
    std::vector<uint8_t> binary;
    std::string text;
    bool drawable = false;
};

const Model& model() {
    static const Model m = [] {
        Model out;
        const MeshObjectX mesh = make_sheet(out.text);
        write_ddd_binary(mesh, out.binary);
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        if (!create_engine_2d() || !create_gl_window(640, 480, 0, 0, 0) || !create_scene_3d()) return out;
        const std::string path = temp_folder() + "bench_objects.ddd";
        out.drawable = save_mesh_file(mesh, path) && load_object(DynString(path.c_str()), OBJECT) == 1;
        std::remove(path.c_str());
        return out;
    }();
    return m;
}

void read_figures(benchmark::State& state, size_t bytes) {
    state.SetBytesProcessed(static_cast<int64_t>(static_cast<size_t>(state.iterations()) * bytes));
    state.counters["models/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ReadBinaryDdd(benchmark::State& state) {
    const Model& m = model();
    for (auto _ : state) {
        MeshObjectX mesh;
        read_mesh_bytes(m.binary, mesh);
        mesh.build();
        benchmark::DoNotOptimize(mesh.frames.data());
    }
    read_figures(state, m.binary.size());
}

void BM_ReadTextDdd_Baseline(benchmark::State& state) {
    const Model& m = model();
    const std::span bytes(reinterpret_cast<const uint8_t*>(m.text.data()), m.text.size());
    for (auto _ : state) {
        MeshObjectX mesh;
        read_mesh_bytes(bytes, mesh);
        mesh.build();
        benchmark::DoNotOptimize(mesh.frames.data());
    }
    read_figures(state, m.text.size());
}

// Draws the object per iteration and waits for the driver, counting triangles.
void draw_loop(benchmark::State& state, double t, bool buffers) {
    if (!model().drawable) return state.SkipWithError("no offscreen OpenGL");
    platform::GlExtensions& ext = platform::gl_extensions();
    const platform::GlExtensions saved = ext;
    if (!buffers) ext.glGenBuffersARB = nullptr;
    start_3d(1, 100, 45);
    set_camera(0, -8, 8, 0, 0, 0);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw_object(OBJECT, 0, 1, t, 0);
        glFinish();
    }
    ext = saved;
    state.counters["triangles/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * GRID * GRID * 2,
                                                       benchmark::Counter::kIsRate);
}

void BM_DrawFrameFromBuffers(benchmark::State& state) { draw_loop(state, 0, true); }
void BM_DrawFrameFromArrays_Baseline(benchmark::State& state) { draw_loop(state, 0, false); }
void BM_DrawTwoFramesBlended(benchmark::State& state) { draw_loop(state, 0.5, true); }

BENCHMARK(BM_ReadBinaryDdd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadTextDdd_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawFrameFromBuffers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawFrameFromArrays_Baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawTwoFramesBlended)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
