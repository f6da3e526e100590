// The .ddd readers on memory buffers: the binary form's layout and checks, the text
// form's triangulation, and the binary writer read back.
#include "runtime/gfx3d/ddd_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/gfx3d/object_packing.h"

namespace runtime {
namespace {

// A binary .ddd file assembled field by field.
struct DddBytes {
    std::vector<uint8_t> bytes;
    DddBytes& u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    DddBytes& f32(float f) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        return u32(u);
    }
    DddBytes& f64(double d) {
        uint64_t u;
        std::memcpy(&u, &d, 8);
        return u32(static_cast<uint32_t>(u)).u32(static_cast<uint32_t>(u >> 32));
    }
    DddBytes& header(double version, uint32_t frames, uint32_t colours, uint32_t tex) {
        return u32(DDD_MAGIC).f64(version).u32(frames).u32(colours).u32(tex);
    }
    DddBytes& vertex(uint8_t x, uint8_t y, uint8_t z, uint8_t normal, uint8_t colour) {
        bytes.insert(bytes.end(), {x, y, z, normal, colour});
        return *this;
    }
};

// Two frames of three vertices; colour 1 is reserved, texture pairs per vertex index.
DddBytes sample_file(double version = DDD_VERSION) {
    DddBytes d;
    d.header(version, 2, 2, 3).u32(0x00336699).u32(0xFFFFFFFF);
    d.f32(0.25f).f32(0.5f).f32(1).f32(0).f32(0).f32(1);
    d.u32(3).f32(128).f32(0).f32(0).f32(0.5f).f32(1).f32(2);
    d.vertex(128, 0, 255, 5, 1).vertex(0, 0, 0, 0, 0).vertex(255, 255, 255, 161, 0);
    d.u32(3).f32(0).f32(0).f32(0).f32(1).f32(1).f32(1);
    d.vertex(1, 2, 3, 5, 0).vertex(4, 5, 6, 5, 0).vertex(7, 8, 9, 5, 0);
    return d;
}

TEST(DddBinary, ExpandsPackedVerticesColoursAndSharedTextureCoordinates) {
    MeshObjectX mesh;
    ASSERT_EQ(read_ddd_binary(sample_file().bytes, mesh), DddStatus::OK);
    mesh.build();
    ASSERT_EQ(mesh.frames.size(), 2u);
    const MeshVertex& v = mesh.frames[0].vertices[0];
    EXPECT_FLOAT_EQ(v.position[0], 0);
    EXPECT_FLOAT_EQ(v.position[1], 0);
    EXPECT_FLOAT_EQ(v.position[2], 510);
    EXPECT_FLOAT_EQ(v.normal[2], 1);  // table entry 5
    EXPECT_EQ(v.colour_value, 0xFFFFFFFFu);
    EXPECT_FLOAT_EQ(v.red + v.green + v.blue, 3);  // reserved colour: white
    const MeshVertex& c = mesh.frames[0].vertices[1];
    EXPECT_NEAR(c.red, 0x99 / 255.0, 1e-6);
    EXPECT_NEAR(c.blue, 0x33 / 255.0, 1e-6);
    for (const MeshFrame& f : mesh.frames) {
        EXPECT_FLOAT_EQ(f.vertices[0].u, 0.25f);
        EXPECT_FLOAT_EQ(f.vertices[0].v, -0.5f);
        EXPECT_FLOAT_EQ(f.vertices[1].u, 1);
    }
    EXPECT_FLOAT_EQ(mesh.frames[1].vertices[2].position[1], 8);
}

TEST(DddBinary, OnlyVersionOnePointZeroTwoIsRead) {
    for (double version : {1.0199, 1.0201, 1.0, 2.0}) {
        MeshObjectX mesh;
        EXPECT_EQ(read_ddd_binary(sample_file(version).bytes, mesh), DddStatus::WRONG_VERSION) << version;
        EXPECT_TRUE(mesh.frames.empty());
    }
}

TEST(DddBinaryFailures, DamagedFilesFailAndLeaveTheMeshEmpty) {
    const std::vector<uint8_t> good = sample_file().bytes;
    // Every shortened copy fails: no count may run past the end.
    for (size_t n = 0; n < good.size(); ++n) {
        MeshObjectX mesh;
        EXPECT_NE(read_mesh_bytes(std::span(good.data(), n), mesh), DddStatus::OK) << n;
        EXPECT_TRUE(mesh.frames.empty() && mesh.colours.empty() && mesh.tex_u.empty()) << n;
    }
    struct Case {
        const char* what;
        size_t offset;  // of the 4-byte field to overwrite
        uint32_t value;
    };
    const size_t frame0 = 24 + 8 + 24;
    const Case cases[] = {
        {"frame count beyond the file", 12, 0x7FFFFFFF}, {"negative frame count", 12, 0xFFFFFFFF},
        {"colour count beyond the file", 16, 0x40000000}, {"texture count beyond the file", 20, 0x10000000},
        {"vertex count beyond the file", frame0, 1000000}, {"negative vertex count", frame0, 0x80000000},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bad = good;
        std::memcpy(&bad[c.offset], &c.value, 4);
        MeshObjectX mesh;
        EXPECT_EQ(read_ddd_binary(bad, mesh), DddStatus::READ_ERROR) << c.what;
    }
    // Indices outside the normal table and the colour table.
    const size_t first_vertex = frame0 + 28;
    for (auto [index, value] : {std::pair{size_t{3}, 162}, std::pair{size_t{4}, 2}}) {
        std::vector<uint8_t> bad = good;
        bad[first_vertex + index] = static_cast<uint8_t>(value);
        MeshObjectX mesh;
        EXPECT_EQ(read_ddd_binary(bad, mesh), DddStatus::READ_ERROR) << index;
    }
}

std::vector<uint8_t> bytes_of(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

DddStatus read_text(const std::string& text, MeshObjectX& mesh) { return read_mesh_bytes(bytes_of(text), mesh); }

// A unit square as one four-corner polygon, in two frames (the second moved up by 1).
const char* SQUARE_TEXT =
    "DDDA 1.1   # with normals\n"
    "4  0 0  1 0  1 1  0 1\n"
    "1  255 0 0  4  0 0  1 1  2 2  3 3\n"
    "2\n"
    "4  0 0 0 0 0 1   1 0 0 0 0 1   1 1 0 0 0 1   0 1 0 0 0 1\n"
    "4  0 1 0 0 0 1   1 1 0 0 0 1   1 2 0 0 0 1   0 2 0 0 0 1\n";

TEST(DddText, PolygonsBecomeFansWithColourTextureAndNormals) {
    MeshObjectX mesh;
    ASSERT_EQ(read_text(SQUARE_TEXT, mesh), DddStatus::OK);
    mesh.build();
    ASSERT_EQ(mesh.frames.size(), 2u);
    ASSERT_EQ(mesh.frames[0].vertices.size(), 6u);  // corners (0 1 2) and (0 2 3)
    ASSERT_EQ(mesh.triangles.size(), 6u);
    const float expected_x[6] = {0, 1, 1, 0, 1, 0};
    const float expected_u[6] = {0, 1, 1, 0, 1, 0};
    for (size_t k = 0; k < 6; ++k) {
        const MeshVertex& v = mesh.frames[0].vertices[k];
        EXPECT_NEAR(v.position[0], expected_x[k], 0.01) << k;
        EXPECT_FLOAT_EQ(v.u, expected_u[k]) << k;
        EXPECT_FLOAT_EQ(v.normal[2], 1) << k;
        EXPECT_FLOAT_EQ(v.red, 1);
        EXPECT_FLOAT_EQ(v.green, 0);
        EXPECT_NEAR(mesh.frames[1].vertices[k].position[1], mesh.frames[0].vertices[k].position[1] + 1, 0.01);
    }
    EXPECT_FLOAT_EQ(mesh.frames[0].vertices[2].v, -1);  // stored 1, drawn negated
}

TEST(DddText, WithoutNormalsTheyComeFromTheTriangles) {
    MeshObjectX mesh;
    ASSERT_EQ(read_text("DDDA 1.0 0 1 0 0 0 3 0 -1 1 -1 2 -1 1 3 0 0 0 1 0 0 0 1 0", mesh), DddStatus::OK);
    mesh.build();
    for (const MeshVertex& v : mesh.frames[0].vertices) EXPECT_FLOAT_EQ(v.normal[2], 1);
}

TEST(DddTextFailures, BadTextFailsCleanly) {
    const struct {
        const char* text;
        DddStatus status;
    } cases[] = {
        {"DDDA 1.2 0 0 0", DddStatus::WRONG_VERSION},
        {"DDDB 1.0 0 0 0", DddStatus::READ_ERROR},
        {"DDDA 1.0 2 0 0", DddStatus::READ_ERROR},                       // missing texture pairs
        {"DDDA 1.0 0 1 0 0 0 3 0 0 1 0 2 0 1 3 0 0 0 1 0 0 0 1 0", DddStatus::READ_ERROR},  // tex index
        {"DDDA 1.0 0 1 0 0 0 3 0 -1 1 -1 5 -1 1 3 0 0 0 1 0 0 0 1 0", DddStatus::READ_ERROR},  // vertex
        {"DDDA 1.0 0 1 256 0 0 0 0", DddStatus::READ_ERROR},             // colour byte
        {"DDDA 1.0 0 1 0 0 0 99999999 0", DddStatus::READ_ERROR},        // corners beyond the text
        {"DDDA 1.0 0 0 2147483647", DddStatus::READ_ERROR},              // frames beyond the text
        {"DDDA 1.0 0 0 1 3 0 0 nan 0 0 0 0 0 0", DddStatus::READ_ERROR},
        {"DDDA 1.0 0 0 1 1 0 0 0.5e", DddStatus::READ_ERROR},
    };
    for (const auto& c : cases) {
        MeshObjectX mesh;
        EXPECT_EQ(read_text(c.text, mesh), c.status) << c.text;
        EXPECT_TRUE(mesh.frames.empty()) << c.text;
    }
    // Few bytes asking for more vertices than a mesh may hold: refused before allocating.
    std::string huge = "DDDA 1.0 0 1 0 0 0 3000";
    for (int i = 0; i < 3000; ++i) huge += " 0 -1";
    huge += " 2000";
    for (int i = 0; i < 2000; ++i) huge += " 1 0 0 0";
    MeshObjectX mesh;
    EXPECT_EQ(read_text(huge, mesh), DddStatus::MALLOC_ERROR);
}

// Binary files of one colour and frames of zero vertices of the given counts.
std::vector<uint8_t> frames_of(const std::vector<uint32_t>& counts) {
    DddBytes d;
    d.header(DDD_VERSION, static_cast<uint32_t>(counts.size()), 1, 0).u32(0x00336699);
    for (uint32_t n : counts) {
        d.u32(n).f32(0).f32(0).f32(0).f32(1).f32(1).f32(1);
        d.bytes.resize(d.bytes.size() + n * 5, 0);
    }
    return d.bytes;
}

TEST(DddLimits, VerticesFramesAndCornersUpToTheLimitLoad) {
    const uint32_t half = MAX_MESH_VERTICES / 2;
    const size_t frames = MAX_MESH_FRAMES;
    // One polygon of n corners gives 3 (n - 2): 4,194,303 is the most below the limit.
    const auto fan = [](int64_t corners) {
        std::string text = "DDDA 1.1 0 1 0 0 0 " + std::to_string(corners);
        for (int64_t i = 0; i < corners; ++i) text += " 0 -1";
        return text + " 0";
    };
    const auto empty_frames = [](size_t n) {
        std::string text = "DDDA 1.1 0 0 " + std::to_string(n);
        for (size_t i = 0; i < n; ++i) text += " 0";
        return text;
    };
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        DddStatus status;
    } cases[] = {
        {"binary, all vertices", frames_of({half, half}), DddStatus::OK},
        {"binary, one vertex more", frames_of({half, half + 1}), DddStatus::MALLOC_ERROR},
        {"binary, all frames", frames_of(std::vector<uint32_t>(frames, 0)), DddStatus::OK},
        {"binary, one frame more", frames_of(std::vector<uint32_t>(frames + 1, 0)), DddStatus::MALLOC_ERROR},
        {"text, all frames", bytes_of(empty_frames(frames)), DddStatus::OK},
        {"text, one frame more", bytes_of(empty_frames(frames + 1)), DddStatus::MALLOC_ERROR},
        // Text expands to one vertex per 4 bytes of it, and at least 65,536.
        {"text, the floor", bytes_of(fan(65536 / 3 + 2)), DddStatus::OK},
        {"text, one triangle past the floor", bytes_of(fan(65536 / 3 + 3)), DddStatus::MALLOC_ERROR},
        {"text, 90,000 corners in 360,000 bytes",
         bytes_of(fan(30002) + "#" + std::string(360000 - fan(30002).size() - 1, 'x')), DddStatus::OK},
        {"text, 90,000 corners in fewer",
         bytes_of(fan(30002) + "#" + std::string(359000 - fan(30002).size(), 'x')), DddStatus::MALLOC_ERROR},
    };
    for (const auto& c : cases) {
        MeshObjectX mesh;
        EXPECT_EQ(read_mesh_bytes(c.bytes, mesh), c.status) << c.what;
    }
}

TEST(DddWriter, TextAndBuiltMeshesReadBackUnchanged) {
    MeshObjectX text;
    ASSERT_EQ(read_text(SQUARE_TEXT, text), DddStatus::OK);
    MeshObjectX built;
    std::vector<MeshVertex> free(4);
    const float xs[4] = {-3, 7, 7, 0.5f};
    for (size_t k = 0; k < 4; ++k) {
        free[k].position[0] = xs[k];
        free[k].position[1] = static_cast<float>(k) * 0.1f;
        free[k].u = 0.1f * static_cast<float>(k);
        free[k].colour_value = k == 3 ? STRIP_MARKER : 0x102030u * static_cast<uint32_t>(k);
    }
    pack_frame(built, free);
    for (MeshObjectX* original : {&text, &built}) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(write_ddd_binary(*original, bytes));
        MeshObjectX back;
        ASSERT_EQ(read_mesh_bytes(bytes, back), DddStatus::OK);
        original->build();
        back.build();
        ASSERT_EQ(back.frames.size(), original->frames.size());
        EXPECT_EQ(back.colours, original->colours);
        for (size_t f = 0; f < back.frames.size(); ++f) {
            ASSERT_EQ(back.frames[f].vertices.size(), original->frames[f].vertices.size());
            for (size_t k = 0; k < back.frames[f].vertices.size(); ++k) {
                EXPECT_EQ(std::memcmp(&back.frames[f].vertices[k], &original->frames[f].vertices[k],
                                      sizeof(MeshVertex)), 0) << f << " " << k;
            }
        }
    }
    // Within one quantisation step of the free positions (10 units over 255 steps).
    for (size_t k = 0; k < 3; ++k) EXPECT_NEAR(built.frames[0].vertices[k].position[0], xs[k], 10.0 / 255);
    std::vector<uint8_t> bytes;
    EXPECT_FALSE(write_ddd_binary(MeshObjectX{}, bytes));
}

}  // namespace
}  // namespace runtime
