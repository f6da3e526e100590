// Draws the example maps' tileset: 128 x 128 pixels, 8 x 8 tiles of 16 x 16. Each row of
// tiles is one ground (grass, flowers, path, sand, water, stone, roof, wood), each column
// a variant of it: a lighter or darker shade and a speckle from a fixed hash, so the file
// is the same on every run. Usage: tilesetgen OUT.png
#include <cstdint>
#include <cstdio>
#include <vector>

#include "runtime/gfx2d/image_files.h"

namespace {

constexpr int TILE = 16, TILES_ACROSS = 8, SIZE = TILE * TILES_ACROSS;

struct Colour {
    int r, g, b;
};
constexpr Colour GROUNDS[TILES_ACROSS] = {{76, 150, 60},  {96, 160, 70},   {150, 118, 78}, {222, 200, 140},
                                          {60, 110, 190}, {128, 128, 134}, {170, 70, 60},  {120, 84, 50}};
constexpr Colour SPECKLES[TILES_ACROSS] = {{52, 120, 44},   {235, 220, 90}, {120, 92, 60}, {200, 176, 120},
                                           {150, 190, 235}, {96, 96, 102},  {130, 50, 44}, {90, 62, 36}};

uint32_t hash(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

uint8_t channel(int value) { return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value); }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: tilesetgen OUT.png\n");
        return 2;
    }
    std::vector<uint8_t> bgr(static_cast<size_t>(SIZE * SIZE * 3));
    for (int y = 0; y < SIZE; ++y) {
        for (int x = 0; x < SIZE; ++x) {
            const int ground = y / TILE, variant = x / TILE;
            const int tx = x % TILE, ty = y % TILE;
            const int shade = (variant - 3) * 6;
            const uint32_t noise = hash(static_cast<uint32_t>(y * SIZE + x));
            Colour c = (noise % 7 == 0) ? SPECKLES[ground] : GROUNDS[ground];
            // Stone, roof and wood show their courses; every tile a faint edge for the grid.
            if (ground >= 5 && (ty % 8 == 7 || (tx + (ty / 8) * 8) % 16 == 15)) c = SPECKLES[ground];
            const int edge = (tx == 0 || ty == 0) ? 10 : 0;
            uint8_t* p = &bgr[static_cast<size_t>((y * SIZE + x) * 3)];
            p[0] = channel(c.b + shade + edge);
            p[1] = channel(c.g + shade + edge);
            p[2] = channel(c.r + shade + edge);
        }
    }
    if (!runtime::save_image_file(argv[1], bgr.data(), SIZE, SIZE, SIZE, true, -1)) {
        std::fprintf(stderr, "tilesetgen: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
