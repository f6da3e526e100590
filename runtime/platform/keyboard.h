// Keyboard translation of the platform layer: the window system's keys to set-1 scan
// codes (extended keys + 128), and the character the current layout puts on a key.
#pragma once

namespace runtime::platform {

// Set-1 scan code of a window-system scan code; 0 when the key has none.
int set1_from_platform_scancode(int platform_scancode);
// Window-system scan code of a set-1 scan code; 0 when there is none.
int platform_scancode_from_set1(int set1);
// The byte the current keyboard layout puts on a set-1 key without modifiers (keypad
// digits and operators included); 0 when the key gives no one-byte character.
int layout_char_from_set1(int set1);

}  // namespace runtime::platform
