// .ddd readers and writer. Every count is checked against the bytes that are left
// before anything is sized by it, and the total vertex and frame counts are capped.
#include "runtime/gfx3d/ddd_format.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string_view>

#include "runtime/gfx3d/normal_table.h"
#include "runtime/gfx3d/object_packing.h"

namespace runtime {

namespace {

constexpr size_t FRAME_HEADER_BYTES = 28;
constexpr size_t PACKED_VERTEX_BYTES = 5;

// Little-endian values from a byte buffer; every read checks the bytes left.
class ByteCursor {
public:
    explicit ByteCursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    size_t left() const { return bytes_.size() - pos_; }
    bool take(void* out, size_t n) {
        if (n > left()) return false;
        std::memcpy(out, bytes_.data() + pos_, n);
        pos_ += n;
        return true;
    }
    bool u32(uint32_t& v) {
        uint8_t b[4];
        if (!take(b, 4)) return false;
        v = uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
        return true;
    }
    bool i32(int32_t& v) {
        uint32_t u;
        if (!u32(u)) return false;
        v = static_cast<int32_t>(u);
        return true;
    }
    bool f32(float& v) {
        uint32_t u;
        if (!u32(u)) return false;
        std::memcpy(&v, &u, 4);
        return true;
    }
    bool f64(double& v) {
        uint32_t low, high;
        if (!u32(low) || !u32(high)) return false;
        const uint64_t u = (uint64_t{high} << 32) | low;
        std::memcpy(&v, &u, 8);
        return true;
    }

private:
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
};

void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void put_f32(std::vector<uint8_t>& out, float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    put_u32(out, u);
}
void put_f64(std::vector<uint8_t>& out, double d) {
    uint64_t u;
    std::memcpy(&u, &d, 8);
    put_u32(out, static_cast<uint32_t>(u));
    put_u32(out, static_cast<uint32_t>(u >> 32));
}

DddStatus read_binary_body(ByteCursor& in, MeshObjectX& mesh, int64_t budget) {
    int32_t magic = 0, frame_count = 0, colour_count = 0, tex_count = 0;
    double version = 0;
    if (!in.i32(magic) || magic != DDD_MAGIC || !in.f64(version)) return DddStatus::READ_ERROR;
    if (version != DDD_VERSION) return DddStatus::WRONG_VERSION;
    if (!in.i32(frame_count) || !in.i32(colour_count) || !in.i32(tex_count)) return DddStatus::READ_ERROR;
    if (frame_count < 0 || colour_count < 0 || tex_count < 0 ||
        static_cast<uint64_t>(colour_count) * 4 > in.left() ||
        static_cast<uint64_t>(tex_count) * 8 > in.left() - static_cast<uint64_t>(colour_count) * 4) {
        return DddStatus::READ_ERROR;
    }
    mesh.colours.resize(static_cast<size_t>(colour_count));
    for (uint32_t& c : mesh.colours) {
        if (!in.u32(c)) return DddStatus::READ_ERROR;
    }
    mesh.tex_u.resize(static_cast<size_t>(tex_count));
    mesh.tex_v.resize(static_cast<size_t>(tex_count));
    for (int32_t i = 0; i < tex_count; ++i) {
        if (!in.f32(mesh.tex_u[static_cast<size_t>(i)]) || !in.f32(mesh.tex_v[static_cast<size_t>(i)]))
            return DddStatus::READ_ERROR;
    }
    if (static_cast<uint64_t>(frame_count) * FRAME_HEADER_BYTES > in.left()) return DddStatus::READ_ERROR;
    if (frame_count > MAX_MESH_FRAMES) return DddStatus::MALLOC_ERROR;
    mesh.frames.resize(static_cast<size_t>(frame_count));
    int64_t total = 0;
    for (MeshFrame& frame : mesh.frames) {
        int32_t n = 0;
        if (!in.i32(n) || n < 0) return DddStatus::READ_ERROR;
        for (float* f : {&frame.offset[0], &frame.offset[1], &frame.offset[2], &frame.scale[0],
                         &frame.scale[1], &frame.scale[2]}) {
            if (!in.f32(*f)) return DddStatus::READ_ERROR;
        }
        if (static_cast<uint64_t>(n) * PACKED_VERTEX_BYTES > in.left()) return DddStatus::READ_ERROR;
        total += n;
        if (total > budget) return DddStatus::MALLOC_ERROR;
        frame.packed_vertices.resize(static_cast<size_t>(n));
        for (PackedVertex& p : frame.packed_vertices) {
            uint8_t b[PACKED_VERTEX_BYTES] = {};
            if (!in.take(b, sizeof b)) return DddStatus::READ_ERROR;
            if (b[3] >= NORMAL_COUNT || b[4] >= mesh.colours.size()) return DddStatus::READ_ERROR;
            p.x = b[0];
            p.y = b[1];
            p.z = b[2];
            p.normal = b[3];
            p.colour = b[4];
        }
    }
    return DddStatus::OK;
}

// Tokens of the text form: blanks, tabs and line ends separate; '#' starts a comment.
class TokenReader {
public:
    explicit TokenReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    size_t left() const { return bytes_.size() - pos_; }
    // Whether count items of `tokens` tokens each could still be in the text (a token
    // and its separator take at least two bytes).
    bool could_hold(int64_t count, int64_t tokens) const {
        return count >= 0 && count <= (static_cast<int64_t>(left()) + 1) / (2 * tokens);
    }
    bool next(std::string_view& token) {
        while (pos_ < bytes_.size()) {
            const char c = static_cast<char>(bytes_[pos_]);
            if (c == '#') {
                while (pos_ < bytes_.size() && bytes_[pos_] != '\n') ++pos_;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                ++pos_;
            } else {
                break;
            }
        }
        const size_t start = pos_;
        while (pos_ < bytes_.size()) {
            const char c = static_cast<char>(bytes_[pos_]);
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '#') break;
            ++pos_;
        }
        token = std::string_view(reinterpret_cast<const char*>(bytes_.data()) + start, pos_ - start);
        return !token.empty();
    }
    bool number(double& v) {
        char text[64];
        if (!copy_next(text)) return false;
        char* end = nullptr;
        v = std::strtod(text, &end);
        return *end == '\0' && std::isfinite(v);
    }
    bool integer(int64_t& v, int64_t low, int64_t high) {
        char text[64];
        if (!copy_next(text)) return false;
        char* end = nullptr;
        const long long parsed = std::strtoll(text, &end, 10);
        v = parsed;
        return *end == '\0' && parsed >= low && parsed <= high;
    }

private:
    bool copy_next(char (&text)[64]) {
        std::string_view token;
        if (!next(token) || token.size() >= sizeof text) return false;
        std::memcpy(text, token.data(), token.size());
        text[token.size()] = '\0';
        return true;
    }
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
};

// One corner of a triangle: the frames' vertex, the texture pair (-1: none), a colour.
struct Corner {
    int64_t vertex;
    int64_t tex;
    uint32_t colour;
};

DddStatus read_text_body(TokenReader& in, MeshObjectX& mesh, int64_t budget) {
    std::string_view token;
    double version = 0;
    if (!in.next(token) || token != "DDDA" || !in.number(version)) return DddStatus::READ_ERROR;
    if (version > DDDA_VERSION) return DddStatus::WRONG_VERSION;
    const bool has_normals = version >= DDDA_VERSION;
    constexpr int64_t INT_LIMIT = 0x7FFFFFFF;

    int64_t tex_count = 0;
    if (!in.integer(tex_count, 0, INT_LIMIT) || !in.could_hold(tex_count, 2)) return DddStatus::READ_ERROR;
    std::vector<double> tex(static_cast<size_t>(tex_count) * 2);
    for (double& t : tex) {
        if (!in.number(t)) return DddStatus::READ_ERROR;
    }

    int64_t polygon_count = 0;
    if (!in.integer(polygon_count, 0, INT_LIMIT) || !in.could_hold(polygon_count, 4)) {
        return DddStatus::READ_ERROR;
    }
    std::vector<Corner> corners;  // three per triangle
    std::vector<Corner> polygon;
    for (int64_t p = 0; p < polygon_count; ++p) {
        int64_t rgb[3], n = 0;
        for (int64_t& c : rgb) {
            if (!in.integer(c, 0, 255)) return DddStatus::READ_ERROR;
        }
        if (!in.integer(n, 0, INT_LIMIT) || !in.could_hold(n, 2)) return DddStatus::READ_ERROR;
        // Its fan's corners are counted before the polygon is held.
        if (static_cast<int64_t>(corners.size()) + 3 * std::max<int64_t>(n - 2, 0) > budget) {
            return DddStatus::MALLOC_ERROR;
        }
        const uint32_t colour = static_cast<uint32_t>(rgb[0] | (rgb[1] << 8) | (rgb[2] << 16));
        polygon.clear();
        for (int64_t i = 0; i < n; ++i) {
            Corner c{0, 0, colour};
            if (!in.integer(c.vertex, 0, INT_LIMIT) || !in.integer(c.tex, -1, tex_count - 1)) {
                return DddStatus::READ_ERROR;
            }
            polygon.push_back(c);
        }
        // A fan from the first corner keeps the polygon's winding.
        for (size_t i = 1; i + 1 < polygon.size(); ++i) {
            corners.insert(corners.end(), {polygon[0], polygon[i], polygon[i + 1]});
        }
    }

    int64_t frame_count = 0;
    if (!in.integer(frame_count, 0, INT_LIMIT) || !in.could_hold(frame_count, 1)) return DddStatus::READ_ERROR;
    if (frame_count > MAX_MESH_FRAMES || frame_count * static_cast<int64_t>(corners.size()) > budget) {
        return DddStatus::MALLOC_ERROR;
    }
    const int64_t numbers_per_vertex = has_normals ? 6 : 3;
    std::vector<double> values;
    std::vector<MeshVertex> vertices;
    for (int64_t f = 0; f < frame_count; ++f) {
        int64_t vertex_count = 0;
        if (!in.integer(vertex_count, 0, INT_LIMIT) || !in.could_hold(vertex_count, numbers_per_vertex)) {
            return DddStatus::READ_ERROR;
        }
        if (vertex_count > MAX_MESH_VERTICES) return DddStatus::MALLOC_ERROR;
        values.resize(static_cast<size_t>(vertex_count * numbers_per_vertex));
        for (double& v : values) {
            if (!in.number(v)) return DddStatus::READ_ERROR;
        }
        vertices.assign(corners.size(), MeshVertex{});
        for (size_t i = 0; i < corners.size(); ++i) {
            const Corner& c = corners[i];
            if (c.vertex >= vertex_count) return DddStatus::READ_ERROR;
            MeshVertex& v = vertices[i];
            const double* source = &values[static_cast<size_t>(c.vertex * numbers_per_vertex)];
            for (int a = 0; a < 3; ++a) {
                v.position[a] = static_cast<float>(source[a]);
                if (has_normals) v.normal[a] = static_cast<float>(source[3 + a]);
            }
            if (c.tex >= 0) {
                v.u = static_cast<float>(tex[static_cast<size_t>(c.tex) * 2]);
                v.v = static_cast<float>(tex[static_cast<size_t>(c.tex) * 2 + 1]);
            }
            v.colour_value = c.colour;
        }
        pack_frame(mesh, vertices);
    }
    if (!has_normals && !mesh.frames.empty()) {
        mesh.build();
        compute_normals(mesh, NormalMode::SMOOTH);
    }
    return DddStatus::OK;
}

template <class Body, class Reader>
DddStatus run_reader(Body body, Reader& reader, MeshObjectX& mesh, int64_t budget) {
    mesh.clear();
    DddStatus status;
    try {
        status = body(reader, mesh, std::min(budget, MAX_MESH_VERTICES));
    } catch (const std::bad_alloc&) {
        status = DddStatus::MALLOC_ERROR;
    } catch (const std::length_error&) {
        status = DddStatus::MALLOC_ERROR;
    }
    if (status != DddStatus::OK) {
        mesh.clear();
        mesh.frames.shrink_to_fit();
    }
    return status;
}

}  // namespace

int64_t text_vertex_budget(size_t bytes) {
    return std::max<int64_t>(TEXT_VERTEX_FLOOR, static_cast<int64_t>(bytes / TEXT_BYTES_PER_VERTEX));
}

DddStatus read_ddd_binary(std::span<const uint8_t> bytes, MeshObjectX& mesh, int64_t vertex_budget) {
    ByteCursor in(bytes);
    return run_reader(read_binary_body, in, mesh, vertex_budget);
}

DddStatus read_ddd_text(std::span<const uint8_t> bytes, MeshObjectX& mesh, int64_t vertex_budget) {
    TokenReader in(bytes);
    return run_reader(read_text_body, in, mesh, std::min(vertex_budget, text_vertex_budget(bytes.size())));
}

DddStatus read_mesh_bytes(std::span<const uint8_t> bytes, MeshObjectX& mesh, int64_t vertex_budget) {
    ByteCursor probe(bytes);
    int32_t magic = 0;
    if (probe.i32(magic) && magic == DDD_MAGIC) return read_ddd_binary(bytes, mesh, vertex_budget);
    return read_ddd_text(bytes, mesh, vertex_budget);
}

bool write_ddd_binary(const MeshObjectX& mesh, std::vector<uint8_t>& out) {
    out.clear();
    // The vertex indices each frame writes: all of them, or a built mesh's triangle
    // corners, since loaded files have no separators.
    const auto written = [&](size_t f) {
        return mesh.separators ? std::min(mesh.held_indices(f), mesh.triangles.size())
                               : mesh.frames[f].packed_vertices.size();
    };
    const auto vertex_of = [&](size_t i) { return mesh.separators ? size_t{mesh.triangles[i]} : i; };
    if (mesh.frames.empty() || static_cast<int64_t>(mesh.frames.size()) > MAX_MESH_FRAMES ||
        mesh.colours.size() > 0x7FFFFFFF || written(0) == 0) {
        return false;
    }
    int64_t total = 0;
    for (size_t f = 0; f < mesh.frames.size(); ++f) total += static_cast<int64_t>(written(f));
    if (total > MAX_MESH_VERTICES) return false;
    const size_t tex_count = mesh.separators ? written(0) : mesh.tex_u.size();
    put_u32(out, static_cast<uint32_t>(DDD_MAGIC));
    put_f64(out, DDD_VERSION);
    put_u32(out, static_cast<uint32_t>(mesh.frames.size()));
    put_u32(out, static_cast<uint32_t>(mesh.colours.size()));
    put_u32(out, static_cast<uint32_t>(tex_count));
    for (uint32_t c : mesh.colours) put_u32(out, c);
    for (size_t i = 0; i < tex_count; ++i) {
        const size_t k = vertex_of(i);
        put_f32(out, k < mesh.tex_u.size() ? mesh.tex_u[k] : 0.0f);
        put_f32(out, k < mesh.tex_v.size() ? mesh.tex_v[k] : 0.0f);
    }
    for (size_t f = 0; f < mesh.frames.size(); ++f) {
        const MeshFrame& frame = mesh.frames[f];
        const size_t count = written(f);
        put_u32(out, static_cast<uint32_t>(count));
        for (float v : frame.offset) put_f32(out, v);
        for (float v : frame.scale) put_f32(out, v);
        for (size_t i = 0; i < count; ++i) {
            const PackedVertex& p = frame.packed_vertices[vertex_of(i)];
            out.insert(out.end(), {p.x, p.y, p.z, p.normal, p.colour});
        }
    }
    return true;
}

}  // namespace runtime
