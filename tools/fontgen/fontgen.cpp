// Draws the default font picture: 128 x 256 pixels, 16 x 16 cells of 8 x 16 for all 256
// byte values, written as an 8-bit BMP. Glyphs are 5 x 6 grids drawn at double height
// with a light top-to-bottom shade and a dark outline on black (the font colour key, so
// black is transparent): the built-in words for ASCII, and for the Latin-1 range 160-255
// either an ASCII letter with a mark, a grid of its own, or a picture at full height.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "runtime/screen/text/font_glyphs.h"

namespace {

constexpr int WIDTH = 128, HEIGHT = 256, CELL_W = 8, CELL_H = 16;
constexpr int GLYPH_X = 1, GLYPH_Y = 3;  // cell pixel of glyph pixel (0, 0)
constexpr uint8_t BLACK = 0, OUTLINE = 1, SHADE_FIRST = 2;
constexpr int SHADES = 12;  // one palette entry per drawn glyph row

// Marks drawn in the three pixel rows above a letter (the cedilla below it).
enum class Mark { NONE, DIAERESIS, ACUTE, GRAVE, CIRCUMFLEX, RING, TILDE, CEDILLA };

// A 5 x 6 grid of its own ('#' lit), drawn like the built-in words.
struct Grid {
    int code;
    const char* rows[6];
};
constexpr int DOTLESS_I = 0x131;  // only a base for the accented i's
constexpr Grid GRIDS[] = {
    {0xA1, {"..#..", ".....", "..#..", "..#..", "..#..", "....."}},  // inverted !
    {0xA2, {"..#..", ".###.", ".##..", ".##..", ".###.", "..#.."}},  // cent
    {0xA3, {"..##.", ".#...", "###..", ".#...", "####.", "....."}},  // pound
    {0xA4, {"#...#", ".###.", ".#.#.", ".###.", "#...#", "....."}},  // currency
    {0xA5, {".#.#.", ".#.#.", "..#..", ".###.", "..#..", "....."}},  // yen
    {0xA6, {"..#..", "..#..", ".....", "..#..", "..#..", "....."}},  // broken bar
    {0xAB, {".....", ".#.#.", "#.#..", ".#.#.", ".....", "....."}},  // left guillemet
    {0xAC, {".....", ".....", "####.", "...#.", ".....", "....."}},  // not
    {0xAD, {".....", ".....", ".###.", ".....", ".....", "....."}},  // soft hyphen
    {0xB1, {"..#..", ".###.", "..#..", ".....", ".###.", "....."}},  // plus-minus
    {0xB5, {".....", ".#.#.", ".#.#.", ".#.#.", ".####", ".#..."}},  // micro
    {0xB6, {".####", "###.#", ".##.#", "..#.#", "..#.#", "....."}},  // pilcrow
    {0xB7, {".....", ".....", "..#..", ".....", ".....", "....."}},  // middle dot
    {0xBB, {".....", "#.#..", ".#.#.", "#.#..", ".....", "....."}},  // right guillemet
    {0xBF, {"..#..", ".....", ".##..", ".#...", ".###.", "....."}},  // inverted ?
    {0xC6, {".####", "#.#..", "####.", "#.#..", "#.###", "....."}},  // AE
    {0xD0, {".##..", ".#.#.", "##.#.", ".#.#.", ".##..", "....."}},  // Eth
    {0xD7, {".....", ".#.#.", "..#..", ".#.#.", ".....", "....."}},  // times
    {0xD8, {".####", "#..##", "#.#.#", "##..#", "####.", "....."}},  // O slash
    {0xDE, {".#...", ".###.", ".#.#.", ".###.", ".#...", "....."}},  // Thorn
    {0xDF, {".##..", ".#.#.", ".##..", ".#.#.", ".##..", ".#..."}},  // sharp s
    {0xE6, {".....", "#####", "..###", "#.#..", "#####", "....."}},  // ae
    {0xF0, {".#.#.", "..##.", ".###.", ".#.#.", ".###.", "....."}},  // eth
    {0xF7, {"..#..", ".....", ".###.", ".....", "..#..", "....."}},  // divide
    {0xF8, {".....", ".####", ".#.#.", ".#.#.", "####.", "....."}},  // o slash
    {0xFE, {".#...", ".#...", ".###.", ".#.#.", ".###.", ".#..."}},  // thorn
    {DOTLESS_I, {".....", "..#..", "..#..", "..#..", "..#..", "....."}},
};

// A picture of single pixel rows from cell row `top` (signs, superscripts, fractions).
struct Picture1 {
    int code;
    int top;
    const char* rows[12];
};
constexpr Picture1 PICTURES[] = {
    {0xA7, 3, {".###.", ".#...", ".#...", "..#..", ".#.#.", ".#.#.", "..#..", "...#.", "...#.", ".###."}},
    {0xA8, 4, {".#.#."}},
    {0xA9, 4, {".####.", "#....#", "#.##.#", "#.#..#", "#.##.#", "#....#", ".####."}},
    {0xAA, 3, {".###.", "...#.", ".###.", ".#.#.", ".###.", ".....", ".###."}},
    {0xAE, 3, {".####.", "#....#", "###..#", "##.#.#", "###..#", "##.#.#", "#....#", ".####."}},
    {0xAF, 4, {".###."}},
    {0xB0, 3, {".###.", ".#.#.", ".###."}},
    {0xB2, 3, {".##..", "...#.", "..#..", ".#...", ".###."}},
    {0xB3, 3, {".##..", "...#.", "..#..", "...#.", ".##.."}},
    {0xB4, 3, {"...#.", "..#.."}},
    {0xB8, 10, {"..#..", "...#.", "..#.."}},
    {0xB9, 3, {"..#..", ".##..", "..#..", "..#..", ".###."}},
    {0xBA, 3, {".###.", ".#.#.", ".###.", ".....", ".###."}},
};

// Fractions: a small numerator top left, the denominator bottom right, a slash between.
struct Fraction {
    int code;
    int numerator, denominator;
};
constexpr Fraction FRACTIONS[] = {{0xBC, 1, 4}, {0xBD, 1, 2}, {0xBE, 3, 4}};
constexpr const char* SMALL_DIGITS[5][5] = {
    {}, {".#.", "##.", ".#.", ".#.", "###"}, {"##.", "..#", ".#.", "#..", "###"},
    {"##.", "..#", ".#.", "..#", "##."}, {"#.#", "#.#", "###", "..#", "..#"},
};

// Letters drawn as a base (an ASCII letter or a grid above) with a mark.
struct Composed {
    int code;
    int base;
    Mark mark;
};
constexpr Composed COMPOSED[] = {
    {0xC0, 'A', Mark::GRAVE},     {0xC1, 'A', Mark::ACUTE},     {0xC2, 'A', Mark::CIRCUMFLEX},
    {0xC3, 'A', Mark::TILDE},     {0xC4, 'A', Mark::DIAERESIS}, {0xC5, 'A', Mark::RING},
    {0xC7, 'C', Mark::CEDILLA},   {0xC8, 'E', Mark::GRAVE},     {0xC9, 'E', Mark::ACUTE},
    {0xCA, 'E', Mark::CIRCUMFLEX}, {0xCB, 'E', Mark::DIAERESIS}, {0xCC, 'I', Mark::GRAVE},
    {0xCD, 'I', Mark::ACUTE},     {0xCE, 'I', Mark::CIRCUMFLEX}, {0xCF, 'I', Mark::DIAERESIS},
    {0xD1, 'N', Mark::TILDE},     {0xD2, 'O', Mark::GRAVE},     {0xD3, 'O', Mark::ACUTE},
    {0xD4, 'O', Mark::CIRCUMFLEX}, {0xD5, 'O', Mark::TILDE},    {0xD6, 'O', Mark::DIAERESIS},
    {0xD9, 'U', Mark::GRAVE},     {0xDA, 'U', Mark::ACUTE},     {0xDB, 'U', Mark::CIRCUMFLEX},
    {0xDC, 'U', Mark::DIAERESIS}, {0xDD, 'Y', Mark::ACUTE},     {0xE0, 'a', Mark::GRAVE},
    {0xE1, 'a', Mark::ACUTE},     {0xE2, 'a', Mark::CIRCUMFLEX}, {0xE3, 'a', Mark::TILDE},
    {0xE4, 'a', Mark::DIAERESIS}, {0xE5, 'a', Mark::RING},      {0xE7, 'c', Mark::CEDILLA},
    {0xE8, 'e', Mark::GRAVE},     {0xE9, 'e', Mark::ACUTE},     {0xEA, 'e', Mark::CIRCUMFLEX},
    {0xEB, 'e', Mark::DIAERESIS}, {0xEC, DOTLESS_I, Mark::GRAVE}, {0xED, DOTLESS_I, Mark::ACUTE},
    {0xEE, DOTLESS_I, Mark::CIRCUMFLEX}, {0xEF, DOTLESS_I, Mark::DIAERESIS}, {0xF1, 'n', Mark::TILDE},
    {0xF2, 'o', Mark::GRAVE},     {0xF3, 'o', Mark::ACUTE},     {0xF4, 'o', Mark::CIRCUMFLEX},
    {0xF5, 'o', Mark::TILDE},     {0xF6, 'o', Mark::DIAERESIS}, {0xF9, 'u', Mark::GRAVE},
    {0xFA, 'u', Mark::ACUTE},     {0xFB, 'u', Mark::CIRCUMFLEX}, {0xFC, 'u', Mark::DIAERESIS},
    {0xFD, 'y', Mark::ACUTE},     {0xFF, 'y', Mark::DIAERESIS},
};

struct Picture {
    std::vector<uint8_t> index = std::vector<uint8_t>(WIDTH * HEIGHT, BLACK);
    std::vector<bool> lit = std::vector<bool>(WIDTH * HEIGHT, false);
    void light(int x, int y, uint8_t colour) {
        if (x < 0 || x >= WIDTH || y < 0 || y >= HEIGHT) return;
        lit[static_cast<size_t>(y * WIDTH + x)] = true;
        index[static_cast<size_t>(y * WIDTH + x)] = colour;
    }
};

uint8_t shade_at(int y) {
    const int step = y - GLYPH_Y;
    return static_cast<uint8_t>(SHADE_FIRST + (step < 0 ? 0 : step >= SHADES ? SHADES - 1 : step));
}

// Glyph pixel (column, row) of the 5 x 6 grid, drawn two pixels tall.
void draw_glyph_pixel(Picture& p, int cell_x, int cell_y, int column, int row) {
    for (int half = 0; half < 2; ++half) {
        const int y = GLYPH_Y + row * 2 + half;
        p.light(cell_x + GLYPH_X + column, cell_y + y, shade_at(y));
    }
}

const Grid* grid_of(int code) {
    for (const Grid& g : GRIDS)
        if (g.code == code) return &g;
    return nullptr;
}

bool grid_lit(int code, int column, int row) {
    if (const Grid* g = grid_of(code)) return std::strlen(g->rows[row]) > static_cast<size_t>(column) && g->rows[row][column] == '#';
    return runtime::builtin_glyph_lit(code, column, row);
}

// Draws a grid (its own or the built-in word); returns its first lit row, 6 when empty.
int draw_grid(Picture& p, int code, int cell_x, int cell_y) {
    int top = runtime::BUILTIN_GLYPH_ROWS;
    for (int row = 0; row < runtime::BUILTIN_GLYPH_ROWS; ++row) {
        for (int column = 0; column < runtime::BUILTIN_GLYPH_COLUMNS; ++column) {
            if (!grid_lit(code, column, row)) continue;
            draw_glyph_pixel(p, cell_x, cell_y, column, row);
            if (row < top) top = row;
        }
    }
    return top;
}

// Single-height pixel rows from cell row `top`, columns as in the grids.
void draw_rows(Picture& p, const char* const* rows, int count, int top, int column0, int cell_x, int cell_y) {
    for (int r = 0; r < count && rows[r]; ++r) {
        for (int c = 0; rows[r][c]; ++c) {
            if (rows[r][c] == '#') p.light(cell_x + GLYPH_X + column0 + c, cell_y + top + r, shade_at(top + r));
        }
    }
}

// The mark of a letter whose grid starts at `top_row`: above it in a band of three pixel
// rows (the last one left free), or the cedilla below the grid.
void draw_mark(Picture& p, Mark mark, int top_row, int cell_x, int cell_y) {
    const int band = GLYPH_Y + top_row * 2 - 3;
    auto dot = [&](int column, int y) { p.light(cell_x + GLYPH_X + column, cell_y + y, shade_at(y)); };
    switch (mark) {
        case Mark::DIAERESIS: dot(1, band + 1); dot(3, band + 1); break;
        case Mark::ACUTE: dot(3, band); dot(2, band + 1); break;
        case Mark::GRAVE: dot(1, band); dot(2, band + 1); break;
        case Mark::CIRCUMFLEX: dot(2, band); dot(1, band + 1); dot(3, band + 1); break;
        case Mark::RING: dot(2, band); dot(1, band + 1); dot(3, band + 1); dot(2, band + 2); break;
        case Mark::TILDE: dot(1, band + 1); dot(2, band); dot(3, band + 1); dot(4, band); break;
        case Mark::CEDILLA: dot(2, 13); dot(3, 14); dot(2, 15); break;
        case Mark::NONE: break;
    }
}

void draw_fraction(Picture& p, const Fraction& f, int cell_x, int cell_y) {
    draw_rows(p, SMALL_DIGITS[f.numerator], 5, GLYPH_Y, 0, cell_x, cell_y);
    draw_rows(p, SMALL_DIGITS[f.denominator], 5, GLYPH_Y + 5, 3, cell_x, cell_y);
    // The slash passes through the two free quarters.
    constexpr int SLASH[10][2] = {{5, 0}, {5, 1}, {4, 2}, {4, 3}, {3, 4}, {2, 5}, {2, 6}, {1, 7}, {1, 8}, {0, 9}};
    for (const auto& d : SLASH) p.light(cell_x + GLYPH_X + d[0], cell_y + GLYPH_Y + d[1], shade_at(GLYPH_Y + d[1]));
}

// Draws the glyph of one byte value into its cell; nothing for control codes and the
// two spaces (32 and the no-break space 160).
void draw_character(Picture& p, int code) {
    const int cell_x = (code % 16) * CELL_W, cell_y = (code / 16) * CELL_H;
    if (code >= runtime::BUILTIN_FIRST_CHAR && code < 127) draw_grid(p, code, cell_x, cell_y);
    if (grid_of(code)) draw_grid(p, code, cell_x, cell_y);
    for (const Picture1& pic : PICTURES)
        if (pic.code == code) draw_rows(p, pic.rows, 12, pic.top, 0, cell_x, cell_y);
    for (const Fraction& f : FRACTIONS)
        if (f.code == code) draw_fraction(p, f, cell_x, cell_y);
    for (const Composed& c : COMPOSED)
        if (c.code == code) draw_mark(p, c.mark, draw_grid(p, c.base, cell_x, cell_y), cell_x, cell_y);
}

void add_outline(Picture& p) {
    const std::vector<bool> lit = p.lit;
    for (int y = 0; y < HEIGHT; ++y) {
        for (int x = 0; x < WIDTH; ++x) {
            if (lit[static_cast<size_t>(y * WIDTH + x)]) continue;
            // Outlines stay inside their own cell so that neighbouring cells never bleed.
            auto on = [&](int nx, int ny) {
                if (nx / CELL_W != x / CELL_W || ny / CELL_H != y / CELL_H) return false;
                if (nx < 0 || nx >= WIDTH || ny < 0 || ny >= HEIGHT) return false;
                return static_cast<bool>(lit[static_cast<size_t>(ny * WIDTH + nx)]);
            };
            if (on(x - 1, y) || on(x + 1, y) || on(x, y - 1) || on(x, y + 1))
                p.index[static_cast<size_t>(y * WIDTH + x)] = OUTLINE;
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
        for (int x = 0; x < WIDTH; ++x) out.push_back(p.index[static_cast<size_t>(y * WIDTH + x)]);
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
    for (int code = 0; code < 256; ++code) draw_character(p, code);
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
