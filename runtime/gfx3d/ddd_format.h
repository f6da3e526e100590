// The .ddd mesh file: the binary form (read and written) and the text form "DDDA"
// (read). The readers take the file's bytes, so they run on any memory buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "runtime/gfx3d/object_mesh.h"

namespace runtime {

constexpr int32_t DDD_MAGIC = 13021975;  // 0x00C6B317
constexpr double DDD_VERSION = 1.02;
// The newest text form; from this version on each vertex carries its normal.
constexpr double DDDA_VERSION = 1.1;

enum class DddStatus {
    OK,
    WRONG_VERSION,  // "Wrong .ddd version."
    READ_ERROR,     // short or damaged data: "# read error"
    MALLOC_ERROR,   // too large to hold: "# malloc error"
};

// Reads either form into the mesh (cleared first; cleared again on failure). The mesh
// is not built. The binary form is chosen when the first four bytes are the magic.
DddStatus read_mesh_bytes(std::span<const uint8_t> bytes, MeshObjectX& mesh);
DddStatus read_ddd_binary(std::span<const uint8_t> bytes, MeshObjectX& mesh);
// Text form: "DDDA", version, NT and NT pairs u v, NP polygons, NF frames (see the
// command reference for what each number means).
DddStatus read_ddd_text(std::span<const uint8_t> bytes, MeshObjectX& mesh);

// The mesh in the binary form; false (out empty) when it has no frames or more
// vertices than the form can count.
bool write_ddd_binary(const MeshObjectX& mesh, std::vector<uint8_t>& out);

}  // namespace runtime
