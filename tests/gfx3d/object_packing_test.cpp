// The normal table and nearest-normal rule, quantisation into packed frames, the colour
// table, triangle runs between markers, and normals computed from triangles.
#include "runtime/gfx3d/object_packing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "runtime/gfx3d/normal_table.h"

namespace runtime {
namespace {

TEST(NormalTable, NamedEntriesAndNearestIndex) {
    const struct {
        int index;
        float x, y, z;
    } named[] = {{0, -0.525731f, 0, 0.850651f}, {5, 0, 0, 1}, {161, -0.688191f, -0.587785f, -0.425325f}};
    for (const auto& e : named) {
        EXPECT_FLOAT_EQ(NORMAL_TABLE[e.index][0], e.x);
        EXPECT_FLOAT_EQ(NORMAL_TABLE[e.index][1], e.y);
        EXPECT_FLOAT_EQ(NORMAL_TABLE[e.index][2], e.z);
    }
    // Every entry is a unit vector that finds itself, also when given at another length.
    for (int i = 0; i < NORMAL_COUNT; ++i) {
        const float* t = NORMAL_TABLE[i];
        EXPECT_NEAR(t[0] * t[0] + t[1] * t[1] + t[2] * t[2], 1, 1e-5) << i;
        const float longer[3] = {t[0] * 3, t[1] * 3, t[2] * 3};
        EXPECT_EQ(nearest_normal_index(longer), i);
    }
    const float zero[3] = {0, 0, 0};
    EXPECT_EQ(nearest_normal_index(zero), 161);  // every value ties; the last wins
    const float tilted[3] = {0.05f, 0, 1};
    EXPECT_EQ(nearest_normal_index(tilted), 5);
}

MeshVertex at(float x, float y, float z, uint32_t colour = 0) {
    MeshVertex v;
    v.position[0] = x;
    v.position[1] = y;
    v.position[2] = z;
    v.colour_value = colour;
    return v;
}

TEST(PackFrame, QuantisesPerAxisOverTheNonSeparatorVertices) {
    MeshObjectX mesh;
    std::vector<MeshVertex> vertices = {at(-10, 2, 5), at(100, 2, 5, 0xFFFFFFFC), at(0, 2, 5),
                                        at(15, 2, 5), at(0, 0, 0, STRIP_MARKER)};
    vertices[2].u = 0.5f;
    vertices[2].v = 0.75f;
    pack_frame(mesh, vertices);
    const MeshFrame& f = mesh.frames[0];
    EXPECT_FLOAT_EQ(f.scale[0], 25.0f / 255);
    EXPECT_FLOAT_EQ(f.scale[1], 1);  // a flat axis
    EXPECT_FLOAT_EQ(f.offset[0], 10 / (25.0f / 255));
    EXPECT_EQ(f.packed_vertices[0].x, 0);
    EXPECT_EQ(f.packed_vertices[3].x, 255);
    EXPECT_EQ(f.packed_vertices[1].x, 255);  // outside the range: held at the end
    EXPECT_EQ(f.packed_vertices[2].x, 102);  // 10 / (25 / 255) = 102
    EXPECT_EQ(f.packed_vertices[2].y, 0);    // offset -2 at scale 1...
    mesh.build();
    EXPECT_FLOAT_EQ(mesh.frames[0].vertices[2].position[1], 2);  // ...gives y back
    EXPECT_EQ(mesh.tex_u[2], 0.5f);
    EXPECT_EQ(mesh.tex_v[2], 0.75f);
    EXPECT_EQ(mesh.colours, (std::vector<uint32_t>{0, 0xFFFFFFFC, STRIP_MARKER}));
    pack_frame(mesh, vertices);
    EXPECT_EQ(mesh.tex_u.size(), vertices.size());  // only the first frame adds coordinates
}

TEST(PackFrame, ColourTableKeepsRoomForReservedValues) {
    std::vector<uint32_t> colours;
    std::set<uint8_t> indices;  // every index handed out is a valid table entry
    for (uint32_t c = 0; c < 300; ++c) indices.insert(colour_table_index(colours, c));
    EXPECT_EQ(colours.size(), 252u);
    EXPECT_EQ(colour_table_index(colours, 299), 43);  // red 43 green 1: nearest is red 43
    for (uint32_t marker : {FAN_MARKER, STRIP_MARKER, LIST_MARKER, RESERVED_COLOUR}) {
        EXPECT_EQ(colours[colour_table_index(colours, marker)], marker);
    }
    EXPECT_EQ(colours.size(), 256u);
    EXPECT_LT(*indices.rbegin(), 252);
}

// A built mesh from positions, with markers where a colour is given.
MeshObjectX built(const std::vector<MeshVertex>& vertices, NormalMode mode) {
    MeshObjectX mesh;
    mesh.separators = true;
    pack_frame(mesh, vertices);
    mesh.build();
    compute_normals(mesh, mode);
    mesh.build();
    return mesh;
}

TEST(MeshBuild, MarkersStartListsStripsAndFans) {
    const std::vector<MeshVertex> v = {
        at(0, 0, 0), at(1, 0, 0), at(0, 1, 0),                          // list: 0 1 2
        at(0, 0, 0, STRIP_MARKER), at(0, 0, 1), at(1, 0, 1), at(0, 1, 1), at(1, 1, 1),  // strip
        at(0, 0, 0, FAN_MARKER), at(0, 0, 2), at(1, 0, 2), at(1, 1, 2), at(0, 1, 2),    // fan
        at(0, 0, 0, LIST_MARKER), at(0, 0, 3), at(1, 0, 3)};             // a short list: nothing
    const MeshObjectX mesh = built(v, NormalMode::FLAT);
    EXPECT_EQ(mesh.triangles, (std::vector<uint32_t>{0, 1, 2, 4, 5, 6, 6, 5, 7, 9, 10, 11, 9, 11, 12}));
    // Every triangle faces +z, as the runs were given counter-clockwise.
    for (size_t k : std::initializer_list<size_t>{0, 4, 5, 6, 7, 9, 12})
        EXPECT_FLOAT_EQ(mesh.frames[0].vertices[k].normal[2], 1) << k;
}

TEST(MeshBuild, NormalModesFlatSmoothAndCrease) {
    // A roof of two triangles on the x axis, each face turned alpha degrees from +z.
    const auto roof = [](double alpha, NormalMode mode) {
        const float c = static_cast<float>(std::cos(alpha * M_PI / 180));
        const float s = static_cast<float>(std::sin(alpha * M_PI / 180));
        return built({at(0, 0, 0), at(1, 0, 0), at(0, c, -s), at(1, 0, 0), at(0, 0, 0), at(0, -c, -s)}, mode);
    };
    const auto ridge_normal = [](const MeshObjectX& m) { return m.frames[0].packed_vertices[0].normal; };
    constexpr int UP = 5;
    // 90 degrees between the faces: only plain smoothing rounds the ridge.
    EXPECT_EQ(ridge_normal(roof(45, NormalMode::SMOOTH)), UP);
    EXPECT_NE(ridge_normal(roof(45, NormalMode::CREASE)), UP);
    EXPECT_EQ(ridge_normal(roof(45, NormalMode::CREASE)), ridge_normal(roof(45, NormalMode::FLAT)));
    // 40 degrees: within the crease angle, so both smoothing modes round it.
    EXPECT_EQ(ridge_normal(roof(20, NormalMode::CREASE)), UP);
    EXPECT_NE(ridge_normal(roof(20, NormalMode::FLAT)), UP);
    // The ridge is an edge the two triangles share in opposite directions.
    const MeshObjectX flat = roof(45, NormalMode::FLAT);
    EXPECT_EQ(flat.edge_neighbours, (std::vector<int32_t>{1, -1, -1, 0, -1, -1}));
}

}  // namespace
}  // namespace runtime
