// The eight OpenGL lights and the shadow-casting light.
#pragma once

namespace runtime {

// Light n >= 0 (OpenGL light n mod 8): cutoff 0 switches it off (lighting off with the
// last one); position and direction all 0: along the view axis; cutoff 180: directional
// along the direction; <= 90: spot; else a point light. Light < 0 defines the shadow
// light: -1 mode 1, -3 mode 3 and the shadow pass on (cutoff != 0) or off, others mode 2.
void set_light(double light, double colour, double x, double y, double z, double dx, double dy,
               double dz, double cutoff);
// set_light from the camera position towards the origin, directional, no marker.
void set_camera_light(double light, double colour);
// Nonzero: set_light marks positions (and spot directions) with a point and a line.
void show_light_markers(double flag);

}  // namespace runtime
