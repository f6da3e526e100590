// Mesh expansion: packed frames into drawable vertices, the triangle runs of the first
// frame, the edge neighbours that shadow volumes need, and the bounding spheres.
#include "runtime/gfx3d/object_mesh.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "runtime/gfx3d/normal_table.h"
#include "runtime/gfx3d/object_vector.h"

namespace runtime {

using object_detail::Vec3;

void colour_floats(uint32_t colour_value, MeshVertex& vertex) {
    vertex.colour_value = colour_value;
    if (colour_value >= RESERVED_COLOUR) {
        vertex.red = vertex.green = vertex.blue = 1.0f;
        return;
    }
    vertex.red = static_cast<float>(colour_value & 0xFF) / 255.0f;
    vertex.green = static_cast<float>((colour_value >> 8) & 0xFF) / 255.0f;
    vertex.blue = static_cast<float>((colour_value >> 16) & 0xFF) / 255.0f;
}

MeshVertex expand_vertex(const MeshObjectX& mesh, const MeshFrame& frame, size_t k) {
    const PackedVertex& p = frame.packed_vertices[k];
    MeshVertex v;
    const uint8_t bytes[3] = {p.x, p.y, p.z};
    for (int i = 0; i < 3; ++i) v.position[i] = (bytes[i] - frame.offset[i]) * frame.scale[i];
    const auto table_entry = [](uint8_t index) {
        return NORMAL_TABLE[index < NORMAL_COUNT ? index : 0];
    };
    for (int i = 0; i < 3; ++i) {
        v.normal[i] = table_entry(p.normal)[i];
        v.aux_a[i] = table_entry(p.normal_b)[i];
        v.aux_b[i] = table_entry(p.normal_c)[i];
    }
    // An index outside the colour table can only come from a damaged mesh: draw it white.
    colour_floats(p.colour < mesh.colours.size() ? mesh.colours[p.colour] : LIST_MARKER, v);
    if (k < mesh.tex_u.size()) v.u = mesh.tex_u[k];
    if (k < mesh.tex_v.size()) v.v = -mesh.tex_v[k];
    return v;
}

namespace {

// Runs of vertices between markers become triangles: plain lists before any marker and
// after LIST_MARKER, strips after STRIP_MARKER, fans after FAN_MARKER.
void collect_triangles(const std::vector<MeshVertex>& vertices, bool separators, std::vector<uint32_t>& out) {
    out.clear();
    uint32_t kind = LIST_MARKER;
    std::vector<uint32_t> run;
    const auto flush = [&] {
        const size_t n = run.size();
        for (size_t i = 0; n >= 3 && i + 2 < n;) {
            if (kind == STRIP_MARKER) {
                // Every other strip triangle is turned so all keep the first one's winding.
                const bool odd = (i & 1) != 0;
                out.insert(out.end(), {run[odd ? i + 1 : i], run[odd ? i : i + 1], run[i + 2]});
                ++i;
            } else if (kind == FAN_MARKER) {
                out.insert(out.end(), {run[0], run[i + 1], run[i + 2]});
                ++i;
            } else {
                out.insert(out.end(), {run[i], run[i + 1], run[i + 2]});
                i += 3;
            }
        }
        run.clear();
    };
    for (size_t k = 0; k < vertices.size(); ++k) {
        if (separators && is_marker(vertices[k].colour_value)) {
            flush();
            kind = vertices[k].colour_value;
        } else {
            run.push_back(static_cast<uint32_t>(k));
        }
    }
    flush();
}

// Triangles meet across an edge when one runs A->B and the other B->A over the same
// stored positions (corners are separate vertices in a triangle list).
void find_neighbours(const MeshFrame& frame, const std::vector<uint32_t>& triangles,
                     std::vector<int32_t>& out) {
    const size_t count = triangles.size() / 3;
    out.assign(triangles.size(), -1);
    std::unordered_map<uint64_t, int32_t> directed;
    directed.reserve(triangles.size());
    const auto key = [&](uint32_t a, uint32_t b) {
        return (uint64_t{position_key(frame.packed_vertices[a])} << 24) |
               position_key(frame.packed_vertices[b]);
    };
    for (size_t t = 0; t < count; ++t) {
        for (size_t e = 0; e < 3; ++e) {
            const uint32_t a = triangles[t * 3 + e], b = triangles[t * 3 + (e + 1) % 3];
            directed.emplace(key(a, b), static_cast<int32_t>(t * 3 + e));
        }
    }
    for (size_t t = 0; t < count; ++t) {
        for (size_t e = 0; e < 3; ++e) {
            const uint32_t a = triangles[t * 3 + e], b = triangles[t * 3 + (e + 1) % 3];
            const auto found = directed.find(key(b, a));
            if (found != directed.end() && static_cast<size_t>(found->second / 3) != t) {
                out[t * 3 + e] = found->second / 3;
            }
        }
    }
}

}  // namespace

void MeshObjectX::build() {
    for (MeshFrame& frame : frames) {
        frame.vertices.resize(frame.packed_vertices.size());
        for (size_t k = 0; k < frame.packed_vertices.size(); ++k) {
            frame.vertices[k] = expand_vertex(*this, frame, k);
        }
    }
    triangles.clear();
    edge_neighbours.clear();
    if (!frames.empty()) {
        // Frames may hold different numbers of vertices: the triangles come from the
        // longest, and each frame draws those it holds all corners of.
        size_t longest = 0;
        for (size_t f = 1; f < frames.size(); ++f) {
            if (frames[f].vertices.size() > frames[longest].vertices.size()) longest = f;
        }
        collect_triangles(frames[longest].vertices, separators, triangles);
        for (MeshFrame& frame : frames) {
            const size_t n = frame.vertices.size();
            size_t held = 0;
            while (held + 2 < triangles.size() &&
                   std::max({triangles[held], triangles[held + 1], triangles[held + 2]}) < n) {
                held += 3;
            }
            frame.triangle_indices = held;
        }
        find_neighbours(frames[longest], triangles, edge_neighbours);
    }
    buffers_stale = true;
    compute_bounds();
}

void MeshObjectX::compute_bounds() {
    for (MeshFrame& frame : frames) {
        Vec3 sum;
        size_t n = 0;
        for (const MeshVertex& v : frame.vertices) {
            if (!drawn(v)) continue;
            sum += Vec3::of(v.position);
            ++n;
        }
        const Vec3 centre = n ? sum * (1.0 / static_cast<double>(n)) : Vec3{};
        double radius = 0;
        for (const MeshVertex& v : frame.vertices) {
            if (drawn(v)) radius = std::max(radius, object_detail::length_of(Vec3::of(v.position) - centre));
        }
        object_detail::store(centre, frame.bound_centre);
        frame.bound_radius = static_cast<float>(radius);
    }
}

void MeshObjectX::clear() {
    frames.clear();
    tex_u.clear();
    tex_v.clear();
    colours.clear();
    triangles.clear();
    edge_neighbours.clear();
    file_loaded = false;
    separators = false;
    vertex_buffer = index_buffer = texture = 0;
    texture_a = texture_b = -1;
    buffers_stale = true;
}

}  // namespace runtime
