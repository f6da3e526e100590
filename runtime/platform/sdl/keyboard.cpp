// The current layout's character for a key, from SDL's key code for the scan code.
#include <SDL2/SDL_keyboard.h>

#include "runtime/platform/keyboard.h"

namespace runtime::platform {

namespace {
// SDL names keypad keys by function, not by character; the layout puts these on them
// (Num Lock on, as a Windows layout reports them).
int keypad_char(SDL_Keycode key) {
    switch (key) {
    case SDLK_KP_0: return '0';
    case SDLK_KP_1: return '1';
    case SDLK_KP_2: return '2';
    case SDLK_KP_3: return '3';
    case SDLK_KP_4: return '4';
    case SDLK_KP_5: return '5';
    case SDLK_KP_6: return '6';
    case SDLK_KP_7: return '7';
    case SDLK_KP_8: return '8';
    case SDLK_KP_9: return '9';
    case SDLK_KP_PERIOD: return '.';
    case SDLK_KP_COMMA: return ',';
    case SDLK_KP_DIVIDE: return '/';
    case SDLK_KP_MULTIPLY: return '*';
    case SDLK_KP_MINUS: return '-';
    case SDLK_KP_PLUS: return '+';
    case SDLK_KP_EQUALS: return '=';
    case SDLK_KP_ENTER: return '\r';
    default: return 0;
    }
}
}  // namespace

int layout_char_from_set1(int set1) {
    const int platform_code = platform_scancode_from_set1(set1);
    if (platform_code == 0) return 0;
    const SDL_Keycode key = SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(platform_code));
    // Character keys carry their Unicode code point; only one-byte characters count.
    // Delete has a code point (127) but types nothing.
    if (key > 0 && key < 256 && key != SDLK_DELETE) return static_cast<int>(key);
    return keypad_char(key);
}

}  // namespace runtime::platform
