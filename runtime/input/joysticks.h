// Joystick commands: count, names, axes, POV, buttons and rumble of up to ten joysticks.
#pragma once

#include "runtime/core/dyn_string.h"

namespace runtime {

// Joysticks found (plugged-in ones are picked up while running).
double joystick_count();
// "instance name, product name"; "" for an index without a joystick.
DynString joystick_name(double index);
// Axis value / 32767, clamped to -1..1; 0 without a joystick.
double joystick_x(double index);
double joystick_y(double index);
double joystick_z(double index);
double joystick_rx(double index);
double joystick_ry(double index);
double joystick_rz(double index);
// First POV: 1 right, -1 left, else 0.
double joystick_pov_x(double index);
// First POV: -1 up, 1 down, else 0.
double joystick_pov_y(double index);
// Joystick 0: X and Y truncated from value / 30000, raw bytes of buttons 1 and 2.
void joystick_state(double& x, double& y, double& button1, double& button2);
// A constant force along (x, y), each clamped to -1..1, for duration_ms; nothing when
// the joystick cannot rumble.
void joystick_rumble(double index, double duration_ms, double x, double y);

}  // namespace runtime
