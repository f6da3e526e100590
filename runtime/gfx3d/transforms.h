// The object transform stack: 16 levels, each a base matrix and the extra matrices,
// position, rotations and scale added on it; objects are drawn under the current level.
#pragma once

namespace runtime {

// Opens the next level on the current one; at the top level it re-initialises that level.
void push_transform();
// Back to the previous level; at level 0 resets it to identity.
void pop_transform();
// Restarts the level from its base and sets its position (the scale stays).
void set_transform_position(double x, double y, double z);
// Restarts the level from its base and sets its scale (the position stays).
void set_transform_scale(double x, double y, double z);
// Adds a rotation (degrees about an axis); at most 16 per level, more are ignored.
void add_transform_rotation(double angle, double x, double y, double z);
// Adds a matrix of 16 numbers, column-major, applied before position and rotations; at
// most 16 per level, more are ignored.
void add_transform_matrix(double m0, double m1, double m2, double m3, double m4, double m5,
                          double m6, double m7, double m8, double m9, double m10, double m11,
                          double m12, double m13, double m14, double m15);

// The current level's matrix, recomputed when needed (column-major); identity without
// a scene.
const float* current_transform();
// Multiplies the OpenGL modelview by the current level's matrix.
void apply_transform();
// A point given in world space taken into the current level's space (full inverse);
// false when the matrix has no inverse.
bool point_into_transform(const float world[3], float out[3]);

}  // namespace runtime
