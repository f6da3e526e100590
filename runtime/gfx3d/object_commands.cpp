// Loading, building and saving objects.
#include "runtime/gfx3d/object_commands.h"

#include <cmath>
#include <cstdio>
#include <span>

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

// Reads one mesh file into the mesh and builds it; failures are reported by name.
bool load_mesh_file(const std::string& file_name, MeshObjectX& mesh) {
    std::vector<uint8_t> bytes;
    const ModelFileStatus file = read_model_file(file_name, bytes);
    if (file != ModelFileStatus::OK) {
        report_model_error(file == ModelFileStatus::TOO_LARGE, file_name);
        return false;
    }
    const DddStatus status = read_mesh_bytes(bytes, mesh);
    if (status == DddStatus::WRONG_VERSION) {
        std::printf("Wrong .ddd version.\n");
        std::fflush(stdout);
    }
    if (status != DddStatus::OK) {
        report_model_error(status == DddStatus::MALLOC_ERROR, file_name);
        return false;
    }
    mesh.file_loaded = true;
    mesh.build();
    return true;
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

bool load_world(std::span<const uint8_t> bytes, const std::string& file_name, ObjectSlot& slot) {
    WorldDescription world;
    if (!parse_world_file(bytes, folder_of(file_name), world) || world.meshes.empty()) {
        report_model_error(false, file_name);
        return false;
    }
    for (const std::string& texture : world.textures) slot.textures.push_back(load_world_texture(texture));
    slot.texture_count = static_cast<int32_t>(slot.textures.size());
    for (const WorldMesh& m : world.meshes) {
        auto mesh = std::make_unique<MeshObjectX>();
        if (!load_mesh_file(m.file, *mesh)) return false;
        mesh->texture_a = m.texture_a;
        mesh->texture_b = m.texture_b;
        slot.meshes.push_back(std::move(mesh));
    }
    slot.mesh_count = static_cast<int32_t>(slot.meshes.size());
    slot.loaded = true;
    slot.is_world = true;
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
    free_object_slot(slot);
    const std::string name(file_name.text_of(), file_name.length);
    std::vector<uint8_t> bytes;
    const ModelFileStatus file = read_model_file(name, bytes);
    if (file != ModelFileStatus::OK) {
        report_model_error(file == ModelFileStatus::TOO_LARGE, name);
        return 0;
    }
    if (is_world_file(bytes)) {
        if (load_world(bytes, name, slot)) return 1;
        free_object_slot(slot);
        return 0;
    }
    auto mesh = std::make_unique<MeshObjectX>();
    if (!load_mesh_file(name, *mesh) || mesh->frames.empty() || mesh->frames[0].vertices.empty()) {
        return 0;
    }
    slot.meshes.push_back(std::move(mesh));
    slot.mesh_count = 1;
    slot.loaded = true;
    return 1;
}

double save_object(double object, const DynString& file_name) {
    const ObjectSlot* slot = find_object(object);
    if (!slot || !slot->loaded || slot->is_world || slot->meshes.empty()) return 0;
    return save_mesh_file(*slot->meshes[0], std::string(file_name.text_of(), file_name.length)) ? 1 : 0;
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
    if (slot.meshes.empty()) {  // the slot was loaded over while it was being built
        slot.meshes.push_back(std::make_unique<MeshObjectX>());
        slot.mesh_count = 1;
    }
    MeshObjectX& mesh = *slot.meshes[0];
    mesh.clear();
    if (table.building_vertices.size() > 2) {
        pack_frame(mesh, table.building_vertices);
        // Built vertices carry no normals: they come from the triangles, in the
        // chosen mode (flat when smoothing is off).
        mesh.build();
        compute_normals(mesh, static_cast<NormalMode>(rainbows_3d()->smoothing_mode));
        mesh.build();
    }
    table.building_vertices.clear();
    table.building_vertices.shrink_to_fit();
}

void set_object_smoothing(double mode) {
    const int64_t m = std::isfinite(mode) && std::fabs(mode) < 9e15 ? static_cast<int64_t>(mode) : 0;
    if (Rainbows3D* scene = rainbows_3d()) scene->smoothing_mode = static_cast<int32_t>(((m % 3) + 3) % 3);
}

}  // namespace runtime
