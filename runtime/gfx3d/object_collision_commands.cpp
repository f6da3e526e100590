// The collision commands: the shape is brought into each mesh's space through the
// inverse of the object transform (its transposed rotation, no scaling).
#include <cmath>

#include "runtime/gfx3d/debug_draw.h"
#include "runtime/gfx3d/object_collision.h"
#include "runtime/gfx3d/object_commands.h"
#include "runtime/gfx3d/object_table.h"
#include "runtime/gfx3d/transforms.h"

namespace runtime {

namespace {

struct MeshSpace {
    const float* m = current_transform();
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

bool showing_shapes() {
    const ObjectTable* table = object_table();
    return table && table->show_collision_shapes;
}
constexpr uint32_t MISS_COLOUR = 0x00FF00, HIT_COLOUR = 0x0000FF;
float width_for(bool hit) { return hit ? 5.0f : 1.0f; }

}  // namespace

double object_sphere_collision(double object, double frame, double radius, double x, double y,
                               double z) {
    const ObjectSlot* slot = loaded_object(object);
    if (!slot) return 0;
    const MeshSpace space;
    const Vec3 centre = space.point({x, y, z});
    bool hit = false;
    for (const auto& mesh : slot->meshes) {
        if ((hit = sphere_touches_frame(*mesh, frame_index(frame), centre, radius))) break;
    }
    if (showing_shapes()) {
        const float world_centre[3] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
        draw_wire_sphere(world_centre, static_cast<float>(radius), hit ? HIT_COLOUR : MISS_COLOUR, width_for(hit));
    }
    return hit ? 1 : 0;
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
    if (showing_shapes()) {
        // Up to the hit, or a long way when nothing is hit.
        const Vec3 end = start + d * (best != 0 ? best : 1000.0);
        const bool hit = best != 0;
        draw_line_3d(x, y, z, end.x, end.y, end.z, width_for(hit), hit ? HIT_COLOUR : MISS_COLOUR);
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
    bool hit = false;
    for (const auto& mesh : slot->meshes) {
        if ((hit = box_touches_frame(*mesh, frame_index(frame), box))) break;
    }
    if (showing_shapes()) {
        const float c[3] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
        const float w = static_cast<float>(width / 2), h = static_cast<float>(height / 2);
        const float a[3] = {w, 0, 0}, b[3] = {0, h, 0}, e[3] = {0, 0, w};
        draw_wire_box(c, a, b, e, hit ? HIT_COLOUR : MISS_COLOUR, width_for(hit));
    }
    return hit ? 1 : 0;
}

}  // namespace runtime
