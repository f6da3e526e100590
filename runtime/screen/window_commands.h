// The window commands of an application: its title, the screen mode and the two switches
// for pausing and for ending on Escape.
#pragma once

#include "runtime/core/dyn_string.h"

namespace runtime {

// Sets the window's title (UTF-8); while the program is paused, " <pause>" follows it.
void set_window_title(const DynString& text);
void set_window_title(const char* text);
// Changes the client size (nonzero values) and the display mode, then shows five frames.
void set_screen_mode(double width, double height, double fullscreen);
// Pausing while the window is inactive: 1 for a nonzero number (the default), else 0.
void set_auto_pause(double flag);
// Ending the program on Escape in show_screen: 1 for a nonzero number (the default), else 0.
void set_escape_ends_program(double flag);

}  // namespace runtime
