// The stencil shadow pass: shadow volumes of occluders count into the stencil buffer,
// and switching the pass off darkens every pixel whose count is non-zero.
#pragma once

#include <cstdint>

namespace runtime {

// Per-triangle flags of a shadow volume's mesh.
constexpr uint8_t SHADOW_FACES_LIGHT = 1;
// Edge i runs from the triangle's vertex i to vertex (i + 1) mod 3.
constexpr uint8_t SHADOW_SILHOUETTE_EDGE_0 = 2;
constexpr uint8_t SHADOW_SILHOUETTE_EDGE_1 = 4;
constexpr uint8_t SHADOW_SILHOUETTE_EDGE_2 = 8;

// The triangles an occluder hands to the shadow pass. Positions and the light share one
// space, and the volume is drawn under the current modelview matrix. Triangles are
// wound like the object's front faces.
struct ShadowVolumeMesh {
    const float* positions = nullptr;  // x, y, z per vertex
    int32_t vertex_count = 0;
    // Three vertex indices per triangle; null: vertices taken three at a time.
    const int32_t* triangles = nullptr;
    int32_t triangle_count = 0;
    const uint8_t* flags = nullptr;  // one per triangle
};

// Switches the pass on (colour and depth writes off, stencil inverting) or off (darkens
// the counted pixels, clears the stencil); nothing when it does not change.
void set_shadow_pass(bool on);
// The pass off; called before presenting and by every 2D viewport reset.
void end_shadow_pass();
// Counts one occluder's volume into the stencil: the sides of its silhouette edges
// extruded away from the light to infinity, with caps when asked. Indices outside the
// vertex range skip their triangle.
void draw_shadow_volume(const ShadowVolumeMesh& mesh, const float light[3], bool caps);

}  // namespace runtime
