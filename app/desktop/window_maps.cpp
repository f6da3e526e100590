// The queue of command-line maps in front of the open dialog.
#include "app/desktop/window_maps.h"

#include <unistd.h>

#include <climits>
#include <filesystem>
#include <system_error>

#include "app/desktop/converter_main.h"
#include "runtime/runtime.h"

namespace app {

WindowMaps& window_maps() {
    static WindowMaps maps;
    return maps;
}

namespace {

std::string absolute_path(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

void note_folder_of(const std::string& map) {
    const std::string folder = std::filesystem::path(map).parent_path().string();
    if (!folder.empty()) window_maps().dialog_folder = folder;
}

// The open dialog, run from `folder` when it can be entered; a relative answer is made
// absolute there, before the runtime's own folder is current again.
std::string ask_dialog_in(const std::string& folder) {
    char here[PATH_MAX];
    const bool have_here = getcwd(here, sizeof here) != nullptr;
    const bool moved = have_here && !folder.empty() && chdir(folder.c_str()) == 0;
    runtime::DynString chosen = runtime::file_requester(MAP_FILTER, 1);
    std::string map = chosen == "NO_FILE" ? std::string() : absolute_path(chosen.text_of());
    if (moved && chdir(here) != 0) {
        // The program's folder vanished meanwhile: there is nothing better to return to.
    }
    return map;
}

}  // namespace

void queue_window_maps(const std::vector<std::string>& maps) {
    WindowMaps& state = window_maps();
    if (state.dialog_folder.empty()) {
        std::error_code error;
        std::filesystem::path here = std::filesystem::current_path(error);
        if (!error) state.dialog_folder = here.string();
    }
    for (const std::string& map : maps) {
        // An empty argument names no map (and an empty next map means a cancelled dialog).
        if (map.empty()) continue;
        state.waiting.push_back(absolute_path(map));
        ++state.given;
    }
}

std::string next_map_to_convert() {
    WindowMaps& maps = window_maps();
    if (!maps.waiting.empty()) {
        std::string map = maps.waiting.front();
        maps.waiting.pop_front();
        maps.position = maps.given - maps.waiting.size();
        note_folder_of(map);
        return map;
    }
    maps.position = 0;
    std::string chosen = ask_dialog_in(maps.dialog_folder);
    if (!chosen.empty()) note_folder_of(chosen);
    return chosen;
}

std::string window_map_position() {
    const WindowMaps& maps = window_maps();
    if (maps.given < 2 || maps.position == 0) return "";
    return "map " + std::to_string(maps.position) + " of " + std::to_string(maps.given);
}

}  // namespace app
