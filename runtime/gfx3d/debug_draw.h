// Debug drawing in 3D (points, lines, axes, wire spheres and boxes), camera-facing
// sprites and text in 3D.
#pragma once

#include <cstdint>

#include "runtime/core/dyn_string.h"

namespace runtime {

// A point of size 1..512 in a colour.
void draw_point_3d(double x, double y, double z, double size, double colour);
// A line of width 1..512 in a colour.
void draw_line_3d(double x1, double y1, double z1, double x2, double y2, double z2, double width,
                  double colour);
// Red, green and blue arrows for the x, y and z axes at a point.
void draw_axes(double x, double y, double z);
// A camera-facing sprite standing on the point, scale x half its picture size.
void draw_sprite_3d(double sprite, double x, double y, double z, double scale);
// Text in the current font centred on the point, facing the camera (scale != 0), or
// printed flat at the point's projection (scale 0).
void print_3d(const DynString& text, double x, double y, double z, double scale);
void print_3d(double value, double x, double y, double z, double scale);

// A wire sphere (an icosahedron subdivided twice, drawn as lines).
void draw_wire_sphere(const float centre[3], float radius, uint32_t colour, float width);
// The 12 edges of the box given by its centre and three half axes.
void draw_wire_box(const float centre[3], const float axis_a[3], const float axis_b[3],
                   const float axis_c[3], uint32_t colour, float width);

}  // namespace runtime
