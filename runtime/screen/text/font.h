// Bitmap fonts and text output: 32 font slots kept as sprites 65504 + n, the built-in
// 128 x 64 font, and text drawn as one batch of quads per string.
#pragma once

#include <cstdint>

#include "runtime/core/dyn_string.h"

namespace runtime {

class OpenGLRainbows;
class ImageBuffer;

constexpr int32_t BUILTIN_FONT_WIDTH = 128;
constexpr int32_t BUILTIN_FONT_HEIGHT = 64;
// The file initialisation loads into font 0.
constexpr char DEFAULT_FONT_FILE[] = "smalfont.bmp";

// Text state; a default-constructed record is the state after initialisation.
struct FontState {
    int32_t current_font = 0;
};
FontState& font_state();

// Loads the picture into font n (clamped to 0..31) and selects it; a file that cannot be
// loaded leaves the built-in font in the slot.
void load_font(const DynString& file_name, double n);
// Selects font n (clamped to 0..31); the font need not be loaded.
void set_font(double n);
// Cell width and height of the current font.
void get_font_size(double& width, double& height);
// Draws the text in the current font, the top-left corner of its first cell at (x, y).
void print_text(const DynString& text, double x, double y);
// Draws the number's text like print_text.
void print_number(double value, double x, double y);
// Draws the bytes of text in a font as one batch of quads at depth z (every byte is a cell).
void draw_text(OpenGLRainbows* engine, int32_t font, const char* text, float x, float y, float z);

// Fills the picture with the built-in font: 16 x 8 cells of 8 x 8 pixels.
void build_builtin_font(ImageBuffer& picture);

}  // namespace runtime
