// SDL scan codes to set-1 scan codes (extended keys + 128), by the key's physical
// position, so a German or French layout keeps the numbers of the US key positions.
#include <SDL2/SDL_scancode.h>

#include "runtime/platform/keyboard.h"

namespace runtime::platform {

namespace {
struct KeyRow {
    int sdl;
    int set1;
};
// One row per key. Where two SDL codes sit on one physical key (the ISO key left of
// Return), the first row is the one a set-1 code maps back to.
constexpr KeyRow KEY_TABLE[] = {
    {SDL_SCANCODE_ESCAPE, 1},            // Escape
    {SDL_SCANCODE_1, 2},                 // 1
    {SDL_SCANCODE_2, 3},                 // 2
    {SDL_SCANCODE_3, 4},                 // 3
    {SDL_SCANCODE_4, 5},                 // 4
    {SDL_SCANCODE_5, 6},                 // 5
    {SDL_SCANCODE_6, 7},                 // 6
    {SDL_SCANCODE_7, 8},                 // 7
    {SDL_SCANCODE_8, 9},                 // 8
    {SDL_SCANCODE_9, 10},                // 9
    {SDL_SCANCODE_0, 11},                // 0
    {SDL_SCANCODE_MINUS, 12},            // - (German: sharp s)
    {SDL_SCANCODE_EQUALS, 13},           // = (German: acute accent)
    {SDL_SCANCODE_BACKSPACE, 14},        // Backspace
    {SDL_SCANCODE_TAB, 15},              // Tab
    {SDL_SCANCODE_Q, 16},                // Q
    {SDL_SCANCODE_W, 17},                // W
    {SDL_SCANCODE_E, 18},                // E
    {SDL_SCANCODE_R, 19},                // R
    {SDL_SCANCODE_T, 20},                // T
    {SDL_SCANCODE_Y, 21},                // Y (German: Z)
    {SDL_SCANCODE_U, 22},                // U
    {SDL_SCANCODE_I, 23},                // I
    {SDL_SCANCODE_O, 24},                // O
    {SDL_SCANCODE_P, 25},                // P
    {SDL_SCANCODE_LEFTBRACKET, 26},      // [ (German: u umlaut)
    {SDL_SCANCODE_RIGHTBRACKET, 27},     // ] (German: +)
    {SDL_SCANCODE_RETURN, 28},           // Return
    {SDL_SCANCODE_LCTRL, 29},            // left Control
    {SDL_SCANCODE_A, 30},                // A
    {SDL_SCANCODE_S, 31},                // S
    {SDL_SCANCODE_D, 32},                // D
    {SDL_SCANCODE_F, 33},                // F
    {SDL_SCANCODE_G, 34},                // G
    {SDL_SCANCODE_H, 35},                // H
    {SDL_SCANCODE_J, 36},                // J
    {SDL_SCANCODE_K, 37},                // K
    {SDL_SCANCODE_L, 38},                // L
    {SDL_SCANCODE_SEMICOLON, 39},        // ; (German: o umlaut)
    {SDL_SCANCODE_APOSTROPHE, 40},       // ' (German: a umlaut)
    {SDL_SCANCODE_GRAVE, 41},            // ` (German: ^)
    {SDL_SCANCODE_LSHIFT, 42},           // left Shift
    {SDL_SCANCODE_BACKSLASH, 43},        // backslash (ANSI), beside Return
    {SDL_SCANCODE_NONUSHASH, 43},        // # (ISO), the same position
    {SDL_SCANCODE_Z, 44},                // Z (German: Y)
    {SDL_SCANCODE_X, 45},                // X
    {SDL_SCANCODE_C, 46},                // C
    {SDL_SCANCODE_V, 47},                // V
    {SDL_SCANCODE_B, 48},                // B
    {SDL_SCANCODE_N, 49},                // N
    {SDL_SCANCODE_M, 50},                // M
    {SDL_SCANCODE_COMMA, 51},            // ,
    {SDL_SCANCODE_PERIOD, 52},           // .
    {SDL_SCANCODE_SLASH, 53},            // / (German: -)
    {SDL_SCANCODE_RSHIFT, 54},           // right Shift
    {SDL_SCANCODE_KP_MULTIPLY, 55},      // keypad *
    {SDL_SCANCODE_LALT, 56},             // left Alt
    {SDL_SCANCODE_SPACE, 57},            // Space
    {SDL_SCANCODE_CAPSLOCK, 58},         // Caps Lock
    {SDL_SCANCODE_F1, 59},               // F1
    {SDL_SCANCODE_F2, 60},               // F2
    {SDL_SCANCODE_F3, 61},               // F3
    {SDL_SCANCODE_F4, 62},               // F4
    {SDL_SCANCODE_F5, 63},               // F5
    {SDL_SCANCODE_F6, 64},               // F6
    {SDL_SCANCODE_F7, 65},               // F7
    {SDL_SCANCODE_F8, 66},               // F8
    {SDL_SCANCODE_F9, 67},               // F9
    {SDL_SCANCODE_F10, 68},              // F10
    {SDL_SCANCODE_NUMLOCKCLEAR, 69},     // Num Lock
    {SDL_SCANCODE_SCROLLLOCK, 70},       // Scroll Lock
    {SDL_SCANCODE_KP_7, 71},             // keypad 7 / Home
    {SDL_SCANCODE_KP_8, 72},             // keypad 8 / Up
    {SDL_SCANCODE_KP_9, 73},             // keypad 9 / Page Up
    {SDL_SCANCODE_KP_MINUS, 74},         // keypad -
    {SDL_SCANCODE_KP_4, 75},             // keypad 4 / Left
    {SDL_SCANCODE_KP_5, 76},             // keypad 5
    {SDL_SCANCODE_KP_6, 77},             // keypad 6 / Right
    {SDL_SCANCODE_KP_PLUS, 78},          // keypad +
    {SDL_SCANCODE_KP_1, 79},             // keypad 1 / End
    {SDL_SCANCODE_KP_2, 80},             // keypad 2 / Down
    {SDL_SCANCODE_KP_3, 81},             // keypad 3 / Page Down
    {SDL_SCANCODE_KP_0, 82},             // keypad 0 / Insert
    {SDL_SCANCODE_KP_PERIOD, 83},        // keypad . / Delete
    {SDL_SCANCODE_NONUSBACKSLASH, 86},   // the ISO key left of Z (German: <)
    {SDL_SCANCODE_F11, 87},              // F11
    {SDL_SCANCODE_F12, 88},              // F12
    {SDL_SCANCODE_F13, 100},             // F13
    {SDL_SCANCODE_F14, 101},             // F14
    {SDL_SCANCODE_F15, 102},             // F15
    {SDL_SCANCODE_INTERNATIONAL2, 112},  // Japanese Kana
    {SDL_SCANCODE_INTERNATIONAL1, 115},  // Japanese Ro
    {SDL_SCANCODE_INTERNATIONAL4, 121},  // Japanese Convert
    {SDL_SCANCODE_INTERNATIONAL5, 123},  // Japanese No-convert
    {SDL_SCANCODE_INTERNATIONAL3, 125},  // Japanese Yen
    {SDL_SCANCODE_KP_EQUALS, 141},       // keypad = (extended)
    {SDL_SCANCODE_AUDIOPREV, 144},       // previous track (extended)
    {SDL_SCANCODE_AUDIONEXT, 153},       // next track (extended)
    {SDL_SCANCODE_KP_ENTER, 156},        // keypad Enter (extended)
    {SDL_SCANCODE_RCTRL, 157},           // right Control (extended)
    {SDL_SCANCODE_MUTE, 160},            // mute (extended)
    {SDL_SCANCODE_AUDIOPLAY, 162},       // play / pause (extended)
    {SDL_SCANCODE_AUDIOSTOP, 164},       // stop (extended)
    {SDL_SCANCODE_VOLUMEDOWN, 174},      // volume down (extended)
    {SDL_SCANCODE_VOLUMEUP, 176},        // volume up (extended)
    {SDL_SCANCODE_KP_COMMA, 179},        // keypad , (extended)
    {SDL_SCANCODE_KP_DIVIDE, 181},       // keypad / (extended)
    {SDL_SCANCODE_PRINTSCREEN, 183},     // Print Screen / SysRq (extended)
    {SDL_SCANCODE_RALT, 184},            // right Alt / AltGr (extended)
    {SDL_SCANCODE_PAUSE, 197},           // Pause (extended)
    {SDL_SCANCODE_HOME, 199},            // Home (extended)
    {SDL_SCANCODE_UP, 200},              // Up arrow (extended)
    {SDL_SCANCODE_PAGEUP, 201},          // Page Up (extended)
    {SDL_SCANCODE_LEFT, 203},            // Left arrow (extended)
    {SDL_SCANCODE_RIGHT, 205},           // Right arrow (extended)
    {SDL_SCANCODE_END, 207},             // End (extended)
    {SDL_SCANCODE_DOWN, 208},            // Down arrow (extended)
    {SDL_SCANCODE_PAGEDOWN, 209},        // Page Down (extended)
    {SDL_SCANCODE_INSERT, 210},          // Insert (extended)
    {SDL_SCANCODE_DELETE, 211},          // Delete (extended)
    {SDL_SCANCODE_LGUI, 219},            // left Windows key (extended)
    {SDL_SCANCODE_RGUI, 220},            // right Windows key (extended)
    {SDL_SCANCODE_APPLICATION, 221},     // Applications / menu key (extended)
    {SDL_SCANCODE_POWER, 222},           // Power (extended)
    {SDL_SCANCODE_SLEEP, 223},           // Sleep (extended)
};

// Both directions as flat arrays, built once: the pump translates every key event.
struct KeyMaps {
    unsigned char to_set1[SDL_NUM_SCANCODES] = {};
    int to_platform[256] = {};
    KeyMaps() {
        for (const KeyRow& row : KEY_TABLE) {
            to_set1[row.sdl] = static_cast<unsigned char>(row.set1);
            if (to_platform[row.set1] == 0) to_platform[row.set1] = row.sdl;
        }
    }
};
const KeyMaps& key_maps() {
    static const KeyMaps maps;
    return maps;
}
}  // namespace

int set1_from_platform_scancode(int platform_scancode) {
    if (platform_scancode <= 0 || platform_scancode >= SDL_NUM_SCANCODES) return 0;
    return key_maps().to_set1[platform_scancode];
}

int platform_scancode_from_set1(int set1) {
    if (set1 <= 0 || set1 > 255) return 0;
    return key_maps().to_platform[set1];
}

}  // namespace runtime::platform
