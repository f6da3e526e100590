// Batched sprite and text drawing against the same commands drawn one by one (the batch
// drawn after every command): frames, read-backs and saved files must be identical across
// every command that ends a batch, and the batched run must need fewer draw calls.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "gl2d_fixture.h"
#include "runtime/screen/text/font.h"

namespace runtime {
namespace {

using Steps = std::vector<std::function<void()>>;

class SpriteBatching : public Gl2dTest {
protected:
    void SetUp() override {
        Gl2dTest::SetUp();
        // Half-keyed pictures, so that alpha test and blending both take part.
        a_ = make_bmp("a.bmp", 32, 32, [](int x, int y) {
            return (x + y) % 7 == 0
                       ? DEFAULT_TRANSPARENT_COLOUR
                       : 0x102030u * static_cast<uint32_t>(x % 5) + 0x0F0F0Fu * static_cast<uint32_t>(y % 9);
        });
        b_ = make_bmp("b.bmp", 16, 16, [](int x, int y) { return x < y ? RED : 0x00C0FFu; });
    }
    // Renders the steps from a fresh state; the frame, then everything the steps logged.
    std::vector<uint8_t> render(const Steps& steps, bool one_by_one, int& draw_calls) {
        load(a_, 1);
        load(b_, 2);
        EXPECT_EQ(load_animated_sprite(DynString(a_.c_str()), 3, 8, 8), 1.0);
        load_font(DynString(""), 0);
        set_alpha_mode(0);
        reset_2d_state(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        log_.clear();
        const int before = engine->sprite_batch.draw_calls;
        for (const auto& step : steps) {
            step();
            if (one_by_one) flush_sprite_batch();
        }
        std::vector<uint8_t> out = read_block(0, 0, TEST_SCREEN_W, TEST_SCREEN_H);
        draw_calls = engine->sprite_batch.draw_calls - before;
        out.insert(out.end(), log_.begin(), log_.end());
        return out;
    }
    void log_value(double v) {
        log_.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) % 251));
    }
    void log_file(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        log_.insert(log_.end(), std::istreambuf_iterator<char>(in), {});
    }
    // A crowd of overlapping quads of every sprite command: runs on sprite 1, mirrored
    // ones, then frames of sprite 3.
    Steps crowd(int seed) {
        Steps s;
        for (int i = 0; i < 36; ++i) {
            const double x = 30 + (i * 37 + seed * 11) % 200,
                         y = 30 + (i * 53 + seed * 7) % 140 + 0.4;
            if (i < 12) {
                s.push_back([=] { draw_sprite(1, x, y); });
                s.push_back([=] { draw_sprite_zoomed(1, x + 9, y, 1.5, 0.75); });
                s.push_back([=] { draw_sprite_rotozoomed(1, x, y + 5, i * 29.0, 1.25); });
                s.push_back([=] { draw_sprite_stretched(1, x + 3, y, 20, -24 * (i % 2)); });
            } else if (i < 24) {
                s.push_back([=] { draw_sprite_stretched(1, x, y, -20, 24); });
            } else {
                s.push_back([=] { draw_sprite_frame(3, i, x + 20, y + 20); });
            }
        }
        return s;
    }
    std::string a_, b_;
    std::vector<uint8_t> log_;
};

TEST_F(SpriteBatching, PixelsMatchDrawingOneByOneAcrossEveryBoundary) {
    const std::string saved = temp_.file("screen.bmp");
    const auto join = [](Steps a, const Steps& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    struct Scene {
        const char* name;
        Steps steps;
    };
    const std::vector<Scene> scenes = {
        {"one texture, mirrored runs", join(crowd(0), crowd(1))},
        // Quads across the viewport's edges must not join turned ones inside it.
        {"edges", join(crowd(1), {[] { draw_sprite_rotozoomed(1, 60, 60, 30, 1.25); },
                                  [] { draw_sprite(1, -10, 100); },
                                  [] { draw_sprite_rotozoomed(1, 222, 133.4, 174, 1.25); },
                                  [] { draw_sprite_rotozoomed(1, 300, 220, 30, 1.25); },
                                  [] { draw_sprite_stretched(1, 310, 5, -20, 24); },
                                  [] { print_text(DynString("edge"), 300, 10); }})},
        {"blending, repeated and changed",
         join({[] { set_alpha_mode(-0.5); }},
              join(crowd(2), {[] { set_alpha_mode(-0.5); }, [] { draw_sprite(1, 5, 5); },
                              [] { set_alpha_mode(0.7); }, [] { draw_sprite(1, 9, 9); },
                              [] { set_alpha_mode(0); }}))},
        {"textures and text",
         join(crowd(3),
              {[] { draw_sprite(2, 40, 40); }, [] { print_text(DynString("Batch\tme"), 35.5, 44); },
               [] { draw_sprite(1, 44, 38); }, [] { print_number(-12.5, 44, 52); },
               [] { draw_sprite(2, 50, 50); }})},
        {"primitives and polygons",
         join(crowd(4),
              {[] { fill_rect(30, 30, 50, 20, 0x808080); }, [] { draw_sprite(1, 40, 35); },
               [] { plot(41, 36, GREEN); }, [] { draw_line(0, 0, 100, 70, BLUE); },
               [] { start_polygon(1); }, [] { add_polygon_vertex(60, 60, 0, 0, WHITE); },
               [] { draw_sprite(2, 62, 62); }, [] { add_polygon_vertex(90, 60, 31, 0, WHITE); },
               [] { add_polygon_vertex(90, 90, 31, 31, WHITE); }, [] { end_polygon(); },
               [] { draw_sprite(1, 70, 70); }})},
        {"read-backs, grabs and files",
         join(crowd(5),
              {[this] { log_value(read_pixel(100, 100)); }, [] { draw_sprite(1, 100, 100); },
               [this] { log_value(read_pixel(101, 101)); }, [] { draw_sprite(2, 10, 10); },
               [] { grab_sprite(9, 0, 0, 40, 40); }, [] { draw_sprite(9, 200, 150); },
               [] { draw_sprite(2, 120, 120); },
               [this] { log_value(sprite_collision(2, 0, 0, 1, 10, 10)); },
               [] { draw_sprite(1, 125, 125); },
               [=, this] { log_value(save_screen_image(DynString(saved.c_str()))); },
               [=, this] { log_file(saved); }})},
        {"targets, viewports, backgrounds and reloading",
         join(crowd(6),
              {[] { create_render_target(0, 10, 64, 64); }, [] { draw_sprite(1, 3, 3); },
               [] { use_render_target(0); }, [] { draw_sprite(1, 8, 8); },
               [] { draw_sprite(2, 20, 20); }, [] { end_render_target(); },
               [] { draw_sprite(10, 150, 20); }, [] { set_2d_viewport(20, 30, 150, 100); },
               [] { draw_sprite(1, 140, 90); }, [] { set_2d_viewport(0, 0, 0, 0); },
               [] { draw_sprite(2, 0, 0); }, [] { free_sprite(2); }, [this] { load(b_, 2); },
               [] { draw_sprite(2, 5, 0); }, [] { use_screen_as_background(); },
               [] { draw_sprite(1, 30, 0); }, [] { draw_background(); },
               [] { draw_sprite(1, 60, 0); }})},
        {"clearing", join(crowd(7), {[] { clear_screen(); }, [] { draw_sprite(1, 30, 0); }})},
    };
    for (const Scene& scene : scenes) {
        int batched_calls = 0, single_calls = 0;
        const std::vector<uint8_t> batched = render(scene.steps, false, batched_calls);
        const std::vector<uint8_t> single = render(scene.steps, true, single_calls);
        EXPECT_TRUE(batched == single) << scene.name;
        EXPECT_LT(batched_calls * 3, single_calls) << scene.name;
        EXPECT_NE(batched, std::vector<uint8_t>(batched.size(), 0)) << scene.name;
    }
}

TEST_F(SpriteBatching, PresentingTheFrameDrawsTheBatchFirst) {
    load(a_, 1);
    for (int i = 0; i < 100; ++i) draw_sprite(1, i, i);
    EXPECT_EQ(engine->sprite_batch.vertices.count, 400);  // collected, not drawn yet
    const int before = engine->sprite_batch.draw_calls;
    present_frame();
    EXPECT_EQ(engine->sprite_batch.vertices.count, 0);
    EXPECT_EQ(engine->sprite_batch.draw_calls, before + 1);
}

}  // namespace
}  // namespace runtime
