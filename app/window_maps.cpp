// The queue of command-line maps in front of the open dialog.
#include "app/window_maps.h"

#include <filesystem>
#include <system_error>

#include "app/converter_main.h"
#include "runtime/runtime.h"

namespace app {

WindowMaps& window_maps() {
    static WindowMaps maps;
    return maps;
}

void queue_window_maps(const std::vector<std::string>& maps) {
    for (const std::string& map : maps) {
        // An empty argument names no map (and an empty next map means a cancelled dialog).
        if (map.empty()) continue;
        std::error_code error;
        std::filesystem::path absolute = std::filesystem::absolute(map, error);
        window_maps().waiting.push_back(error ? map : absolute.lexically_normal().string());
    }
}

std::string next_map_to_convert() {
    WindowMaps& maps = window_maps();
    if (!maps.waiting.empty()) {
        std::string map = maps.waiting.front();
        maps.waiting.pop_front();
        return map;
    }
    runtime::DynString chosen = runtime::file_requester(MAP_FILTER, 1);
    return chosen == "NO_FILE" ? std::string() : chosen.text_of();
}

}  // namespace app
