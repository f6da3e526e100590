// Pointer services on SDL: relative mode for a captured mouse, cursor visibility, warp.
#include <SDL2/SDL.h>

#include "runtime/platform/input_devices.h"
#include "runtime/platform/sdl/sdl_window.h"

namespace runtime::platform {

bool set_relative_mouse_mode(bool on) {
    return SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE) == 0;
}

void show_system_cursor(bool show) {
    SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void warp_mouse_in_window(int x, int y) {
    // Without a window SDL picks the window with mouse focus.
    SDL_WarpMouseInWindow(sdl_window(), x, y);
}

void query_mouse(int& x, int& y, unsigned& buttons) {
    const Uint32 state = SDL_GetMouseState(&x, &y);
    buttons = 0;
    if (state & SDL_BUTTON(SDL_BUTTON_LEFT)) buttons |= 1u;
    if (state & SDL_BUTTON(SDL_BUTTON_RIGHT)) buttons |= 2u;
    if (state & SDL_BUTTON(SDL_BUTTON_MIDDLE)) buttons |= 4u;
}

}  // namespace runtime::platform
