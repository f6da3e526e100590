// The 3D object commands: loading (.ddd binary and text, world files), building by
// program, saving, drawing with frame blending, and collisions with spheres, rays and
// boxes. Object numbers outside 0..65535 are an error stop 9; every other failure is
// reported by the result.
#pragma once

#include "runtime/core/dyn_string.h"

namespace runtime {

// Frees the object and loads a .ddd file (binary or text) or a world file; 1 or 0.
double load_object(const DynString& file_name, double object);
// Writes the object's mesh as a binary .ddd file; 1, or 0 (empty or world object,
// file not writable). A failed write leaves no file behind.
double save_object(double object, const DynString& file_name);

// Frees the object, gives it one empty mesh and makes it the object being built.
void start_object(double object);
// Appends a vertex to the object being built (nothing when none is).
void add_object_vertex(double x, double y, double z, double u, double v, double colour);
// Appends a marker after which the vertices form a triangle strip.
void new_object_strip();
// Finishes the object being built; fewer than 3 vertices leave it empty.
void end_object();
// Normals of finished objects: mode mod 3, 0 flat, 1 smooth, 2 smooth within 60 degrees.
void set_object_smoothing(double mode);

// Binds and remembers the sprite pair objects are drawn with (-1: none).
void set_object_texture(double sprite, double second_sprite);
// Later object texture bindings use the sprites' mipmapped textures (flag != 0).
void set_texture_mipmapping(double flag);
// Draws the object between frames from and to at interpolation t; with the flag on,
// t runs along the frames from..to and repeats outside 0..1.
void draw_object(double object, double frame_from, double frame_to, double t, double flag);
// Draws one frame.
void draw_object_frame(double object, double frame);

// 1 when the sphere touches the object's triangles in that frame, else 0.
double object_sphere_collision(double object, double frame, double radius, double x, double y,
                               double z);
// 1 when the box centred at (x, y, z), width x height x width, overlaps the object.
double object_box_collision(double object, double frame, double x, double y, double z,
                            double width, double height);
// Signed distance along the ray to the nearest hit in front (else the nearest behind,
// negative); 0 when nothing is hit.
double object_ray_collision(double object, double frame, double x, double y, double z, double dx,
                            double dy, double dz);

// Forgets the remembered object texture pair (the scene's start_3d calls this).
void reset_object_texture();

}  // namespace runtime
