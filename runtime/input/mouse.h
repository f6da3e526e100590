// Mouse commands: position with its clamp, motion axes, pointer visibility.
#pragma once

namespace runtime {

// Position clamped to the screen (and stored clamped), left and right button as 1/0.
void get_mouse_state(double& x, double& y, double& left, double& right);
// n: 0 dx, 1 dy, 2 wheel sign, 3 left, 4 right, 5 middle; 0 for other n.
double mouse_axis(double n);
// Sets the stored position (the system pointer stays where it is).
void set_mouse(double x, double y);
// Nonzero: pointer shown and shared with the system; 0: captured (relative motion).
void set_system_pointer(double show);

}  // namespace runtime
