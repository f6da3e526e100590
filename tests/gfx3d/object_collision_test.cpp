// Sphere, ray and oriented-box tests against triangles and mesh frames.
#include "runtime/gfx3d/object_collision.h"

#include <gtest/gtest.h>

#include <cmath>

#include "runtime/gfx3d/object_packing.h"

namespace runtime {
namespace {

// An equilateral triangle with sides of 10 in the plane z = 0, centroid at the origin.
const double H = 10 * std::sqrt(3.0) / 2;
const Vec3 A{-5, -H / 3, 0}, B{5, -H / 3, 0}, C{0, 2 * H / 3, 0};

TEST(SphereCollision, FaceAndEdgeCases) {
    const struct {
        const char* what;
        Vec3 centre;
        double radius;
        bool touches;
    } cases[] = {
        {"0.5 above the centroid", {0, 0, 0.5}, 1, true},
        {"1 above: the distance equals the radius", {0, 0, 1}, 1, false},
        {"0.5 below", {0, 0, -0.5}, 1, true},
        {"in the plane, 0.5 outside the middle of an edge", {0, -H / 3 - 0.5, 0}, 1, true},
        {"in the plane, 1.5 outside the middle of an edge", {0, -H / 3 - 1.5, 0}, 1, false},
        {"above and beyond a corner", {5.3, -H / 3 - 0.3, 0.3}, 0.6, true},
        {"beside the plane, beyond a corner", {6, -H / 3, 0.5}, 0.9, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sphere_touches_triangle(A, B, C, c.centre, c.radius), c.touches) << c.what;
    }
}

TEST(RayCollision, SignedDistanceToTheTriangle) {
    const Vec3 forward{0, 0, 1};
    EXPECT_DOUBLE_EQ(ray_hits_triangle(A, B, C, {0, 0, -5}, forward), 5);
    EXPECT_DOUBLE_EQ(ray_hits_triangle(A, B, C, {0, 0, 5}, forward), -5);
    EXPECT_EQ(ray_hits_triangle(A, B, C, {0, 0, 5}, {1, 0, 0}), 0);     // parallel
    EXPECT_EQ(ray_hits_triangle(A, B, C, {0, 0, 0}, forward), 0);       // at the start
    EXPECT_EQ(ray_hits_triangle(A, B, C, {6, 0, -5}, forward), 0);      // beside it
    EXPECT_EQ(ray_hits_triangle(A, B, A, {0, 0, -5}, forward), 0);      // no area
    // Combining: the nearest hit in front, else the nearest behind.
    const struct {
        double best, candidate, result;
    } picks[] = {{0, 5, 5}, {5, 3, 3}, {3, 5, 3}, {-2, 5, 5}, {5, -2, 5}, {-4, -2, -2}, {-2, -4, -2}, {0, -4, -4}, {3, 0, 3}};
    for (const auto& p : picks) EXPECT_EQ(nearer_ray_result(p.best, p.candidate), p.result) << p.best << " " << p.candidate;
}

OrientedBox box_at(Vec3 centre, double half, double turn_degrees = 0) {
    const double r = turn_degrees * M_PI / 180;
    OrientedBox box;
    box.centre = centre;
    box.directions[0] = {std::cos(r), std::sin(r), 0};
    box.directions[1] = {-std::sin(r), std::cos(r), 0};
    box.directions[2] = {0, 0, 1};
    for (double& h : box.half_lengths) h = half;
    return box;
}

TEST(BoxCollision, SeparatingAxes) {
    // A triangle across the corner region of a unit box at the origin.
    const Vec3 p{1.2, 0.2, 0}, q{0.2, 1.2, 0}, r{1.2, 1.2, 0};
    const struct {
        const char* what;
        OrientedBox box;
        Vec3 a, b, c;
        bool overlaps;
    } cases[] = {
        {"triangle through the box", box_at({0, 0, 0}, 1), A, B, C, true},
        {"triangle well above", box_at({0, 0, 3}, 1), A, B, C, false},
        {"touching the plane", box_at({0, 0, 1}, 1), A, B, C, true},
        {"corner cut by a triangle edge", box_at({0, 0, 0}, 1), p, q, r, true},
        {"corner just missed: only an edge axis separates", box_at({0, 0, 0}, 0.65), {1.3, 0.1, 0.2},
         {0.1, 1.3, -0.2}, {1.3, 1.3, 0}, false},
        {"turned 45 degrees away from the triangle", box_at({0, 0, 0}, 0.8, 45), p, q, r, false},
        {"turned 45 degrees into a thin triangle", box_at({0, 0, 0}, 0.5, 45), {0.7, -0.1, 0}, {0.7, 0.1, 0},
         {2, 0, 0}, true},
        {"flat box under a triangle", [] {
             OrientedBox b = box_at({0, 0, -0.1}, 3);
             b.half_lengths[2] = 0;
             return b;
         }(), A, B, C, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(box_overlaps_triangle(c.a, c.b, c.c, c.box), c.overlaps) << c.what;
    }
}

// A mesh of one frame from free positions.
MeshObjectX mesh_of(const std::vector<Vec3>& corners) {
    MeshObjectX mesh;
    std::vector<MeshVertex> vertices(corners.size());
    for (size_t i = 0; i < corners.size(); ++i) object_detail::store(corners[i], vertices[i].position);
    pack_frame(mesh, vertices);
    mesh.build();
    return mesh;
}

TEST(FrameCollision, FramesAndBoundsGateTheTriangles) {
    const MeshObjectX one = mesh_of({A, B, C});
    EXPECT_TRUE(sphere_touches_frame(one, 0, {0, 0, 0.5}, 1));
    EXPECT_FALSE(sphere_touches_frame(one, 1, {0, 0, 0.5}, 1));   // no such frame
    EXPECT_FALSE(sphere_touches_frame(one, -1, {0, 0, 0.5}, 1));
    EXPECT_FALSE(sphere_touches_frame(one, 0, {40, 0, 0}, 1));    // outside the bounds
    EXPECT_TRUE(sphere_touches_frame(one, 0, A + Vec3{0, 0, 0.2}, 0.3));  // the first vertex
    EXPECT_NEAR(ray_hits_frame(one, 0, {0, 0, -5}, {0, 0, 1}), 5, 1e-6);
    EXPECT_TRUE(box_touches_frame(one, 0, box_at({0, 0, 0.5}, 1)));
    // Two vertices make no triangle: nothing touches them, not even a huge sphere.
    const MeshObjectX two = mesh_of({A, B});
    EXPECT_FALSE(sphere_touches_frame(two, 0, {0, 0, 0}, 100));
    EXPECT_EQ(ray_hits_frame(two, 0, {0, 0, -5}, {0, 0, 1}), 0);
    EXPECT_FALSE(box_touches_frame(two, 0, box_at({0, 0, 0}, 100)));
    // Of two triangles the nearer hit in front wins.
    const Vec3 up{0, 0, 4};
    const MeshObjectX stacked = mesh_of({A, B, C, A + up, B + up, C + up});
    EXPECT_NEAR(ray_hits_frame(stacked, 0, {0, 0, 2}, {0, 0, 1}), 2, 0.05);
    EXPECT_NEAR(ray_hits_frame(stacked, 0, {0, 0, 9}, {0, 0, 1}), -5, 0.05);
}

}  // namespace
}  // namespace runtime
