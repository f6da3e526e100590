// The line editor: text typed at a screen position over a grabbed copy of the screen.
#pragma once

#include "runtime/core/dyn_string.h"

namespace runtime {

// Edits `text` in place until Return (or keypad Enter); Backspace removes the last
// character. Draws over background image 3 with a blinking "_" cursor.
void input_line(DynString& text, double x, double y);
// The line editor on an empty text; the text read as a number.
double input_number(double x, double y);

// The tiled image that holds the screen under the editor.
constexpr int LINE_EDITOR_IMAGE = 3;
// Frames without a character before the cursor changes visibility.
constexpr int CURSOR_BLINK_FRAMES = 20;

}  // namespace runtime
