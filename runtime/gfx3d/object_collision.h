// Geometry of the object collision commands: a sphere, a ray and an oriented box
// against triangles, one triangle at a time and over one frame of a mesh. Points and
// directions are in the mesh's own space.
#pragma once

#include <cstdint>

#include "runtime/gfx3d/object_mesh.h"
#include "runtime/gfx3d/object_vector.h"

namespace runtime {

using object_detail::Vec3;

// An oriented box: centre, three edge directions and the half length along each. The
// directions need not be unit length; a zero half length gives a flat box.
struct OrientedBox {
    Vec3 centre;
    Vec3 directions[3];
    double half_lengths[3] = {0, 0, 0};
};

// Whether the sphere reaches the triangle: through its face (angle sum) or an edge.
bool sphere_touches_triangle(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& centre,
                             double radius);
// The ray parameter k of the hit with triangle (a, b, c), or 0 when there is none.
double ray_hits_triangle(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& start,
                         const Vec3& direction);
// Separating-axis test over 13 axes: the box's three face normals, the triangle's
// normal and the nine products of a box edge with a triangle edge. Touching overlaps.
bool box_overlaps_triangle(const Vec3& a, const Vec3& b, const Vec3& c, const OrientedBox& box);

// The same over the triangles of one frame of a mesh; a frame that does not exist or
// has fewer than 3 vertices is never touched (0 for the ray).
bool sphere_touches_frame(const MeshObjectX& mesh, int32_t frame, const Vec3& centre, double radius);
double ray_hits_frame(const MeshObjectX& mesh, int32_t frame, const Vec3& start, const Vec3& direction);
bool box_touches_frame(const MeshObjectX& mesh, int32_t frame, const OrientedBox& box);

// Keeps the better of two ray results: the smallest positive, else the negative
// nearest to 0, else 0.
double nearer_ray_result(double best, double candidate);

}  // namespace runtime
