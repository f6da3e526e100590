// Meshes of 3D objects: animation frames of quantised vertices, expanded into drawable
// vertices, triangles and edge neighbours by build().
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace runtime {

// Colour values from here up draw white; in a built object the top three also mark
// where a new run of triangles starts (see MeshObjectX::build). Loaded files have no
// separators: their vertices are plain triangle lists whatever their colours.
constexpr uint32_t RESERVED_COLOUR = 0xFFFFFFFCu;
constexpr uint32_t LIST_MARKER = 0xFFFFFFFFu;
constexpr uint32_t STRIP_MARKER = 0xFFFFFFFEu;
constexpr uint32_t FAN_MARKER = 0xFFFFFFFDu;
// The most vertices one mesh holds over all its frames; larger models fail to load.
constexpr int64_t MAX_MESH_VERTICES = int64_t{1} << 22;
// The most vertices all meshes of one world file hold together: a world costs at most
// what one largest mesh does, however often it names a file.
constexpr int64_t WORLD_VERTEX_BUDGET = MAX_MESH_VERTICES;
// The most animation frames one mesh holds: even empty frames cost memory of their own.
constexpr int64_t MAX_MESH_FRAMES = int64_t{1} << 16;

inline bool is_marker(uint32_t colour_value) { return colour_value >= FAN_MARKER; }

// A vertex as stored: position bytes, normal-table indices, colour-table index.
struct PackedVertex {
    uint8_t x = 0, y = 0, z = 0;
    uint8_t normal = 0;
    uint8_t normal_b = 0, normal_c = 0;  // the auxiliary directions; 0 in files
    uint8_t colour = 0;
};

// The stored position as one number: corners with the same key are at one place.
inline uint32_t position_key(const PackedVertex& p) {
    return uint32_t{p.x} | (uint32_t{p.y} << 8) | (uint32_t{p.z} << 16);
}

struct MeshVertex {
    float position[3] = {0, 0, 0};
    float normal[3] = {0, 0, 0};
    float u = 0, v = 0;
    float aux_a[3] = {0, 0, 0};
    float aux_b[3] = {0, 0, 0};
    uint32_t colour_value = 0;
    float red = 0, green = 0, blue = 0;
};

struct MeshFrame {
    std::vector<PackedVertex> packed_vertices;
    std::vector<MeshVertex> vertices;
    float offset[3] = {0, 0, 0};
    float scale[3] = {1, 1, 1};
    // How many leading entries of the mesh's triangle list this frame holds all three
    // corners of: the triangles it draws and collides with.
    size_t triangle_indices = 0;
    // Bounding sphere of the expanded positions.
    float bound_centre[3] = {0, 0, 0};
    float bound_radius = 0;
};

class MeshObject {
public:
    virtual ~MeshObject() = default;
    // Prepares the mesh for drawing once its frames are complete.
    virtual void build() = 0;
};

class MeshObjectX : public MeshObject {
public:
    std::vector<MeshFrame> frames;
    std::vector<float> tex_u;
    std::vector<float> tex_v;  // as stored; drawn negated
    std::vector<uint32_t> colours;
    bool file_loaded = false;
    // Built by program: separator vertices start new runs (lists, strips, fans).
    bool separators = false;
    uint32_t vertex_buffer = 0;  // all frames' vertices, when buffer objects exist
    uint32_t index_buffer = 0;
    uint32_t texture = 0;
    // Three vertex indices per triangle, from the runs of the frame with most vertices,
    // in order of their highest index (so each frame holds a leading part).
    std::vector<uint32_t> triangles;
    // Per triangle edge (i, i+1): the triangle across it, or -1 (an open edge).
    std::vector<int32_t> edge_neighbours;
    int32_t texture_a = -1;
    int32_t texture_b = -1;
    // The buffer objects no longer match the frames (build sets it; drawing uploads).
    bool buffers_stale = true;
    // Where each frame starts in the vertex buffer, in vertices.
    std::vector<size_t> frame_starts;

    // The triangle indices a frame holds (see MeshFrame::triangle_indices).
    size_t held_indices(size_t frame) const {
        return frame < frames.size() ? frames[frame].triangle_indices : 0;
    }
    // Whether a vertex draws (is no separator of a built mesh).
    bool drawn(const MeshVertex& v) const { return !separators || !is_marker(v.colour_value); }

    // Expands every frame, finds the triangles and their neighbours, then the bounds.
    void build() override;
    // Bounding sphere per frame: mean position and the largest distance from it.
    void compute_bounds();
    // Empties the mesh. Buffer and texture names must already be released (see
    // release_gl_names), since this runs without a context too.
    void clear();
};

// Position, normal, texture coordinates and colour of vertex k of a frame.
MeshVertex expand_vertex(const MeshObjectX& mesh, const MeshFrame& frame, size_t k);
// The runtime colour as drawing floats: bytes / 255, white for reserved values.
void colour_floats(uint32_t colour_value, MeshVertex& vertex);

}  // namespace runtime
