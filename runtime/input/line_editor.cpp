// The line editor runs its own frame loop: each frame shows the screen, takes at most
// one typed character and redraws the grabbed screen with the text and the cursor.
#include "runtime/input/line_editor.h"

#include <cmath>

#include "runtime/gfx2d/drawing_2d.h"
#include "runtime/input/keys.h"
#include "runtime/screen/frame.h"
#include "runtime/screen/text/font.h"

namespace runtime {

void input_line(DynString& text, double x, double y) {
    grab_screen_tiles(LINE_EDITOR_IMAGE);
    draw_tiled_image(LINE_EDITOR_IMAGE);
    print_text(text, x, y);
    int blink = 0;
    bool cursor_visible = false;
    const double px = std::trunc(x);
    const double py = std::trunc(y);
    for (;;) {
        show_screen();
        const int ch = typed_byte();
        if (ch == 0) {
            if (++blink > CURSOR_BLINK_FRAMES) {
                blink = 0;
                cursor_visible = !cursor_visible;
            }
        } else if (ch == 10) {
            free_tiled_image(LINE_EDITOR_IMAGE);
            return;
        } else if (ch == 8) {
            if (text.length > 0) text.truncate_at(text.length - 1);
        } else {
            const char one[2] = {static_cast<char>(ch), '\0'};
            text.append(one);
        }
        draw_tiled_image(LINE_EDITOR_IMAGE);
        if (cursor_visible) print_text(text + "_", px, py);
        else print_text(text, px, py);
    }
}

double input_number(double x, double y) {
    DynString text;
    input_line(text, x, y);
    return text_to_number(text);
}

}  // namespace runtime
