// Bitmap fonts on a real offscreen context: the built-in font, font slots and their
// clamping, cell layouts of 8 and 16 rows, text placement and the single batch.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "gfx2d/gl2d_fixture.h"
#include "runtime/gfx2d/image_files.h"
#include "runtime/screen/text/font.h"
#include "runtime/screen/text/font_glyphs.h"

namespace runtime {
namespace {

class Fonts : public Gl2dTest {
protected:
    void SetUp() override {
        Gl2dTest::SetUp();
        font_state() = FontState{};
    }
    // A font picture whose cell n is filled with a colour of its own (never black).
    std::string cell_font(int w, int h) {
        const int rows = w < h ? 16 : 8;
        const int cw = w / 16, ch = h / rows;
        return make_bmp("font.bmp", w, h, [=](int x, int y) { return cell_colour((y / ch) * 16 + x / cw); });
    }
    static uint32_t cell_colour(int cell) { return static_cast<uint32_t>(0x400000 | (cell + 1)); }
};

TEST(BuiltInFont, GlyphWordOfAMatchesItsRows) {
    EXPECT_EQ(BUILTIN_GLYPHS['A' - 32], 10828110u);
    const char* rows[6] = {".###.", ".#.#.", ".###.", ".#.#.", ".#.#.", "....."};
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 5; ++c)
            EXPECT_EQ(builtin_glyph_lit('A', c, r), rows[r][c] == '#') << r << "," << c;
}

TEST(BuiltInFont, EveryPrintableCharacterButSpaceHasAGlyphOfItsOwn) {
    for (int a = 33; a < 128; ++a) {
        EXPECT_NE(BUILTIN_GLYPHS[a - 32], 0u) << a;
        for (int b = a + 1; b < 128; ++b)
            EXPECT_NE(BUILTIN_GLYPHS[a - 32], BUILTIN_GLYPHS[b - 32]) << a << " " << b;
    }
    EXPECT_EQ(BUILTIN_GLYPHS[0], 0u);
}

TEST(BuiltInFont, PictureHasWhiteGlyphsWithAnOutlineInTheirCells) {
    ImageBuffer picture;
    build_builtin_font(picture);
    ASSERT_EQ(picture.width, 128);
    ASSERT_EQ(picture.height, 64);
    auto at = [&](int x, int y) {
        const uint8_t* p = picture.pixel(x, y);
        return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
    };
    // "A" is code 65: cell column 1, row 4, so its pixels start at (8, 32).
    EXPECT_EQ(at(8 + 2, 32 + 1), 0xFFFFFFFFu);  // glyph (1, 0)
    EXPECT_EQ(at(8 + 1, 32 + 1), 0xFF080808u);  // left of it: outline
    EXPECT_EQ(at(8 + 3, 32 + 2), 0xFF080808u);  // the hole of the A, beside lit pixels
    EXPECT_EQ(at(8 + 0, 32 + 1), 0u);           // nothing lit next to it
    EXPECT_EQ(at(8 + 2, 32 + 7), 0u);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 128; ++x) EXPECT_EQ(at(x, y), 0u) << "cells 0..31 are empty";
}

TEST_F(Fonts, EmptyNameGivesTheBuiltInFontAndSelectsIt) {
    load_font(DynString(""), 3);
    EXPECT_EQ(font_state().current_font, 3);
    const SpriteSlot& slot = engine->sprites[FONT_SLOT_BASE + 3];
    EXPECT_EQ(slot.width, 128);
    EXPECT_EQ(slot.texture_width, 128);
    EXPECT_EQ(slot.height, 64);
    double w = 0, h = 0;
    get_font_size(w, h);
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 8);
}

TEST_F(Fonts, FontNumbersAreClamped) {
    load_font(DynString(temp_.file("missing.bmp").c_str()), 40);
    EXPECT_EQ(font_state().current_font, 31);
    EXPECT_GT(engine->sprites[FONT_SLOT_BASE + 31].texture, 0u);
    set_font(-2);
    EXPECT_EQ(font_state().current_font, 0);
    set_font(7.9);
    EXPECT_EQ(font_state().current_font, 7);
}

TEST_F(Fonts, OverlongFileNameFallsBackToTheBuiltInFont) {
    load_font(DynString(std::string(5000, 'a').c_str()), 4);
    EXPECT_EQ(font_state().current_font, 4);
    EXPECT_EQ(engine->sprites[FONT_SLOT_BASE + 4].width, BUILTIN_FONT_WIDTH);
}

TEST_F(Fonts, TextStartsAtTheCeilingOfXAndAdvancesOneCell) {
    load_font(DynString(""), 0);
    fill_rect(0, 0, 100, 40, BLUE);
    print_text(DynString("AA"), 10.2, 20);
    const int top = 20 + 1;                // glyph row 0 is cell row 1
    EXPECT_EQ(pixel(11, top), BLUE);       // cell column 0: transparent
    EXPECT_EQ(pixel(12, top), 0x080808u);  // outline
    EXPECT_EQ(pixel(13, top), WHITE);
    EXPECT_EQ(pixel(19, top), BLUE);
    EXPECT_EQ(pixel(20, top), 0x080808u);
    EXPECT_EQ(pixel(21, top), WHITE);
}

TEST_F(Fonts, LoadingTextMatchesItsReferencePicture) {
    load_font(DynString(""), 0);
    print_text(DynString("Loading..."), 4, 4);
    EXPECT_TRUE(matches_golden("builtin_loading", 0, 0, 88, 16, 0));
}

TEST_F(Fonts, A256By256FontHas16By32CellsAnd128Characters) {
    load_font(DynString(cell_font(256, 256).c_str()), 1);
    double w = 0, h = 0;
    get_font_size(w, h);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 32);
    print_text(DynString("AB"), 0, 0);
    EXPECT_EQ(pixel(5, 5), cell_colour(65));
    EXPECT_EQ(pixel(15, 31), cell_colour(65));
    EXPECT_EQ(pixel(16, 5), cell_colour(66));
    EXPECT_EQ(pixel(5, 32), 0u);
    // Byte 193 wraps to the cell of byte 65.
    const char wrapped[] = {static_cast<char>(193), 0};
    print_text(DynString(wrapped), 100, 100);
    EXPECT_EQ(pixel(105, 105), cell_colour(65));
}

TEST_F(Fonts, A128By256FontHas8By16CellsAnd256Characters) {
    load_font(DynString(cell_font(128, 256).c_str()), 2);
    double w = 0, h = 0;
    get_font_size(w, h);
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 16);
    const char text[] = {static_cast<char>(193), 'A', 0};
    print_text(DynString(text), 0, 0);
    EXPECT_EQ(pixel(3, 3), cell_colour(193));
    EXPECT_EQ(pixel(11, 15), cell_colour(65));
}

TEST_F(Fonts, BlackIsTheFontsTransparentColour) {
    const std::string path = make_bmp("f.bmp", 128, 64, [](int x, int) { return x % 8 < 4 ? 0u : WHITE; });
    load_font(DynString(path.c_str()), 0);
    fill_rect(0, 0, 20, 20, GREEN);
    print_text(DynString("A"), 0, 0);
    EXPECT_EQ(pixel(1, 1), GREEN);
    EXPECT_EQ(pixel(5, 1), WHITE);
}

TEST_F(Fonts, ControlBytesAreDrawnAsTheirCells) {
    load_font(DynString(cell_font(128, 256).c_str()), 0);
    print_text(DynString("\n\t"), 0, 0);
    EXPECT_EQ(pixel(3, 3), cell_colour(10));
    EXPECT_EQ(pixel(11, 3), cell_colour(9));
}

TEST_F(Fonts, AThousandCharactersGrowTheBatchOnceAndDrawInOneCall) {
    load_font(DynString(""), 0);
    const int before = engine->batch_vertices.growth_count;
    const DynString text(std::string(1000, 'x').c_str());
    print_text(text, 0, 0);
    EXPECT_EQ(engine->batch_vertices.growth_count, before + 1);
    EXPECT_GE(engine->batch_vertices.capacity, 4000);
    EXPECT_EQ(engine->batch_vertices.count, 4000);
    print_text(text, 0, 20);
    EXPECT_EQ(engine->batch_vertices.growth_count, before + 1);
}

TEST_F(Fonts, EmptyTextDrawsNothing) {
    load_font(DynString(""), 0);
    print_text(DynString(""), 0, 0);
    EXPECT_EQ(engine->batch_vertices.count, 0);
}

TEST_F(Fonts, PrintNumberDrawsTheNumbersText) {
    load_font(DynString(""), 0);
    print_number(3.5, 0, 0);
    const std::vector<uint8_t> number = read_block(0, 0, 40, 8);
    glClear(GL_COLOR_BUFFER_BIT);
    print_text(number_to_text(3.5), 0, 0);
    EXPECT_EQ(read_block(0, 0, 40, 8), number);
    EXPECT_NE(read_block(0, 0, 40, 8), std::vector<uint8_t>(40 * 8 * 3, 0));
}

TEST_F(Fonts, DefaultFontFileLoadsAs16RowsOf8By16Cells) {
    const char* bin = std::getenv("RUNTIME_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    const std::string path = std::string(bin) + "/" + DEFAULT_FONT_FILE;
    load_font(DynString(path.c_str()), 0);
    EXPECT_EQ(engine->sprites[FONT_SLOT_BASE].width, 128);
    EXPECT_EQ(engine->sprites[FONT_SLOT_BASE].height, 256);
    double w = 0, h = 0;
    get_font_size(w, h);
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 16);
    print_text(DynString("Loading..."), 4, 4);
    EXPECT_TRUE(matches_golden("smalfont_loading", 0, 0, 88, 24, 0));
}

// The shipped font is what the generator draws, and it draws every character of the
// Latin-1 range 161-255 with a picture of its own.
TEST(ShippedFont, MatchesItsGeneratorAndDrawsTheWholeLatin1Range) {
    const std::string bin = std::getenv("RUNTIME_BIN_DIR");
    test_support::TempDir dir;
    const std::string drawn = dir.file("drawn.bmp");
    ASSERT_EQ(std::system((bin + "/fontgen " + drawn).c_str()), 0);
    const std::string shipped = test_support::read_file(bin + "/" + DEFAULT_FONT_FILE);
    EXPECT_EQ(test_support::read_file(drawn), shipped) << "rebuild target regenerate_smalfont";
    ImageBuffer font;
    ASSERT_TRUE(load_bmp(font, drawn.c_str(), 0));
    std::vector<std::string> cells;
    for (int code = 160; code < 256; ++code) {
        std::string lit;  // the glyph's own pixels: lightest shades, not outline or black
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 8; ++x)
                lit += font.pixel(code % 16 * 8 + x, code / 16 * 16 + y)[0] > 128 ? '#' : '.';
        if (code > 160) {
            EXPECT_NE(lit.find('#'), std::string::npos) << code;
        }
        for (size_t other = 0; other < cells.size(); ++other)
            EXPECT_NE(lit, cells[other]) << code << " looks like " << 160 + other;
        cells.push_back(lit);
    }
}

}  // namespace
}  // namespace runtime
