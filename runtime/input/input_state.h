// The input state: keys, mouse and joysticks fed from the platform's event pump and
// joystick service, and the engine-side operations the input commands build on.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/platform/input_devices.h"

namespace runtime {

constexpr int MAX_JOYSTICKS = 10;
constexpr int JOYSTICK_NAME_BYTES = 522;
constexpr uint8_t KEY_DOWN_BIT = 0x80;
// Key presses kept for take_key_presses; older ones are dropped.
constexpr int KEY_PRESS_QUEUE = 64;

// One key press as the events delivered it: the key, and the byte the layout typed with
// it (Shift, AltGr and Caps Lock included; 0 for none or a character beyond Latin-1).
struct KeyPress {
    int32_t scan_code = 0;
    int32_t typed = 0;
    bool typed_known = false;  // a text event came for this press
};

// One record for the whole run; a default-constructed record is the state at creation.
struct InputState {
    int32_t mouse_x = 100;
    int32_t mouse_y = 100;
    // The event-fed keyboard is always there, so key numbers map to themselves.
    bool keyboard_device = true;
    // Captured mouse: SDL's relative mode stands for the exclusive mouse device.
    bool mouse_device = false;
    int joystick_devices[MAX_JOYSTICKS] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    char joystick_names[MAX_JOYSTICKS][JOYSTICK_NAME_BYTES] = {};
    // Bit 7 set while the key is down; index = set-1 scan code (extended + 128).
    uint8_t key_states[256] = {};
    uint32_t window = 0;
    uint8_t pointer_shown = 1;
    int32_t mouse_cooperation = 6;
    int32_t joystick_count = 0;
    uint8_t mouse_fresh = 1;
    int16_t last_mouse_dx = 0;
    int16_t last_mouse_dy = 0;
    int16_t last_wheel = 0;
    uint16_t fallback_keys[256] = {};

    // What the events reported since the last fresh mouse read.
    int32_t cursor_x = 100;   // window-relative pointer position
    int32_t cursor_y = 100;
    int32_t motion_dx = 0;    // relative motion summed
    int32_t motion_dy = 0;
    int32_t wheel_sum = 0;
    uint8_t mouse_buttons[3] = {};  // left, right, middle
    bool joysticks_changed = false;
    bool joysticks_started = false;
    int event_listener = 0;
    int frame_hook = 0;
    int window_listener = 0;  // its listener of window changes, while started
    bool started = false;
    // wait_for_activity compares the mouse with the values of its previous call.
    int32_t activity_x = 0;
    int32_t activity_y = 0;
    int32_t activity_left = 0;
    int32_t activity_right = 0;
    // What each key typed at its latest press, from the layout's text events.
    uint8_t key_chars[256] = {};
    bool key_char_known[256] = {};
    // The key the next text event belongs to (0: none).
    int32_t text_key = 0;
    // Presses not yet taken, oldest first.
    KeyPress key_presses[KEY_PRESS_QUEUE] = {};
    int32_t key_press_count = 0;
};

// The input state, null before create_input_state and after destroy_input_state.
InputState* input_state();
// Creates the state (replacing an old one) and registers its teardown at the end.
InputState& create_input_state();
// stop_input and delete; the pointer becomes null.
void destroy_input_state();

// Binds input to the window: events, pointer mode, joysticks. Idempotent.
void start_input(InputState& input, uint32_t window, int capture_mouse);
// Pointer visible again, devices closed, events no longer taken.
void stop_input(InputState& input);
// Brings key_states up to date (takes pending window events).
void poll_keyboard(InputState& input);

struct MouseReading {
    int left = 0, right = 0, middle = 0;
    int dx = 0, dy = 0, wheel = 0;
};
// Buttons and this frame's motion (the same motion again until the next frame).
bool read_mouse(InputState& input, MouseReading& reading);
// Joystick `index` (0..9); a missing one reads centred and false.
bool read_joystick(InputState& input, int index, platform::JoystickReading& reading);
// Picks up joysticks plugged in or pulled since the last look.
void refresh_joysticks(InputState& input);

// Shared character-translation state.
struct CharTranslation {
    int last_typed_char = 0;
};
CharTranslation& char_translation();
// The byte a key types (8, 10 or 32 and above), 0 for none: what the layout typed at
// the key's latest press with the modifiers then held, else the key's own character.
int scan_to_char(int code);
// The same for one queued press.
int press_char(const KeyPress& press);
// The presses since the last call, oldest first (repeats included): a frame loop that
// reads them misses no key pressed and released between two of its frames.
std::vector<KeyPress> take_key_presses(InputState& input);

}  // namespace runtime
