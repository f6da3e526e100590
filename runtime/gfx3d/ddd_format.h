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

// The text form expands to at most one vertex (over all frames) per this many bytes of
// text, and never fewer than TEXT_VERTEX_FLOOR: a few bytes of frames or corners could
// otherwise ask for hundreds of megabytes.
constexpr int64_t TEXT_BYTES_PER_VERTEX = 4;
constexpr int64_t TEXT_VERTEX_FLOOR = 65536;
// The vertices a text file of this many bytes may expand to.
int64_t text_vertex_budget(size_t bytes);

// Reads either form into the mesh (cleared first; cleared again on failure), holding at
// most `vertex_budget` vertices over all frames (and never more than MAX_MESH_VERTICES);
// more is a MALLOC_ERROR found before anything is sized by it. The mesh is not built.
// The binary form is chosen when the first four bytes are the magic.
DddStatus read_mesh_bytes(std::span<const uint8_t> bytes, MeshObjectX& mesh,
                          int64_t vertex_budget = MAX_MESH_VERTICES);
DddStatus read_ddd_binary(std::span<const uint8_t> bytes, MeshObjectX& mesh,
                          int64_t vertex_budget = MAX_MESH_VERTICES);
// Text form: "DDDA", version, NT and NT pairs u v, NP polygons, NF frames (see the
// command reference for what each number means).
DddStatus read_ddd_text(std::span<const uint8_t> bytes, MeshObjectX& mesh,
                        int64_t vertex_budget = MAX_MESH_VERTICES);

// The mesh in the binary form, as the reader will take it back: a built mesh's runs
// (strips, fans, lists between separators) are written as plain triangle lists. False
// (out empty) when the first frame would have no vertex, or the file would hold more
// vertices or frames than the reader takes.
bool write_ddd_binary(const MeshObjectX& mesh, std::vector<uint8_t>& out);

}  // namespace runtime
