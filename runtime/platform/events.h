// Window-system events as the runtime sees them. The SDL implementation translates
// its events into these; no SDL type crosses this header.
#pragma once

#include <cstdint>
#include <functional>

namespace runtime::platform {

enum class EventKind {
    QUIT_REQUEST,     // the window's close button or Alt+F4 from the window manager
    FOCUS_GAINED,     // stands for window activation
    FOCUS_LOST,       // stands for deactivation
    KEY_DOWN,
    KEY_UP,
    TEXT_INPUT,       // text produced by a key, UTF-8 in `text`
    MOUSE_MOTION,
    MOUSE_BUTTON_DOWN,
    MOUSE_BUTTON_UP,
    MOUSE_WHEEL,
    JOYSTICK_ADDED,
    JOYSTICK_REMOVED,
    WINDOW_EXPOSED,
    WINDOW_RESIZED,
};

struct Event {
    EventKind kind = EventKind::WINDOW_EXPOSED;
    // Keys: set-1 scan code (extended keys + 128), 0 when the key has no set-1 code.
    int scan_code = 0;
    // Keys: the character the current layout gives the key without modifiers (0: none).
    int layout_char = 0;
    bool repeat = false;
    bool alt_down = false;
    bool shift_down = false;
    bool ctrl_down = false;
    // Mouse: window-relative position, relative motion, button 1 left, 2 right, 3 middle.
    int x = 0, y = 0, dx = 0, dy = 0;
    int button = 0;
    // Wheel: positive away from the user.
    int wheel = 0;
    // Joystick device id for JOYSTICK_ADDED / JOYSTICK_REMOVED.
    int device = 0;
    char text[32] = {};
};

// Listeners see every event the pump takes from the window system, in order.
// Returns an id for remove_event_listener.
int add_event_listener(std::function<void(const Event&)> listener);
void remove_event_listener(int id);
// Takes every pending event and hands it to the listeners; returns the number taken.
int pump_events();
// Puts a synthetic event into the window system's queue (tests, the built-in dialogs).
bool push_event(const Event& event);

}  // namespace runtime::platform
