// Bitmap fonts: loading into the font slots of the sprite store, the built-in font as
// fallback, and text built as one batch of quads per string that joins the sprite batch.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "runtime/gfx2d/drawing_2d.h"
#include "runtime/gfx2d/opengl_rainbows.h"
#include "runtime/gfx2d/texture_upload.h"
#include "runtime/screen/text/font.h"
#include "runtime/screen/text/font_glyphs.h"

namespace runtime {

namespace {

constexpr int CELL = 8;

int32_t font_number(double n) {
    if (std::isnan(n)) return 0;
    if (n <= 0) return 0;
    if (n >= FONT_COUNT - 1) return FONT_COUNT - 1;
    return static_cast<int32_t>(n);
}

// The cell layout of a font picture: 16 columns, and 16 rows (256 characters) when the
// picture is taller than wide, else 8 rows (128 characters).
struct CellGrid {
    int32_t rows;
    int32_t characters;
    int32_t cell_width;
    int32_t cell_height;
};
CellGrid grid_of(int32_t width, int32_t height) {
    if (width < height) return {16, 256, width / 16, height / 16};
    return {8, 128, width / 16, height / 8};
}

void put_builtin_font(OpenGLRainbows* e, int32_t slot_number) {
    ImageBuffer picture;
    build_builtin_font(picture);
    SpriteSlot& slot = e->sprites[static_cast<size_t>(slot_number)];
    uint32_t texture = slot.texture;
    if (!upload_texture(picture, 0, 0, 0, 0, &texture, nullptr, false, true)) return;
    slot.texture = texture;
    slot.texture_width = slot.width = BUILTIN_FONT_WIDTH;
    slot.texture_height = slot.height = BUILTIN_FONT_HEIGHT;
    e->bound_sprite = -1;
}

}  // namespace

FontState& font_state() {
    static FontState state;
    return state;
}

void build_builtin_font(ImageBuffer& picture) {
    if (!picture.resize(BUILTIN_FONT_WIDTH, BUILTIN_FONT_HEIGHT)) return;
    std::memset(picture.pixels, 0, static_cast<size_t>(BUILTIN_FONT_WIDTH) * BUILTIN_FONT_HEIGHT * 4);
    for (int code = BUILTIN_FIRST_CHAR; code < 128; ++code) {
        const int cell_x = (code % 16) * CELL, cell_y = (code / 16) * CELL;
        // Glyph pixel (column, row) sits at cell pixel (column + 1, row + 1).
        auto lit = [code](int px, int py) { return builtin_glyph_lit(code, px - 1, py - 1); };
        for (int py = 0; py < CELL; ++py) {
            for (int px = 0; px < CELL; ++px) {
                uint8_t* p = picture.pixel(cell_x + px, cell_y + py);
                if (lit(px, py)) {
                    p[0] = p[1] = p[2] = p[3] = 255;
                } else if (lit(px - 1, py) || lit(px + 1, py) || lit(px, py - 1) || lit(px, py + 1)) {
                    p[0] = p[1] = p[2] = 8;
                    p[3] = 255;
                }
            }
        }
    }
}

void load_font(const DynString& file_name, double n) {
    const int32_t font = font_number(n);
    font_state().current_font = font;
    OpenGLRainbows* e = rainbows();
    if (!e) return;
    const int32_t slot = FONT_SLOT_BASE + font;
    if (load_sprite_image(file_name.text_of(), slot, colour_key_of(e->font_colour_key), false)) return;
    put_builtin_font(e, slot);
}

void set_font(double n) { font_state().current_font = font_number(n); }

void get_font_size(double& width, double& height) {
    width = height = 0;
    const OpenGLRainbows* e = rainbows();
    if (!e) return;
    const SpriteSlot& slot = e->sprites[static_cast<size_t>(FONT_SLOT_BASE + font_state().current_font)];
    if (slot.width <= 0 || slot.height <= 0) return;
    const CellGrid g = grid_of(slot.width, slot.height);
    width = g.cell_width;
    height = g.cell_height;
}

void print_text(const DynString& text, double x, double y) {
    if (text.size() == 0) return;
    draw_text(rainbows(), font_state().current_font, text.text_of(), static_cast<float>(x),
              static_cast<float>(y), 0.0f);
}

void print_number(double value, double x, double y) { print_text(number_to_text(value), x, y); }

void draw_text(OpenGLRainbows* engine, int32_t font, const char* text, float x, float y, float z) {
    if (!engine || !text || !*text || font < 0 || font >= FONT_COUNT) return;
    const int32_t slot_number = FONT_SLOT_BASE + font;
    const SpriteSlot& slot = engine->sprites[static_cast<size_t>(slot_number)];
    // An empty slot has no cells to draw from.
    if (slot.width <= 0 || slot.height <= 0 || slot.texture_width <= 0 || slot.texture_height <= 0) {
        return;
    }
    const size_t length = std::strlen(text);
    if (length > static_cast<size_t>((1 << 28) / 4)) return;
    VertexList<BatchVertex>& batch = engine->batch_vertices;
    if (!batch.reserve(static_cast<int32_t>(length * 4))) return;

    const CellGrid g = grid_of(slot.width, slot.height);
    const float dv = (static_cast<float>(slot.height) / static_cast<float>(slot.texture_height)) /
                     static_cast<float>(g.rows);
    const float du = (static_cast<float>(slot.width) / slot.texture_width) / 16;
    const float advance = static_cast<float>(slot.width / 16);
    float px = std::ceil(x);
    const float top = std::ceil(y), bottom = top + static_cast<float>(g.cell_height);
    BatchVertex* v = batch.items;
    for (size_t i = 0; i < length; ++i, v += 4) {
        const int cell = static_cast<unsigned char>(text[i]) % g.characters;
        const int column = cell % 16, row = cell / 16;
        const float u_left = du * static_cast<float>(column), u_right = u_left + du;
        const float v_low = dv * static_cast<float>(g.rows - 1 - row), v_high = v_low + dv;
        v[0] = {px, bottom, z, u_left, v_low};
        v[1] = {px + advance, bottom, z, u_right, v_low};
        v[2] = {px + advance, top, z, u_right, v_high};
        v[3] = {px, top, z, u_left, v_high};
        px += advance;
    }
    batch.count = static_cast<int32_t>(length * 4);
    // Drawn with the sprites around it that share the font's texture.
    batch_quads(engine, slot_number, false, batch.items, batch.count);
}

}  // namespace runtime
