// Draws the default font picture: 128 x 256 pixels, 16 x 16 cells of 8 x 16 for all 256
// byte values, written as an 8-bit BMP. Glyphs are the built-in 5 x 6 words drawn at
// double height with a light top-to-bottom shade and a dark outline on black (the font
// colour key, so black is transparent); a few Latin-1 letters get accents on top.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "runtime/screen/font_glyphs.h"

namespace {

constexpr int WIDTH = 128, HEIGHT = 256, CELL_W = 8, CELL_H = 16;
constexpr int GLYPH_X = 1, GLYPH_Y = 3;  // cell pixel of glyph pixel (0, 0)
constexpr uint8_t BLACK = 0, OUTLINE = 1, SHADE_FIRST = 2;
constexpr int SHADES = 12;  // one palette entry per drawn glyph row

// Letters of 128..255 drawn as an ASCII base glyph plus a mark above it.
enum class Mark { NONE, DIAERESIS, ACUTE, GRAVE, CIRCUMFLEX, RING };
struct Composed {
    int code;
    char base;
    Mark mark;
};
constexpr Composed COMPOSED[] = {
    {0xC4, 'A', Mark::DIAERESIS}, {0xD6, 'O', Mark::DIAERESIS}, {0xDC, 'U', Mark::DIAERESIS},
    {0xE4, 'a', Mark::DIAERESIS}, {0xF6, 'o', Mark::DIAERESIS}, {0xFC, 'u', Mark::DIAERESIS},
    {0xEB, 'e', Mark::DIAERESIS}, {0xEF, 'i', Mark::DIAERESIS}, {0xC9, 'E', Mark::ACUTE},
    {0xE9, 'e', Mark::ACUTE},     {0xE1, 'a', Mark::ACUTE},     {0xF3, 'o', Mark::ACUTE},
    {0xFA, 'u', Mark::ACUTE},     {0xED, 'i', Mark::ACUTE},     {0xE8, 'e', Mark::GRAVE},
    {0xE0, 'a', Mark::GRAVE},     {0xF9, 'u', Mark::GRAVE},     {0xEA, 'e', Mark::CIRCUMFLEX},
    {0xE2, 'a', Mark::CIRCUMFLEX}, {0xF4, 'o', Mark::CIRCUMFLEX}, {0xC5, 'A', Mark::RING},
    {0xE5, 'a', Mark::RING},
};

// Sharp s, 5 x 6 like the built-in glyphs.
constexpr const char* SHARP_S[6] = {".##..", ".#.#.", ".##..", ".#.#.", ".##..", ".#..."};

struct Picture {
    std::vector<uint8_t> index = std::vector<uint8_t>(WIDTH * HEIGHT, BLACK);
    std::vector<bool> lit = std::vector<bool>(WIDTH * HEIGHT, false);
    void light(int x, int y, uint8_t colour) {
        if (x < 0 || x >= WIDTH || y < 0 || y >= HEIGHT) return;
        lit[y * WIDTH + x] = true;
        index[y * WIDTH + x] = colour;
    }
};

// Glyph pixel (column, row) of the 5 x 6 grid, drawn two pixels tall.
void draw_glyph_pixel(Picture& p, int cell_x, int cell_y, int column, int row) {
    for (int half = 0; half < 2; ++half) {
        const int y = GLYPH_Y + row * 2 + half;
        p.light(cell_x + GLYPH_X + column, cell_y + y, static_cast<uint8_t>(SHADE_FIRST + (y - GLYPH_Y)));
    }
}

void draw_ascii(Picture& p, int code, int cell_x, int cell_y) {
    for (int row = 0; row < runtime::BUILTIN_GLYPH_ROWS; ++row) {
        for (int column = 0; column < runtime::BUILTIN_GLYPH_COLUMNS; ++column) {
            if (runtime::builtin_glyph_lit(code, column, row)) draw_glyph_pixel(p, cell_x, cell_y, column, row);
        }
    }
}

void draw_mark(Picture& p, Mark mark, int cell_x, int cell_y) {
    // Marks sit in the cell rows above the glyph (1 and 2); the glyph grid is columns 1..5.
    auto dot = [&](int column, int y) {
        p.light(cell_x + GLYPH_X + column, cell_y + y, SHADE_FIRST);
    };
    switch (mark) {
        case Mark::DIAERESIS: dot(1, 1); dot(3, 1); break;
        case Mark::ACUTE: dot(3, 0); dot(2, 1); break;
        case Mark::GRAVE: dot(1, 0); dot(2, 1); break;
        case Mark::CIRCUMFLEX: dot(2, 0); dot(1, 1); dot(3, 1); break;
        case Mark::RING: dot(2, 0); dot(1, 1); dot(3, 1); dot(2, 2); break;
        case Mark::NONE: break;
    }
}

void add_outline(Picture& p) {
    const std::vector<bool> lit = p.lit;
    for (int y = 0; y < HEIGHT; ++y) {
        for (int x = 0; x < WIDTH; ++x) {
            if (lit[y * WIDTH + x]) continue;
            // Outlines stay inside their own cell so that neighbouring cells never bleed.
            auto on = [&](int nx, int ny) {
                if (nx / CELL_W != x / CELL_W || ny / CELL_H != y / CELL_H) return false;
                if (nx < 0 || nx >= WIDTH || ny < 0 || ny >= HEIGHT) return false;
                return static_cast<bool>(lit[ny * WIDTH + nx]);
            };
            if (on(x - 1, y) || on(x + 1, y) || on(x, y - 1) || on(x, y + 1)) p.index[y * WIDTH + x] = OUTLINE;
        }
    }
}

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

std::vector<uint8_t> bmp_of(const Picture& p) {
    constexpr uint32_t PALETTE_BYTES = 256 * 4;
    constexpr uint32_t DATA_OFFSET = 54 + PALETTE_BYTES;
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32(out, DATA_OFFSET + WIDTH * HEIGHT);
    put32(out, 0);
    put32(out, DATA_OFFSET);
    put32(out, 40);
    put32(out, WIDTH);
    put32(out, HEIGHT);
    put16(out, 1);
    put16(out, 8);
    put32(out, 0);
    put32(out, WIDTH * HEIGHT);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 256);
    put32(out, 0);
    for (int i = 0; i < 256; ++i) {
        uint8_t r = 0, g = 0, b = 0;
        if (i == OUTLINE) {
            r = g = b = 8;
        } else if (i >= SHADE_FIRST && i < SHADE_FIRST + SHADES) {
            // White at the top, a cool light grey at the bottom.
            const int step = i - SHADE_FIRST;
            r = static_cast<uint8_t>(255 - step * 6);
            g = static_cast<uint8_t>(255 - step * 5);
            b = static_cast<uint8_t>(255 - step * 2);
        }
        out.push_back(b);
        out.push_back(g);
        out.push_back(r);
        out.push_back(0);
    }
    for (int y = HEIGHT - 1; y >= 0; --y) {
        for (int x = 0; x < WIDTH; ++x) out.push_back(p.index[y * WIDTH + x]);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fontgen <output.bmp>\n");
        return 2;
    }
    Picture p;
    for (int code = 0; code < 256; ++code) {
        const int cell_x = (code % 16) * CELL_W, cell_y = (code / 16) * CELL_H;
        if (code >= runtime::BUILTIN_FIRST_CHAR && code < 127) draw_ascii(p, code, cell_x, cell_y);
        for (const Composed& c : COMPOSED) {
            if (c.code != code) continue;
            draw_ascii(p, c.base, cell_x, cell_y);
            draw_mark(p, c.mark, cell_x, cell_y);
        }
        if (code == 0xDF) {
            for (int row = 0; row < 6; ++row) {
                for (int column = 0; column < 5; ++column) {
                    if (SHARP_S[row][column] == '#') draw_glyph_pixel(p, cell_x, cell_y, column, row);
                }
            }
        }
    }
    add_outline(p);
    const std::vector<uint8_t> bytes = bmp_of(p);
    FILE* f = std::fopen(argv[1], "wb");
    if (!f) {
        std::fprintf(stderr, "fontgen: cannot create %s\n", argv[1]);
        return 1;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok) {
        std::fprintf(stderr, "fontgen: cannot write %s\n", argv[1]);
        std::remove(argv[1]);
        return 1;
    }
    return 0;
}
