// World files: an INI text starting ";DDW" that names texture pictures and .ddd meshes
// (relative to the world file's folder) and each mesh's pair of textures.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace runtime {

// A world file names at most this many meshes, and textures numbered up to it; one
// naming more is refused.
constexpr int64_t WORLD_ENTRY_LIMIT = 4096;

struct WorldMesh {
    std::string file;        // the world file's folder + the name given
    int32_t texture_a = -1;  // 0-based into WorldDescription::textures; -1: none
    int32_t texture_b = -1;
};

struct WorldDescription {
    std::vector<std::string> textures;  // empty where the file names none
    std::vector<WorldMesh> meshes;
};

// Whether the bytes start with ';', 'D', 'D', 'W'.
bool is_world_file(std::span<const uint8_t> bytes);
// The folder part of a name: up to and including its last '/' or '\', else "".
std::string folder_of(const std::string& file_name);
// Reads the sections "textures" and "objects": a section's "count" is how many numbers
// it has, and numbers without a key are skipped. False when it names no mesh at all or
// more than the limit allows.
bool parse_world_file(std::span<const uint8_t> bytes, const std::string& folder, WorldDescription& out);

}  // namespace runtime
