// The input state on the platform's event pump: every key, pointer and joystick event
// the pump takes updates the record, so live and synthetic input read alike.
#include "runtime/input/input_state.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "runtime/core/error_log.h"
#include "runtime/core/lifecycle.h"
#include "runtime/core/owned_slot.h"
#include "runtime/input/key_codes.h"
#include "runtime/platform/events.h"
#include "runtime/platform/keyboard.h"
#include "runtime/screen/frame.h"
#include "runtime/screen/screen_state.h"

namespace runtime {

namespace {
OwnedSlot<InputState>& input_slot() {
    static OwnedSlot<InputState> slot;
    return slot;
}

int16_t clamp16(int32_t v) {
    return static_cast<int16_t>(std::clamp(v, -32768, 32767));
}

// The first character of UTF-8 text as a Latin-1 byte; 0 beyond Latin-1 or when damaged.
int latin1_of(const char* text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    if (s[0] < 0x80) return s[0];
    // Two-byte forms of 128..255 are C2 or C3 followed by a continuation byte.
    if ((s[0] == 0xC2 || s[0] == 0xC3) && (s[1] & 0xC0) == 0x80) return ((s[0] & 0x1F) << 6) | (s[1] & 0x3F);
    return 0;
}

void queue_press(InputState& input, int code) {
    if (input.key_press_count == KEY_PRESS_QUEUE) {
        std::memmove(input.key_presses, input.key_presses + 1, sizeof(KeyPress) * (KEY_PRESS_QUEUE - 1));
        --input.key_press_count;
    }
    input.key_presses[input.key_press_count++] = KeyPress{code, 0, false};
}

// The layout's text for a key press follows the press: it belongs to that key.
void take_text(InputState& input, const char* text) {
    const int code = input.text_key;
    input.text_key = 0;
    if (code == 0 || text[0] == 0) return;
    const int typed = latin1_of(text);
    input.key_chars[code] = static_cast<uint8_t>(typed);
    input.key_char_known[code] = true;
    if (input.key_press_count > 0) {
        KeyPress& last = input.key_presses[input.key_press_count - 1];
        if (last.scan_code == code && !last.typed_known) {
            last.typed = typed;
            last.typed_known = true;
        }
    }
}

void take_event(InputState& input, const platform::Event& event) {
    using platform::EventKind;
    switch (event.kind) {
    case EventKind::KEY_DOWN:
    case EventKind::KEY_UP:
        if (event.scan_code > 0 && event.scan_code < 256) {
            input.key_states[event.scan_code] =
                event.kind == EventKind::KEY_DOWN ? KEY_DOWN_BIT : 0;
            if (event.kind == EventKind::KEY_DOWN) {
                input.key_char_known[event.scan_code] = false;
                input.text_key = event.scan_code;
                queue_press(input, event.scan_code);
            }
        }
        break;
    case EventKind::TEXT_INPUT:
        take_text(input, event.text);
        break;
    case EventKind::FOCUS_LOST:
        // Releases that happen elsewhere never reach us: forget what was held.
        std::memset(input.key_states, 0, sizeof input.key_states);
        std::memset(input.mouse_buttons, 0, sizeof input.mouse_buttons);
        break;
    case EventKind::MOUSE_MOTION:
        input.cursor_x = event.x;
        input.cursor_y = event.y;
        input.motion_dx += event.dx;
        input.motion_dy += event.dy;
        break;
    case EventKind::MOUSE_BUTTON_DOWN:
    case EventKind::MOUSE_BUTTON_UP:
        if (event.button >= 1 && event.button <= 3)
            input.mouse_buttons[event.button - 1] =
                event.kind == EventKind::MOUSE_BUTTON_DOWN ? 1 : 0;
        input.cursor_x = event.x;
        input.cursor_y = event.y;
        break;
    case EventKind::MOUSE_WHEEL:
        input.wheel_sum += event.wheel;
        break;
    case EventKind::JOYSTICK_ADDED:
    case EventKind::JOYSTICK_REMOVED:
        input.joysticks_changed = true;
        break;
    default:
        break;
    }
}

bool holds_joystick(const InputState& input, int id) {
    for (int i = 0; i < input.joystick_count; ++i)
        if (input.joystick_devices[i] == id) return true;
    return false;
}

void close_all_joysticks(InputState& input) {
    for (int i = 0; i < input.joystick_count; ++i) platform::close_joystick(input.joystick_devices[i]);
    std::fill(std::begin(input.joystick_devices), std::end(input.joystick_devices), -1);
    std::memset(input.joystick_names, 0, sizeof input.joystick_names);
    input.joystick_count = 0;
}
}  // namespace

InputState* input_state() { return input_slot().get(); }

InputState& create_input_state() {
    destroy_input_state();
    return input_slot().create(ShutdownStep::INPUT, destroy_input_state);
}

void destroy_input_state() {
    input_slot().destroy([](InputState& input) { stop_input(input); });
}

void start_input(InputState& input, uint32_t window, int capture_mouse) {
    if (input.started) return;
    input.started = true;
    input.window = window;
    int x = 0, y = 0;
    unsigned buttons = 0;
    platform::query_mouse(x, y, buttons);
    input.mouse_x = input.cursor_x = x;
    input.mouse_y = input.cursor_y = y;

    // The event-fed keyboard is the device: the key table is the identity.
    input.keyboard_device = true;
    for (int i = 0; i < 256; ++i) input.fallback_keys[i] = static_cast<uint16_t>(i);
    input.event_listener = platform::add_event_listener(
        [&input](const platform::Event& event) { take_event(input, event); });
    input.frame_hook = add_frame_hook([&input] {
        poll_keyboard(input);
        input.mouse_fresh = 1;
    });
    // A display-mode change makes a new window; the state follows it.
    input.window_listener = screen_hooks().window_changed.add([](uint32_t new_window) {
        if (InputState* state = input_state()) state->window = new_window;
    });
    screen_hooks().key_down = [](int code) {
        const InputState* state = input_state();
        return state != nullptr && (state->key_states[code & 0xFF] & KEY_DOWN_BIT) != 0;
    };

    input.pointer_shown = 0;
    if (capture_mouse != 0) {
        input.mouse_device = true;
        input.mouse_cooperation = 5;
        platform::show_system_cursor(false);
        if (!platform::set_relative_mouse_mode(true)) append_error_log("No DX_Mouse");
    } else {
        input.pointer_shown = 1;
    }

    input.joysticks_started = platform::start_joysticks();
    input.joysticks_changed = true;
    refresh_joysticks(input);
}

void stop_input(InputState& input) {
    if (!input.started) return;
    if (input.pointer_shown == 0) {
        platform::set_relative_mouse_mode(false);
        platform::show_system_cursor(true);
        input.pointer_shown = 1;
    }
    input.mouse_device = false;
    close_all_joysticks(input);
    if (input.joysticks_started) platform::stop_joysticks();
    input.joysticks_started = false;
    platform::remove_event_listener(input.event_listener);
    remove_frame_hook(input.frame_hook);
    screen_hooks().window_changed.remove(input.window_listener);
    input.window_listener = 0;
    input.event_listener = 0;
    input.frame_hook = 0;
    screen_hooks().key_down = nullptr;
    input.started = false;
}

void poll_keyboard(InputState& input) {
    (void)input;
    // The key states follow the events; taking the pending ones makes them current.
    pump_messages();
}

bool read_mouse(InputState& input, MouseReading& reading) {
    reading = MouseReading{};
    pump_messages();
    if (input.mouse_fresh != 0) {
        input.mouse_fresh = 0;
        int32_t dx = 0, dy = 0;
        if (input.pointer_shown != 0) {
            dx = input.cursor_x - input.mouse_x;
            dy = input.cursor_y - input.mouse_y;
            input.mouse_x = input.cursor_x;
            input.mouse_y = input.cursor_y;
        } else {
            dx = input.motion_dx;
            dy = input.motion_dy;
            input.mouse_x += dx;
            input.mouse_y += dy;
        }
        input.motion_dx = input.motion_dy = 0;
        input.last_mouse_dx = clamp16(dx);
        input.last_mouse_dy = clamp16(dy);
        input.last_wheel = static_cast<int16_t>((input.wheel_sum > 0) - (input.wheel_sum < 0));
        input.wheel_sum = 0;
    }
    reading.dx = input.last_mouse_dx;
    reading.dy = input.last_mouse_dy;
    reading.wheel = input.last_wheel;
    reading.left = input.mouse_buttons[0];
    reading.right = input.mouse_buttons[1];
    reading.middle = input.mouse_buttons[2];
    return true;
}

void refresh_joysticks(InputState& input) {
    if (!input.joysticks_started) return;
    const int attached = platform::joystick_device_count();
    if (!input.joysticks_changed && attached == input.joystick_count) return;
    input.joysticks_changed = false;
    // Drop the ones pulled out, keeping the order of the rest.
    int kept = 0;
    for (int i = 0; i < input.joystick_count; ++i) {
        const int id = input.joystick_devices[i];
        if (!platform::joystick_attached(id)) {
            platform::close_joystick(id);
            continue;
        }
        if (kept != i) {
            input.joystick_devices[kept] = id;
            std::memcpy(input.joystick_names[kept], input.joystick_names[i], JOYSTICK_NAME_BYTES);
        }
        ++kept;
    }
    for (int i = kept; i < MAX_JOYSTICKS; ++i) {
        input.joystick_devices[i] = -1;
        std::memset(input.joystick_names[i], 0, JOYSTICK_NAME_BYTES);
    }
    input.joystick_count = kept;
    // Then the new ones, in the system's order, up to ten.
    for (int index = 0; index < attached && input.joystick_count < MAX_JOYSTICKS; ++index) {
        const int id = platform::joystick_id_at(index);
        if (id < 0 || holds_joystick(input, id)) continue;
        std::string name;
        const int opened = platform::open_joystick(index, name);
        if (opened < 0) continue;
        const int slot = input.joystick_count++;
        input.joystick_devices[slot] = opened;
        // Names longer than the table's entries are cut, always terminated.
        std::strncpy(input.joystick_names[slot], name.c_str(), JOYSTICK_NAME_BYTES - 1);
        input.joystick_names[slot][JOYSTICK_NAME_BYTES - 1] = '\0';
    }
}

bool read_joystick(InputState& input, int index, platform::JoystickReading& reading) {
    reading = platform::JoystickReading{};
    refresh_joysticks(input);
    if (index < 0 || index >= input.joystick_count) return false;
    return platform::read_joystick_state(input.joystick_devices[index], reading);
}

CharTranslation& char_translation() {
    static CharTranslation state;
    return state;
}

namespace {

// The byte a key types: fixed for Backspace, the Return keys and the modifiers, else
// `text_char` when the layout's text for the press is known, else the key's own
// character; kept only when 8, 10 or 32 and above.
int translate_key(int code, bool text_known, int text_char) {
    int ch = 0;
    switch (code) {
        case KEY_BACKSPACE:
            ch = 8;
            break;
        case KEY_RETURN:
        case KEY_PAD_ENTER:
            ch = 10;
            break;
        case KEY_LEFT_CONTROL:
        case KEY_LEFT_SHIFT:
        case KEY_RIGHT_SHIFT:
        case KEY_LEFT_ALT:
        case KEY_CAPS_LOCK:
        case KEY_NUM_LOCK:
        case KEY_APPLICATIONS:
            ch = 0;
            break;
        default:
            ch = text_known ? text_char : platform::layout_char_from_set1(code);
            break;
    }
    if (ch == 8 || ch == 10 || ch >= 32) return ch & 0xFF;
    return 0;
}

}  // namespace

int scan_to_char(int code) {
    code &= 0xFF;
    const InputState* input = input_state();
    return input ? translate_key(code, input->key_char_known[code], input->key_chars[code])
                 : translate_key(code, false, 0);
}

int press_char(const KeyPress& press) {
    return translate_key(press.scan_code & 0xFF, press.typed_known, press.typed);
}

std::vector<KeyPress> take_key_presses(InputState& input) {
    poll_keyboard(input);
    std::vector<KeyPress> presses(input.key_presses, input.key_presses + input.key_press_count);
    input.key_press_count = 0;
    return presses;
}

}  // namespace runtime
