// Entering 3D mode, the camera, culling, fog, the frustum, and points between world
// and screen. Without a scene every command does nothing and returns 0.
#pragma once

namespace runtime {

// Clears the depth buffer, ends a shadow pass and sets viewport, projection (perspective,
// or an orthographic box for a field of view <= 0) and the 3D state; lights, shadow
// light and culling off, no texture, transform stack back to an identity level 0.
void start_3d(double near_plane, double far_plane, double field_of_view);
// Places the camera looking from the eye at the target and recomputes the frustum planes.
void set_camera(double eye_x, double eye_y, double eye_z, double target_x, double target_y,
                double target_z);
// The up vector the next set_camera uses.
void set_camera_up(double x, double y, double z);
// > 0: front faces clockwise, culling on; < 0: counter-clockwise, culling on; 0: off.
void set_culling(double value);
// Colour -1 turns fog off; exponential: density a; linear: start a, end b (both 0: the
// near and far planes).
void set_fog(double colour, double exponential, double a, double b);

// Screen point (top-left origin) and depth 0..1 of a world point under the current
// matrices and viewport; 1, or 0 when it projects to w = 0.
double project_point(double x, double y, double z, double& screen_x, double& screen_y,
                     double& depth);
// World point of a screen point and depth; 1, or 0 when P x M has no inverse (its
// determinant below 1e-12 of the matrix's scale) or the point maps to w = 0.
double unproject_point(double screen_x, double screen_y, double depth, double& x, double& y,
                       double& z);

// False when the sphere lies wholly outside one of the camera's six frustum planes.
bool sphere_in_frustum(float x, float y, float z, float radius);

}  // namespace runtime
