#include "app/editor_extension.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "app/editor_extension_source.h"

namespace app {

std::string_view editor_extension_source() { return EDITOR_EXTENSION_SOURCE; }

std::string editor_extensions_folder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base;
    if (config != nullptr && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') return "";
        base = std::filesystem::path(home) / ".config";
    }
    return (base / "tiled" / "extensions").string();
}

bool install_editor_extension(std::ostream& out, std::ostream& err) {
    namespace fs = std::filesystem;
    const std::string folder = editor_extensions_folder();
    if (folder.empty()) {
        err << "brisel42_x9: cannot find the editor's extensions folder (HOME is not set)\n";
        return false;
    }
    const fs::path target = fs::path(folder) / EDITOR_EXTENSION_NAME;
    const fs::path temporary = fs::path(folder) / (std::string(".") + EDITOR_EXTENSION_NAME + ".new");
    std::error_code error;
    fs::create_directories(folder, error);
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        const std::string_view source = editor_extension_source();
        file.write(source.data(), static_cast<std::streamsize>(source.size()));
        if (!file.flush()) error = std::make_error_code(std::errc::io_error);
    }
    if (!error) fs::rename(temporary, target, error);
    if (error) {
        fs::remove(temporary);
        err << "brisel42_x9: cannot install the editor extension into " << folder << ": " << error.message()
            << "\n";
        return false;
    }
    out << "Installed " << target.string() << "\n"
        << "Restart the map editor; then File > Export As offers \"brisel42_x9 map (*.txt)\", and\n"
        << "Edit > Preferences > \"Repeat last export on save\" converts on every save.\n";
    return true;
}

}  // namespace app
