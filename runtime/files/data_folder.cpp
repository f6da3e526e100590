// Lookup in the installed data folder.
#include "runtime/files/data_folder.h"

#include <cstring>
#include <filesystem>

#include "runtime/files/packed_archive.h"
#include "runtime/platform/files.h"

namespace runtime {

DataFolderState& data_folder_state() {
    static DataFolderState state;
    return state;
}

std::string installed_data_folder(const std::string& program_folder) {
    if (program_folder.empty()) return "";
    std::filesystem::path folder = std::filesystem::path(program_folder) / ".." / "share" / DATA_FOLDER_NAME;
    return folder.lexically_normal().string();
}

int resolve_data_file(const char* name, char* out) {
    out[0] = 0;
    const std::string& folder = data_folder_state().folder;
    char relative[platform::NAME_BUFFER_SIZE];
    if (folder.empty() || !name || !platform::to_system_name(name, relative) || relative[0] == 0 || relative[0] == '/') return 0;
    // The folder is fixed by the installation: a name may not climb out of it.
    for (const auto& part : std::filesystem::path(relative)) {
        if (part == "..") return 0;
    }
    std::string path = folder + "/" + relative;
    char system_name[platform::NAME_BUFFER_SIZE];
    if (path.size() >= ARCHIVE_PATH_SIZE || !platform::to_system_name(path.c_str(), system_name)) return 0;
    if (!platform::open_for_reading(system_name).is_open()) return 0;
    std::memcpy(out, path.c_str(), path.size() + 1);
    return 1;
}

}  // namespace runtime
