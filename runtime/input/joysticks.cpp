// Joystick commands over read_joystick's DirectInput-shaped readings.
#include "runtime/input/joysticks.h"

#include <algorithm>
#include <cmath>

#include "runtime/input/input_numbers.h"
#include "runtime/input/input_state.h"

namespace runtime {

namespace {
platform::JoystickReading reading_of(double index) {
    platform::JoystickReading reading;
    InputState* input = input_state();
    if (input != nullptr) read_joystick(*input, input_int(index), reading);
    return reading;
}

double axis_value(double index, int axis) {
    const double value = reading_of(index).axes[axis] / 32767.0;
    return std::clamp(value, -1.0, 1.0);
}
}  // namespace

double joystick_count() {
    InputState* input = input_state();
    if (input == nullptr) return 0.0;
    refresh_joysticks(*input);
    return input->joystick_count;
}

DynString joystick_name(double index) {
    InputState* input = input_state();
    DynString name;
    if (input == nullptr) return name;
    refresh_joysticks(*input);
    const int i = input_int(index);
    if (i >= 0 && i < MAX_JOYSTICKS) name.assign(input->joystick_names[i]);
    return name;
}

double joystick_x(double index) { return axis_value(index, 0); }
double joystick_y(double index) { return axis_value(index, 1); }
double joystick_z(double index) { return axis_value(index, 2); }
double joystick_rx(double index) { return axis_value(index, 3); }
double joystick_ry(double index) { return axis_value(index, 4); }
double joystick_rz(double index) { return axis_value(index, 5); }

double joystick_pov_x(double index) {
    const uint32_t pov = reading_of(index).pov[0];
    if (pov == 9000) return 1.0;
    if (pov == 27000) return -1.0;
    return 0.0;
}

double joystick_pov_y(double index) {
    const uint32_t pov = reading_of(index).pov[0];
    if (pov == 0) return -1.0;
    if (pov == 18000) return 1.0;
    return 0.0;
}

void joystick_state(double& x, double& y, double& button1, double& button2) {
    const platform::JoystickReading reading = reading_of(0);
    x = std::trunc(reading.axes[0] / 30000.0);
    y = std::trunc(reading.axes[1] / 30000.0);
    button1 = reading.buttons[0];
    button2 = reading.buttons[1];
}

void joystick_rumble(double index, double duration_ms, double x, double y) {
    InputState* input = input_state();
    if (input == nullptr) return;
    refresh_joysticks(*input);
    const int i = input_int(index);
    if (i < 0 || i >= input->joystick_count) return;
    const double cx = std::clamp(x, -1.0, 1.0);
    const double cy = std::clamp(y, -1.0, 1.0);
    // Magnitude of the constant force on its 0..10000 scale, as motor strength.
    const double magnitude = std::min((cx * cx + cy * cy) * 10000.0 * 0.5, 10000.0);
    const auto strength = static_cast<uint16_t>(magnitude / 10000.0 * 65535.0);
    const int32_t ms = std::max(input_int(duration_ms), 0);
    platform::rumble_joystick(input->joystick_devices[i], strength, strength,
                              static_cast<uint32_t>(ms));
}

}  // namespace runtime
