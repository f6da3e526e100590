// Model files on disk: whole reads through the packed-file lookup and replacing writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/gfx3d/object_mesh.h"

namespace runtime {

// The largest model or world file read; larger ones fail as "# malloc error".
constexpr int64_t MAX_MODEL_FILE_BYTES = int64_t{1} << 28;

enum class ModelFileStatus { OK, MISSING, TOO_LARGE };

// Passes the name through the packed-file lookup (a loose file wins) and reads it whole.
ModelFileStatus read_model_file(const std::string& file_name, std::vector<uint8_t>& bytes);
// Writes the bytes to a temporary file beside the destination and renames it into
// place; false (and no file left behind) on failure or while another opener holds it.
bool write_model_file(const std::string& file_name, const std::vector<uint8_t>& bytes);
// The mesh as a binary .ddd file (save_object, and the OBJ import tool); false when the
// mesh has no frames or the file cannot be written.
bool save_mesh_file(const MeshObjectX& mesh, const std::string& file_name);
// Reports a failed model read through the 3D error callback: "# read error " or
// "# malloc error " and the name.
void report_model_error(bool malloc_error, const std::string& file_name);

}  // namespace runtime
