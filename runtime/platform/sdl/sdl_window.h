// For the SDL backend's own files only: the SDL objects behind the window contract.
#pragma once

#include <SDL2/SDL.h>

#include <cstdint>
#include <string>

namespace runtime::platform {

struct SdlWindowState {
    bool video_tried = false;
    bool video_ok = false;
    bool gl_library = false;
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    uint32_t window_id = 0;
    bool fullscreen = false;
    std::string title;
};
SdlWindowState& sdl_window_state();
// The current SDL window, null when none exists.
inline SDL_Window* sdl_window() { return sdl_window_state().window; }

}  // namespace runtime::platform
