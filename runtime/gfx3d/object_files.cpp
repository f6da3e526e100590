// Model file input and output.
#include "runtime/gfx3d/object_files.h"

#include <new>

#include "runtime/gfx2d/packed_names.h"
#include "runtime/gfx3d/ddd_format.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/platform/files.h"

namespace runtime {

ModelFileStatus read_model_file(const std::string& file_name, std::vector<uint8_t>& bytes) {
    bytes.clear();
    std::string resolved;
    char system_name[platform::NAME_BUFFER_SIZE];
    if (!resolve_image_name(file_name.c_str(), resolved) || !platform::to_system_name(resolved.c_str(), system_name)) {
        return ModelFileStatus::MISSING;
    }
    platform::FileHandle file = platform::open_for_reading(system_name);
    const int64_t length = file.is_open() ? platform::file_length(file) : -1;
    if (length < 0) return ModelFileStatus::MISSING;
    if (length > MAX_MODEL_FILE_BYTES) return ModelFileStatus::TOO_LARGE;
    try {
        bytes.resize(static_cast<size_t>(length));
    } catch (const std::bad_alloc&) {
        return ModelFileStatus::TOO_LARGE;
    }
    if (platform::read_at(file, bytes.data(), bytes.size(), 0) != length) {
        bytes.clear();
        return ModelFileStatus::MISSING;
    }
    return ModelFileStatus::OK;
}

bool write_model_file(const std::string& file_name, const std::vector<uint8_t>& bytes) {
    char target[platform::NAME_BUFFER_SIZE];
    if (!platform::to_system_name(file_name.c_str(), target) || !*target) return false;
    return platform::replace_file(target, bytes.data(), bytes.size());
}

bool save_mesh_file(const MeshObjectX& mesh, const std::string& file_name) {
    std::vector<uint8_t> bytes;
    return write_ddd_binary(mesh, bytes) && write_model_file(file_name, bytes);
}

void report_model_error(bool malloc_error, const std::string& file_name) {
    const std::string line = (malloc_error ? "# malloc error " : "# read error ") + file_name;
    report_3d_error(line.c_str());
}

}  // namespace runtime
