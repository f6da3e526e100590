// Links: runtime_gfx3d
// Model files as an object load sees them: a world file (";DDW") or a .ddd mesh in either
// form. A refused mesh is left empty; a loaded one keeps the limits and indexes only what it
// holds, builds, and what the writer saves of it reads back the same (for the binary form,
// the writer gives back the very bytes the reader took). A world lists what the INI lookup
// finds, within its limits.
#include <algorithm>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "runtime/files/ini_file.h"
#include "runtime/gfx3d/ddd_format.h"
#include "runtime/gfx3d/normal_table.h"
#include "runtime/gfx3d/world_file.h"
#include "support/fuzz_support.h"

namespace {

using namespace runtime;

bool same_bits(const void* a, const void* b, size_t n) { return n == 0 || std::memcmp(a, b, n) == 0; }

template <class T>
bool same_items(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && same_bits(a.data(), b.data(), a.size() * sizeof(T));
}

bool same_packed(const MeshObjectX& a, const MeshObjectX& b) {
    if (a.frames.size() != b.frames.size() || a.colours != b.colours || !same_items(a.tex_u, b.tex_u) ||
        !same_items(a.tex_v, b.tex_v))
        return false;
    for (size_t f = 0; f < a.frames.size(); ++f) {
        const MeshFrame& x = a.frames[f];
        const MeshFrame& y = b.frames[f];
        if (!same_bits(x.offset, y.offset, sizeof x.offset) || !same_bits(x.scale, y.scale, sizeof x.scale) ||
            !same_items(x.packed_vertices, y.packed_vertices))
            return false;
    }
    return true;
}

void check_mesh(std::span<const uint8_t> bytes) {
    MeshObjectX mesh;
    if (read_mesh_bytes(bytes, mesh) != DddStatus::OK) {
        fuzz::require(mesh.frames.empty() && mesh.colours.empty() && mesh.tex_u.empty(), "a refused mesh is empty");
        return;
    }
    const bool binary = bytes.size() >= 4 && bytes[0] == 0x17 && bytes[1] == 0xB3 && bytes[2] == 0xC6 && bytes[3] == 0;
    fuzz::require(static_cast<int64_t>(mesh.frames.size()) <= MAX_MESH_FRAMES, "frames within the limit");
    fuzz::require(mesh.tex_u.size() == mesh.tex_v.size(), "texture pairs");
    int64_t total = 0;
    for (const MeshFrame& frame : mesh.frames) {
        total += static_cast<int64_t>(frame.packed_vertices.size());
        fuzz::require(binary || frame.packed_vertices.size() == mesh.frames[0].packed_vertices.size(),
                      "every text frame has a vertex per corner");
        for (const PackedVertex& p : frame.packed_vertices) {
            fuzz::require(p.normal < NORMAL_COUNT && p.colour < mesh.colours.size(), "indices inside their tables");
        }
    }
    fuzz::require(total <= MAX_MESH_VERTICES && (binary || total <= text_vertex_budget(bytes.size())),
                  "vertices within the limit");

    std::vector<uint8_t> written;
    fuzz::require(
        write_ddd_binary(mesh, written) == (!mesh.frames.empty() && !mesh.frames[0].packed_vertices.empty()),
        "a mesh with a first frame of vertices is written");
    if (!written.empty()) {
        fuzz::require(!binary || (written.size() <= bytes.size() && same_bits(written.data(), bytes.data(), written.size())),
                      "the writer gives back the bytes the reader took");
        MeshObjectX back;
        fuzz::require(read_mesh_bytes(written, back) == DddStatus::OK && same_packed(back, mesh), "a saved mesh reads back");
    }

    mesh.build();
    const size_t triangles = mesh.triangles.size() / 3;
    fuzz::require(mesh.triangles.size() % 3 == 0 && mesh.edge_neighbours.size() == mesh.triangles.size(),
                  "whole triangles with a neighbour slot per edge");
    for (const MeshFrame& frame : mesh.frames) {
        fuzz::require(frame.vertices.size() == frame.packed_vertices.size(), "every vertex expanded");
        fuzz::require(frame.triangle_indices % 3 == 0 && frame.triangle_indices <= mesh.triangles.size(),
                      "a frame holds whole triangles of the list");
        for (size_t i = 0; i < frame.triangle_indices; ++i) {
            fuzz::require(mesh.triangles[i] < frame.vertices.size(),
                          "a frame holds the corners of its triangles");
        }
        fuzz::require(
            frame.triangle_indices == mesh.triangles.size() ||
                std::max({mesh.triangles[frame.triangle_indices], mesh.triangles[frame.triangle_indices + 1],
                          mesh.triangles[frame.triangle_indices + 2]}) >= frame.vertices.size(),
            "a frame holds every triangle it has the corners of");
    }
    for (int32_t n : mesh.edge_neighbours) {
        fuzz::require(n >= -1 && n < static_cast<int64_t>(triangles), "neighbours are triangles");
    }
}

constexpr size_t PLAIN_LOOKUP_BYTES = 16384;
// The plain lookup visits every number up to a count: only for counts up to this.
constexpr int64_t PLAIN_LOOKUP_COUNT = 8192;

int64_t largest_count(std::span<const uint8_t> bytes) {
    IniStore store;
    ini_parse_bytes(store, reinterpret_cast<const char*>(bytes.data()), bytes.size());
    int64_t largest = 0;
    for (const char* section : {"textures", "objects"}) {
        const DynString v = ini_lookup(store, section, "count");
        largest = std::max<int64_t>(largest, std::atoll(v.text_of()));
    }
    return largest;
}

// What the world reader must give, without its limits: every name through the INI lookup.
WorldDescription looked_up(std::span<const uint8_t> bytes, const std::string& folder) {
    IniStore store;
    ini_parse_bytes(store, reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const auto text = [&](const char* section, const std::string& key) {
        const DynString v = ini_lookup(store, section, key.c_str());
        return std::strcmp(v.text_of(), NOT_FOUND_TEXT) == 0 ? std::string() : std::string(v.text_of(), v.length);
    };
    const auto whole = [&](const char* section, const std::string& key) {
        return std::atoll(text(section, key).c_str());
    };
    const auto count = [&](const char* section) { return std::max<int64_t>(whole(section, "count"), 0); };
    WorldDescription world;
    for (int64_t i = 1; i <= count("textures"); ++i) {
        const std::string name = text("textures", std::to_string(i));
        world.textures.push_back(name.empty() ? name : folder + name);
    }
    const int64_t textures = std::min<int64_t>(static_cast<int64_t>(world.textures.size()), WORLD_ENTRY_LIMIT);
    for (int64_t i = 1; i <= count("objects"); ++i) {
        const std::string number = std::to_string(i);
        if (text("objects", number).empty()) continue;
        WorldMesh mesh{folder + text("objects", number)};
        const int64_t a = whole("objects", number + "ta"), b = whole("objects", number + "tb");
        mesh.texture_a = a >= 1 && a <= textures ? static_cast<int32_t>(a - 1) : -1;
        mesh.texture_b = b >= 1 && b <= textures ? static_cast<int32_t>(b - 1) : -1;
        world.meshes.push_back(mesh);
    }
    return world;
}

void check_world(std::span<const uint8_t> bytes) {
    const std::string folder = "level/";
    WorldDescription world;
    const bool loaded = parse_world_file(bytes, folder, world);
    fuzz::require(loaded || world.meshes.empty(), "a refused world names no mesh");
    fuzz::require(static_cast<int64_t>(world.meshes.size()) <= WORLD_ENTRY_LIMIT &&
                      static_cast<int64_t>(world.textures.size()) <= WORLD_ENTRY_LIMIT,
                  "a world within its limits");
    // The plain lookup takes a time that grows with the square of the names: only on
    // inputs of fuzzer size (committed regressions may be larger).
    if (bytes.size() > PLAIN_LOOKUP_BYTES || largest_count(bytes) > PLAIN_LOOKUP_COUNT) return;
    WorldDescription expected = looked_up(bytes, folder);
    const size_t limit = static_cast<size_t>(WORLD_ENTRY_LIMIT);
    bool within = expected.meshes.size() <= limit;
    for (size_t i = limit; i < expected.textures.size(); ++i) within = within && expected.textures[i].empty();
    fuzz::require(loaded == (within && !expected.meshes.empty()), "a world loads when it names meshes within the limits");
    if (!loaded) return;
    expected.textures.resize(std::min(expected.textures.size(), limit));
    fuzz::require(world.textures == expected.textures && world.meshes.size() == expected.meshes.size(),
                  "the world lists what the lookup finds");
    for (size_t i = 0; i < world.meshes.size(); ++i) {
        const WorldMesh& m = world.meshes[i];
        const WorldMesh& e = expected.meshes[i];
        fuzz::require(m.file == e.file && m.texture_a == e.texture_a && m.texture_b == e.texture_b,
                      "each mesh as the lookup finds it");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    if (is_world_file(bytes))
        check_world(bytes);
    else
        check_mesh(bytes);
    return 0;
}
