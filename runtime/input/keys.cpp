// Keyboard commands and the waits. The waits pump the window's events themselves, so
// they see keys, pointer and joysticks while the application's loop stands still.
#include "runtime/input/keys.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "runtime/core/lifecycle.h"
#include "runtime/input/input_numbers.h"
#include "runtime/input/input_state.h"
#include "runtime/input/key_codes.h"
#include "runtime/input/mouse.h"
#include "runtime/screen/frame.h"
#include "runtime/screen/screen_state.h"

namespace runtime {

namespace {
bool key_is_down(const InputState& input, int code) {
    return (input.key_states[code & 0xFF] & KEY_DOWN_BIT) != 0;
}

bool any_key_down(const InputState& input) {
    for (int code = 0; code < 255; ++code)
        if (key_is_down(input, code)) return true;
    return false;
}

bool any_button_down(InputState& input) {
    MouseReading reading;
    read_mouse(input, reading);
    return reading.left != 0 || reading.right != 0 || reading.middle != 0;
}

bool joystick_active(InputState& input) {
    for (int index = input.joystick_count - 1; index >= 0; --index) {
        platform::JoystickReading reading;
        if (!read_joystick(input, index, reading)) continue;
        for (uint8_t button : reading.buttons)
            if (button != 0) return true;
        for (int axis = 0; axis < 3; ++axis) {
            const double value = std::min(std::fabs(reading.axes[axis]) / 32767.0, 1.0);
            if (value > 0.1) return true;
        }
        const uint32_t pov = reading.pov[0];
        if (pov == 0 || pov == 9000 || pov == 18000 || pov == 27000) return true;
    }
    return false;
}
}  // namespace

double key_state(double code) {
    InputState* input = input_state();
    if (input == nullptr) return 0.0;
    poll_keyboard(*input);
    return key_is_down(*input, input_int(code)) ? 1.0 : 0.0;
}

int typed_byte() {
    InputState* input = input_state();
    CharTranslation& translation = char_translation();
    int ch = 0;
    if (input != nullptr) {
        poll_keyboard(*input);
        for (int code = 0; code < 255; ++code) {
            if (!key_is_down(*input, code)) continue;
            ch = scan_to_char(code);
            if (ch != 0) break;
        }
        if (ch >= 'a' && ch <= 'z' &&
            (key_is_down(*input, KEY_LEFT_SHIFT) || key_is_down(*input, KEY_RIGHT_SHIFT)))
            ch -= 32;
    }
    // A held key types once; the same character again only after a call without one.
    if (ch == translation.last_typed_char) return 0;
    translation.last_typed_char = ch;
    return ch;
}

DynString typed_char() {
    const int ch = typed_byte();
    DynString result;
    if (ch != 0) {
        const char text[2] = {static_cast<char>(ch), '\0'};
        result.assign(text);
    }
    return result;
}

double key_hit() { return typed_byte() != 0 ? 1.0 : 0.0; }

void wait_for_activity() {
    InputState* input = input_state();
    if (input == nullptr) return;
    for (int round = 0; round < ACTIVITY_ROUNDS; ++round) {
        pump_messages();
        poll_keyboard(*input);
        input->mouse_fresh = 1;
        if (screen_state().escape_ends_program &&
            (key_is_down(*input, 129) || key_is_down(*input, KEY_ESCAPE)))
            end_program();
        if (any_key_down(*input)) return;

        double x = 0, y = 0, left = 0, right = 0;
        get_mouse_state(x, y, left, right);
        const int32_t ix = input_int(x), iy = input_int(y);
        const int32_t il = input_int(left), ir = input_int(right);
        if (ix != input->activity_x || iy != input->activity_y || il != input->activity_left ||
            ir != input->activity_right) {
            input->activity_x = ix;
            input->activity_y = iy;
            input->activity_left = il;
            input->activity_right = ir;
            return;
        }
        refresh_joysticks(*input);
        if (joystick_active(*input)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(ACTIVITY_SLEEP_MS));
    }
}

void key_wait() {
    if (input_state() == nullptr) return;
    if (key_hit() == 0.0) {
        for (;;) {
            pump_messages();
            wait_for_activity();
            if (key_hit() != 0.0) break;
        }
    }
    // Returns at once while the same key is held: the wait does not wait for release.
    while (key_hit() != 0.0) {
    }
}

void mouse_wait() {
    InputState* input = input_state();
    if (input == nullptr) return;
    while (any_button_down(*input)) std::this_thread::yield();
    if (any_button_down(*input)) return;
    for (;;) {
        wait_for_activity();
        if (any_button_down(*input)) return;
    }
}

}  // namespace runtime
