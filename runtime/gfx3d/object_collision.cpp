// Sphere, ray and box tests against mesh triangles.
#include "runtime/gfx3d/object_collision.h"

#include <algorithm>
#include <cmath>

namespace runtime {

using object_detail::cross;
using object_detail::dot;
using object_detail::length_of;
using object_detail::length_sq;
using object_detail::normalised;

namespace {

constexpr double INSIDE_ANGLE_SUM = 6.2203536;  // 0.99 x 2 pi

Vec3 closest_on_segment(const Vec3& from, const Vec3& to, const Vec3& point) {
    const Vec3 d = to - from;
    const double len_sq = length_sq(d);
    if (std::sqrt(len_sq) < 1e-8) return from;
    const double t = dot(point - from, d) / len_sq;
    if (t < 0) return from;
    if (t > 1) return to;
    return from + d * t;
}

// Calls test(a, b, c) for each triangle of the frame until it returns true.
template <class Test>
bool any_triangle(const MeshObjectX& mesh, const MeshFrame& frame, Test test) {
    const std::vector<uint32_t>& t = mesh.triangles;
    const size_t n = frame.vertices.size();
    const size_t held = std::min(frame.triangle_indices, t.size());
    for (size_t i = 0; i + 2 < held; i += 3) {
        if (t[i] >= n || t[i + 1] >= n || t[i + 2] >= n) continue;
        if (test(Vec3::of(frame.vertices[t[i]].position), Vec3::of(frame.vertices[t[i + 1]].position),
                 Vec3::of(frame.vertices[t[i + 2]].position))) {
            return true;
        }
    }
    return false;
}

const MeshFrame* testable_frame(const MeshObjectX& mesh, int32_t frame) {
    if (frame < 0 || static_cast<size_t>(frame) >= mesh.frames.size()) return nullptr;
    const MeshFrame& f = mesh.frames[static_cast<size_t>(frame)];
    return f.vertices.size() < 3 ? nullptr : &f;
}

}  // namespace

bool sphere_touches_triangle(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& centre,
                             double radius) {
    const Vec3 n = normalised(cross(c - a, b - a));
    const double s = dot(n, centre) - dot(n, a);
    if (std::fabs(s) >= radius) return false;
    const Vec3 p = centre - n * s;
    const Vec3 corners[3] = {a, b, c};
    double angle_sum = 0;
    for (int i = 0; i < 3; ++i) {
        const Vec3 u = corners[i] - p, v = corners[(i + 1) % 3] - p;
        const double lengths = length_of(u) * length_of(v);
        // Rounding can push the cosine just past +-1, where acos has no value.
        if (lengths > 1e-8) angle_sum += std::acos(std::clamp(dot(u, v) / lengths, -1.0, 1.0));
    }
    if (angle_sum >= INSIDE_ANGLE_SUM) return true;
    for (int i = 0; i < 3; ++i) {
        const Vec3 q = closest_on_segment(corners[i], corners[(i + 1) % 3], centre);
        if (radius > std::sqrt(length_sq(centre - q))) return true;
    }
    return false;
}

double ray_hits_triangle(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& start,
                         const Vec3& direction) {
    const Vec3 u = b - a, w = c - a, n = cross(u, w);
    if (n.x == 0 && n.y == 0 && n.z == 0) return 0;
    const double facing = dot(n, direction);
    if (facing == 0) return 0;
    const double k = -dot(n, start - a) / facing;
    const Vec3 p = start + direction * k - a;
    const double uu = dot(u, u), ww = dot(w, w), uw = dot(u, w), up = dot(u, p), wp = dot(w, p);
    const double den = uw * uw - uu * ww;
    const double beta = (uw * wp - ww * up) / den;
    const double gamma = (uw * up - uu * wp) / den;
    if (beta < 0 || beta > 1) return 0;
    return gamma >= 0 && beta + gamma <= 1 ? k : 0;
}

bool box_overlaps_triangle(const Vec3& a, const Vec3& b, const Vec3& c, const OrientedBox& box) {
    const Vec3 v[3] = {a - box.centre, b - box.centre, c - box.centre};
    const Vec3 edges[3] = {v[1] - v[0], v[2] - v[1], v[0] - v[2]};
    const Vec3* d = box.directions;
    // Separated along the axis when the triangle's span misses the box's span.
    const auto separated = [&](const Vec3& axis, double scale_sq) {
        if (length_sq(axis) <= 1e-12 * scale_sq) return false;  // no usable direction
        const double p0 = dot(v[0], axis), p1 = dot(v[1], axis), p2 = dot(v[2], axis);
        double r = 0;
        for (int i = 0; i < 3; ++i) r += box.half_lengths[i] * std::fabs(dot(d[i], axis));
        return std::min({p0, p1, p2}) > r || std::max({p0, p1, p2}) < -r;
    };
    for (int i = 0; i < 3; ++i) {
        const Vec3& e = d[(i + 1) % 3];
        const Vec3& f = d[(i + 2) % 3];
        if (separated(cross(e, f), length_sq(e) * length_sq(f))) return false;
    }
    if (separated(cross(edges[0], edges[1]), length_sq(edges[0]) * length_sq(edges[1]))) return false;
    for (const Vec3& box_edge : box.directions) {
        for (const Vec3& e : edges) {
            if (separated(cross(box_edge, e), length_sq(box_edge) * length_sq(e))) return false;
        }
    }
    return true;
}

bool sphere_touches_frame(const MeshObjectX& mesh, int32_t frame, const Vec3& centre, double radius) {
    const MeshFrame* f = testable_frame(mesh, frame);
    if (!f) return false;
    const double reach = radius + f->bound_radius;
    if (reach * reach < length_sq(centre - Vec3::of(f->bound_centre))) return false;
    // Quick acceptance at a corner of the first triangle: a drawn vertex, never a separator.
    if (f->triangle_indices < 3 || mesh.triangles.size() < 3) return false;
    const uint32_t first = mesh.triangles[0];
    if (first < f->vertices.size() &&
        radius * radius >= length_sq(centre - Vec3::of(f->vertices[first].position))) {
        return true;
    }
    return any_triangle(mesh, *f, [&](const Vec3& a, const Vec3& b, const Vec3& c) {
        return sphere_touches_triangle(a, b, c, centre, radius);
    });
}

double nearer_ray_result(double best, double candidate) {
    if (candidate > 0) return best > 0 ? std::min(best, candidate) : candidate;
    if (candidate < 0 && best <= 0) return best < 0 ? std::max(best, candidate) : candidate;
    return best;
}

double ray_hits_frame(const MeshObjectX& mesh, int32_t frame, const Vec3& start, const Vec3& direction) {
    const MeshFrame* f = testable_frame(mesh, frame);
    if (!f) return 0;
    double best = 0;
    any_triangle(mesh, *f, [&](const Vec3& a, const Vec3& b, const Vec3& c) {
        best = nearer_ray_result(best, ray_hits_triangle(a, b, c, start, direction));
        return false;
    });
    return best;
}

bool box_touches_frame(const MeshObjectX& mesh, int32_t frame, const OrientedBox& box) {
    const MeshFrame* f = testable_frame(mesh, frame);
    if (!f) return false;
    return any_triangle(mesh, *f, [&](const Vec3& a, const Vec3& b, const Vec3& c) {
        return box_overlaps_triangle(a, b, c, box);
    });
}

}  // namespace runtime
