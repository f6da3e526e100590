// Quantisation of free vertices and normals from triangles.
#include "runtime/gfx3d/object_packing.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "runtime/gfx3d/normal_table.h"
#include "runtime/gfx3d/object_vector.h"

namespace runtime {

using object_detail::Vec3;

namespace {

constexpr size_t ORDINARY_COLOUR_LIMIT = 252;

double colour_distance(uint32_t a, uint32_t b) {
    double sum = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const double d = static_cast<double>((a >> shift) & 0xFF) - ((b >> shift) & 0xFF);
        sum += d * d;
    }
    return sum;
}

}  // namespace

uint8_t colour_table_index(std::vector<uint32_t>& colours, uint32_t colour_value) {
    for (size_t i = 0; i < colours.size() && i < 256; ++i) {
        if (colours[i] == colour_value) return static_cast<uint8_t>(i);
    }
    size_t ordinary = 0;
    for (uint32_t c : colours) ordinary += c < RESERVED_COLOUR ? 1 : 0;
    const bool reserved = colour_value >= RESERVED_COLOUR;
    if (colours.size() < 256 && (reserved || ordinary < ORDINARY_COLOUR_LIMIT)) {
        colours.push_back(colour_value);
        return static_cast<uint8_t>(colours.size() - 1);
    }
    // The table is full for this kind of colour: the nearest ordinary one stands in.
    size_t best = 0;
    double best_distance = std::numeric_limits<double>::max();
    for (size_t i = 0; i < colours.size() && i < 256; ++i) {
        if (colours[i] >= RESERVED_COLOUR) continue;
        const double d = colour_distance(colours[i], colour_value);
        if (d < best_distance) {
            best_distance = d;
            best = i;
        }
    }
    return static_cast<uint8_t>(best);
}

void pack_frame(MeshObjectX& mesh, const std::vector<MeshVertex>& vertices) {
    const bool first_frame = mesh.frames.empty();
    MeshFrame& frame = mesh.frames.emplace_back();
    double low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
    bool any = false;
    for (const MeshVertex& v : vertices) {
        if (v.colour_value >= RESERVED_COLOUR) continue;
        for (int i = 0; i < 3; ++i) {
            low[i] = any ? std::min<double>(low[i], v.position[i]) : v.position[i];
            high[i] = any ? std::max<double>(high[i], v.position[i]) : v.position[i];
        }
        any = true;
    }
    for (int i = 0; i < 3; ++i) {
        float scale = static_cast<float>((high[i] - low[i]) / 255.0);
        if (scale == 0.0f || !std::isfinite(scale)) scale = 1.0f;
        frame.scale[i] = scale;
        frame.offset[i] = static_cast<float>(-low[i] / scale);
    }
    frame.packed_vertices.reserve(vertices.size());
    for (const MeshVertex& v : vertices) {
        PackedVertex p;
        uint8_t* bytes[3] = {&p.x, &p.y, &p.z};
        for (int i = 0; i < 3; ++i) {
            // A hair above the exact value keeps whole results whole despite rounding;
            // values outside 0..255 (separators, rounding) are held at the ends.
            const double b = v.position[i] / static_cast<double>(frame.scale[i]) + frame.offset[i] + 1e-4;
            *bytes[i] = static_cast<uint8_t>(std::isfinite(b) ? std::clamp(std::trunc(b), 0.0, 255.0) : 0.0);
        }
        p.normal = static_cast<uint8_t>(nearest_normal_index(v.normal));
        p.colour = colour_table_index(mesh.colours, v.colour_value);
        frame.packed_vertices.push_back(p);
        if (first_frame) {
            mesh.tex_u.push_back(v.u);
            mesh.tex_v.push_back(v.v);
        }
    }
}

void compute_normals(MeshObjectX& mesh, NormalMode mode) {
    const std::vector<uint32_t>& tris = mesh.triangles;
    const size_t triangle_count = tris.size() / 3;
    for (MeshFrame& frame : mesh.frames) {
        const size_t n = frame.vertices.size();
        std::vector<Vec3> face(triangle_count);
        std::vector<Vec3> own(n);  // sum of the normals of the vertex's own triangles
        for (size_t t = 0; t < triangle_count; ++t) {
            if (tris[t * 3] >= n || tris[t * 3 + 1] >= n || tris[t * 3 + 2] >= n) continue;
            const Vec3 a = Vec3::of(frame.vertices[tris[t * 3]].position);
            const Vec3 b = Vec3::of(frame.vertices[tris[t * 3 + 1]].position);
            const Vec3 c = Vec3::of(frame.vertices[tris[t * 3 + 2]].position);
            face[t] = object_detail::cross(b - a, c - a);  // counter-clockwise front faces
            for (size_t e = 0; e < 3; ++e) own[tris[t * 3 + e]] += face[t];
        }
        // Triangles around each stored position, for the shared normals.
        std::unordered_map<uint32_t, std::vector<size_t>> around;
        if (mode != NormalMode::FLAT) {
            for (size_t t = 0; t < triangle_count; ++t) {
                for (size_t e = 0; e < 3; ++e) {
                    const uint32_t k = tris[t * 3 + e];
                    if (k >= n) continue;
                    std::vector<size_t>& list = around[position_key(frame.packed_vertices[k])];
                    if (list.empty() || list.back() != t) list.push_back(t);
                }
            }
        }
        // Smoothing gives every corner at a position the same sum: taken once per position,
        // so a model with all its corners in one place does not cost corners x triangles.
        std::unordered_map<uint32_t, Vec3> smooth;
        if (mode == NormalMode::SMOOTH) {
            for (const auto& [key, list] : around) {
                Vec3 sum;
                for (size_t t : list) sum += face[t];
                smooth.emplace(key, sum);
            }
        }
        for (size_t k = 0; k < n; ++k) {
            Vec3 normal = own[k];
            const uint32_t key = position_key(frame.packed_vertices[k]);
            if (mode == NormalMode::SMOOTH) {
                const auto found = smooth.find(key);
                normal = found != smooth.end() ? found->second : Vec3{};
            } else if (mode == NormalMode::CREASE) {
                const Vec3 reference = object_detail::normalised(own[k]);
                normal = Vec3{};
                for (size_t t : around[key]) {
                    if (object_detail::dot(object_detail::normalised(face[t]), reference) < 0.5) continue;
                    normal += face[t];
                }
            }
            float stored[3];
            object_detail::store(normal, stored);
            frame.packed_vertices[k].normal = static_cast<uint8_t>(nearest_normal_index(stored));
        }
    }
}

}  // namespace runtime
