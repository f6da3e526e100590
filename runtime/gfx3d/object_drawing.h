// The steps of object drawing that need no OpenGL, for reuse and for tests.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/gfx3d/object_mesh.h"

namespace runtime {

// Frames u and v and the share w of frame u in a drawn vertex (v + (u - v) * w).
struct FramePair {
    int32_t u = 0;
    int32_t v = 0;
    double w = 0;
};

// The frame pair for draw_object (object, a, b, t, flag) on a mesh of frame_count frames:
// with the flag, t runs along the frames a..b (repeating outside 0..1); without it, t
// moves from frame a at 0 to frame b at 1. Both frames are clamped to the mesh.
FramePair choose_frames(int32_t frame_count, double a, double b, double t, bool along_run);
// Frame v's vertices with positions and normals moved toward frame u by w (normals
// normalised again); frame v unchanged when w is 0.
void blend_frames(const MeshObjectX& mesh, const FramePair& pair, std::vector<MeshVertex>& out);
// Per triangle: whether it faces the light, and which of its edges outline the shadow
// (it faces the light and the triangle across does not, or nothing is across).
// Only the first `indices` entries of the triangle list count (what both frames hold).
void shadow_flags(const MeshObjectX& mesh, const std::vector<MeshVertex>& vertices, const float light[3],
                  size_t indices, std::vector<uint8_t>& flags);

}  // namespace runtime
