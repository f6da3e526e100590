// Free vertices into the stored form every mesh shares (per-frame quantisation, nearest
// table normals, the colour table), and normals computed from the triangles.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/gfx3d/object_mesh.h"

namespace runtime {

enum class NormalMode : int32_t {
    FLAT = 0,    // each corner gets its own triangle's normal
    SMOOTH = 1,  // corners at one position share the mean of all their triangles
    CREASE = 2,  // as SMOOTH, but only triangles turned less than 60 degrees join in
};

// Appends one packed frame made from the vertices to the mesh; the first frame also
// supplies the per-vertex texture coordinates (stored unchanged).
void pack_frame(MeshObjectX& mesh, const std::vector<MeshVertex>& vertices);
// The colour's index in the mesh's colour table, appended when new. Ordinary colours
// take at most 252 entries (then the nearest one is used) so the reserved ones always fit.
uint8_t colour_table_index(std::vector<uint32_t>& colours, uint32_t colour_value);
// Replaces every packed normal by one computed from the mesh's triangles (the mesh must
// be built); the caller builds it again afterwards.
void compute_normals(MeshObjectX& mesh, NormalMode mode);

}  // namespace runtime
