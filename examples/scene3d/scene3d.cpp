// A 3D scene on the runtime: a camera circling a checkered ground with a turning ring, two
// animated pyramids and a row of crates fading into the fog, lit by a sun that casts
// stencil shadows. The models were converted from OBJ files by obj2ddd when the example
// was built. Escape ends it.
#include <cmath>
#include <cstdio>

#include "examples/run_options.h"
#include "runtime/runtime.h"

namespace {

using namespace runtime;

// Object numbers.
constexpr int GROUND = 1, RING = 2, PYRAMID = 3, CRATE = 4;
constexpr double FOG = rgb(168, 192, 216);  // a pale blue haze
constexpr double WHITE = rgb(255, 255, 255);
constexpr double SUNLIGHT[3] = {-8, -14, -5};  // the direction the sunlight travels
constexpr double PI = 3.14159265358979;

// A flat ground of 2 x 2 tiles in two greens, y = 0, counter-clockwise seen from above.
void build_ground(int half_tiles) {
    start_object(GROUND);
    for (int i = -half_tiles; i < half_tiles; ++i) {
        for (int k = -half_tiles; k < half_tiles; ++k) {
            const double x = i * 2.0, z = k * 2.0,
                         colour = (i + k) % 2 == 0 ? rgb(112, 208, 96) : rgb(88, 176, 72);
            add_object_vertex(x, 0, z, 0, 0, colour);
            add_object_vertex(x, 0, z + 2, 0, 1, colour);
            add_object_vertex(x + 2, 0, z, 1, 0, colour);
            add_object_vertex(x + 2, 0, z, 1, 0, colour);
            add_object_vertex(x, 0, z + 2, 0, 1, colour);
            add_object_vertex(x + 2, 0, z + 2, 1, 1, colour);
        }
    }
    set_object_smoothing(0);
    end_object();
}

// Everything that stands on the ground, at time t (seconds). Drawn once lit, and once
// more inside the shadow pass, where each object gives its shadow volume instead.
void draw_standing_objects(double t) {
    push_transform();
    set_transform_position(0, 2.2, 0);
    add_transform_rotation(t * 40, 0, 1, 0);
    add_transform_rotation(60, 1, 0, 0);
    draw_object_frame(RING, 0);
    pop_transform();

    for (int side : {-1, 1}) {
        push_transform();
        set_transform_position(side * 5.0, 0, 2);
        set_transform_scale(1.3, 1.3, 1.3);
        // The tip rises and falls: a blend between the model's two frames.
        draw_object(PYRAMID, 0, 1, 0.5 + 0.5 * std::sin(t * 2 + side), 0);
        pop_transform();
    }

    for (int n = 0; n < 6; ++n) {
        push_transform();
        set_transform_position(-3 + n * 1.5, 0.6, -5 - n * 5.0);
        set_transform_scale(0.6, 0.6, 0.6);
        add_transform_rotation(n * 25.0, 0, 1, 0);
        draw_object_frame(CRATE, 0);
        pop_transform();
    }
}

void scene() {
    const example::RunOptions options = example::read_run_options();
    if (load_object("ring.ddd", RING) == 0) example::missing_file("ring.ddd");
    if (load_object("pyramid.ddd", PYRAMID) == 0) example::missing_file("pyramid.ddd");
    if (load_object("crate.ddd", CRATE) == 0) example::missing_file("crate.ddd");
    build_ground(12);

    const double start = now_ms();
    long frame = 0;
    for (;; ++frame) {
        // A demo run is the same at every frame rate: time follows the frame count.
        const double t = options.demo ? static_cast<double>(frame) / 60.0 : (now_ms() - start) / 1000.0;
        fill_rect(0, 0, 640, 480, FOG);

        start_3d(0.5, 100, 55);
        const double angle = t * 0.3;
        set_camera(std::cos(angle) * 15, 6.5, std::sin(angle) * 15, 0, 1.5, 0);
        set_culling(-1);
        set_fog(FOG, 0, 16, 48);
        // The sun as a directional light, and a dim light from the camera so that the
        // sides turned away from the sun are not black.
        set_light(0, WHITE, 0, 0, 0, SUNLIGHT[0], SUNLIGHT[1], SUNLIGHT[2], 180);
        set_camera_light(1, rgb(64, 64, 64));

        draw_object_frame(GROUND, 0);
        draw_standing_objects(t);

        // The shadows: the shadow light far away where the sunlight comes from.
        set_light(-3, 0, -SUNLIGHT[0] * 10, -SUNLIGHT[1] * 10, -SUNLIGHT[2] * 10, 0, 0, 0, 1);
        draw_standing_objects(t);
        set_light(-3, 0, 0, 0, 0, 0, 0, 0, 0);

        set_2d_viewport(0, 0, 0, 0);
        print_text("3D scene: camera, sun light, fog, shadows, models from obj2ddd", 10, 8);
        print_text("Escape: end", 10, 458);

        if (example::last_frame(options, frame)) break;
        show_screen();
    }
    std::printf("frames %ld\n", frame + 1);
}

}  // namespace

int main(int argc, char** argv) {
    return runtime::program_entry(argc, argv, runtime::initialise_runtime, scene);
}
