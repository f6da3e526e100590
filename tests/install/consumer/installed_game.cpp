// Starts the runtime, draws the logo and a text from the installed data folder, reads
// the frame back and prints what it found; any mismatch is an error stop.
#include <cstdint>
#include <cstdio>

#include "runtime/runtime.h"

namespace {

void game() {
    using namespace runtime;
    double logo_w = 0, logo_h = 0, char_w = 0, char_h = 0;
    const bool logo = load_sprite(DynString("pyx.png"), 1) != 0;
    get_sprite_size(1, logo_w, logo_h);
    get_font_size(char_w, char_h);
    fill_rect(0, 0, 640, 480, 0);
    draw_sprite(1, 100, 100);
    print_text(DynString("installed"), 10, 10);
    // The first tile of the logo's grid, and a lit pixel of the text's first letter.
    const auto tile = static_cast<uint32_t>(read_pixel(113, 113));
    bool text_lit = false;
    for (int y = 10; y < 10 + char_h; ++y)
        for (int x = 10; x < 10 + char_w; ++x) text_lit = text_lit || read_pixel(x, y) != 0;
    show_screen();
    std::printf("logo %d %gx%g font %gx%g tile %06x text %d\n", logo, logo_w, logo_h, char_w, char_h, tile, text_lit);
    if (!logo || !text_lit) error_stop(1);
}

}  // namespace

int main(int argc, char** argv) {
    return runtime::program_entry(argc, argv, runtime::initialise_runtime, game);
}
