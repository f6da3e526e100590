// SDL scan codes to set-1 scan codes, by the key's physical position.
#include <SDL2/SDL_scancode.h>

#include "runtime/platform/keyboard.h"

namespace runtime::platform {

namespace {
struct KeyRow {
    int sdl;
    int set1;
};
// Start set: the keys the frame loop itself needs; the keyboard module completes it.
constexpr KeyRow KEY_TABLE[] = {
    {SDL_SCANCODE_ESCAPE, 1},
    {SDL_SCANCODE_RETURN, 28},
    {SDL_SCANCODE_SPACE, 57},
    {SDL_SCANCODE_F4, 62},
    {SDL_SCANCODE_LALT, 56},
    {SDL_SCANCODE_RALT, 184},
};
}  // namespace

int set1_from_platform_scancode(int platform_scancode) {
    for (const KeyRow& row : KEY_TABLE)
        if (row.sdl == platform_scancode) return row.set1;
    return 0;
}

int platform_scancode_from_set1(int set1) {
    for (const KeyRow& row : KEY_TABLE)
        if (row.set1 == set1) return row.sdl;
    return 0;
}

}  // namespace runtime::platform
