// Loading, building and saving objects.
#include "runtime/gfx3d/object_commands.h"

#include <cmath>
#include <cstdio>
#include <new>
#include <span>
#include <stdexcept>

#include "runtime/gfx2d/image_files.h"
#include "runtime/gfx2d/opengl_rainbows.h"
#include "runtime/gfx2d/packed_names.h"
#include "runtime/gfx2d/texture_upload.h"
#include "runtime/gfx3d/ddd_format.h"
#include "runtime/gfx3d/object_files.h"
#include "runtime/gfx3d/object_packing.h"
#include "runtime/gfx3d/object_table.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gfx3d/world_file.h"

namespace runtime {

namespace {

// Reads the bytes of one mesh file into the mesh (not built yet), holding at most
// `budget` vertices; failures are reported by name.
bool read_mesh_file(const std::string& file_name, std::span<const uint8_t> bytes, MeshObjectX& mesh,
                    int64_t budget) {
    const DddStatus status = read_mesh_bytes(bytes, mesh, budget);
    if (status == DddStatus::WRONG_VERSION) {
        std::printf("Wrong .ddd version.\n");
        std::fflush(stdout);
    }
    if (status != DddStatus::OK) {
        report_model_error(status == DddStatus::MALLOC_ERROR, file_name);
        return false;
    }
    mesh.file_loaded = true;
    return true;
}

// A model file's bytes, read once; a failure is reported by name.
bool read_whole_file(const std::string& file_name, std::vector<uint8_t>& bytes) {
    const ModelFileStatus file = read_model_file(file_name, bytes);
    if (file == ModelFileStatus::OK) return true;
    report_model_error(file == ModelFileStatus::TOO_LARGE, file_name);
    return false;
}

int64_t vertex_count(const MeshObjectX& mesh) {
    int64_t total = 0;
    for (const MeshFrame& frame : mesh.frames) total += static_cast<int64_t>(frame.packed_vertices.size());
    return total;
}

// A world texture: the picture keyed with the transparent colour, one plain texture.
uint32_t load_world_texture(const std::string& file_name) {
    OpenGLRainbows* engine = rainbows();
    std::string resolved;
    if (!engine || !engine->gl_ready || file_name.empty() || !resolve_image_name(file_name.c_str(), resolved)) {
        return 0;
    }
    ImageBuffer image;
    uint32_t texture = 0;
    if (!load_picture(image, resolved.c_str(), engine->transparent_colour) ||
        !upload_texture(image, 0, 0, 0, 0, &texture, nullptr, false, false)) {
        report_model_error(false, file_name);
        return 0;
    }
    return texture;
}

// Every mesh is read before any is built, so the world's vertex budget is spent on the
// small stored form and a world asking for too much fails before the large one exists.
// `current` names the file being worked on, for a failed allocation.
bool load_world(std::span<const uint8_t> bytes, const std::string& file_name, ObjectSlot& slot,
                std::string& current) {
    WorldDescription world;
    if (!parse_world_file(bytes, folder_of(file_name), world) || world.meshes.empty()) {
        report_model_error(false, file_name);
        return false;
    }
    int64_t budget = WORLD_VERTEX_BUDGET;
    for (const WorldMesh& m : world.meshes) {
        current = m.file;
        std::vector<uint8_t> mesh_bytes;
        auto mesh = std::make_unique<MeshObjectX>();
        if (!read_whole_file(m.file, mesh_bytes) || !read_mesh_file(m.file, mesh_bytes, *mesh, budget))
            return false;
        budget -= vertex_count(*mesh);
        mesh->texture_a = m.texture_a;
        mesh->texture_b = m.texture_b;
        slot.meshes.push_back(std::move(mesh));
    }
    for (size_t i = 0; i < slot.meshes.size(); ++i) {
        current = world.meshes[i].file;
        slot.meshes[i]->build();
    }
    current = file_name;
    for (const std::string& texture : world.textures) slot.textures.push_back(load_world_texture(texture));
    slot.texture_count = static_cast<int32_t>(slot.textures.size());
    slot.mesh_count = static_cast<int32_t>(slot.meshes.size());
    slot.loaded = true;
    slot.is_world = true;
    return true;
}

// Loads the file into the emptied slot; false leaves it to be emptied again.
bool load_into(const std::string& name, ObjectSlot& slot, std::string& current) {
    std::vector<uint8_t> bytes;
    if (!read_whole_file(name, bytes)) return false;
    if (is_world_file(bytes)) return load_world(bytes, name, slot, current);
    auto mesh = std::make_unique<MeshObjectX>();
    if (!read_mesh_file(name, bytes, *mesh, MAX_MESH_VERTICES)) return false;
    bytes = std::vector<uint8_t>();  // the file's bytes are done with before the mesh grows
    if (mesh->frames.empty() || mesh->frames[0].packed_vertices.empty()) return false;
    mesh->build();
    slot.meshes.push_back(std::move(mesh));
    slot.mesh_count = 1;
    slot.loaded = true;
    return true;
}

// A command's colour number as the 32-bit value it names (-1 is 0xFFFFFFFF).
uint32_t colour_value_of(double colour) {
    if (!std::isfinite(colour) || colour <= -2147483649.0 || colour >= 4294967296.0) return 0;
    return static_cast<uint32_t>(static_cast<int64_t>(colour));
}

}  // namespace

double load_object(const DynString& file_name, double object) {
    ObjectSlot* found = object_slot(object);
    if (!found) return 0;
    ObjectSlot& slot = *found;
    // Loading over the object being built ends that build: nothing of it remains.
    ObjectTable* table = object_table();
    if (table->building == static_cast<int32_t>(object)) {
        table->building = NOT_BUILDING;
        table->building_vertices = std::vector<MeshVertex>();
    }
    free_object_slot(slot);
    const std::string name(file_name.text_of(), static_cast<size_t>(file_name.length));
    std::string current = name;
    try {
        if (load_into(name, slot, current)) return 1;
    } catch (const std::bad_alloc&) {
        report_model_error(true, current);
    } catch (const std::length_error&) {
        report_model_error(true, current);
    }
    free_object_slot(slot);
    return 0;
}

double save_object(double object, const DynString& file_name) {
    const ObjectSlot* slot = find_object(object);
    if (!slot || !slot->loaded || slot->is_world || slot->meshes.empty()) return 0;
    return save_mesh_file(*slot->meshes[0],
                          std::string(file_name.text_of(), static_cast<size_t>(file_name.length)))
               ? 1
               : 0;
}

void start_object(double object) {
    ObjectSlot* slot = object_slot(object);
    if (!slot) return;
    free_object_slot(*slot);
    slot->meshes.push_back(std::make_unique<MeshObjectX>());
    slot->mesh_count = 1;
    ObjectTable* table = object_table();
    table->building = static_cast<int32_t>(object);
    table->building_vertices.clear();
}

void add_object_vertex(double x, double y, double z, double u, double v, double colour) {
    ObjectTable* table = object_table();
    if (!table || table->building == NOT_BUILDING) return;
    MeshVertex vertex;
    vertex.position[0] = static_cast<float>(x);
    vertex.position[1] = static_cast<float>(y);
    vertex.position[2] = static_cast<float>(z);
    vertex.u = static_cast<float>(u);
    vertex.v = static_cast<float>(v);
    colour_floats(colour_value_of(colour), vertex);
    table->building_vertices.push_back(vertex);
}

void new_object_strip() {
    ObjectTable* table = object_table();
    if (!table || table->building == NOT_BUILDING) return;
    MeshVertex marker;
    colour_floats(STRIP_MARKER, marker);
    table->building_vertices.push_back(marker);
}

void end_object() {
    ObjectTable* found = object_table();
    if (!found || found->building == NOT_BUILDING) return;
    ObjectTable& table = *found;
    ObjectSlot& slot = *object_slot(table.building);
    table.building = NOT_BUILDING;
    slot.loaded = true;
    slot.is_world = false;
    if (slot.meshes.empty()) {
        slot.meshes.push_back(std::make_unique<MeshObjectX>());
        slot.mesh_count = 1;
    }
    MeshObjectX& mesh = *slot.meshes[0];
    release_gl_names(mesh);
    mesh.clear();
    try {
        if (table.building_vertices.size() > 2) {
            mesh.separators = true;
            pack_frame(mesh, table.building_vertices);
            table.building_vertices = std::vector<MeshVertex>();  // packed: freed before the mesh grows
            // Built vertices carry no normals: they come from the triangles, in the
            // chosen mode (flat when smoothing is off).
            mesh.build();
            compute_normals(mesh, static_cast<NormalMode>(rainbows_3d()->smoothing_mode));
            mesh.build();
        }
    } catch (const std::bad_alloc&) {
        // Too large to hold: the object ends empty, as one too small to draw does.
        mesh.clear();
    }
    table.building_vertices = std::vector<MeshVertex>();
}

void set_object_smoothing(double mode) {
    const int64_t m = std::isfinite(mode) && std::fabs(mode) < 9e15 ? static_cast<int64_t>(mode) : 0;
    if (Rainbows3D* scene = rainbows_3d()) scene->smoothing_mode = static_cast<int32_t>(((m % 3) + 3) % 3);
}

}  // namespace runtime
