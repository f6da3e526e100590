// The numbered 3D objects: the slot table, the object being built and the drawing
// settings the object commands share. The table hangs off the 3D scene, which ends its
// life while the OpenGL context still exists.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/gfx3d/object_mesh.h"

namespace runtime {

// Object numbers run from 0 to OBJECT_COUNT - 1; others are an error stop 9.
constexpr int32_t OBJECT_COUNT = 65536;
constexpr int32_t NOT_BUILDING = -1;

struct ObjectSlot {
    bool loaded = false;
    bool is_world = false;
    std::vector<std::unique_ptr<MeshObjectX>> meshes;
    int32_t mesh_count = 0;
    std::vector<uint32_t> textures;  // texture names of a world file
    int32_t texture_count = 0;
};

struct ObjectTable {
    std::vector<ObjectSlot> slots;  // grown up to the highest object number used
    int32_t building = NOT_BUILDING;
    std::vector<MeshVertex> building_vertices;
    // The sprite pair objects are drawn with (-1: none), and whether mipmapped.
    int32_t texture_sprite = -1;
    int32_t texture_second_sprite = -1;
    bool texture_mipmapping = false;
    // Debug drawing of the collision commands' spheres, boxes and rays.
    bool show_collision_shapes = false;
};
// The scene's table, created on first use; null without a scene.
ObjectTable* object_table();

// The slot of an object number, or null when nothing was ever put there or there is no
// scene. A number outside 0..OBJECT_COUNT-1 is an error stop 9.
ObjectSlot* find_object(double object);
// The slot, created when needed; null without a scene (error stop 9 as above).
ObjectSlot* object_slot(double object);
// Empties the slot, deleting its buffers and textures while a context is ready.
void free_object_slot(ObjectSlot& slot);
// Deletes the buffer objects and texture of one mesh while a context is ready.
void release_gl_names(MeshObjectX& mesh);
// Empties every slot (the scene's teardown deletes the table through this).
void free_all_objects(ObjectTable* table);

}  // namespace runtime
