// Drawing objects: the frame pair and weight from the blending rule, then either one
// frame straight from the buffer objects (or its vertex array) or both frames blended
// on the processor. In a running shadow pass an object gives its shadow volume instead.
#include "runtime/gfx3d/object_drawing.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <new>

#include "runtime/gfx2d/drawing_2d.h"
#include "runtime/gfx3d/object_commands.h"
#include "runtime/gfx3d/object_table.h"
#include "runtime/gfx3d/object_vector.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gfx3d/shadow_pass.h"
#include "runtime/gfx3d/transforms.h"
#include "runtime/platform/gl_extensions.h"

namespace runtime {

namespace {

using object_detail::Vec3;

int32_t sprite_of(double x) {
    if (!std::isfinite(x) || x <= -2147483649.0 || x >= 2147483648.0) return -1;
    return static_cast<int32_t>(x);
}

// Uploads all frames one after another, and the triangles, into buffer objects.
void upload_buffers(MeshObjectX& mesh) {
    const platform::GlExtensions& ext = platform::gl_extensions();
    mesh.frame_starts.clear();
    size_t total = 0;
    for (const MeshFrame& f : mesh.frames) {
        mesh.frame_starts.push_back(total);
        total += f.vertices.size();
    }
    std::vector<MeshVertex> all;
    all.reserve(total);
    for (const MeshFrame& f : mesh.frames) all.insert(all.end(), f.vertices.begin(), f.vertices.end());
    if (!mesh.vertex_buffer) ext.glGenBuffersARB(1, &mesh.vertex_buffer);
    if (!mesh.index_buffer) ext.glGenBuffersARB(1, &mesh.index_buffer);
    ext.glBindBufferARB(GL_ARRAY_BUFFER_ARB, mesh.vertex_buffer);
    ext.glBufferDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(all.size() * sizeof(MeshVertex)),
                        all.data(), GL_STATIC_DRAW_ARB);
    ext.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, mesh.index_buffer);
    ext.glBufferDataARB(GL_ELEMENT_ARRAY_BUFFER_ARB,
                        static_cast<GLsizeiptrARB>(mesh.triangles.size() * sizeof(uint32_t)),
                        mesh.triangles.data(), GL_STATIC_DRAW_ARB);
    mesh.buffers_stale = false;
}

// Points the fixed-function arrays at interleaved MeshVertex data (a pointer, or an
// offset into the bound vertex buffer) and draws the triangles.
void draw_arrays(size_t count, const char* base, const void* indices, bool shader) {
    const platform::GlExtensions& ext = platform::gl_extensions();
    constexpr GLsizei STRIDE = sizeof(MeshVertex);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, STRIDE, base + offsetof(MeshVertex, position));
    glNormalPointer(GL_FLOAT, STRIDE, base + offsetof(MeshVertex, normal));
    glColorPointer(3, GL_FLOAT, STRIDE, base + offsetof(MeshVertex, red));
    // Both texture units read the same coordinates; a shader also gets the two
    // auxiliary directions as coordinate sets 2 and 3.
    GLint units = 1;
    if (ext.glClientActiveTextureARB) glGetIntegerv(GL_MAX_TEXTURE_COORDS_ARB, &units);
    const int32_t sets = ext.glClientActiveTextureARB ? std::min<GLint>(units, shader ? 4 : 2) : 1;
    for (int32_t set = 0; set < sets; ++set) {
        if (ext.glClientActiveTextureARB)
            ext.glClientActiveTextureARB(GL_TEXTURE0_ARB + static_cast<GLenum>(set));
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        if (set < 2) {
            glTexCoordPointer(2, GL_FLOAT, STRIDE, base + offsetof(MeshVertex, u));
        } else {
            glTexCoordPointer(3, GL_FLOAT, STRIDE, base + (set == 2 ? offsetof(MeshVertex, aux_a) : offsetof(MeshVertex, aux_b)));
        }
    }
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(count), GL_UNSIGNED_INT, indices);
    for (int32_t set = sets - 1; set >= 0; --set) {
        if (ext.glClientActiveTextureARB)
            ext.glClientActiveTextureARB(GL_TEXTURE0_ARB + static_cast<GLenum>(set));
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    // Drawing leaves the current colour undefined; later drawing expects white.
    glColor4f(1, 1, 1, 1);
}

// The triangles both frames of the pair hold all corners of.
size_t pair_indices(const MeshObjectX& mesh, const FramePair& pair) {
    const size_t v = mesh.held_indices(static_cast<size_t>(pair.v));
    return pair.w == 0.0 ? v : std::min(v, mesh.held_indices(static_cast<size_t>(pair.u)));
}

void draw_mesh(MeshObjectX& mesh, const FramePair& pair, bool shader) {
    const size_t count = pair_indices(mesh, pair);
    if (count == 0) return;
    const MeshFrame& v = mesh.frames[static_cast<size_t>(pair.v)];
    const platform::GlExtensions& ext = platform::gl_extensions();
    if (pair.w == 0.0) {
        if (!ext.has_buffer_objects()) {
            draw_arrays(count, reinterpret_cast<const char*>(v.vertices.data()), mesh.triangles.data(),
                        shader);
            return;
        }
        if (mesh.buffers_stale || !mesh.vertex_buffer) upload_buffers(mesh);
        ext.glBindBufferARB(GL_ARRAY_BUFFER_ARB, mesh.vertex_buffer);
        ext.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, mesh.index_buffer);
        const char* start = nullptr;
        draw_arrays(count, start + mesh.frame_starts[static_cast<size_t>(pair.v)] * sizeof(MeshVertex),
                    nullptr, shader);
        ext.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
        ext.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
        return;
    }
    std::vector<MeshVertex> blended;
    blend_frames(mesh, pair, blended);
    draw_arrays(count, reinterpret_cast<const char*>(blended.data()), mesh.triangles.data(), shader);
}

// The mesh's shadow volume for the scene's shadow pass, in the mesh's own space.
void draw_mesh_shadow(const MeshObjectX& mesh, const FramePair& pair, const float light[3]) {
    const size_t count = pair_indices(mesh, pair);
    if (count == 0) return;
    std::vector<MeshVertex> vertices;
    blend_frames(mesh, pair, vertices);
    std::vector<float> positions;
    positions.reserve(vertices.size() * 3);
    for (const MeshVertex& m : vertices) positions.insert(positions.end(), m.position, m.position + 3);
    std::vector<uint8_t> flags;
    shadow_flags(mesh, vertices, light, count, flags);
    ShadowVolumeMesh volume;
    volume.positions = positions.data();
    volume.vertex_count = static_cast<int32_t>(vertices.size());
    volume.triangles = reinterpret_cast<const int32_t*>(mesh.triangles.data());
    volume.triangle_count = static_cast<int32_t>(count / 3);
    volume.flags = flags.data();
    draw_shadow_volume(volume, light, false);
}

}  // namespace

FramePair choose_frames(int32_t frame_count, double a, double b, double t, bool along_run) {
    FramePair pair;
    double u, v;
    if (along_run) {
        double p = t;
        if (p > 1 || p < 0) p = std::fabs(std::fmod(t, 1.0));
        const double m = a + (b - a) * p;
        const double j = std::trunc(m);
        if (a < b) {
            u = j;
            v = j + 1;
            pair.w = 1 - (m - j);
        } else if (b < a) {
            u = j + 1;
            v = j;
            pair.w = m - j;
        } else {
            u = a;
            v = b;
            pair.w = 0;
        }
    } else {
        u = b;
        v = a;
        pair.w = t;
    }
    const auto clamp_frame = [&](double f) {
        if (!(f > 0)) return 0;  // NaN too
        return f >= frame_count - 1 ? frame_count - 1 : static_cast<int32_t>(f);
    };
    pair.u = clamp_frame(u);
    pair.v = clamp_frame(v);
    if (!std::isfinite(pair.w)) pair.w = 0;
    return pair;
}

void blend_frames(const MeshObjectX& mesh, const FramePair& pair, std::vector<MeshVertex>& out) {
    const MeshFrame& fu = mesh.frames[static_cast<size_t>(pair.u)];
    const MeshFrame& fv = mesh.frames[static_cast<size_t>(pair.v)];
    out = fv.vertices;
    if (pair.w == 0.0) return;
    const float w = static_cast<float>(pair.w);
    const size_t n = std::min(fu.vertices.size(), fv.vertices.size());
    for (size_t k = 0; k < n; ++k) {
        MeshVertex& o = out[k];
        const MeshVertex& from_u = fu.vertices[k];
        for (int i = 0; i < 3; ++i) {
            o.position[i] += (from_u.position[i] - o.position[i]) * w;
            o.normal[i] += (from_u.normal[i] - o.normal[i]) * w;
        }
        object_detail::store(object_detail::normalised(Vec3::of(o.normal)), o.normal);
    }
}

void shadow_flags(const MeshObjectX& mesh, const std::vector<MeshVertex>& vertices, const float light[3],
                  size_t indices, std::vector<uint8_t>& flags) {
    const std::vector<uint32_t>& t = mesh.triangles;
    const size_t count = std::min(indices, t.size()) / 3;
    const Vec3 l = Vec3::of(light);
    flags.assign(count, 0);
    for (size_t i = 0; i < count; ++i) {
        const Vec3 a = Vec3::of(vertices[t[i * 3]].position);
        const Vec3 b = Vec3::of(vertices[t[i * 3 + 1]].position);
        const Vec3 c = Vec3::of(vertices[t[i * 3 + 2]].position);
        if (object_detail::dot(object_detail::cross(b - a, c - a), l - a) > 0) flags[i] = SHADOW_FACES_LIGHT;
    }
    constexpr uint8_t EDGE_FLAGS[3] = {SHADOW_SILHOUETTE_EDGE_0, SHADOW_SILHOUETTE_EDGE_1, SHADOW_SILHOUETTE_EDGE_2};
    for (size_t i = 0; i < count; ++i) {
        if (!(flags[i] & SHADOW_FACES_LIGHT)) continue;
        for (size_t e = 0; e < 3; ++e) {
            const int32_t other = mesh.edge_neighbours[i * 3 + e];
            // An open edge, or one whose neighbour turns away from the light, outlines the shadow.
            // A neighbour this frame does not hold is no neighbour.
            if (other < 0 || static_cast<size_t>(other) >= count ||
                !(flags[static_cast<size_t>(other)] & SHADOW_FACES_LIGHT)) {
                flags[i] |= EDGE_FLAGS[e];
            }
        }
    }
}

void reset_object_texture() {
    if (ObjectTable* table = object_table()) {
        table->texture_sprite = -1;
        table->texture_second_sprite = -1;
    }
}

void set_object_texture(double sprite, double second_sprite) {
    ObjectTable* table = object_table();
    if (!table) return;
    table->texture_sprite = sprite_of(sprite);
    table->texture_second_sprite = sprite_of(second_sprite);
    bind_sprite(table->texture_sprite, table->texture_second_sprite, table->texture_mipmapping);
}

void set_texture_mipmapping(double flag) {
    if (ObjectTable* table = object_table()) table->texture_mipmapping = flag != 0;
}

void draw_object(double object, double frame_from, double frame_to, double t, double flag) {
    const ObjectSlot* found = find_object(object);
    Rainbows3D* scene = scene_for_gl();
    ObjectTable* table = object_table();
    if (!found || !found->loaded || !scene || !table) return;
    const ObjectSlot& slot = *found;
    const bool shadow = scene->shadow_pass_active;
    float light[3] = {0, 0, 0};
    if (shadow && !point_into_transform(scene->shadow_light_position, light)) return;
    if (!shadow) bind_sprite(table->texture_sprite, table->texture_second_sprite, table->texture_mipmapping);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    apply_transform();
    const size_t drawn = slot.is_world ? slot.meshes.size() : std::min<size_t>(1, slot.meshes.size());
    for (size_t i = 0; i < drawn; ++i) {
        MeshObjectX& mesh = *slot.meshes[i];
        if (mesh.frames.empty()) continue;
        const FramePair pair =
            choose_frames(static_cast<int32_t>(mesh.frames.size()), frame_from, frame_to, t, flag != 0);
        // The copies drawing makes (a blend, the buffer upload) are made before any GL
        // call: a mesh too large for the memory left is skipped rather than ending the program.
        try {
            if (shadow) {
                draw_mesh_shadow(mesh, pair, light);
                continue;
            }
            if (slot.is_world) bind_sprite(mesh.texture_a, mesh.texture_b, false, slot.textures.data());
            draw_mesh(mesh, pair, scene->current_shader >= 0);
        } catch (const std::bad_alloc&) {
            continue;
        }
    }
    glPopMatrix();
}

void draw_object_frame(double object, double frame) { draw_object(object, frame, frame, 0, 0); }

}  // namespace runtime
