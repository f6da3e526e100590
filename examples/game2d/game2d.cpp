// A small 2D game on the runtime: walk the hero with the arrow keys (or a joystick),
// collect the spinning coins, keep away from the spike balls. Escape ends it.
// Shows: a level made in the map editor (level.tmx, converted to level.pyxm at build time),
// animated sprites, pixel collisions between sprite frames, text, a sound effect,
// keyboard and joystick input.
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "examples/run_options.h"
#include "runtime/runtime.h"

namespace {

using namespace runtime;

// Sprite slots and the sound slot.
constexpr int HERO = 1, COIN = 2, SPIKES = 3, TILES = 4;
constexpr int PICKUP_SOUND = 0;
constexpr int HERO_SIZE = 32, COIN_SIZE = 16, SPIKES_SIZE = 24;
constexpr int SCREEN_W = 640, SCREEN_H = 480, TOP = 30, BOTTOM = 450;
constexpr double HERO_SPEED = 4;
constexpr double BACKGROUND = rgb(36, 58, 32);

struct Thing {
    double x = 0, y = 0, dx = 0, dy = 0;
};

// Places come from the runtime's generator, which start-up seeds from the clock; the demo
// draws them from a fixed sequence instead, so every demo run plays the same game.
std::minstd_rand demo_places(2024);
bool demo = false;

double random_below(int n) {
    return demo ? static_cast<double>(demo_places() % static_cast<unsigned>(n + 1)) : random_int(n);
}

Thing random_place(int size) {
    Thing t;
    t.x = random_below(SCREEN_W - size);
    t.y = TOP + random_below(BOTTOM - TOP - size);
    return t;
}

// Where the player wants to go: arrows, else the first joystick's stick (-1..1 each way).
void read_controls(double& mx, double& my) {
    mx = key_state(KEY_RIGHT) != 0 ? 1 : key_state(KEY_LEFT) != 0 ? -1 : 0;
    my = key_state(KEY_DOWN) != 0 ? 1 : key_state(KEY_UP) != 0 ? -1 : 0;
    if (mx == 0 && my == 0 && joystick_count() > 0) {
        // Axes run -32768..32768; a dead zone keeps a resting stick still.
        const double jx = joystick_x(0) / 32768, jy = joystick_y(0) / 32768;
        mx = std::fabs(jx) > 0.25 ? jx : 0;
        my = std::fabs(jy) > 0.25 ? jy : 0;
    }
}

// The demo player heads for the nearest coin.
void demo_controls(const Thing& hero, const std::vector<Thing>& coins, double& mx, double& my) {
    const Thing* best = nullptr;
    double best_distance = 1e18;
    for (const Thing& c : coins) {
        const double d = std::hypot(c.x - hero.x, c.y - hero.y);
        if (d < best_distance) best_distance = d, best = &c;
    }
    mx = my = 0;
    if (!best) return;
    const double tx = best->x + COIN_SIZE / 2 - HERO_SIZE / 2, ty = best->y + COIN_SIZE / 2 - HERO_SIZE / 2;
    if (std::fabs(tx - hero.x) > 2) mx = tx > hero.x ? 1 : -1;
    if (std::fabs(ty - hero.y) > 2) my = ty > hero.y ? 1 : -1;
}

// The level's cells: tile number (1 = the first picture of tiles.png, 0 = none) per x, y
// and layer, drawn from the top of the playfield, the first layer at the bottom.
struct Level {
    DynArray<double> cells;
    int layers = 0;
    double tile_w = 0, tile_h = 0;
};

void draw_playfield(Level& level) {
    fill_rect(0, 0, SCREEN_W, SCREEN_H, BACKGROUND);
    for (int layer = 0; layer < level.layers; ++layer)
        for (int y = 0; y < level.cells.size1; ++y)
            for (int x = 0; x < level.cells.size0; ++x) {
                const double tile = element(level.cells, x, y, layer);
                if (tile > 0) draw_sprite_frame(TILES, tile - 1, x * level.tile_w, TOP + y * level.tile_h);
            }
}

void game() {
    const example::RunOptions options = example::read_run_options();
    demo = options.demo;

    if (load_animated_sprite("hero.png", HERO, HERO_SIZE, HERO_SIZE) == 0) example::missing_file("hero.png");
    if (load_animated_sprite("coin.png", COIN, COIN_SIZE, COIN_SIZE) == 0) example::missing_file("coin.png");
    if (load_animated_sprite("spikes.png", SPIKES, SPIKES_SIZE, SPIKES_SIZE) == 0) example::missing_file("spikes.png");
    Level level;
    level.layers = static_cast<int>(load_tile_map("level.pyxm", level.cells));
    if (level.layers == 0) example::missing_file("level.pyxm");
    level.tile_w = tile_map_tile_width();
    level.tile_h = tile_map_tile_height();
    if (load_animated_sprite("tiles.png", TILES, level.tile_w, level.tile_h) == 0)
        example::missing_file("tiles.png");
    // Without a sound device the game goes on silently.
    const bool sound = load_sound("pickup.wav", PICKUP_SOUND, 2) != 0;

    Thing hero{SCREEN_W / 2 - HERO_SIZE / 2, BOTTOM - HERO_SIZE, 0, 0};
    std::vector<Thing> coins;
    for (int i = 0; i < 6; ++i) coins.push_back(random_place(COIN_SIZE));
    std::vector<Thing> spikes = {{40, 120, 2.5, 0}, {500, 300, -2, 1.5}};
    int score = 0, hits = 0, sounds = 0, hero_frame = 0;
    long walked = 0;

    for (long frame = 0;; ++frame) {
        double mx = 0, my = 0;
        if (options.demo)
            demo_controls(hero, coins, mx, my);
        else
            read_controls(mx, my);
        hero.x = std::fmin(std::fmax(hero.x + mx * HERO_SPEED, 0), SCREEN_W - HERO_SIZE);
        hero.y = std::fmin(std::fmax(hero.y + my * HERO_SPEED, TOP), BOTTOM - HERO_SIZE);
        // The legs move while the hero walks: a new frame every 6 frames.
        if (mx != 0 || my != 0) hero_frame = static_cast<int>(++walked / 6 % 4);

        for (Thing& s : spikes) {
            s.x += s.dx;
            s.y += s.dy;
            if (s.x < 0 || s.x > SCREEN_W - SPIKES_SIZE) s.dx = -s.dx;
            if (s.y < TOP || s.y > BOTTOM - SPIKES_SIZE) s.dy = -s.dy;
        }

        const int coin_frame = static_cast<int>(frame / 8 % 4), spikes_frame = static_cast<int>(frame / 10 % 2);
        for (Thing& c : coins) {
            if (sprite_frame_collision(HERO, hero_frame, hero.x, hero.y, COIN, coin_frame, c.x, c.y) == 0) continue;
            ++score;
            // Panned towards the side of the screen where the coin was.
            if (sound && play_sound(PICKUP_SOUND, (c.x - SCREEN_W / 2) / (SCREEN_W / 2), 0.8) >= 0) ++sounds;
            c = random_place(COIN_SIZE);
        }
        for (const Thing& s : spikes) {
            if (sprite_frame_collision(HERO, hero_frame, hero.x, hero.y, SPIKES, spikes_frame, s.x, s.y) == 0) continue;
            ++hits;
            hero = Thing{SCREEN_W / 2 - HERO_SIZE / 2, BOTTOM - HERO_SIZE, 0, 0};
        }

        draw_playfield(level);
        for (const Thing& c : coins) draw_sprite_frame(COIN, coin_frame, c.x, c.y);
        for (const Thing& s : spikes) draw_sprite_frame(SPIKES, spikes_frame, s.x, s.y);
        draw_sprite_frame(HERO, hero_frame, hero.x, hero.y);
        print_text(("Coins: " + std::to_string(score) + "    Hits: " + std::to_string(hits)).c_str(), 10, 8);
        print_text("Arrow keys or joystick: walk    Escape: end", 10, 458);

        if (example::last_frame(options, frame)) break;
        show_screen();
    }
    std::printf("coins %d hits %d sounds %d\n", score, hits, sounds);
}

}  // namespace

int main(int argc, char** argv) {
    return runtime::program_entry(argc, argv, runtime::initialise_runtime, game);
}
