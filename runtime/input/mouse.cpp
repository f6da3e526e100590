// Mouse commands over the input state's per-frame motion.
#include "runtime/input/mouse.h"

#include <algorithm>

#include "runtime/input/input_numbers.h"
#include "runtime/input/input_state.h"
#include "runtime/platform/input_devices.h"
#include "runtime/screen/gl_window.h"

namespace runtime {

void get_mouse_state(double& x, double& y, double& left, double& right) {
    x = y = left = right = 0.0;
    InputState* input = input_state();
    if (input == nullptr) return;
    MouseReading reading;
    read_mouse(*input, reading);
    const WindowState& window = window_state();
    input->mouse_x = std::clamp(input->mouse_x, 0, std::max(window.screen_width - 1, 0));
    input->mouse_y = std::clamp(input->mouse_y, 0, std::max(window.screen_height - 1, 0));
    x = input->mouse_x;
    y = input->mouse_y;
    left = reading.left != 0 ? 1.0 : 0.0;
    right = reading.right != 0 ? 1.0 : 0.0;
}

double mouse_axis(double n) {
    InputState* input = input_state();
    if (input == nullptr) return 0.0;
    MouseReading reading;
    if (!read_mouse(*input, reading)) return 0.0;
    switch (input_int(n)) {
    case 0: return reading.dx;
    case 1: return reading.dy;
    case 2: return reading.wheel;
    case 3: return reading.left != 0 ? 1.0 : 0.0;
    case 4: return reading.right != 0 ? 1.0 : 0.0;
    case 5: return reading.middle != 0 ? 1.0 : 0.0;
    default: return 0.0;
    }
}

void set_mouse(double x, double y) {
    InputState* input = input_state();
    if (input == nullptr) return;
    input->mouse_x = input_int(x);
    input->mouse_y = input_int(y);
}

void set_system_pointer(double show) {
    InputState* input = input_state();
    if (input == nullptr) return;
    const uint8_t wanted = show != 0.0 ? 1 : 0;
    if (wanted == input->pointer_shown) return;
    input->pointer_shown = wanted;
    // SDL's relative mode is the captured mouse; turning it off shows the pointer where
    // the program last had it.
    input->mouse_cooperation = wanted != 0 ? 6 : 5;
    input->mouse_device = wanted == 0;
    platform::set_relative_mouse_mode(wanted == 0);
    platform::show_system_cursor(wanted != 0);
    if (wanted != 0) {
        platform::warp_mouse_in_window(input->mouse_x, input->mouse_y);
        input->cursor_x = input->mouse_x;
        input->cursor_y = input->mouse_y;
    }
    input->motion_dx = input->motion_dy = 0;
}

}  // namespace runtime
