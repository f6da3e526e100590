// The object slot table and the release of GPU names.
#include "runtime/gfx3d/object_table.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>

#include "runtime/core/lifecycle.h"
#include "runtime/gfx2d/opengl_rainbows.h"
#include "runtime/gfx3d/object_commands.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/platform/gl_extensions.h"

namespace runtime {

namespace {

int32_t object_index(double object) {
    if (std::isnan(object) || object <= -1.0 || object >= OBJECT_COUNT) {
        char text[80];
        std::snprintf(text, sizeof text, "3D object %.10g is outside 0 to %d", object, OBJECT_COUNT - 1);
        error_stop(STOP_INDEX, text);
    }
    return static_cast<int32_t>(object);
}

bool context_ready() {
    const OpenGLRainbows* e = rainbows();
    return e && e->gl_ready;
}

}  // namespace

ObjectTable* object_table() {
    Rainbows3D* scene = rainbows_3d();
    if (!scene) return nullptr;
    if (!scene->objects) {
        scene->objects = {new ObjectTable, &free_all_objects};
        scene->objects_start_3d = reset_object_texture;
        scene->objects_next_frame = [] { set_texture_mipmapping(0); };
    }
    return scene->objects.get();
}

ObjectSlot* find_object(double object) {
    const size_t n = static_cast<size_t>(object_index(object));
    ObjectTable* table = object_table();
    return table && n < table->slots.size() ? &table->slots[n] : nullptr;
}

ObjectSlot* object_slot(double object) {
    const size_t n = static_cast<size_t>(object_index(object));
    ObjectTable* table = object_table();
    if (!table) return nullptr;
    if (n >= table->slots.size()) table->slots.resize(n + 1);
    return &table->slots[n];
}

void release_gl_names(MeshObjectX& mesh) {
    if (context_ready()) {
        const platform::GlExtensions& ext = platform::gl_extensions();
        const GLuint buffers[2] = {mesh.vertex_buffer, mesh.index_buffer};
        if (ext.glDeleteBuffersARB) {
            for (GLuint b : buffers) {
                if (b) ext.glDeleteBuffersARB(1, &b);
            }
        }
        if (mesh.texture) glDeleteTextures(1, &mesh.texture);
    }
    mesh.vertex_buffer = mesh.index_buffer = mesh.texture = 0;
    mesh.buffers_stale = true;
}

void free_object_slot(ObjectSlot& slot) {
    for (auto& mesh : slot.meshes) release_gl_names(*mesh);
    if (context_ready() && !slot.textures.empty()) {
        glDeleteTextures(static_cast<GLsizei>(slot.textures.size()), slot.textures.data());
    }
    slot = ObjectSlot{};
}

void free_all_objects(ObjectTable* table) {
    if (!table) return;
    for (ObjectSlot& slot : table->slots) free_object_slot(slot);
    delete table;
}

}  // namespace runtime
