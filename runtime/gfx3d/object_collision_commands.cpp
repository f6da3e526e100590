// The collision commands: the shape is brought into each mesh's space through the
// inverse of the object transform (its transposed rotation, no scaling).
#include <cmath>

#include "runtime/gfx3d/object_collision.h"
#include "runtime/gfx3d/object_commands.h"
#include "runtime/gfx3d/object_scene_link.h"
#include "runtime/gfx3d/object_table.h"

namespace runtime {

namespace {

struct MeshSpace {
    float m[16];
    MeshSpace() { current_object_matrix(m); }
    // R^T v: the rotation part undone, for directions.
    Vec3 direction(const Vec3& v) const {
        return {m[0] * v.x + m[1] * v.y + m[2] * v.z, m[4] * v.x + m[5] * v.y + m[6] * v.z,
                m[8] * v.x + m[9] * v.y + m[10] * v.z};
    }
    // R^T (p - T), for points.
    Vec3 point(const Vec3& p) const { return direction(p - Vec3{m[12], m[13], m[14]}); }
};

int32_t frame_index(double frame) {
    if (!std::isfinite(frame) || frame <= -1.0 || frame >= 2147483647.0) return -1;
    return static_cast<int32_t>(frame);
}

const ObjectSlot* loaded_object(double object) {
    const ObjectSlot* slot = find_object(object);
    return slot && slot->loaded ? slot : nullptr;
}

}  // namespace

double object_sphere_collision(double object, double frame, double radius, double x, double y,
                               double z) {
    const ObjectSlot* slot = loaded_object(object);
    if (!slot) return 0;
    const MeshSpace space;
    const Vec3 centre = space.point({x, y, z});
    for (const auto& mesh : slot->meshes) {
        if (sphere_touches_frame(*mesh, frame_index(frame), centre, radius)) return 1;
    }
    return 0;
}

double object_ray_collision(double object, double frame, double x, double y, double z, double dx,
                            double dy, double dz) {
    const ObjectSlot* slot = loaded_object(object);
    if (!slot) return 0;
    const MeshSpace space;
    const Vec3 start{x, y, z};
    const Vec3 d = object_detail::normalised({dx, dy, dz});
    const Vec3 local_start = space.point(start);
    const Vec3 local_direction = space.point(start + d) - local_start;
    double best = 0;
    for (const auto& mesh : slot->meshes) {
        best = nearer_ray_result(best, ray_hits_frame(*mesh, frame_index(frame), local_start, local_direction));
    }
    return best;
}

double object_box_collision(double object, double frame, double x, double y, double z,
                            double width, double height) {
    const ObjectSlot* slot = loaded_object(object);
    if (!slot) return 0;
    const MeshSpace space;
    OrientedBox box;
    box.centre = space.point({x, y, z});
    const Vec3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const double halves[3] = {width / 2, height / 2, width / 2};
    for (int i = 0; i < 3; ++i) {
        box.directions[i] = space.point(Vec3{x, y, z} + axes[i]) - box.centre;
        box.half_lengths[i] = std::fabs(halves[i]);
    }
    for (const auto& mesh : slot->meshes) {
        if (box_touches_frame(*mesh, frame_index(frame), box)) return 1;
    }
    return 0;
}

}  // namespace runtime
